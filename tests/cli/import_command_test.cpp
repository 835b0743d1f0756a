#include "cli/import_command.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "image_io/png_file.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/pack_writer.h"

namespace vantoro {
namespace {

using testing::CliRun;
using testing::runWith;

class ImportCommandTest : public ::testing::Test {
protected:
    ImportCommandTest() {
        testing::writePack(pack, {});
        std::filesystem::create_directories(dir.file("in/Placements"));
    }
    void png(const std::string& name, std::uint32_t width) {
        const testing::Bytes rgba(width * 2 * 4, 0x80);
        ASSERT_TRUE(savePng(PngRows{rgba, width, 2, PngLayout::Rgba8, 0}, dir.file(name)));
    }
    std::string list(const std::string& path) { return runWith({"list", path}).out; }

    testing::TempDir dir;
    std::string pack = dir.file("a.pak");
};

TEST_F(ImportCommandTest, FolderFilesGoInDisplayNameOrderWithTheirOffsets) {
    png("in/10.png", 4);
    png("in/9.png", 6);
    testing::writeFile(dir.file("in/Placements/10.txt"), {'7', '\r', '\n', '-', '8', '\r', '\n'});
    const CliRun run = runWith({"import", pack, "--format", "3", dir.file("in")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "vantoro-cli: 执行完成，是否退出导入界面？\n");
    EXPECT_EQ(list(pack), "0 31 4 2 7 -8 3\n1 31 6 2 0 0 3\n");
}

TEST_F(ImportCommandTest, QuestionsStopTheRunUnlessYesAndRefusalsExitOne) {
    png("in/a.png", 4);
    testing::writeFile(dir.file("in/b.txt"), {'x'});
    png("in/c.png", 4);
    const std::string unsupported =
        "vantoro-cli: " + dir.file("in/b.txt") + "\n未支持该文件类型或格式不正确，是否继续？\n";
    CliRun run = runWith({"import", pack, dir.file("in")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, unsupported + "vantoro-cli: 导入已停止，已存入 1 个文件\n");
    EXPECT_EQ(list(pack), "0 31 4 2 0 0 0\n");

    run = runWith({"import", pack, "--yes", "--mode", "insert", dir.file("in")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(list(pack), "0 31 4 2 0 0 0\n1 0 0 0 0 0 -1\n2 31 4 2 0 0 0\n3 31 4 2 0 0 0\n");

    EXPECT_EQ(runWith({"import", pack, "--content", "pictures", dir.file("in")}).code, 2);
    testing::writePack(pack, {testing::packFile(47, 200, false)}, {.password = "secret"});
    run = runWith({"import", pack, "--content", "empty"});
    testing::expectOneLineError(run, 1, "protected");
    EXPECT_EQ(runWith({"import", pack, "--password", "secret", "--content", "empty", "--count", "2",
                       "--mode", "insert"})
                  .code,
              0);
    EXPECT_EQ(runWith({"list", "--password", "secret", pack}).out,
              "0 0 0 0 0 0 -1\n1 0 0 0 0 0 -1\n2 47 0 0 0 0 -1\n");
}

TEST_F(ImportCommandTest, FromAnotherArchiveKeepsOffsetsAndFormats) {
    const std::string source = dir.file("b.pak");
    testing::writePack(source,
                       {testing::packImage(6, 3, 2, true), testing::packImage(4, 2, 3, false)});
    const std::string wil = dir.file("Hum.wil");
    testing::writeM2Def(wil, {{2, 2, -3, 7, {1, 2, 3, 4}}});
    CliRun run = runWith({"import", pack, "--from", source, "--format-from-file"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(list(pack), list(source));
    run = runWith({"import", pack, "--from", wil, "--mode", "insert"});
    EXPECT_EQ(run.code, 0) << run.err;
    const std::string listed = list(pack);
    EXPECT_EQ(listed.substr(0, 16), "0 31 2 2 -3 7 0\n");
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 3);
}

TEST_F(ImportCommandTest, OffsetsOnlyAndImageOnlyChangeWhatTheySay) {
    testing::writePack(pack, {testing::packImage(6, 3, 2, true), testing::packEmpty(),
                              testing::packImage(4, 2, 3, false)});
    struct Row {
        std::vector<std::string> args;
        std::string listed;
    };
    testing::writeFile(dir.file("in/o.txt"), {'1', '2', ' ', '3', '4', '\n'});
    png("in/p.png", 8);
    const Row rows[] = {
        {{"--offsets-from", "fixed", "--offsets", "+5,_3", "--end", "2"},
         "0 31 6 3 6 -6 2\n1 0 0 0 0 0 -1\n2 31 4 2 6 -6 3\n"},
        {{"--offsets-from", "fixed", "--offsets", "10,-2", "--start", "2", "--end", "2"},
         "0 31 6 3 6 -6 2\n1 0 0 0 0 0 -1\n2 31 4 2 10 -2 3\n"},
        {{"--start", "2", dir.file("in/o.txt")},
         "0 31 6 3 6 -6 2\n1 0 0 0 0 0 -1\n2 31 4 2 12 34 3\n"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"import", pack, "--what", "offsets"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const CliRun run = runWith(args);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(list(pack), row.listed);
    }
    const CliRun run = runWith({"import", pack, "--what", "image", dir.file("in/p.png")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(list(pack).substr(0, 16), "0 31 8 2 6 -6 0\n");
}

}  // namespace
}  // namespace vantoro
