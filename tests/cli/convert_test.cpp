#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "archive/archive_kind.h"
#include "cli/convert_command.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/format_fixtures.h"
#include "tests/support/m2_def_writer.h"

namespace vantoro {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::runWith;

// Every file below `folder` by its path from there.
std::map<std::string, testing::Bytes> treeOf(const std::string& folder) {
    std::map<std::string, testing::Bytes> tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            tree[entry.path().lexically_relative(folder).string()] =
                testing::readFile(entry.path().string());
        }
    }
    return tree;
}

class ConvertTest : public ::testing::Test {
protected:
    ConvertTest() {
        fs::create_directories(sources);
        // One archive of every kind that opens without a password, each named
        // after its fixture ("wzl.wzl", "wzl.WZX").
        for (const testing::FormatFixture& fixture : testing::formatFixtures()) {
            // The Mir3 fixtures lack the marker that tells a Mir3 .wil by its bytes.
            if (!fixture.password.empty() || fixture.kind == TWMImagesKind::M3Def) continue;
            for (const auto& [name, bytes] : fixture.files) {
                testing::writeFile(
                    sources + "/" + fixture.name + fs::path(name).extension().string(), bytes);
            }
        }
        // More entries than one thread's share, so that an archive is split.
        std::vector<testing::M2Image> images;
        for (std::uint32_t i = 0; i < 100; ++i) {
            images.push_back(testing::patternImage(2 + i % 5, 3, i % 2 == 0, i));
        }
        testing::writeM2Def(sources + "/big.wil", images);
    }

    std::string out(const std::string& name) const { return dir.file(name); }

    testing::TempDir dir;
    std::string sources = dir.file("src");
};

TEST_F(ConvertTest, WritesWhatExportOfEveryEntryWritesWhateverTheThreads) {
    const std::vector<std::vector<std::string>> optionSets = {{}, {"--to", "bmp", "--alpha"}};
    for (const std::vector<std::string>& options : optionSets) {
        SCOPED_TRACE(options.empty() ? "png" : "bmp --alpha");
        std::map<std::string, testing::Bytes> trees[2];
        for (const int jobs : {1, 3}) {
            const std::string folder = out("jobs" + std::to_string(jobs));
            fs::remove_all(folder);
            std::vector<std::string> args{"convert", "--jobs", std::to_string(jobs)};
            args.insert(args.end(), options.begin(), options.end());
            args.insert(args.end(), {sources, folder});
            const CliRun run = runWith(args);
            EXPECT_EQ(run.code, 0) << run.err;
            EXPECT_TRUE(run.out.starts_with("9 of 9 archives converted, 0 failed")) << run.out;
            trees[jobs == 1 ? 0 : 1] = treeOf(folder);
        }
        EXPECT_TRUE(trees[0] == trees[1]);

        const std::string expected = out("export");
        fs::remove_all(expected);
        for (const auto& archive : fs::directory_iterator(sources)) {
            const std::string name = archive.path().filename().string();
            if (!kindForExtension(fileExtension(name), {})) continue;  // an index file
            std::vector<std::string> args{"export", archive.path().string(), "0", "LAST",
                                          expected + "/" + name};
            args.push_back(options.empty() ? "--png" : "--alpha");
            EXPECT_EQ(runWith(args).code, 0) << name;
        }
        const auto exported = treeOf(expected);
        EXPECT_TRUE(trees[0] == exported);
        EXPECT_TRUE(exported.contains("big.wil/Placements/000099.txt"));
        EXPECT_TRUE(exported.contains("pak.pak/000001.wav"));
    }
}

TEST_F(ConvertTest, PacksHoldWhatImportFromMakesOfEachArchive) {
    const std::string packs = out("packs");
    const CliRun run = runWith({"convert", "--to", "pak", "--jobs", "2", sources, packs});
    EXPECT_EQ(run.code, 0) << run.err;
    for (const auto& archive : fs::directory_iterator(sources)) {
        const std::string name = archive.path().filename().string();
        if (!kindForExtension(fileExtension(name), {})) continue;
        const std::string made = out(name + ".pak");
        ASSERT_EQ(runWith({"new", made}).code, 0);
        ASSERT_EQ(runWith({"import", made, "--from", archive.path().string()}).code, 0) << name;
        // Packs hold random bytes and their creation time: their entries are compared.
        EXPECT_EQ(runWith({"list", packs + "/" + name + ".pak"}).out, runWith({"list", made}).out)
            << name;
    }
}

TEST_F(ConvertTest, AFailedArchiveIsNamedAndTheOthersAreStillConverted) {
    const std::string mixed = dir.file("mixed");
    fs::create_directories(mixed);
    for (const testing::FormatFixture& fixture : testing::formatFixtures()) {
        if (fixture.name == "pakProtected")
            testing::writeFile(mixed + "/locked.pak", fixture.files[0].second);
    }
    testing::writeFile(mixed + "/broken.wzl", testing::Bytes(40, 0xEE));
    fs::copy_file(sources + "/wis.wis", mixed + "/wis.wis");

    const CliRun run = runWith({"convert", mixed, out("mixed-out")});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("broken.wzl"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("locked.pak: " + std::string(cli::kLockedPackMessage)),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(run.out.starts_with("1 of 3 archives converted, 2 failed: 3 entries")) << run.out;
    EXPECT_TRUE(fs::exists(out("mixed-out/wis.wis/000002.png")));
}

TEST_F(ConvertTest, BadArgumentsExitTwoBeforeAnythingIsWritten) {
    fs::create_directories(dir.file("a"));
    fs::create_directories(dir.file("b"));
    fs::create_directories(dir.file("empty"));
    fs::copy_file(sources + "/wis.wis", dir.file("a/x.wis"));
    fs::copy_file(sources + "/wis.wis", dir.file("b/x.wis"));
    fs::copy_file(sources + "/pak.pak", dir.file("a/x.wis.pak"));
    testing::writeFile(dir.file("notes.txt"), {1});
    const std::string target = out("never");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{sources}, "missing argument OUT"},
        {{"--to", "gif", sources, target}, "bad value 'gif' for --to"},
        {{"--jobs", "0", sources, target}, "bad value '0' for --jobs"},
        {{"--jobs", "x", sources, target}, "bad value 'x' for --jobs"},
        {{"--to", "pak", "--alpha", sources, target}, "--alpha"},
        {{dir.file("none.wil"), target}, "no such file"},
        {{dir.file("notes.txt"), target}, "cannot tell the archive kind"},
        {{dir.file("empty"), target}, "no archives in this folder"},
        {{dir.file("a"), dir.file("b"), target}, "would both be written as x.wis"},
        {{"--to", "pak", dir.file("a"), dir.file("a")}, "would be written over the source"},
    };
    for (const auto& [words, message] : cases) {
        std::vector<std::string> args{"convert"};
        args.insert(args.end(), words.begin(), words.end());
        testing::expectOneLineError(runWith(args), 2, message);
    }
    EXPECT_FALSE(fs::exists(target));
    // The same file reached twice is converted once.
    const CliRun twice = runWith({"convert", dir.file("b"), dir.file("b/x.wis"), target});
    EXPECT_EQ(twice.code, 0) << twice.err;
    EXPECT_TRUE(twice.out.starts_with("1 of 1 archives converted")) << twice.out;
}

}  // namespace
}  // namespace vantoro
