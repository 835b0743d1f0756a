#include "edit/import_text.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;

TEST(ImportTextTest, IntegerTextReadsWholeNumbersOnly) {
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"12", 12},
        {"  -7", -7},
        {"+5", 5},
        {"$7FFFFFF0", 0x7FFFFFF0},
        {"$ffffffff", -1},  // hexadecimal keeps the bits
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"$100000000", std::nullopt},
        {"12 ", std::nullopt},  // trailing space
        {"1,2", std::nullopt},
        {"_3", std::nullopt},
        {"0x10", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(parseIntegerText(text), value) << text;
}

TEST(ImportTextTest, SplitTokenSkipsSpacesAndCommas) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"10,20", "10", "20"}, {" ,, 10  20", "10", " 20"}, {"+5,_3", "+5", "_3"}, {"10", "10", ""},
        {"", "", ""},
    };
    for (const auto& [text, token, rest] : cases) {
        const SplitText split = SplitToken(text);
        EXPECT_EQ(split.token, token) << text;
        EXPECT_EQ(split.rest, rest) << text;
    }
    const std::string longText(kSplitTokenLimit, '1');
    EXPECT_TRUE(SplitToken(longText).token.empty());
    EXPECT_TRUE(SplitToken(longText.substr(1)).rest.empty());
    EXPECT_EQ(SplitToken(longText.substr(1)).token.size(), kSplitTokenLimit - 1);
}

TEST(ImportTextTest, FixedOffsetsAndOffsetEdits) {
    EXPECT_EQ(parseFixedOffsets("12 -34").y, -34);
    EXPECT_EQ(parseFixedOffsets("x,9").x, 0);

    struct Case {
        const char* text;
        std::int16_t x;  // applied to the offsets (100, -100)
        std::int16_t y;
        bool setsBoth;
    } const cases[] = {
        {"+5,_3", 105, -103, false},    {"10,-2", 10, -2, true},
        {"_+5 +-5", 95, -105, false},   {"+x,7", 100, 7, false},  // no number after the sign: 0
        {"+32767,0", -32669, 0, false},                           // X wraps at 16 bits
    };
    for (const Case& c : cases) {
        const std::optional<OffsetsEdit> edit = parseOffsetsEdit(c.text);
        ASSERT_TRUE(edit.has_value()) << c.text;
        EXPECT_EQ(edit->x.applyTo(100), c.x) << c.text;
        EXPECT_EQ(edit->y.applyTo(-100), c.y) << c.text;
        EXPECT_EQ(edit->setsBoth(), c.setsBoth) << c.text;
    }
    for (const char* wrong : {"10", "", " , ", "+5,"})
        EXPECT_FALSE(parseOffsetsEdit(wrong)) << wrong;
}

TEST(ImportTextTest, OffsetsFilesAreReadLineByLine) {
    const testing::TempDir dir;
    struct Case {
        std::string bytes;
        bool read;
        std::int16_t x, y;
        std::uint8_t format;
    } const cases[] = {
        {"-3\r\n7\r\n", true, -3, 7, 0},
        {"-3\n7\n2\n", true, -3, 7, 2},
        {"1\r2\r258", true, 1, 2, 2},  // the format keeps 8 bits
        {"\xEF\xBB\xBF"
         "4\r\n5",
         true, 4, 5, 0},
        {"70000\r\nx\r\n", true, 4464, 0, 0},  // X keeps 16 bits, Y is not a number
        {"12 34\r\n", false, 0, 0, 0},         // one line
        {"", false, 0, 0, 0},
        {std::string(kMaxOffsetsFileBytes + 1, '\n'), false, 0, 0, 0},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        testing::writeFile(dir.file("o.txt"), Bytes(c.bytes.begin(), c.bytes.end()));
        const Result<OffsetsFile> offsets = readOffsetsFile(dir.file("o.txt"));
        ASSERT_EQ(offsets.ok(), c.read) << "case " << i;
        if (!c.read) continue;
        EXPECT_EQ(offsets->x, c.x) << "case " << i;
        EXPECT_EQ(offsets->y, c.y) << "case " << i;
        EXPECT_EQ(offsets->format, c.format) << "case " << i;
    }
    EXPECT_FALSE(readOffsetsFile(dir.file("none.txt")));

    testing::writeFile(dir.file("o.txt"), {'1', '2', ',', '3', '4', '\n', '9'});
    EXPECT_EQ(readFirstLineOffsets(dir.file("o.txt"))->y, 34);
    testing::writeFile(dir.file("o.txt"), {});
    EXPECT_EQ(readFirstLineOffsets(dir.file("o.txt"))->x, 0);
}

}  // namespace
}  // namespace vantoro
