#include "cli/export_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/console_prompts.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/m2_def_writer.h"

namespace vantoro {
namespace {

using testing::CliRun;
using testing::expectOneLineError;
using testing::runWith;

class ExportCommandTest : public ::testing::Test {
protected:
    ExportCommandTest() {
        testing::writeM2Def(archive, {{2, 2, -3, 7, {1, 2, 3, 4}}, {2, 2, 0, 0, {5, 6, 7, 8}}});
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(folder + name); }

    testing::TempDir dir;
    std::string archive = dir.file("Hum.wil");
    std::string folder = dir.file("out") + "/";
};

TEST_F(ExportCommandTest, WritesTheRangeAndSaysSoOnStandardError) {
    const CliRun run = runWith({"export", archive, "0", "1", folder});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "vantoro-cli: 导出数据完成\n");
    EXPECT_TRUE(exists("000000.bmp") && exists("000001.bmp"));
    const testing::Bytes offsets = testing::readFile(folder + "Placements/000000.txt");
    EXPECT_EQ(std::string(offsets.begin(), offsets.end()), "-3\r\n7\r\n");

    folder = dir.file("png") + "/";
    EXPECT_EQ(runWith({"export", archive, "$1", "1", folder, "--no-offsets", "--png"}).code, 0);
    EXPECT_TRUE(exists("000001.png"));
    EXPECT_FALSE(exists("Placements"));
}

TEST_F(ExportCommandTest, ProgressOnATerminalEndsItsLineBeforeMessages) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runCli({"export", archive, "0", "1", folder}, out, err, true), 0);
    EXPECT_EQ(err.str(), "\rexport: 0%\rexport: 100%\nvantoro-cli: 导出数据完成\n");

    std::ostringstream questions;
    cli::ConsolePrompts prompts(questions, "import", false, true);
    EXPECT_FALSE(prompts.progress());
    const Prompt question{"a.bmp\r\nnext?", "c", PromptButtons::OkCancel, PromptIcon::Warning,
                          PromptAnswer::Cancel};
    EXPECT_EQ(prompts.ask(question), PromptAnswer::Ok);  // --yes
    EXPECT_EQ(questions.str(), "vantoro-cli: a.bmp\nnext?\n");
}

TEST_F(ExportCommandTest, BadRangesGiveTheDialogsMessageAndExitOne) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-1", "1"}, "数据起始编号设置错误"},
        {{"0", "-1"}, "数据结束编号设置错误"},
        {{"0", "2"}, "数据结束编号设置错误，不能大于总数据数量"},
        {{"1", "0"}, "数据起始编号设置错误，不能大于结号编号"},
    };
    for (const auto& [range, message] : cases) {
        const CliRun run = runWith({"export", archive, range[0], range[1], folder});
        expectOneLineError(run, 1);
        EXPECT_EQ(run.err, "vantoro-cli: " + message + "\n");
    }
    EXPECT_FALSE(exists(""));
    expectOneLineError(runWith({"export", archive, "0", "1"}), 2, "missing argument FOLDER");
    expectOneLineError(runWith({"export", archive, "abc", "1", folder}), 2, "bad FIRST 'abc'");
    expectOneLineError(runWith({"export", archive, "0", "0", " "}), 1, "no folder");
    EXPECT_EQ(testing::runBinary("export " + archive + " 1 0 " + folder), 1);
}

}  // namespace
}  // namespace vantoro
