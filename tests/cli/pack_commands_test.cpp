// vantoro-cli new, delete and recover: the names and files they make or
// change, and their exit codes.
#include "cli/pack_commands.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <random>

#include "archive/my_image_images.h"
#include "io/edit_journal.h"
#include "io/file_writes.h"
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
        const auto pack = testing::openPack(path);
        ASSERT_TRUE(pack->FInitialized);
        EXPECT_EQ(pack->FImageCount, 0);
        EXPECT_TRUE(pack->canEdit());
        EXPECT_LT(std::abs(pack->CreationTime() - packTimeNow()), 1.0 / 24);
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

// An import holding the pack's editing lock (between its first append and
// its save), or the journal of an interrupted edit beside the pack: new
// does not replace the pack, --force or not, and says why.
TEST(NewCommandTest, APackBeingEditedOrBesideAJournalIsNotReplaced) {
    testing::TempDir dir;
    const std::string path = dir.file("kept.pak");
    const testing::PackEntry entry = testing::packFile(47, 40, false);
    const Bytes before = testing::writePack(path, {entry}).data;
    {
        auto importing = testing::openPack(path);
        ASSERT_TRUE(importing->AppendEntry(testing::packEntryHeader(entry, 40), entry.payload));
        testing::expectOneLineError(runWith({"new", "--force", path}), 1,
                                    "another program is editing the pack");
        ASSERT_EQ(importing->SaveIndex(), 1);
        EXPECT_EQ(importing->FImageCount, 2);
    }
    const Bytes imported = testing::readFile(path);
    testing::writeFile(journalPath(path), Bytes(300, 7));
    testing::expectOneLineError(runWith({"new", "--force", path}), 1, journalPath(path));
    EXPECT_EQ(testing::readFile(path), imported);
    EXPECT_NE(imported, before);
}

// 100 random bytes as the journal beside a whole pack: every command that
// opens the pack fails with one message naming the damaged journal and the
// way out; recover says what it does, sets the journal aside (renamed, its
// bytes kept) and opens the pack as the file holds it.
TEST(RecoverCommandTest, SetsADamagedJournalAsideAndOpensThePackAsTheFileHoldsIt) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writePack(path, {testing::packFile(47, 40, false), testing::packFile(63, 50, true),
                              testing::packFile(47, 70, false)});
    std::mt19937 random(100);
    Bytes noise(100);
    for (auto& b : noise) b = static_cast<std::uint8_t>(random());
    testing::writeFile(journalPath(path), noise);
    const std::vector<std::vector<std::string>> readers = {
        {"info", path}, {"list", path}, {"data", path, "0", dir.file("out.dat")}};
    for (const auto& args : readers) {
        SCOPED_TRACE(args[0]);
        const auto run = runWith(args);
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find("damaged edit journal"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("vantoro-cli recover " + path), std::string::npos) << run.err;
    }
    auto run = runWith({"recover", path});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_LT(run.out.find("Setting the journal aside"), run.out.find("entries: 3\n")) << run.out;
    EXPECT_EQ(testing::readFile(journalPath(path) + ".damaged"), noise);
    EXPECT_FALSE(std::filesystem::exists(journalPath(path)));
    run = runWith({"list", path});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3);
    run = runWith({"recover", path});
    EXPECT_EQ(run.code, 0);
    EXPECT_NE(run.out.find("nothing is set aside"), std::string::npos) << run.out;
}

// Every write fails from the given one on, as when the program is killed
// there.
class WritesStopFrom final : public ScopedFileFaults {
public:
    explicit WritesStopFrom(int first) : m_first(first) {}
    int before(FileOp, int, std::int64_t, std::int64_t) override {
        return ++m_seen >= m_first ? EIO : 0;
    }

private:
    int m_first;
    int m_seen = 0;
};

// A delete is stopped part way through its move and another pack is put
// under the name: the command sets the journal aside, shows the pack as the
// file holds it and warns on its own error stream, with its prefix.
TEST(PackJournalTest, AJournalOfAnotherFileIsSetAsideWithAWarning) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    std::vector<testing::PackEntry> entries;
    for (std::uint32_t i = 0; i < 30; ++i) {
        entries.push_back(testing::packFile(47, 50000 + 11 * i, false, 300 + i));
    }
    testing::writePack(path, entries);
    {
        auto pack = testing::openPack(path);
        const WritesStopFrom stop(30);
        ASSERT_FALSE(pack->removeEntries(0, 0, true));
    }
    ASSERT_TRUE(std::filesystem::exists(journalPath(path)));
    testing::writePack(path, {testing::packFile(47, 40, false)});
    const auto run = runWith({"info", path});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("entries: 1\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.err.rfind("vantoro-cli: warning: " + path + ": ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("belongs to another file"), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::exists(journalPath(path) + ".orphan"));
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
