// Protecting, re-keying and unprotecting a pack: every entry reads back as
// before, its stored bytes exactly those of a pack built with the new
// password; stopped at any write the pack reopens before or after the
// change; a refused change leaves the file as it was.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "archive/my_image_images.h"
#include "io/edit_journal.h"
#include "tests/support/pack_writer.h"
#include "tests/support/stop_at.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::PackEntry;

// Data sizes around the 128 enciphered bytes and past a move piece, plain
// and compressed; images plain and run-length coded (one under 128 bytes),
// sounds, and empty slots.
std::vector<PackEntry> mixedEntries() {
    std::vector<PackEntry> entries;
    std::uint32_t seed = 1;
    for (const std::size_t size : {100, 127, 128, 129, 5000, 300000}) {
        for (const bool compressed : {false, true}) {
            entries.push_back(testing::packFile(47, size, compressed, seed++));
        }
    }
    entries.insert(entries.begin() + 3, testing::packEmpty());
    entries.push_back(testing::packImage(16, 16, 0, false));
    entries.push_back(testing::packImage(40, 30, 3, true));
    entries.push_back(testing::packImage(3, 2, 1, false));
    entries.push_back(testing::packFile(63, 2000, false));
    entries.push_back(testing::packFile(79, 900, true));
    entries.push_back(testing::packEmpty());
    return entries;
}

using testing::openPack;

// Each slot's type and what it reads back as: the decoded pixels of an
// image, the stored file of the others.
std::vector<std::pair<int, Bytes>> readModel(TWMMyImageImages& pack) {
    std::vector<std::pair<int, Bytes>> model;
    for (std::int32_t i = 0; i < pack.FImageCount; ++i) {
        const std::uint8_t type = pack.GetDataType(i);
        Bytes bytes;
        if (type == kDataTypeImage) {
            if (const auto bitmap = pack.GetBitmap(i)) {
                bytes.assign(bitmap->pixels().begin(), bitmap->pixels().end());
            }
        } else if (const auto data = pack.GetDataStream(i, 0)) {
            bytes.assign(data->begin(), data->end());
        }
        model.emplace_back(type, std::move(bytes));
    }
    return model;
}

struct Change {
    const char* name;
    std::string from;  // the pack's password before, empty: plain
    std::string to;
    std::function<Status(TWMMyImageImages&)> run;
};

const Change kChanges[] = {
    {"protect", "", "key", [](auto& p) { return p.protect("key"); }},
    {"re-key", "old key", "a new key longer than eight",
     [](auto& p) { return p.changePassword("a new key longer than eight"); }},
    {"unprotect", "old key", "", [](auto& p) { return p.unprotect(); }},
};

TEST(PackProtectTest, EachChangeStoresEntriesAsAPackBuiltWithTheNewPassword) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    const std::vector<std::vector<PackEntry>> entrySets = {
        mixedEntries(), {}, {testing::packEmpty(), testing::packEmpty()}};
    for (const Change& change : kChanges) {
        for (const auto& entries : entrySets) {
            SCOPED_TRACE(std::string(change.name) + " of " + std::to_string(entries.size()));
            testing::writePack(dir.file("ref.pak"), entries);
            const auto reference = readModel(*openPack(dir.file("ref.pak"), ""));
            testing::writePack(path, entries, {change.from});
            auto pack = openPack(path, change.from);
            ASSERT_EQ(readModel(*pack), reference);
            const Status changed = change.run(*pack);
            ASSERT_TRUE(changed) << changed.error();
            EXPECT_EQ(pack->FPassword, change.to);
            EXPECT_EQ(readModel(*pack), reference);
            pack.reset();

            auto reopened = openPack(path, change.to);
            EXPECT_EQ(readModel(*reopened), reference);
            EXPECT_EQ(reopened->FHeader.isProtected(), !change.to.empty());
            EXPECT_TRUE(reopened->canEdit());
            const Bytes file = testing::readFile(path);
            const Bytes built = testing::buildPack(entries, {change.to}).data;
            const auto dataEnd = static_cast<std::size_t>(reopened->GetDataEnd());
            ASSERT_LE(dataEnd, file.size());
            // Signature, check block, flag and the two counts; then every
            // entry byte for byte.
            for (const auto& [from, to] : {std::pair{0, 28}, std::pair{48, 52}}) {
                EXPECT_TRUE(
                    std::equal(file.begin() + from, file.begin() + to, built.begin() + from))
                    << "header bytes " << from << ".." << to;
            }
            EXPECT_TRUE(std::equal(file.begin() + 64, file.begin() + dataEnd, built.begin() + 64));
            if (!change.to.empty()) {
                EXPECT_EQ(openPack(path, change.from)->FImageCount,
                          0);  // the old key no longer opens it
            }
            EXPECT_FALSE(hasJournal(path));
        }
    }
}

TEST(PackProtectTest, StoppedAtAnyWriteThePackReopensBeforeOrAfter) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    const std::vector<PackEntry> entries = mixedEntries();
    for (const Change& change : kChanges) {
        testing::writePack(path, entries, {change.from});
        const auto model = readModel(*openPack(path, change.from));
        int operations = 0;
        {
            auto pack = openPack(path, change.from);
            const testing::StopAt counting(0);
            ASSERT_TRUE(change.run(*pack));
            operations = counting.seen();
        }
        ASSERT_GT(operations, 3);
        int kept = 0;
        int after = 0;
        for (int n = 1; n <= operations; ++n) {
            SCOPED_TRACE(std::string(change.name) + " stopped at " + std::to_string(n));
            testing::writePack(path, entries, {change.from});
            {
                auto pack = openPack(path, change.from);
                const testing::StopAt stop(n);
                EXPECT_FALSE(change.run(*pack));
            }
            auto before = openPack(path, change.from);
            EXPECT_FALSE(hasJournal(path));
            if (readModel(*before) == model &&
                before->FHeader.isProtected() == !change.from.empty()) {
                EXPECT_TRUE(before->canEdit());
                ++kept;
                continue;
            }
            before.reset();
            auto changed = openPack(path, change.to);
            EXPECT_EQ(readModel(*changed), model);
            EXPECT_EQ(changed->FHeader.isProtected(), !change.to.empty());
            EXPECT_TRUE(changed->canEdit());
            ++after;
        }
        // Stops before the journal is published keep the pack as it was;
        // later ones complete the change.
        EXPECT_GT(kept, 0) << change.name;
        EXPECT_GT(after, 0) << change.name;
    }
}

// A wrong password, a pack in the wrong state, or entries that share bytes:
// refused with a reason, and the file is left as it was.
TEST(PackProtectTest, ARefusedChangeLeavesTheFileAsItWas) {
    const struct {
        const char* packPassword;
        const char* openedWith;
        std::function<Status(TWMMyImageImages&)> run;
        const char* reason;
        bool sharedEntry = false;
    } cases[] = {
        {"key", "nope", [](auto& p) { return p.unprotect(); }, "wrong password"},
        {"key", "nope", [](auto& p) { return p.changePassword("new"); }, "wrong password"},
        {"key", "", [](auto& p) { return p.unprotect(); }, "password is needed"},
        {"key", "key", [](auto& p) { return p.protect("other"); }, "already protected"},
        {"", "", [](auto& p) { return p.unprotect(); }, "not protected"},
        {"", "", [](auto& p) { return p.changePassword("new"); }, "not protected"},
        {"", "", [](auto& p) { return p.protect(""); }, "not empty"},
        {"", "", [](auto& p) { return p.protect("key"); }, "overlap", true},
    };
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        testing::PackBytes built =
            testing::buildPack(mixedEntries(), {c.packPassword, !c.sharedEntry});
        if (c.sharedEntry) testing::setU32At(built.data, built.indexOffset + 4, built.slots[0]);
        testing::writeFile(path, built.data);
        auto pack = openPack(path, c.openedWith);
        const Status refused = c.run(*pack);
        ASSERT_FALSE(refused);
        EXPECT_NE(refused.error().find(c.reason), std::string::npos) << refused.error();
        EXPECT_EQ(testing::readFile(path), built.data);
        EXPECT_FALSE(hasJournal(path));
        EXPECT_EQ(pack->FPassword, c.openedWith);
    }
}

TEST(PackProtectTest, RefusedWhileAnotherEditorHoldsThePack) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writePack(path, mixedEntries());
    const Bytes before = testing::readFile(path);
    auto editor = openPack(path, "");
    auto other = openPack(path, "");
    const PackEntry small = testing::packFile(47, 40, false);
    ASSERT_TRUE(editor->AppendEntry(testing::packEntryHeader(small, 40), small.payload));
    EXPECT_EQ(other->protect("key").error(), "another program is editing the pack");
    EXPECT_NE(editor->protect("key").error().find("not saved"), std::string::npos);
    editor.reset();  // the unsaved append is undone
    EXPECT_EQ(testing::readFile(path), before);
}

}  // namespace
}  // namespace vantoro
