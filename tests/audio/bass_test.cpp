// The audio library through its calls: formats, lengths and positions in
// bytes and seconds for WAV and MP3, the spectrum against a direct DFT, and
// sound data that does not decode.
#include "audio/bass.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "tests/support/sound_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::SineSound;

// Sounds are read without output, as the command line reads them.
class BassTest : public ::testing::Test {
protected:
    BassTest() { EXPECT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << audioLastError(); }
    ~BassTest() override { BASS_Free(); }

    static HSTREAM create(const Bytes& file) {
        return BASS_StreamCreateFile(1, file.data(), 0, file.size(), 0);
    }

    testing::TempDir dir;
};

// MP3 frames of 1152 (or 576) samples, the encoder's delay and its padding
// may lengthen a decoded MP3 by up to two frames.
constexpr std::int64_t kMp3SlackFrames = 2304;

void expectPositions(HSTREAM stream, const SineSound& sound, bool exactLength) {
    const auto format = channelFormat(stream);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->rate, sound.rate);
    EXPECT_EQ(format->channels, sound.channels);
    const QWORD bytesPerFrame = sound.channels * 2;
    const QWORD length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    EXPECT_EQ(length % bytesPerFrame, 0u);
    const auto frames = static_cast<std::int64_t>(length / bytesPerFrame);
    if (exactLength) {
        EXPECT_EQ(frames, sound.frames);
    } else {
        EXPECT_GE(frames, sound.frames);
        EXPECT_LE(frames, sound.frames + kMp3SlackFrames);
    }
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(stream, length),
                     static_cast<double>(frames) / sound.rate);

    // floor(seconds x rate) frames; a byte position inside a frame rounds down.
    const QWORD quarter = BASS_ChannelSeconds2Bytes(stream, 0.25);
    EXPECT_EQ(quarter, static_cast<QWORD>(std::floor(0.25 * sound.rate)) * bytesPerFrame);
    EXPECT_TRUE(BASS_ChannelSetPosition(stream, quarter + 1, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), quarter);
    EXPECT_TRUE(BASS_ChannelSetPosition(stream, length, BASS_POS_BYTE));
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, length + bytesPerFrame, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), length);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(stream, -0.5), kBassFailed);
}

const SineSound kSounds[] = {
    {22050, 1, 11025, 440, 0.5},
    {44100, 2, 22050, 1000, 0.5},
};

TEST_F(BassTest, WavLengthsAndPositionsCountFramesTimesChannelsTimesTwo) {
    for (const SineSound& sound : kSounds) {
        SCOPED_TRACE(sound.channels);
        const HSTREAM stream = create(testing::sineWav(sound));
        ASSERT_NE(stream, 0u) << audioLastError();
        expectPositions(stream, sound, true);
        EXPECT_TRUE(BASS_StreamFree(stream));
        EXPECT_FALSE(BASS_StreamFree(stream));
    }
}

TEST_F(BassTest, Mp3LengthsAndPositionsCountFramesTimesChannelsTimesTwo) {
    for (const SineSound& sound : kSounds) {
        SCOPED_TRACE(sound.channels);
        const auto mp3 = testing::mp3FromWav(testing::sineWav(sound), dir);
        if (!mp3) GTEST_SKIP() << testing::kLameMissing;
        const HSTREAM stream = create(*mp3);
        ASSERT_NE(stream, 0u) << audioLastError();
        expectPositions(stream, sound, false);
    }
}

// The spectrum as defined, computed the slow way from the same samples.
std::vector<double> directSpectrum(const std::vector<std::int16_t>& samples, std::uint32_t channels,
                                   std::size_t first) {
    constexpr std::size_t kN = 4096;
    std::vector<double> x(kN, 0.0);
    const std::size_t frames = samples.size() / channels;
    for (std::size_t n = 0; n < kN && first + n < frames; ++n) {
        double sum = 0;
        for (std::uint32_t c = 0; c < channels; ++c) sum += samples[(first + n) * channels + c];
        const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / kN);
        x[n] = sum / channels / 32768.0 * window;
    }
    std::vector<double> values(2048);
    for (std::size_t k = 0; k < values.size(); ++k) {
        std::complex<double> X = 0;
        for (std::size_t n = 0; n < kN; ++n) {
            X += x[n] * std::polar(1.0, -2 * std::numbers::pi * double(k * n % kN) / kN);
        }
        values[k] = std::abs(X) * 2 / 2048;
    }
    return values;
}

TEST_F(BassTest, SpectrumMatchesADirectDftOfTheWindowedMeanOfTheChannels) {
    const struct {
        const char* name;
        SineSound sound;
        double seconds;       // where the spectrum is read
        std::size_t peakBin;  // 0: no full-scale check
    } cases[] = {
        {"bin-centred, full scale",
         {44100, 1, 8192, 64 * 44100.0 / 4096, 32767.0 / 32767},
         0.0,
         64},
        {"off-bin stereo", {44100, 2, 8192, 1000, 0.5}, 0.05, 0},
        {"off-bin near the end", {22050, 2, 6000, 3001.5, 0.7}, 0.2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto samples = testing::sineSamples(c.sound);
        const HSTREAM stream = create(testing::wavFile(c.sound.rate, c.sound.channels, samples));
        ASSERT_NE(stream, 0u) << audioLastError();
        ASSERT_TRUE(BASS_ChannelSetPosition(stream, BASS_ChannelSeconds2Bytes(stream, c.seconds),
                                            BASS_POS_BYTE));
        const auto first = static_cast<std::size_t>(std::floor(c.seconds * c.sound.rate));
        std::vector<float> values(2049, -1.0f);
        const DWORD read = BASS_ChannelGetData(stream, values.data(), BASS_DATA_FFT4096);
        EXPECT_EQ(read, std::min<std::size_t>(4096, c.sound.frames - first) * c.sound.channels * 2);
        EXPECT_EQ(values[2048], -1.0f);  // exactly 2048 values written
        const auto expected = directSpectrum(samples, c.sound.channels, first);
        double worst = 0;
        for (std::size_t k = 0; k < expected.size(); ++k) {
            worst = std::max(worst, std::abs(expected[k] - values[k]));
        }
        EXPECT_LT(worst, 1e-6);
        if (c.peakBin != 0) {
            EXPECT_NEAR(values[c.peakBin], 1.0, 1e-4);
        }
    }
}

TEST_F(BassTest, SoundDataThatDoesNotDecodeMakesNoStream) {
    Bytes wav = testing::sineWav({});
    Bytes noChannels = wav;
    testing::setU16At(noChannels, 22, 0);
    Bytes noise(3000);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(i * 37 + 11);
    Bytes headerOnly = wav;
    testing::truncateTo(headerOnly, 44);
    for (const Bytes& bad : {noChannels, noise, headerOnly, Bytes(1, 0)}) {
        EXPECT_EQ(create(bad), 0u);
        EXPECT_FALSE(audioLastError().empty());
    }
    // A data chunk claiming more than the file holds plays what is there.
    Bytes truncated = wav;
    testing::truncateTo(truncated, 44 + 1000);
    const HSTREAM stream = create(truncated);
    ASSERT_NE(stream, 0u) << audioLastError();
    EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), 1000u);
    // Without a device nothing plays, and a freed handle answers nothing.
    EXPECT_FALSE(BASS_ChannelPlay(stream, 1));
    EXPECT_TRUE(BASS_StreamFree(stream));
    EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), kBassFailed);
    EXPECT_LT(BASS_ChannelBytes2Seconds(stream, 0), 0);
}

// Making a stream reads the sound's header, not its samples: a long MP3's
// stream is made in a small part of the time that reading its spectrum from
// start to end takes, which decodes it.
TEST_F(BassTest, MakingAStreamLeavesTheDecodingToTheReads) {
    const auto mp3 = testing::mp3FromWav(testing::sineWav({44100, 2, 44100 * 30, 440, 0.5}), dir);
    if (!mp3) GTEST_SKIP() << testing::kLameMissing;
    using Clock = std::chrono::steady_clock;
    auto made = Clock::duration::max();
    HSTREAM stream = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (stream != 0) BASS_StreamFree(stream);
        const auto start = Clock::now();
        stream = create(*mp3);
        made = std::min(made, Clock::now() - start);
    }
    ASSERT_NE(stream, 0u) << audioLastError();
    const QWORD length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    const QWORD step = 4096 * 4;
    std::vector<float> values(2048);
    const auto start = Clock::now();
    for (QWORD at = 0; at < length; at += step) {
        BASS_ChannelSetPosition(stream, at, BASS_POS_BYTE);
        BASS_ChannelGetData(stream, values.data(), BASS_DATA_FFT4096);
    }
    EXPECT_LT(made * 10, Clock::now() - start);
}

// Damaged sounds decode or fail, never crash: about 1 % of the bytes of a
// WAV and an MP3 changed, 150 times each, seeded by the case number.
TEST_F(BassTest, DamagedSoundsDecodeOrFailCleanly) {
    std::vector<Bytes> files{testing::sineWav({22050, 2, 2000, 440, 0.5})};
    if (auto mp3 = testing::mp3FromWav(files[0], dir)) files.push_back(*mp3);
    for (std::size_t f = 0; f < files.size(); ++f) {
        for (std::uint32_t seed = 1; seed <= 150; ++seed) {
            SCOPED_TRACE(::testing::Message() << "file " << f << " seed " << seed);
            std::mt19937 random(seed);
            Bytes damaged = files[f];
            for (std::size_t i = 0; i < damaged.size() / 100 + 1; ++i) {
                damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
            }
            const HSTREAM stream = create(damaged);
            if (stream == 0) continue;
            std::vector<float> values(2048);
            EXPECT_NE(BASS_ChannelGetData(stream, values.data(), BASS_DATA_FFT4096), DWORD(-1));
            EXPECT_TRUE(BASS_StreamFree(stream));
        }
    }
}

// SDL's disk output writes what it is given to a file: a sound at the
// output's rate comes out sample for sample, a mono one on both sides, and
// one at half the rate with a midpoint between every two samples.
TEST(BassOutputTest, TheOutputCarriesTheSoundAtTheOutputRate) {
    const struct { std::uint32_t rate, channels; } cases[] = {{44100, 2}, {44100, 1}, {22050, 1}};
    testing::TempDir dir;
    const std::string output = dir.file("out.raw");
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = driver ? driver : "";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1);  // milliseconds a buffer
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rate << " Hz, " << c.channels << " channels");
        std::vector<std::int16_t> samples(3000 * c.channels);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<std::int16_t>(1000 + (i * 7919) % 20000);
        }
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << audioLastError();
        const Bytes wav = testing::wavFile(c.rate, c.channels, samples);
        const HSTREAM stream = BASS_StreamCreateFile(1, wav.data(), 0, wav.size(), 0);
        ASSERT_TRUE(BASS_ChannelPlay(stream, 0));
        while (BASS_ChannelIsActive(stream) == BASS_ACTIVE_PLAYING)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        BASS_Free();

        const Bytes raw = testing::readFile(output);
        std::vector<std::int16_t> out(raw.size() / 2);
        std::memcpy(out.data(), raw.data(), out.size() * 2);
        const auto first = std::find_if(out.begin(), out.end(), [](auto v) { return v != 0; });
        ASSERT_EQ((first - out.begin()) % 2, 0);
        const std::size_t frames = samples.size() / c.channels;
        const std::size_t step = 44100 / c.rate;
        ASSERT_GE(out.end() - first, std::ptrdiff_t(frames * step * 2));
        for (std::size_t f = 0; f + 1 < frames; ++f) {
            for (std::uint32_t side = 0; side < 2; ++side) {
                const std::int16_t* now = &samples[f * c.channels + (c.channels > 1 ? side : 0)];
                const int expected[] = {now[0], (now[0] + now[c.channels]) / 2};
                for (std::size_t k = 0; k < step; ++k) {
                    ASSERT_NEAR(first[(f * step + k) * 2 + side], expected[k], 1)
                        << "frame " << f << " side " << side;
                }
            }
        }
    }
    driver ? setenv("SDL_AUDIODRIVER", saved.c_str(), 1) : unsetenv("SDL_AUDIODRIVER");
}

// What ALSA prints while it looks for a sound card (none in a container)
// stays off standard error: the program says itself that there is no device.
TEST(BassOutputTest, TheSoundSystemsOwnMessagesStayOffStandardError) {
    testing::TempDir dir;
    const std::string captured = dir.file("stderr.txt");
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = driver ? driver : "";
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    std::fflush(stderr);
    const int original = dup(STDERR_FILENO);
    const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    dup2(file, STDERR_FILENO);
    close(file);
    if (BASS_Init(-1, 44100, 0, nullptr, nullptr)) BASS_Free();
    std::fflush(stderr);
    dup2(original, STDERR_FILENO);
    close(original);
    driver ? setenv("SDL_AUDIODRIVER", saved.c_str(), 1) : unsetenv("SDL_AUDIODRIVER");
    const Bytes text = testing::readFile(captured);
    EXPECT_EQ(std::string(text.begin(), text.end()), "");
}

}  // namespace
}  // namespace vantoro
