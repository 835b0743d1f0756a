// Sound streams decode as they are read: the length known on opening is
// what reading to the end gives, reads anywhere give the samples reading
// from the start gives, and a damaged sound ends where its samples do.
#include "audio/sound_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/sound_writer.h"

namespace vantoro::audio {
namespace {

using testing::Bytes;

std::shared_ptr<SoundStream> openStream(const Bytes& file) {
    auto stream = SoundStream::open(file);
    EXPECT_TRUE(stream) << stream.error();
    return stream ? *stream : nullptr;
}

// Every sample from the start, read in pieces that do not line up with the
// stream's blocks.
std::vector<std::int16_t> readThrough(SoundStream& stream) {
    std::vector<std::int16_t> all;
    std::vector<std::int16_t> piece(1000 * stream.channels());
    for (;;) {
        const std::uint64_t frames = stream.read(all.size() / stream.channels(), piece);
        all.insert(all.end(), piece.begin(), piece.begin() + frames * stream.channels());
        if (frames < 1000) return all;
    }
}

TEST(SoundStreamTest, TheLengthKnownOnOpeningIsWhatReadingToTheEndGives) {
    testing::TempDir dir;
    const Bytes stereo = testing::sineWav({44100, 2, 44100 * 3, 440, 0.5});
    const Bytes mono = testing::sineWav({22050, 1, 22050 * 3, 1000, 0.5});
    const struct {
        const char* lame;  // none: the WAV itself
        const Bytes& wav;
    } cases[] = {
        {nullptr, stereo},
        {"-b 128", stereo},                      // an Info frame gives the exact length
        {"-b 128 -t", stereo},                   // no Info frame: the frames tell it
        {"-V 4 --add-id3v2 --tt x", stereo},     // VBR behind an ID3v2 tag
        {"-b 128 --id3v1-only --tt x", stereo},  // an ID3v1 tag after the frames
        {"-b 64", mono},                         // MPEG-2
        {"-b 64 -t", mono},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lame ? c.lame : "wav");
        Bytes file = c.wav;
        if (c.lame) {
            const auto mp3 = testing::mp3FromWav(c.wav, dir, c.lame);
            if (!mp3) GTEST_SKIP() << testing::kLameMissing;
            file = *mp3;
        }
        const auto stream = openStream(file);
        ASSERT_TRUE(stream);
        const std::uint64_t frames = stream->frames();
        EXPECT_EQ(stream->decodedFrames(), 0u);  // opening decodes nothing
        EXPECT_EQ(readThrough(*stream).size(), frames * stream->channels());
        EXPECT_EQ(stream->frames(), frames);
    }
}

// Far enough apart that the stream seeks rather than decoding its way
// there, behind and ahead; MPEG-1 layer III and PCM seek to the sample.
TEST(SoundStreamTest, ReadsAnywhereGiveTheSamplesReadingFromTheStartGives) {
    testing::TempDir dir;
    const Bytes wav = testing::sineWav({44100, 2, 44100 * 12, 3001.5, 0.7});
    std::vector<Bytes> files{wav};
    if (auto mp3 = testing::mp3FromWav(wav, dir)) files.push_back(*mp3);
    for (const Bytes& file : files) {
        SCOPED_TRACE(file.size());
        const std::vector<std::int16_t> whole = readThrough(*openStream(file));
        const auto stream = openStream(file);
        ASSERT_TRUE(stream);
        const std::uint64_t frames = stream->frames();
        for (const std::uint64_t first :
             {frames - 5000, std::uint64_t{100}, frames / 2, std::uint64_t{3}, frames - 1}) {
            SCOPED_TRACE(first);
            std::vector<std::int16_t> samples(4096 * 2);
            const std::uint64_t read = stream->read(first, samples);
            ASSERT_EQ(read, std::min<std::uint64_t>(4096, frames - first));
            ASSERT_TRUE(
                std::equal(samples.begin(), samples.begin() + read * 2, whole.begin() + first * 2));
        }
        EXPECT_LT(stream->decodedFrames(), frames);  // not all of it
    }
}

// About 1 % of the bytes changed, 60 times, seeded by the case number.
TEST(SoundStreamTest, ADamagedSoundEndsWhereItsSamplesDo) {
    testing::TempDir dir;
    const auto mp3 = testing::mp3FromWav(testing::sineWav({44100, 2, 44100, 440, 0.5}), dir);
    if (!mp3) GTEST_SKIP() << testing::kLameMissing;
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        Bytes damaged = *mp3;
        for (std::size_t i = 0; i < damaged.size() / 100; ++i) {
            damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
        }
        auto stream = SoundStream::open(damaged);
        if (!stream) continue;
        const std::uint64_t opened = (*stream)->frames();
        const std::uint64_t read = readThrough(**stream).size() / (*stream)->channels();
        EXPECT_EQ((*stream)->frames(), read);
        EXPECT_LE(read, opened);
    }
}

}  // namespace
}  // namespace vantoro::audio
