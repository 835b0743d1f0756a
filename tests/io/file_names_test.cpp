#include "io/file_names.h"

#include <gtest/gtest.h>

#include "io/name_encoding.h"
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

// Windows ignores the case of a GBK name's letters, not of the bytes inside
// its characters: B0 41 and B0 61 are two different characters.
TEST(FileNames, AByteInsideAGbkCharacterIsNoLetter) {
    testing::TempDir dir;
    const std::string data = dir.file("\xB0\x41.wil");
    testing::writeFile(data, Bytes{1});
    testing::writeFile(dir.file("\xB0\x61.wix"), Bytes{2});
    EXPECT_FALSE(fileExists(companionFileName(data, ".wix")));
    testing::writeFile(dir.file("\xB0\x41.WIX"), Bytes{3});
    EXPECT_EQ(companionFileName(data, ".wix"), dir.file("\xB0\x41.WIX"));
}

TEST(NameEncoding, NamesReadAsUtf8OrElseAsGbkPartByPart) {
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"Hum.wil", "Hum.wil"},
        {"\xE7\x89\xA9\xE5\x93\x81.wil", "物品.wil"},
        {"\xCE\xEF\xC6\xB7.wil", "物品.wil"},
        {"/\xCE\xEF/\xE7\x89\xA9/\xC6\xB7\xCE\xEF", "/物/物/品物"},  // a UTF-8 part among GBK ones
        {"\xFF\xFF.wil", "\uFFFD\uFFFD.wil"},                        // no GBK character
        {"a\xCE", "a\uFFFD"},                                        // a character cut short
    };
    for (const auto& c : cases) EXPECT_EQ(nameDisplayText(c.bytes), c.text) << c.text;
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // a surrogate
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));      // an overlong "/"
    EXPECT_TRUE(isValidUtf8("\xF4\x8F\xBF\xBF"));
}

}  // namespace
}  // namespace vantoro
