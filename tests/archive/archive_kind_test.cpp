#include "archive/archive_kind.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using enum TWMImagesKind;
using testing::Bytes;

TEST(ArchiveKind, ExtensionRuleIgnoresLetterCase) {
    const Bytes none;
    const std::pair<const char*, std::optional<TWMImagesKind>> rules[] = {
        {".wis", M2Wis},     {".WIS", M2Wis},   {".Wis", M2Wis}, {".WZL", M2Zip}, {".sGl", WoolDef},
        {".521G", W521gDef}, {".pak", MyImage}, {".miz", M3Zip}, {".MIZ", M3Zip}, {".wil", M2Def},
        {".wix", {}},        {".wzx", {}},      {".mix", {}},    {"", {}},        {".wil2", {}},
        {"wil", {}},
    };
    for (const auto& [extension, kind] : rules) {
        EXPECT_EQ(kindForExtension(extension, none), kind) << extension;
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

// Every 8-bit number through the factory: only the low 7 bits count.
TEST(ArchiveKind, FactoryMakesTheClassOfEachKind) {
    const char* const classes[] = {"TWMM2DefImages",   "TWMM2DefBit16Images", "TWMM2WisImages",
                                   "TWMMyImageImages", "TWMM3DefImages",      "TWMWoolDefImages",
                                   "TWM521gDefImages", "TWMM2ZipImages",      "TWMM3ZipImages"};
    for (int number = 0; number < 256; ++number) {
        const int low = number & 0x7F;
        const std::string expected = low < 9 ? classes[low] : "";
        const auto archive = CreateWMImages(static_cast<TWMImagesKind>(number));
        EXPECT_EQ(archive ? std::string(archive->className()) : "", expected) << number;
        if (archive && low != kindNumber(M2DefBit16)) {
            EXPECT_EQ(kindInfoOf(*archive)->kind, static_cast<TWMImagesKind>(low)) << number;
        }
    }
}

}  // namespace
}  // namespace vantoro
