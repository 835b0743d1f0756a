// vantoro-cli sound, spectrum and play over the sound entries of a pack.
#include "cli/sound_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/cli/cli_test_support.h"
#include "tests/support/pack_writer.h"
#include "tests/support/sound_writer.h"

namespace vantoro {
namespace {

using testing::runWith;

class SoundCommandsTest : public ::testing::Test {
protected:
    SoundCommandsTest() {
        testing::PackEntry stereo = testing::packFile(63, 0, false);
        stereo.payload = testing::sineWav({44100, 2, 4410, 64 * 44100.0 / 4096, 0.5});
        testing::PackEntry mono = testing::packFile(63, 0, true);  // stored compressed
        mono.payload = testing::sineWav({8000, 1, 12345, 440, 0.5});
        testing::PackEntry noise = testing::packFile(79, 500, false);
        testing::PackEntry data = testing::packFile(47, 100, false);
        testing::writePack(pack, {stereo, mono, noise, data, testing::packImage(4, 4, 2, false)});
    }

    testing::TempDir dir;
    const std::string pack = dir.file("sounds.pak");
};

TEST_F(SoundCommandsTest, SoundPrintsTypeRateChannelsLengthAndSeconds) {
    const struct {
        const char* index;
        const char* line;
    } cases[] = {
        {"0", "63 44100 2 17640 0.100000\n"},
        {"1", "63 8000 1 24690 1.543125\n"},
    };
    for (const auto& c : cases) {
        const auto run = runWith({"sound", pack, c.index});
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.out, c.line);
    }
}

TEST_F(SoundCommandsTest, SpectrumPrintsTwoThousandAndFortyEightValuesAtThePosition) {
    const auto run = runWith({"spectrum", pack, "0", "0.05"});
    ASSERT_EQ(run.code, 0) << run.err;
    std::istringstream lines(run.out);
    std::vector<std::string> values;
    for (std::string line; std::getline(lines, line);) values.push_back(line);
    ASSERT_EQ(values.size(), 2048u);
    // From frame 2205 on, 2205 frames remain of the half-scale sine on bin 64:
    // about a quarter of full scale there, and six decimals on every line.
    EXPECT_NEAR(std::stod(values[64]), 0.25, 0.05);
    for (const std::string& value : values) {
        ASSERT_EQ(value.size() - value.find('.'), 7u) << value;
    }
}

TEST_F(SoundCommandsTest, EntriesWithoutADecodableSoundFailAndBadWordsAreUsageErrors) {
    const struct {
        std::vector<std::string> args;
        int code;
        const char* fragment;
    } cases[] = {
        {{"sound", pack, "2"}, 1, "entry 2: cannot decode"},
        {{"sound", pack, "3"}, 1, "holds no sound (data type 47)"},
        {{"spectrum", pack, "4", "0"}, 1, "holds no sound (data type 31)"},
        {{"sound", pack, "5"}, 1, "out of range"},
        {{"spectrum", pack, "0", "0.2"}, 1, "past the end"},
        {{"spectrum", pack, "0", "-1"}, 2, "bad position"},
        {{"spectrum", pack, "0", "1e3"}, 2, "bad position"},
        {{"play", pack}, 2, "missing argument INDEX"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        testing::expectOneLineError(runWith(c.args), c.code, c.fragment);
    }
}

TEST_F(SoundCommandsTest, PlayNeedsAnAudioDevice) {
    EXPECT_EQ(runWith({"play", pack, "0"}).code, 0);
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = driver ? driver : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::expectOneLineError(runWith({"play", pack, "0"}), 1, "no audio device");
    driver ? setenv("SDL_AUDIODRIVER", saved.c_str(), 1) : unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
}  // namespace vantoro
