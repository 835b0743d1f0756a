// Moves of many small pieces, both the kind that saves each piece in the
// journal (distance shorter than a piece) and the kind that does not, stopped
// at a random write and completed from the journal, against a model; moves
// whose mapping fails part way; and a file cut short under a mapped move.
#include "io/edit_journal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>

#include "tests/support/stop_at.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;

constexpr std::size_t kPiece = 64;

// A gap of `length` filled with `fill` at `at`, or `length` bytes cut there.
EditPlan editOf(const Bytes& file, bool insert, std::int64_t length, std::int64_t at,
                std::mt19937& random, Bytes& edited) {
    const auto size = static_cast<std::int64_t>(file.size());
    EditPlan plan;
    edited = file;
    if (insert) {
        Bytes fill(static_cast<std::size_t>(length));
        for (auto& b : fill) b = static_cast<std::uint8_t>(random());
        edited.insert(edited.begin() + at, fill.begin(), fill.end());
        plan.reserveTo = size + length;
        plan.move = FileMove{at, at + length, size - at};
        plan.writes.push_back({at, std::move(fill)});
    } else {
        edited.erase(edited.begin() + at, edited.begin() + at + length);
        plan.move = FileMove{at + length, at, size - at - length};
        plan.truncateTo = size - length;
    }
    return plan;
}

TEST(EditJournal, SeededMovesStoppedAtAnyWriteEndBeforeOrAfterOnceCompleted) {
    const std::int64_t lengths[] = {1, 3, kPiece - 1, kPiece, kPiece + 1, 3 * kPiece + 5};
    testing::TempDir dir;
    const std::string path = dir.file("file.bin");
    int afterCount = 0;
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
        std::mt19937 random(seed);
        Bytes model(700);
        for (auto& b : model) b = static_cast<std::uint8_t>(random());
        testing::writeFile(path, model);
        for (int step = 0; step < 60; ++step) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
            const auto size = static_cast<std::int64_t>(model.size());
            const bool insert = random() % 2 == 0 || size < 400;
            const std::int64_t length = lengths[random() % std::size(lengths)];
            const std::int64_t at = random() % (size - (insert ? 0 : length) + 1);
            Bytes edited;
            EditPlan plan = editOf(model, insert, length, at, random, edited);
            const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            ASSERT_GE(fd, 0);
            JournaledEdit edit;
            {
                const testing::StopAt stop(1 + static_cast<int>(random() % 80));
                edit = runJournaled(fd, path, std::move(plan), kPiece);
            }
            ASSERT_TRUE(completeJournal(fd, path));
            ::close(fd);
            const Bytes file = testing::readFile(path);
            if (edit.status.ok() || edit.pending) {
                ASSERT_EQ(file, edited);
            } else {
                // Not published: as it was, though the space reserved for a
                // gap may stay when giving it back failed too.
                const bool asItWas = file.size() <= std::max(model.size(), edited.size()) &&
                                     file.size() >= model.size() &&
                                     std::equal(model.begin(), model.end(), file.begin());
                ASSERT_TRUE(asItWas || file == edited);
            }
            afterCount += file == edited ? 1 : 0;
            model = file;
        }
    }
    // The stops fall both before the journal is published and after.
    EXPECT_GT(afterCount, 20);
    EXPECT_LT(afterCount, 170);
}

// Refuses the Nth mapping or chunk of a mapping; with N = 0 only counts them.
class RefuseMapAt final : public ScopedFileFaults {
public:
    explicit RefuseMapAt(int n) : m_n(n) {}
    int before(FileOp op, int, std::int64_t, std::int64_t) override {
        if (op != FileOp::Map) return 0;
        return ++m_seen == m_n ? ENODEV : 0;
    }
    int seen() const { return m_seen; }

private:
    int m_n;
    int m_seen = 0;
};

Bytes randomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

// Moves over several chunks of the mapping, by distances that move whole
// pieces and that save them, go on with reads and writes from wherever the
// mapping is refused: the whole of it, or any chunk.
TEST(EditJournal, MovesWhoseMappingIsRefusedAnywhereEndAsEdited) {
    testing::TempDir dir;
    const std::string path = dir.file("file.bin");
    const Bytes original = randomBytes(std::size_t{10} << 20, 7);
    std::mt19937 random(11);
    for (const bool insert : {true, false}) {
        for (const std::int64_t distance : {100, 70000}) {
            Bytes edited;
            int maps = 0;
            for (int refused = 0; refused <= maps; ++refused) {
                SCOPED_TRACE(std::string(insert ? "insert " : "cut ") + std::to_string(distance) +
                             " refused at " + std::to_string(refused));
                testing::writeFile(path, original);
                EditPlan plan = editOf(original, insert, distance, 3000, random, edited);
                const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
                ASSERT_GE(fd, 0);
                const RefuseMapAt faults(refused);
                const JournaledEdit edit = runJournaled(fd, path, std::move(plan));
                EXPECT_TRUE(edit.status.ok()) << edit.status.error();
                ::close(fd);
                if (refused == 0) maps = faults.seen();
                ASSERT_TRUE(testing::readFile(path) == edited);
            }
            EXPECT_GE(maps, 4);  // the mapping and at least three chunks
        }
    }
}

// Another program cutting the file short while it is moved through a mapping
// makes the next touch fault; the edit fails with a reason instead of the
// program ending.
TEST(EditJournal, AFileCutShortUnderAMappedMoveFailsTheEdit) {
    class CutShortAtWrite final : public ScopedFileFaults {
    public:
        CutShortAtWrite(int file, int n) : m_file(file), m_n(n) {}
        int before(FileOp op, int fd, std::int64_t, std::int64_t) override {
            if (op == FileOp::Write && fd == m_file && ++m_writes == m_n) {
                (void)::ftruncate(fd, 4096);
            }
            return 0;
        }

    private:
        int m_file;
        int m_n;
        int m_writes = 0;
    };
    testing::TempDir dir;
    const std::string path = dir.file("file.bin");
    const Bytes original = randomBytes(std::size_t{1} << 20, 9);
    testing::writeFile(path, original);
    std::mt19937 random(3);
    Bytes edited;
    EditPlan plan = editOf(original, true, 70000, 3000, random, edited);
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    JournaledEdit edit;
    {
        const CutShortAtWrite cut(fd, 3);  // a few pieces into the move
        edit = runJournaled(fd, path, std::move(plan));
    }
    ::close(fd);
    EXPECT_NE(edit.status.error().find("cut short"), std::string::npos) << edit.status.error();
    EXPECT_TRUE(edit.pending);
}

}  // namespace
}  // namespace vantoro
