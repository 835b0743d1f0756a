// Pack edits stopped at every moment: each write, sync and size change of
// every editing step fails in turn (once, from then on as when the program
// dies, or as a full disk), and the pack must reopen with exactly its entries
// before the step or after it, with no journal left and still editable. A
// child process killed at random moments of large inserts and deletes must
// leave the same.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <random>

#include "archive/my_image_images.h"
#include "archive/pack_cipher.h"
#include "io/edit_journal.h"
#include "io/file_writes.h"
#include "tests/support/pack_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::PackEntry;

// What the tests compare: each slot's type, offsets and stored bytes.
struct Slot {
    std::uint8_t type = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    Bytes payload;
    bool operator==(const Slot&) const = default;
};
using Model = std::vector<Slot>;

Slot slotOf(const PackEntry& e) {
    return {e.dataType, e.x, e.y, e.dataType ? e.payload : Bytes{}};
}

Model modelOf(const std::vector<PackEntry>& entries) {
    Model model;
    for (const PackEntry& e : entries) model.push_back(slotOf(e));
    return model;
}

using testing::openPack;

Model readModel(TWMMyImageImages& pack) {
    Model model;
    for (std::int32_t i = 0; i < pack.FImageCount; ++i) {
        const TPackEntryHeader h = pack.ReadEntryHeader(i);
        const auto data = pack.GetDataStream(i, 0);
        model.push_back(
            {pack.GetDataType(i), h.x, h.y, data ? Bytes(data->begin(), data->end()) : Bytes{}});
    }
    return model;
}

// Entries of the sizes that make moves of every kind: a distance of at least
// a piece, of a few pieces, and of a few bytes (pieces saved in the journal).
PackEntry dataEntry(std::size_t size, std::uint32_t seed) {
    PackEntry e = testing::packFile(47, size, false, seed);
    e.x = static_cast<std::int16_t>(seed);
    return e;
}

std::vector<PackEntry> startEntries() {
    return {dataEntry(40000, 1), dataEntry(100, 2),   dataEntry(50000, 3), testing::packEmpty(),
            dataEntry(3000, 4),  dataEntry(45000, 5), dataEntry(64, 6),    dataEntry(42000, 7)};
}

// The bytes an insert or overwrite batch stores: headers and data, -1 for a
// placeholder.
struct Staged {
    Bytes bytes;
    std::vector<std::int32_t> offsets;
};

Staged stage(const TWMMyImageImages& pack, const std::vector<PackEntry>& entries) {
    Staged staged;
    for (const PackEntry& e : entries) {
        if (e.dataType == 0) {
            staged.offsets.push_back(-1);
            continue;
        }
        staged.offsets.push_back(static_cast<std::int32_t>(staged.bytes.size()));
        const auto header =
            PackEntryHeader(testing::packEntryHeader(e, e.payload.size()), RandomSource::program());
        Bytes data = e.payload;
        CipherEntryData(pack.FCipherActive, pack.FPassword, data, true);
        staged.bytes.insert(staged.bytes.end(), header->begin(), header->end());
        staged.bytes.insert(staged.bytes.end(), data.begin(), data.end());
    }
    return staged;
}

struct EditCase {
    const char* name;
    std::function<bool(TWMMyImageImages&)> run;
    std::function<void(Model&)> expect;
};

const PackEntry kLarge = dataEntry(36000, 11);
const PackEntry kSmall = dataEntry(40, 12);
// Moved by more than a piece of the move: no piece is saved in the journal.
const PackEntry kHuge = dataEntry(300000, 13);

bool insertAt(TWMMyImageImages& pack, std::int32_t first, const std::vector<PackEntry>& entries) {
    const Staged s = stage(pack, entries);
    return pack.insertBatch(first, s.bytes, s.offsets).ok();
}

bool overwriteAt(TWMMyImageImages& pack, std::int32_t first,
                 const std::vector<PackEntry>& entries) {
    const Staged s = stage(pack, entries);
    return pack.overwriteBatch(first, s.bytes, s.offsets).ok();
}

const std::vector<EditCase>& editCases() {
    static const std::vector<EditCase> cases = {
        {"append two, then save",
         [](auto& p) {
             return p.AppendEntry(testing::packEntryHeader(kSmall, 40), kSmall.payload) &&
                    p.AppendEntry(testing::packEntryHeader(kLarge, 36000), kLarge.payload) &&
                    p.SaveIndex() == 1;
         },
         [](Model& m) {
             m.push_back(slotOf(kSmall));
             m.push_back(slotOf(kLarge));
         }},
        {"insert a large entry", [](auto& p) { return insertAt(p, 2, {kLarge}); },
         [](Model& m) { m.insert(m.begin() + 2, slotOf(kLarge)); }},
        {"insert a huge entry", [](auto& p) { return insertAt(p, 1, {kHuge}); },
         [](Model& m) { m.insert(m.begin() + 1, slotOf(kHuge)); }},
        {"insert a small entry and a placeholder",
         [](auto& p) {
             return insertAt(p, 0, {kSmall, testing::packEmpty()});
         },
         [](Model& m) {
             m.insert(m.begin(), {slotOf(kSmall), Slot{}});
         }},
        {"overwrite with more bytes",
         [](auto& p) {
             return overwriteAt(p, 1, {kLarge, kSmall});
         },
         [](Model& m) {
             m[1] = slotOf(kLarge);
             m[2] = slotOf(kSmall);
         }},
        {"overwrite with fewer bytes",
         [](auto& p) {
             return overwriteAt(p, 4, {kSmall, testing::packEmpty()});
         },
         [](Model& m) {
             m[4] = slotOf(kSmall);
             m[5] = Slot{};
         }},
        {"remove a large and a small entry",
         [](auto& p) { return p.removeEntries(0, 1, true).ok(); },
         [](Model& m) { m.erase(m.begin(), m.begin() + 2); }},
        {"remove a small entry", [](auto& p) { return p.removeEntries(1, 1, true).ok(); },
         [](Model& m) { m.erase(m.begin() + 1); }},
        {"leave placeholders", [](auto& p) { return p.removeEntries(4, 5, false).ok(); },
         [](Model& m) {
             m[4] = Slot{};
             m[5] = Slot{};
         }},
        {"change offsets",
         [](auto& p) {
             const PackOffsetsChange changes[] = {{0, -5, 9}, {5, 300, -300}};
             return p.setOffsetsOf(changes).ok();
         },
         [](Model& m) {
             m[0].x = -5;
             m[0].y = 9;
             m[5].x = 300;
             m[5].y = -300;
         }},
        {"add empty entries",
         [](auto& p) {
             p.InsertIndex(1, 0);
             p.InsertIndex(1, 0);
             return p.SaveIndex() == 1;
         },
         [](Model& m) { m.insert(m.begin() + 1, 2, Slot{}); }},
    };
    return cases;
}

enum class FaultKind { Count, FailOnce, StopFrom, DiskFullFrom };

class FaultPlan final : public ScopedFileFaults {
public:
    FaultPlan(FaultKind kind, int at) : m_kind(kind), m_at(at) {}

    int before(FileOp op, int fd, std::int64_t offset, std::int64_t length) override {
        ++m_seen;
        if (m_kind == FaultKind::Count || m_seen < m_at) return 0;
        switch (m_kind) {
            case FaultKind::FailOnce:
                return m_seen == m_at ? EIO : 0;
            case FaultKind::StopFrom:
                return EIO;
            case FaultKind::DiskFullFrom:
                return needsSpace(op, fd, offset, length) ? ENOSPC : 0;
            case FaultKind::Count:
                break;
        }
        return 0;
    }
    int seen() const { return m_seen; }

private:
    // A full disk refuses what needs new blocks; overwriting allocated bytes works.
    static bool needsSpace(FileOp op, int fd, std::int64_t offset, std::int64_t length) {
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0) return false;
        if (op == FileOp::Resize) return length > info.st_size;
        return op == FileOp::Write && offset + length > info.st_size;
    }

    FaultKind m_kind;
    int m_at;
    int m_seen = 0;
};

TEST(PackCrashTest, EveryStepStoppedAtAnyWriteReopensBeforeOrAfter) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    const Model before = modelOf(startEntries());
    int viewsCompared = 0;
    for (const std::string password : {"", "open sesame"}) {
        for (const EditCase& c : editCases()) {
            Model after = before;
            c.expect(after);
            testing::writePack(path, startEntries(), {password});
            int operations = 0;
            {
                auto pack = openPack(path, password);
                const FaultPlan counting(FaultKind::Count, 0);
                ASSERT_TRUE(c.run(*pack)) << c.name;
                operations = counting.seen();
                ASSERT_EQ(readModel(*pack), after) << c.name;
            }
            for (const FaultKind kind :
                 {FaultKind::FailOnce, FaultKind::StopFrom, FaultKind::DiskFullFrom}) {
                for (int n = 1; n <= operations; ++n) {
                    SCOPED_TRACE(std::string(c.name) + " kind " +
                                 std::to_string(static_cast<int>(kind)) + " at " +
                                 std::to_string(n) + (password.empty() ? "" : " protected"));
                    testing::writePack(path, startEntries(), {password});
                    bool done = false;
                    {
                        auto pack = openPack(path, password);
                        const FaultPlan faults(kind, n);
                        done = c.run(*pack);
                        pack.reset();  // as the program ends
                    }
                    // Where the pack cannot be written, a journal left
                    // behind is not completed, but the entries read as
                    // completing it makes them.
                    Model shown;
                    if (hasJournal(path)) {
                        const FaultPlan unwritable(FaultKind::StopFrom, 1);
                        shown = readModel(*openPack(path, password));
                    }
                    auto pack = openPack(path, password);
                    const Model found = readModel(*pack);
                    if (!shown.empty()) {
                        EXPECT_EQ(shown, found);
                        ++viewsCompared;
                    }
                    if (done) {
                        EXPECT_EQ(found, after);
                    } else {
                        EXPECT_TRUE(found == before || found == after);
                    }
                    EXPECT_FALSE(hasJournal(path));
                    EXPECT_TRUE(pack->canEdit());
                }
            }
        }
    }
    EXPECT_GT(viewsCompared, 100);
}

// Sets or clears the immutable flag, which keeps even root from writing.
bool setImmutable(const std::string& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

// Makes the file impossible to open for writing, as on read-only media;
// false where this process cannot.
bool makeUnwritable(const std::string& path) {
    ::chmod(path.c_str(), 0444);
    if (::access(path.c_str(), W_OK) != 0) return true;
    return setImmutable(path, true);
}

void makeWritable(const std::string& path) {
    (void)setImmutable(path, false);
    ::chmod(path.c_str(), 0644);
}

TEST(PackCrashTest, AnEditThatCannotBeCompletedShowsTheEditedEntriesAndRefusesEdits) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writePack(path, startEntries());
    Model after = modelOf(startEntries());
    after.erase(after.begin(), after.begin() + 2);
    {
        auto pack = openPack(path, "");
        const FaultPlan stop(FaultKind::StopFrom, 12);  // inside the move
        EXPECT_FALSE(pack->removeEntries(0, 1, true));
        EXPECT_EQ(pack->editBlock(), PackEditBlock::UnfinishedEdit);
        EXPECT_EQ(readModel(*pack), after);
        EXPECT_TRUE(hasJournal(path));
    }
    // A pack on read-only media opens read-only, journal or not.
    if (!makeUnwritable(path)) GTEST_SKIP() << "cannot make a file unwritable here";
    {
        auto pack = openPack(path, "");
        EXPECT_NE(pack->lastError().find("could not be completed"), std::string::npos);
        EXPECT_EQ(readModel(*pack), after);
        EXPECT_EQ(pack->editBlock(), PackEditBlock::UnfinishedEdit);
        EXPECT_FALSE(pack->removeEntries(0, 0, true));
    }
    makeWritable(path);
    EXPECT_EQ(readModel(*openPack(path, "")), after);
    EXPECT_FALSE(hasJournal(path));
    ASSERT_TRUE(makeUnwritable(path));
    auto pack = openPack(path, "");
    EXPECT_EQ(readModel(*pack), after);
    EXPECT_EQ(pack->editBlock(), PackEditBlock::NotOpen);
    makeWritable(path);
}

// A journal that cannot be read (random bytes), or that names ranges no
// journal of ours names (past the largest file offset, or past the pack's
// end: the space is made before the journal is published), is neither
// carried out nor shown: it hides the entries and the pack refuses edits
// until the journal is set aside, renamed and kept; the pack then opens as
// the file holds it.
TEST(PackCrashTest, ADamagedJournalHidesTheEntriesUntilItIsSetAside) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    const auto size =
        static_cast<std::int64_t>(testing::writePack(path, startEntries()).data.size());
    constexpr std::int64_t kLast = INT64_MAX - 10;
    const struct {
        std::optional<EditPlan> plan;  // none: 100 random bytes
        const char* reason;
    } cases[] = {
        {std::nullopt, "journal is damaged"},
        {EditPlan{0, FileMove{kLast, 64, 100}, {}, -1}, "journal is damaged"},
        {EditPlan{0, FileMove{64, kLast, 100}, {}, -1}, "journal is damaged"},
        {EditPlan{0, std::nullopt, {{kLast, Bytes(100, 1)}}, -1}, "journal is damaged"},
        {EditPlan{0, FileMove{64, 200, size - 100}, {}, -1}, "does not fit the file"},
        {EditPlan{0, std::nullopt, {{std::int64_t{1} << 40, Bytes(4, 7)}}, -1},
         "does not fit the file"},
        {EditPlan{0, std::nullopt, {}, size + 1}, "does not fit the file"},
    };
    std::mt19937 random(20);
    for (const auto& c : cases) {
        if (c.plan) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_TRUE(writeJournal(fd, path, *c.plan));
            ::close(fd);
        } else {
            Bytes noise(100);
            for (auto& b : noise) b = static_cast<std::uint8_t>(random());
            testing::writeFile(journalPath(path), noise);
        }
        const Bytes journal = testing::readFile(journalPath(path));
        for (const bool writable : {false, true}) {
            std::optional<FaultPlan> unwritable;
            if (!writable) unwritable.emplace(FaultKind::StopFrom, 1);
            auto pack = openPack(path, "");
            EXPECT_NE(pack->lastError().find(c.reason), std::string::npos) << pack->lastError();
            EXPECT_TRUE(pack->journalDamaged());
            EXPECT_EQ(pack->FImageCount, 0);
            EXPECT_EQ(pack->editBlock(), PackEditBlock::UnfinishedEdit);
        }
        EXPECT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(size));
        auto pack = openPack(path, "");
        const Result<std::string> moved = pack->setUnusableJournalAside();
        ASSERT_TRUE(moved) << moved.error();
        EXPECT_EQ(*moved, journalPath(path) + ".damaged");
        EXPECT_EQ(testing::readFile(*moved), journal);
        EXPECT_EQ(readModel(*pack), modelOf(startEntries()));
        EXPECT_TRUE(pack->canEdit());
        std::filesystem::remove(*moved);
    }
}

// A delete is killed part way through its move, and another file is put
// under the pack's name (a backup restored by copying it over): another
// pack, or a copy of this one from before the delete, with the same header
// and size but without the bytes the delete had moved. The journal is
// never carried out on it: opening sets it aside, renamed and kept, and the
// pack opens as the file holds it.
TEST(PackCrashTest, AJournalOfAnotherFileIsSetAsideAndNeverCarriedOut) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    std::vector<PackEntry> entries;
    for (std::uint32_t i = 0; i < 30; ++i) entries.push_back(dataEntry(50000 + 11 * i, 300 + i));
    const Bytes backup = testing::buildPack(entries).data;
    const Bytes other = testing::buildPack(startEntries()).data;
    const struct {
        const char* name;
        const Bytes& file;
        Model model;
    } cases[] = {
        {"another pack", other, modelOf(startEntries())},
        {"a copy from before the delete", backup, modelOf(entries)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::writeFile(path, backup);
        {
            auto pack = openPack(path, "");
            const FaultPlan stop(FaultKind::StopFrom, 30);  // some pieces into the move
            EXPECT_FALSE(pack->removeEntries(0, 0, true));
        }
        ASSERT_TRUE(hasJournal(path));
        ASSERT_NE(testing::readFile(path), backup);
        const Bytes journal = testing::readFile(journalPath(path));
        testing::writeFile(path, c.file);
        auto pack = openPack(path, "");
        EXPECT_EQ(readModel(*pack), c.model);
        EXPECT_EQ(testing::readFile(path), c.file);
        EXPECT_FALSE(hasJournal(path));
        EXPECT_EQ(testing::readFile(journalPath(path) + ".orphan"), journal);
        EXPECT_NE(pack->journalNotice().find("belongs to another file"), std::string::npos);
        EXPECT_TRUE(pack->canEdit());
        std::filesystem::remove(journalPath(path) + ".orphan");
    }
}

// A new pack is put under the name after a pack object opened the old one
// (New over it, answered OK): editing the file the object holds would change
// a file that no longer has a name, and report success.
TEST(PackCrashTest, AnEditOfAPackReplacedSinceItOpenedIsRefused) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writePack(path, startEntries());
    auto pack = openPack(path, "");
    const Bytes fresh = testing::writePack(dir.file("new.pak"), {}).data;
    std::filesystem::rename(dir.file("new.pak"), path);
    EXPECT_NE(pack->removeEntries(0, 0, true).error().find("replaced"), std::string::npos);
    EXPECT_EQ(testing::readFile(path), fresh);
}

TEST(PackCrashTest, ASecondEditorIsRefusedWhileReadersReadOn) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writePack(path, startEntries());
    auto editor = openPack(path, "");
    auto other = openPack(path, "");
    ASSERT_TRUE(editor->AppendEntry(testing::packEntryHeader(kSmall, 40), kSmall.payload));
    EXPECT_EQ(other->editBlock(), PackEditBlock::EditedElsewhere);
    EXPECT_EQ(other->removeEntries(0, 0, true).error(), "another program is editing the pack");
    EXPECT_EQ(readModel(*other), modelOf(startEntries()));
    ASSERT_EQ(editor->SaveIndex(), 1);
    // The file is no longer the one `other` read: it must open it again.
    EXPECT_FALSE(other->removeEntries(0, 0, true));
    EXPECT_EQ(readModel(*openPack(path, "")), readModel(*editor));
}

// A child process edits a pack in a loop, a huge entry and a small one put
// in front and taken out again, and is killed at random moments.
TEST(PackCrashTest, AKilledEditorLeavesThePackBeforeOrAfterItsEdit) {
    testing::TempDir dir;
    const std::string path = dir.file("big.pak");
    std::vector<PackEntry> entries;
    for (std::uint32_t i = 0; i < 120; ++i) entries.push_back(dataEntry(100000 + 37 * i, 100 + i));
    testing::writePack(path, entries);
    const Model base = modelOf(entries);
    Model withHuge = base, withSmall = base;
    withHuge.insert(withHuge.begin(), slotOf(kHuge));
    withSmall.insert(withSmall.begin(), slotOf(kSmall));

    const std::uint32_t seed = 20261207;
    std::mt19937 random(seed);
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto pack = openPack(path, "");
            // Back to the base first, whatever the last kill left.
            if (pack->FImageCount > static_cast<std::int32_t>(entries.size())) {
                (void)pack->removeEntries(0, 0, true);
            }
            for (int step = 0;; ++step) {
                const bool ok = insertAt(*pack, 0, {step % 2 ? kSmall : kHuge}) &&
                                pack->removeEntries(0, 0, true).ok();
                if (!ok) ::_exit(1);
            }
        }
        ::usleep(static_cast<useconds_t>(20000 + random() % 180000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the editor failed on its own";
        auto pack = openPack(path, "");
        const Model found = readModel(*pack);
        EXPECT_TRUE(found == base || found == withHuge || found == withSmall);
        EXPECT_FALSE(hasJournal(path));
    }
}

}  // namespace
}  // namespace vantoro
