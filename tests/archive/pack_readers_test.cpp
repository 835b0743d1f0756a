// Readers of a pack while another program edits it: every read that
// succeeds shows the pack as it was before the edit or as the edit leaves it;
// a read that cannot do so fails and says why.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "archive/my_image_images.h"
#include "archive/pack_entry_header.h"
#include "io/file_stream.h"
#include "tests/support/pack_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::PackEntry;
using Clock = std::chrono::steady_clock;

// Small entries of types that differ from their neighbours (so a list read
// at shifted offsets shows), with large data entries behind them: deleting
// entry 1 moves about 100 MiB.
std::vector<PackEntry> stressEntries() {
    constexpr std::uint8_t kTypes[] = {31, 47, 63, 79};
    std::vector<PackEntry> entries;
    for (std::uint32_t i = 0; i < 12; ++i) {
        entries.push_back(testing::packFile(kTypes[i % 4], 1000 + 97 * i, false, i + 1));
        if (i % 3 == 2) entries.push_back(testing::packFile(47, 26u << 20, false, 100 + i));
    }
    return entries;
}

Bytes stagedEntry(const PackEntry& entry) {
    const auto header = PackEntryHeader(testing::packEntryHeader(entry, entry.payload.size()),
                                        RandomSource::program());
    Bytes bytes(header->begin(), header->end());
    bytes.insert(bytes.end(), entry.payload.begin(), entry.payload.end());
    return bytes;
}

// Deletes entry 1 and inserts it again, over and over, until `seconds` pass,
// with a pause after each edit in which readers get their turn.
[[noreturn]] void editInChild(const std::string& path, const PackEntry& moved, int seconds) {
    const auto until = Clock::now() + std::chrono::seconds(seconds);
    const Bytes staged = stagedEntry(moved);
    const std::int32_t batch[] = {0};
    auto pack = testing::openPack(path);
    bool ok = true;
    while (ok && Clock::now() < until) {
        ok = pack->removeEntries(1, 1, true).ok();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ok = ok && pack->insertBatch(1, staged, batch).ok();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    _exit(ok ? 0 : 3);
}

struct ReadTally {
    int good = 0;
    int refused = 0;
    int wrong = 0;
};

// One list-equivalent read and entry 2's data, checked against the state
// the count names: all entries (before a delete) or entry 1 missing.
void readOnce(const std::string& path, const std::vector<PackEntry>& entries, ReadTally& tally) {
    auto pack = testing::openPack(path);
    const auto all = static_cast<std::int32_t>(entries.size());
    const std::int32_t missing = pack->FImageCount == all - 1 ? 1 : all;
    // Entry `i` of the state read, in `entries`.
    const auto entry = [&](std::int32_t i) -> const PackEntry& {
        return entries[static_cast<std::size_t>(i < missing ? i : i + 1)];
    };
    bool same = pack->FImageCount == all || missing == 1;
    for (std::int32_t i = 0; same && i < pack->FImageCount; ++i) {
        same = pack->GetDataType(i) == entry(i).dataType;
    }
    const auto data = same ? pack->GetDataStream(2, 0) : std::nullopt;
    if (!pack->readRefusal().empty()) {
        ++tally.refused;
        return;
    }
    same = same && data && Bytes(data->begin(), data->end()) == entry(2).payload;
    ++(same ? tally.good : tally.wrong);
}

TEST(PackReadersTest, ReadsDuringDeletesAndInsertsShowThePackBeforeOrAfter) {
    testing::TempDir dir;
    const std::string path = dir.file("big.pak");
    const std::vector<PackEntry> entries = stressEntries();
    testing::writePack(path, entries);

    const pid_t editor = fork();
    ASSERT_GE(editor, 0);
    if (editor == 0) editInChild(path, entries[1], 8);
    ReadTally tally;
    int status = 0;
    while (waitpid(editor, &status, WNOHANG) == 0) readOnce(path, entries, tally);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(tally.wrong, 0) << tally.wrong << " wrong, " << tally.good << " good, "
                              << tally.refused << " refused";
    EXPECT_GT(tally.good, 0);
    RecordProperty("good", tally.good);
    RecordProperty("refused", tally.refused);
}

class ReaderGateTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("p.pak");
        entries = {testing::packFile(47, 300, false, 1), testing::packFile(63, 500, false, 2),
                   testing::packFile(79, 700, false, 3)};
        testing::writePack(path, entries);
        FileStream::setReadWaits({.notifyAfter = std::chrono::milliseconds(50),
                                  .giveUpAfter = std::chrono::milliseconds(300),
                                  .notice = [this] { ++notices; }});
    }
    void TearDown() override { FileStream::setReadWaits({}); }

    testing::TempDir dir;
    std::string path;
    std::vector<PackEntry> entries;
    int notices = 0;
};

TEST_F(ReaderGateTest, AReaderWaitsForAnEditTellsOnceAndThenFails) {
    auto editor = FileStream::open(path, FileStream::Mode::ReadWrite);
    ASSERT_TRUE(editor->tryLockForEditing());
    const auto started = Clock::now();
    auto reader = testing::openPack(path);
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(300));
    EXPECT_EQ(reader->readRefusal(), "another program is editing the pack");
    EXPECT_EQ(reader->FImageCount, 0);
    EXPECT_EQ(notices, 1);

    editor->unlockForEditing();
    reader = testing::openPack(path);
    EXPECT_TRUE(reader->readRefusal().empty());
    EXPECT_EQ(reader->FImageCount, 3);
}

TEST_F(ReaderGateTest, AReaderOpenedBeforeAnEditFailsInsteadOfReadingStaleOffsets) {
    auto reader = testing::openPack(path);
    auto editor = testing::openPack(path);
    EXPECT_EQ(reader->GetDataType(1), 63);
    ASSERT_TRUE(editor->removeEntries(0, 0, true).ok());

    EXPECT_FALSE(reader->GetDataStream(1, 0));
    EXPECT_EQ(reader->GetDataType(2), kDataTypeImage);
    EXPECT_EQ(reader->readRefusal(), "the pack was changed by another program; open it again");
    // The editor's own reads are not stale.
    EXPECT_EQ(editor->GetDataType(1), 79);
    EXPECT_TRUE(editor->readRefusal().empty());
}

}  // namespace
}  // namespace vantoro
