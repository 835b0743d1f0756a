#include "archive/archive_kind.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "archive/archive_reader.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using enum TWMImagesKind;
using testing::Bytes;

// Each extension of the table in three spellings names a row of that
// extension; no other name does.
TEST(ArchiveKind, ExtensionRuleIgnoresLetterCase) {
    const Bytes none;
    for (const std::string_view extension : archiveExtensions()) {
        const std::optional<TWMImagesKind> kind = kindForExtension(extension, none);
        ASSERT_TRUE(kind) << extension;
        EXPECT_EQ(findArchiveKind(*kind)->extension, extension);
        std::string upper(extension);
        std::string capital(extension);
        std::ranges::transform(upper, upper.begin(), [](char c) { return std::toupper(c); });
        capital[1] = static_cast<char>(std::toupper(capital[1]));
        EXPECT_EQ(kindForExtension(upper, none), kind) << upper;
        EXPECT_EQ(kindForExtension(capital, none), kind) << capital;
    }
    for (const char* other : {".wix", ".wzx", ".mix", "", ".wil2", "wil", ".", ".521"}) {
        EXPECT_EQ(kindForExtension(other, none), std::nullopt) << other;
    }
}

// What a new row must keep: kinds, Open commands, their shortcuts and menu
// places each used once; a file type for the desktop exactly where there
// is an extension; a base class standing before its subclasses.
TEST(ArchiveKind, RowsDoNotCollide) {
    std::set<int> kinds;
    std::set<int> keys;
    std::set<int> places;
    std::set<std::string_view> names;
    for (const ArchiveKindInfo& info : archiveKinds()) {
        SCOPED_TRACE(info.label);
        EXPECT_TRUE(kinds.insert(kindNumber(info.kind)).second);
        EXPECT_TRUE(names.insert(info.openCommand.name).second);
        EXPECT_TRUE(places.insert(info.openCommand.menuPosition).second);
        const int key = info.openCommand.ctrlFunctionKey;
        if (key != 0) {
            EXPECT_TRUE(keys.insert(key).second);
        }
        EXPECT_EQ(info.extension.empty(), info.fileType == nullptr);
        EXPECT_FALSE(info.openFilter.empty());
    }
}

TEST(ArchiveKind, WilIsMir3OnlyWhenTheFirstWordIsOne) {
    const std::pair<Bytes, TWMImagesKind> heads[] = {
        {{0x01, 0x00}, M3Def}, {{0x01, 0x00, 0x99}, M3Def},
        {{0x00, 0x01}, M2Def},                   // 256, big-endian 1
        {{0x02, 0x00}, M2Def}, {{0x01}, M2Def},  // too short to hold a word
        {{}, M2Def},
    };
    for (const auto& [head, kind] : heads) {
        EXPECT_EQ(kindForExtension(".WIL", head), kind) << head.size() << " bytes";
    }
}

TEST(ArchiveKind, ExtensionIsTakenFromTheLastNameOnly) {
    EXPECT_EQ(".521g", fileExtension("/data/Prguse.521g"));
    EXPECT_EQ(".wil", fileExtension("a.b/c.wil"));
    EXPECT_EQ("", fileExtension("a.wil/Objects"));
    EXPECT_EQ(".WIL", fileExtension("/x/.WIL"));
    EXPECT_EQ("", fileExtension("Objects"));
    EXPECT_EQ(".", fileExtension("name."));
}

TEST(ArchiveKind, KindForFileReadsTheFirstWordOfAWil) {
    testing::TempDir dir;
    testing::writeFile(dir.file("mir3.WIL"), Bytes{0x01, 0x00, 0x42, 0x42});
    testing::writeFile(dir.file("mir2.wil"), Bytes{0x23, 0x49, 0x4C, 0x49});
    testing::writeFile(dir.file("short.Wil"), Bytes{0x01});
    testing::writeFile(dir.file("empty.wil"), Bytes{});
    EXPECT_EQ(M3Def, kindForFile(dir.file("mir3.WIL")));
    EXPECT_EQ(M2Def, kindForFile(dir.file("mir2.wil")));
    EXPECT_EQ(M2Def, kindForFile(dir.file("short.Wil")));
    EXPECT_EQ(M2Def, kindForFile(dir.file("empty.wil")));
    EXPECT_EQ(M2Def, kindForFile(dir.file("absent.wil")));  // unreadable: its reader will refuse it
    EXPECT_EQ(M3Zip, kindForFile(dir.file("absent.MiZ")));  // other kinds never read the file
    EXPECT_FALSE(kindForFile(dir.file("mir3.bmp")));
    EXPECT_FALSE(kindForFile(dir.file("noextension")));
}

// Every 8-bit number through the factory: only the low 7 bits count. Each
// row makes an archive the table knows again by its own row, or by the row
// of its base, which stands before it; a number without a row makes nothing.
TEST(ArchiveKind, FactoryMakesTheClassOfEachKind) {
    for (int number = 0; number < 256; ++number) {
        SCOPED_TRACE(number);
        const ArchiveKindInfo* row = findArchiveKind(static_cast<TWMImagesKind>(number & 0x7F));
        const auto archive = CreateWMImages(static_cast<TWMImagesKind>(number));
        ASSERT_EQ(archive != nullptr, row != nullptr);
        if (!archive) continue;
        const ArchiveKindInfo* known = kindInfoOf(*archive);
        ASSERT_NE(known, nullptr);
        EXPECT_LE(known, row);
        EXPECT_TRUE(row->archiveClass.isInstance(*archive));
    }
}

}  // namespace
}  // namespace vantoro
