// Delete through the operation the dialog and the command line drive: which
// entries remain, what the file keeps, and the refusals that change nothing.
#include "edit/delete_entries.h"

#include <gtest/gtest.h>

#include <memory>

#include "archive/my_image_images.h"
#include "edit/edit_messages.h"
#include "tests/edit/scripted_prompts.h"
#include "tests/support/pack_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::openPack;
using testing::PackEntry;

// Ten data entries of distinct sizes and contents; entries 7 and 8 are empty.
std::vector<PackEntry> tenEntries() {
    std::vector<PackEntry> entries;
    for (std::uint32_t i = 0; i < 10; ++i) {
        entries.push_back(i == 7 || i == 8 ? testing::packEmpty()
                                           : testing::packFile(47, 30 + 11 * i, i % 2, i + 1));
    }
    return entries;
}

std::size_t storedBytes(const std::vector<PackEntry>& entries, std::size_t first,
                        std::size_t last) {
    std::size_t bytes = 0;
    for (std::size_t i = first; i <= last; ++i) {
        if (entries[i].dataType)
            bytes += kPackEntryHeaderSize + testing::packStoredData(entries[i]).size();
    }
    return bytes;
}

TEST(DeleteEntriesTest, RangesLeaveTheOtherEntriesAndCutExactlyTheirBytes) {
    const struct {
        const char* name;
        DeleteRequest request;
    } cases[] = {
        {"3..5 removed", {3, 5, false}},
        {"3..5 kept as placeholders", {3, 5, true}},
        {"the last entry alone", {9, 9, false}},
        {"only empty entries", {7, 8, false}},
        {"from an empty entry on", {8, 9, true}},
        {"the first entry", {0, 0, false}},
        {"every entry: the pack reads back empty", {0, 9, false}},
    };
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    const std::vector<PackEntry> entries = tenEntries();
    // A pack whose index is stored raw is as much a pack.
    for (int run = 0; run < 2 * static_cast<int>(std::size(cases)); ++run) {
        const auto& c = cases[run / 2];
        const bool rawIndex = run % 2 == 1;
        SCOPED_TRACE(::testing::Message() << c.name << (rawIndex ? ", raw index" : ""));
        testing::writePack(path, entries, {.compressIndex = !rawIndex});
        auto pack = openPack(path);
        const std::int32_t dataEnd = pack->dataEnd();
        testing::ScriptedPrompts prompts;
        const auto [first, last, placeholders] = c.request;
        ASSERT_EQ(deleteEntries(*pack, c.request, prompts).outcome, EditOutcome::Done);
        ASSERT_EQ(prompts.shown, std::vector<Prompt>{editPrompt(EditMessage::DeleteDone)});

        std::vector<PackEntry> expected = entries;
        const auto begin = expected.begin() + first, end = expected.begin() + last + 1;
        if (placeholders) std::fill(begin, end, testing::packEmpty());
        if (!placeholders) expected.erase(begin, end);
        const auto cut = static_cast<std::int32_t>(storedBytes(entries, first, last));
        pack = openPack(path);
        EXPECT_TRUE(pack->canEdit());
        EXPECT_EQ(pack->dataEnd(), dataEnd - cut);
        ASSERT_EQ(pack->FImageCount, static_cast<std::int32_t>(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(pack->GetDataType(i), expected[i].dataType) << i;
            if (!expected[i].dataType) continue;
            EXPECT_EQ(*pack->GetDataStream(i, 0), expected[i].payload) << i;
        }
    }
}

TEST(DeleteEntriesTest, RefusalsShowTheirMessageAndLeaveTheFileAsItWas) {
    const struct {
        const char* name;
        DeleteRequest request;
        const char* password;
        Prompt shown;
        bool stopped = false;  // Stop asked for before the one step began
    } cases[] = {
        {"first not a number", {-1, 2, false}, "", editPrompt(EditMessage::RangeStartWrong)},
        {"last not a number", {0, -1, false}, "", editPrompt(EditMessage::RangeEndWrong)},
        {"last past the end", {0, 10, false}, "", editPrompt(EditMessage::RangeEndTooLarge)},
        {"first after last", {5, 4, false}, "", editPrompt(EditMessage::RangeStartAfterEnd)},
        {"protected, opened without the password",
         {0, 0, false},
         "",
         packLockedPrompt(PackEditBlock::PasswordNotVerified)},
        {"protected, wrong password",
         {0, 0, false},
         "wrong",
         packLockedPrompt(PackEditBlock::PasswordNotVerified)},
        {"stopped", {0, 2, false}, "", deleteStoppedPrompt(), true},
    };
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool locked = c.shown == packLockedPrompt(PackEditBlock::PasswordNotVerified);
        testing::writePack(path, tenEntries(), {locked ? "secret" : ""});
        const Bytes before = testing::readFile(path);
        auto pack = openPack(path, c.password);
        testing::ScriptedPrompts prompts;
        const StopCheck stop = [&] { return c.stopped; };
        EXPECT_EQ(deleteEntries(*pack, c.request, prompts, {}, stop).outcome, EditOutcome::Refused);
        EXPECT_EQ(prompts.shown, std::vector<Prompt>{c.shown});
        pack.reset();
        EXPECT_EQ(testing::readFile(path), before);
    }
}

TEST(DeleteEntriesTest, AFileShorterThanItsIndexSaysFailsBeforeAnyByteMoves) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    testing::writePack(path, tenEntries());
    auto pack = openPack(path);
    Bytes shortened = testing::readFile(path);
    shortened.resize(pack->FindDataPosition(6));
    testing::writeFile(path, shortened);
    testing::ScriptedPrompts prompts;
    EXPECT_EQ(deleteEntries(*pack, {2, 9, false}, prompts).outcome, EditOutcome::Failed);
    EXPECT_EQ(testing::readFile(path), shortened);
}

}  // namespace
}  // namespace vantoro
