#include "archive/archive_kind.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;

TEST(ArchiveKind, ExtensionTableIgnoresLetterCase) {
    const Bytes none;
    for (const char* ext : {".wis", ".WIS", ".Wis"}) EXPECT_EQ(2, kindForExtension(ext, none));
    EXPECT_EQ(7, kindForExtension(".WZL", none));
    EXPECT_EQ(5, kindForExtension(".sGl", none));
    EXPECT_EQ(6, kindForExtension(".521G", none));
    EXPECT_EQ(3, kindForExtension(".pak", none));
    EXPECT_EQ(8, kindForExtension(".miz", none));
    EXPECT_EQ(8, kindForExtension(".MIZ", none));
}

TEST(ArchiveKind, WilIsMir3OnlyWhenTheFirstWordIsOne) {
    EXPECT_EQ(4, kindForExtension(".WIL", Bytes{0x01, 0x00}));
    EXPECT_EQ(4, kindForExtension(".wil", Bytes{0x01, 0x00, 0x99}));
    EXPECT_EQ(0, kindForExtension(".wil", Bytes{0x00, 0x01}));  // 256, big-endian 1
    EXPECT_EQ(0, kindForExtension(".wil", Bytes{0x02, 0x00}));
    EXPECT_EQ(0, kindForExtension(".wil", Bytes{0x01}));  // too short to hold a word
    EXPECT_EQ(0, kindForExtension(".wil", Bytes{}));
}

TEST(ArchiveKind, UnknownOrMissingExtensionHasNoKind) {
    const Bytes none;
    EXPECT_FALSE(kindForExtension(".wix", none));
    EXPECT_FALSE(kindForExtension(".wzx", none));
    EXPECT_FALSE(kindForExtension(".mix", none));
    EXPECT_FALSE(kindForExtension("", none));
    EXPECT_FALSE(kindForExtension(".wil2", none));
    EXPECT_FALSE(kindForExtension("wil", none));
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
    EXPECT_EQ(4, kindForFile(dir.file("mir3.WIL")));
    EXPECT_EQ(0, kindForFile(dir.file("mir2.wil")));
    EXPECT_EQ(0, kindForFile(dir.file("short.Wil")));
    EXPECT_EQ(0, kindForFile(dir.file("empty.wil")));
    EXPECT_EQ(0, kindForFile(dir.file("absent.wil")));  // unreadable: its reader will refuse it
    EXPECT_EQ(8, kindForFile(dir.file("absent.MiZ")));  // other kinds never read the file
    EXPECT_FALSE(kindForFile(dir.file("mir3.bmp")));
}

}  // namespace
}  // namespace vantoro
