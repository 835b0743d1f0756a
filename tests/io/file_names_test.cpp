#include "io/file_names.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;

TEST(FileNames, CaseHelpersTouchOnlyAsciiLetters) {
    EXPECT_EQ("hum.wil", asciiLower("Hum.WIL"));
    EXPECT_EQ("\xe4\xba\xba.wil", asciiLower("\xe4\xba\xba.WIL"));  // UTF-8 bytes kept
    EXPECT_TRUE(equalsIgnoringCase(".WIX", ".wix"));
    EXPECT_FALSE(equalsIgnoringCase(".wix", ".wixx"));
    EXPECT_EQ(".WIL", extensionOf("/data/Hum.WIL"));
    EXPECT_EQ("", extensionOf("/data/Hum"));
}

TEST(FileNames, CompanionIsFoundWhateverItsCase) {
    testing::TempDir dir;
    testing::writeFile(dir.file("Hum.wil"), Bytes{1});
    testing::writeFile(dir.file("Hum.Wix"), Bytes{2});
    EXPECT_EQ(dir.file("Hum.Wix"), companionFileName(dir.file("Hum.wil"), ".WIX"));
    EXPECT_EQ(dir.file("Hum.Wix"), companionFileName(dir.file("Hum.wil"), ".wix"));
}

TEST(FileNames, ExactSpellingWinsAndSeveralSpellingsGiveAFixedChoice) {
    testing::TempDir dir;
    testing::writeFile(dir.file("hum.wil"), Bytes{1});
    testing::writeFile(dir.file("hum.wix"), Bytes{2});
    testing::writeFile(dir.file("hum.WIX"), Bytes{3});
    testing::writeFile(dir.file("HUM.Wix"), Bytes{4});
    EXPECT_EQ(dir.file("hum.wix"), companionFileName(dir.file("hum.wil"), ".wix"));
    EXPECT_EQ(dir.file("hum.WIX"), companionFileName(dir.file("hum.wil"), ".WIX"));
    // No exact match: the smallest name among the spellings, independent of
    // the order the folder lists them in.
    EXPECT_EQ(dir.file("HUM.Wix"), companionFileName(dir.file("hum.wil"), ".wIx"));
}

TEST(FileNames, NoMatchAnswersTheUnresolvedName) {
    testing::TempDir dir;
    testing::writeFile(dir.file("hum.wil"), Bytes{1});
    testing::writeFile(dir.file("hum.wixx"), Bytes{2});
    testing::writeFile(dir.file("other.wix"), Bytes{3});
    EXPECT_EQ(dir.file("hum.WIX"), companionFileName(dir.file("hum.wil"), ".WIX"));
    EXPECT_FALSE(fileExists(companionFileName(dir.file("hum.wil"), ".WIX")));
    // A folder of the right name is not a file.
    std::filesystem::create_directory(dir.path() / "map.wix");
    EXPECT_FALSE(fileExists(companionFileName(dir.file("map.wil"), ".wix")));
}

TEST(FileNames, ResolveWorksForABareNameInTheCurrentFolder) {
    EXPECT_EQ("no-such-file.WIX", resolveIgnoringCase("no-such-file.WIX"));
    EXPECT_FALSE(fileExists(""));
}

}  // namespace
}  // namespace vantoro
