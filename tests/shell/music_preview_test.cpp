// The sound panel's buttons, position bar and tick over a real channel,
// played into SDL's silent output; and the falling levels of the spectrum.
#include "shell/music_preview.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/support/sound_writer.h"

namespace vantoro {
namespace {

using Clock = std::chrono::steady_clock;

struct Buttons {
    bool play, pause, stop, position, timer;
    bool operator==(const Buttons&) const = default;
};

Buttons buttonsOf(const MusicPreview& preview) {
    const MusicControls& c = preview.controls();
    return {c.playEnabled, c.pauseEnabled, c.stopEnabled, c.positionEnabled, c.timerOn};
}

constexpr Buttons kPlaying{false, true, true, true, true};
constexpr Buttons kPaused{true, false, true, true, false};
constexpr Buttons kStopped{true, false, false, false, false};

class MusicPreviewTest : public ::testing::Test {
protected:
    MusicPreviewTest() {
        // SDL's silent output, unless the run asks for another.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        EXPECT_TRUE(preview.startAudio()) << audioLastError();
    }
    ~MusicPreviewTest() override { preview.shutdown(); }

    // As a selection does: stop, free, a new channel.
    void select(const testing::Bytes& file) {
        preview.stop();
        preview.releaseChannel();
        preview.createChannel(file);
    }
    double seconds() const {
        return BASS_ChannelBytes2Seconds(preview.channel(),
                                         BASS_ChannelGetPosition(preview.channel(), BASS_POS_BYTE));
    }
    // Ticks every 26 ms until the sound has played past `until` seconds or
    // stopped; false when neither happened within two seconds.
    bool tickUntil(double until) {
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (Clock::now() < deadline) {
            if (!preview.tick(64, 32)) return true;
            if (seconds() > until) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(26));
        }
        return false;
    }

    MusicPreview preview;
};

TEST_F(MusicPreviewTest, PlayRestartsAfterStopAndResumesAfterPauseOrSeek) {
    select(testing::sineWav({44100, 2, 44100 * 3, 440, 0.5}));
    ASSERT_NE(preview.channel(), 0u) << audioLastError();
    EXPECT_EQ(buttonsOf(preview), kStopped);

    preview.play();  // the first play starts at 0
    EXPECT_EQ(buttonsOf(preview), kPlaying);
    EXPECT_EQ(preview.controls().positionMaximum, 3000);
    EXPECT_LT(seconds(), 0.2);
    ASSERT_TRUE(tickUntil(0.1));
    EXPECT_EQ(BASS_ChannelIsActive(preview.channel()), BASS_ACTIVE_PLAYING);

    preview.pause();
    EXPECT_EQ(buttonsOf(preview), kPaused);
    const double paused = seconds();
    EXPECT_GT(paused, 0.1);
    preview.play();
    EXPECT_GE(seconds(), paused);

    preview.seek(2000);  // pauses there
    EXPECT_EQ(buttonsOf(preview), kPaused);
    EXPECT_EQ(BASS_ChannelIsActive(preview.channel()), BASS_ACTIVE_PAUSED);
    EXPECT_DOUBLE_EQ(seconds(), 2.0);
    preview.play();
    EXPECT_GE(seconds(), 2.0);

    preview.stop();
    EXPECT_EQ(buttonsOf(preview), kStopped);
    preview.play();
    EXPECT_LT(seconds(), 0.2);
}

TEST_F(MusicPreviewTest, TheEndOfTheSoundStopsAtTheNextTickAndPlayStartsAgain) {
    select(testing::sineWav({22050, 1, 2205, 440, 0.5}));  // 0.1 s
    preview.play();
    ASSERT_TRUE(tickUntil(10));
    EXPECT_EQ(buttonsOf(preview), kStopped);
    EXPECT_TRUE(preview.stopped());
    EXPECT_DOUBLE_EQ(seconds(), 0.1);
    preview.play();
    EXPECT_LT(seconds(), 0.1);
}

TEST_F(MusicPreviewTest, ASoundThatDoesNotDecodeLeavesButtonsThatPlayNothing) {
    select(testing::Bytes(100, 0x5A));
    EXPECT_EQ(preview.channel(), 0u);
    preview.play();
    EXPECT_EQ(buttonsOf(preview), kPlaying);
    EXPECT_EQ(preview.controls().positionMaximum, 0);  // not negative
    EXPECT_FALSE(preview.tick(64, 32));
    EXPECT_EQ(buttonsOf(preview), kStopped);
}

TEST(SpectrumLevelsTest, PeaksFallOnePixelAndBarsThreeATickFromTheLoudestValue) {
    SpectrumLevels levels;
    std::array<float, SpectrumLevels::kCount> spectrum{};
    spectrum[0] = 0.0205f;   // 10.25: 10 pixels
    spectrum[1] = -0.0105f;  // magnitude: 5 pixels
    spectrum[2] = 1.0f;      // 500, cut to the height
    levels.update(spectrum, 40);
    spectrum.fill(0);
    spectrum[1] = 0.0045f;  // 2 pixels: below both falling levels
    const int expected[][3][2] = {
        {{10, 10}, {5, 5}, {40, 40}},  // {peak, bar} of levels 0, 1, 2
        {{9, 7}, {4, 2}, {39, 37}},   {{8, 4}, {3, 2}, {38, 34}},
        {{7, 1}, {2, 2}, {37, 31}},   {{6, 0}, {2, 2}, {36, 28}},
    };
    for (int tick = 0; tick < 5; ++tick) {
        if (tick > 0) levels.update(spectrum, 40);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(::testing::Message() << "tick " << tick << " level " << i);
            EXPECT_EQ(levels.PeakLevels()[i], expected[tick][i][0]);
            EXPECT_EQ(levels.BarLevels()[i], expected[tick][i][1]);
        }
    }
}

TEST(SpectrumLevelsTest, PaintsThreePixelWideBarsAndPeakMarksOnAFourPixelPitch) {
    SpectrumLevels levels;
    std::array<float, SpectrumLevels::kCount> spectrum{};
    spectrum[1] = 0.0105f;  // 5 pixels
    levels.update(spectrum, 8);
    spectrum[1] = 0;
    levels.update(spectrum, 8);  // peak 4, bar 2
    constexpr int kWidth = 10, kHeight = 8;
    std::vector<std::uint32_t> pixels(kWidth * kHeight, 0x12345678);
    levels.paint(pixels, kWidth, kHeight);
    const char* expected[kHeight] = {
        "..........", "..........", "..........", "..........",
        "....###...", "..........", "....###...", "....###...",
    };
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool green = expected[y][x] == '#';
            EXPECT_EQ(pixels[y * kWidth + x], green ? 0xFF00FF00u : 0xFF000000u)
                << "x " << x << " y " << y;
        }
    }
}

}  // namespace
}  // namespace vantoro
