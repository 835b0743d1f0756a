// vantoro-cli new and delete: the names and files they make or change, and
// their exit codes.
#include "cli/pack_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "archive/my_image_images.h"
#include "tests/cli/cli_test_support.h"
#include "tests/support/pack_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::runWith;

TEST(NewCommandTest, MakesAnEmptyPackUnderTheNameWithItsEnding) {
    const struct {
        const char* typed;
        const char* made;
    } cases[] = {
        {"plain", "plain.pak"}, {"upper.PAK", "upper.PAK"}, {"x.pak.bak", "x.pak.bak.pak"}};
    testing::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const auto run = runWith({"new", dir.file(c.typed)});
        ASSERT_EQ(run.code, 0) << run.err;
        const std::string path = dir.file(c.made);
        const Bytes file = testing::readFile(path);
        ASSERT_EQ(file.size(), kPackHeaderSize);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 15), "PACK4.0 - zeqon");
        TWMMyImageImages pack;
        pack.FFileName = path;
        ASSERT_TRUE(pack.Initialize());
        EXPECT_EQ(pack.FImageCount, 0);
        EXPECT_TRUE(pack.canEdit());
        EXPECT_LT(std::abs(pack.CreationTime() - packTimeNow()), 1.0 / 24);
    }
}

TEST(NewCommandTest, AnExistingFileIsReplacedOnlyWithForce) {
    testing::TempDir dir;
    const std::string path = dir.file("kept.pak");
    testing::writePack(path, {testing::packFile(47, 40, false)});
    const Bytes before = testing::readFile(path);
    testing::expectOneLineError(runWith({"new", path}), 1, "--force");
    EXPECT_EQ(testing::readFile(path), before);
    ASSERT_EQ(runWith({"new", "--force", dir.file("kept")}).code, 0);
    EXPECT_EQ(testing::readFile(path).size(), kPackHeaderSize);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(DeleteCommandTest, ExitCodesFollowTheOutcome) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writePack(path, {testing::packFile(47, 40, false), testing::packFile(63, 50, true)});
    auto run = runWith({"delete", path, "0", "0"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "vantoro-cli: 删除数据完成\n");
    run = runWith({"delete", path, "1", "1", "--placeholders"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "vantoro-cli: 数据结束编号设置错误，不能大于总数据数量\n");
    testing::expectOneLineError(runWith({"delete", path, "0"}), 2, "missing argument LAST");
}

}  // namespace
}  // namespace vantoro
