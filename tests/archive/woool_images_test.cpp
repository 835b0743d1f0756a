#include "archive/woool_images.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "d3d9/d3d9_formats.h"
#include "io/byte_reader.h"
#include "tests/support/open_pack.h"
#include "tests/support/test_files.h"
#include "tests/support/woool_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::WooolArchiveBytes;
using testing::WooolFrame;
using testing::WooolGroup;
using testing::WooolImage;
using Groups = std::vector<std::optional<WooolGroup>>;
using Words = std::vector<std::uint16_t>;

WooolImage image2x2(Words pixels, std::int16_t px = 0) {
    return WooolImage{2, 2, px, static_cast<std::int16_t>(-px), std::move(pixels)};
}

// A frame whose one tile has the given size and code.
WooolFrame frameWithTile(std::uint16_t width, std::uint16_t height, std::uint16_t tileWidth,
                         std::uint16_t tileHeight, Bytes code) {
    return WooolFrame{width, height, 0, 0, 1, 1, {{tileWidth, tileHeight, std::move(code)}}};
}

Bytes wordsCode(std::initializer_list<std::uint8_t> controlAndBytes) {
    return Bytes(controlAndBytes);
}

Words bitmapWords(const DibBitmap& bitmap) {
    Words out;
    for (int r = 0; r < bitmap.height(); ++r) {
        for (int x = 0; x < bitmap.width(); ++x) out.push_back(decodeU16(bitmap.row(r) + 2 * x));
    }
    return out;
}

Words textureWords(TDXTexture& texture, int width, int height) {
    TDXLockedRect rect;
    EXPECT_TRUE(texture.Lock(kLockRead, rect));
    Words out;
    for (int r = 0; r < height; ++r) {
        const auto* row = static_cast<const std::uint8_t*>(rect.Bits) + r * rect.Pitch;
        for (int x = 0; x < width; ++x) out.push_back(decodeU16(row + 2 * x));
    }
    texture.Unlock();
    return out;
}

class WooolImagesTest : public ::testing::Test {
protected:
    std::string path() const { return dir.file("Monster.sgl"); }

    std::unique_ptr<TWMWoolDefImages> open(const Bytes& bytes) {
        testing::writeFile(path(), bytes);
        auto images = testing::openAs<TWMWoolDefImages>(TWMImagesKind::WoolDef, path());
        EXPECT_TRUE(images->FInitialized);
        return images;
    }
    std::unique_ptr<TWMWoolDefImages> open(const Groups& groups) {
        return open(testing::buildWoool(groups).data);
    }
    // Draws entry `index` into a texture and answers its texels.
    std::optional<Words> draw(TWMWoolDefImages& images, std::int32_t index) {
        TDXImageTexture texture;
        if (!images.DrawToTexture(index, &texture)) return std::nullopt;
        EXPECT_EQ(texture.FFormat, D3DFMT_A4R4G4B4);
        return textureWords(texture, texture.GetWidth(), texture.GetHeight());
    }

    testing::TempDir dir;
};

// Long tiles of codes of every length take the decoder's block paths; the words
// must be exactly the codes' words, and those past a cut code 0.
TEST(WooolTile, CodesOfEveryLengthGiveExactlyTheirWords) {
    std::mt19937 random(0x711E5);
    Bytes code;
    std::vector<std::uint16_t> expected;
    while (expected.size() < 20000) {
        const auto length = static_cast<std::uint8_t>(random() % 128);
        const bool literal = random() % 2 == 0;
        code.push_back(static_cast<std::uint8_t>(length | (literal ? 0x80 : 0)));
        for (int i = 0; i < (literal ? length : 1); ++i) {
            const auto word = static_cast<std::uint16_t>(random());
            testing::putU16(code, word);
            expected.insert(expected.end(), literal ? 1 : length, word);
        }
    }
    std::vector<std::uint16_t> words(expected.size() + 50, 0xFFFF);
    decodeWooolTile(code, words);
    expected.resize(words.size(), 0);
    EXPECT_EQ(words, expected);
}

// Expanding into rows apart (a texture's pitch) must give each row exactly
// the words one buffer gets, whatever the row length, padding and code
// length, with the padding 0 though the block writes pass over it.
TEST(WooolTile, RowsGetTheWordsOfOneBufferAndZeroPadding) {
    struct Case {
        std::size_t width, height, paddingBytes, codeWords;
    };
    // Narrow rows under long codes: one code spreads over many rows up to
    // the very end of the buffer.
    const Case cases[] = {{1, 40, 30, 40},     {2, 300, 2, 600},    {7, 90, 32, 630},
                          {100, 64, 28, 6400}, {100, 64, 0, 6400},  {257, 30, 62, 4000},
                          {300, 20, 4, 12000}, {64, 100, 32, 7000}, {1, 300, 30, 3000},
                          {2, 200, 62, 3000},  {5, 150, 22, 3000}};
    std::mt19937 random(0x9017);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " +" << c.paddingBytes
                                          << " code " << c.codeWords);
        Words source;
        while (source.size() < c.codeWords) {
            const auto length = static_cast<std::size_t>(random() % 128);
            const auto word = static_cast<std::uint16_t>(random());
            for (std::size_t i = 0; i < length; ++i)
                source.push_back(random() % 3 == 0 ? word : static_cast<std::uint16_t>(random()));
        }
        source.resize(c.codeWords);
        const Bytes code = testing::encodeWooolTile(source);
        Words linear(c.width * c.height);
        decodeWooolTile(code, linear);

        const std::size_t rowBytes = 2 * c.width;
        const std::size_t pitch = rowBytes + c.paddingBytes;
        std::vector<std::uint8_t> rows(pitch * c.height, 0xAA);
        expandWooolRows(code, PixelRows{rows.data(), pitch, rowBytes, c.height});
        for (std::size_t y = 0; y < c.height; ++y) {
            const std::uint8_t* row = rows.data() + y * pitch;
            for (std::size_t x = 0; x < c.width; ++x)
                ASSERT_EQ(decodeU16(row + 2 * x), linear[y * c.width + x]) << x << "," << y;
            for (std::size_t b = rowBytes; b < pitch; ++b) ASSERT_EQ(row[b], 0) << "row " << y;
        }
    }
}

TEST(WooolTileCode, RunsAndLiteralsExpand) {
    Words words(5);
    decodeWooolTile(wordsCode({0x83, 0x01, 0x10, 0x02, 0x20, 0x03, 0x30, 0x02, 0x34, 0x12}), words);
    EXPECT_EQ(words, (Words{0x1001, 0x2002, 0x3003, 0x1234, 0x1234}));
}

TEST(WooolTileCode, OverrunningRunOrLiteralIsCutAndEndsTheTile) {
    Words words(4, 0xDEAD);
    decodeWooolTile(wordsCode({0x7F, 0x11, 0x11, 0x01, 0x22, 0x22}), words);
    EXPECT_EQ(words, (Words{0x1111, 0x1111, 0x1111, 0x1111}));

    decodeWooolTile(wordsCode({0x01, 0x01, 0x00, 0x86, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0}), words);
    EXPECT_EQ(words, (Words{0x0001, 0x0001, 0x0002, 0x0003}));
}

TEST(WooolTileCode, CodeCutShortKeepsTheCompleteWords) {
    Words words(4, 0xDEAD);
    decodeWooolTile(wordsCode({0x83, 0x01, 0x00, 0x02, 0x00, 0x03}), words);
    EXPECT_EQ(words, (Words{0x0001, 0x0002, 0, 0}));
    decodeWooolTile(wordsCode({0x04, 0x01}), words);
    EXPECT_EQ(words, (Words{0, 0, 0, 0}));
}

TEST(WooolTileCode, EncoderRoundTripsRunsAndLiterals) {
    Words words;
    for (int i = 0; i < 300; ++i)
        words.push_back(static_cast<std::uint16_t>(i / 3 % 5 == 0 ? 7 : i));
    words.insert(words.end(), 400, 0xABCD);
    const Bytes code = testing::encodeWooolTile(words);
    Words decoded(words.size());
    decodeWooolTile(code, decoded);
    EXPECT_EQ(decoded, words);
    EXPECT_LT(code.size(), words.size() * 2);
}

TEST(WooolComposite, AlphaScalesTheExpandedColour) {
    EXPECT_EQ(a4r4g4b4OnBlack(0xF123), 0x1106);
    EXPECT_EQ(a4r4g4b4OnBlack(0x8F00), 15 << 11);
    EXPECT_EQ(a4r4g4b4OnBlack(0x0FFF), 0);
    EXPECT_EQ(a4r4g4b4OnBlack(0xFFFF), (30 << 11) | (60 << 5) | 30);
}

TEST_F(WooolImagesTest, GroupsFlattenInTableOrderSkippingEmptySlots) {
    std::vector<WooolImage> first, second;
    for (std::int16_t i = 0; i < 3; ++i) first.push_back(image2x2({1, 2, 3, 4}, i));
    for (std::int16_t i = 3; i < 5; ++i) second.push_back(image2x2({1, 2, 3, 4}, i));
    const WooolArchiveBytes archive = testing::buildWoool(
        {testing::wooolGroup(17, first), std::nullopt, testing::wooolGroup(18, second)});
    auto images = open(archive.data);
    ASSERT_EQ(images->FImageCount, 5);
    EXPECT_EQ(images->FFormatList, (std::vector<std::uint8_t>{17, 17, 17, 18, 18}));
    for (std::int32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(images->FIndexList[i], static_cast<std::int32_t>(archive.frames[i].offset));
        ASSERT_TRUE(images->GetBitmap(i));
        EXPECT_EQ(images->FLastImageInfo.PX, i);
        EXPECT_EQ(images->FLastImageInfo.PY, -i);
    }
    EXPECT_EQ(images->className(), "TWMWoolDefImages");
}

TEST_F(WooolImagesTest, DrawToTextureKeepsA4R4G4B4AndGetBitmapComposites) {
    auto images =
        open(Groups{testing::wooolGroup(17, {image2x2({0xF123, 0x8F00, 0x0FFF, 0x1000})})});
    EXPECT_EQ(draw(*images, 0), (Words{0xF123, 0x8F00, 0x0FFF, 0x1000}));
    const auto bitmap = images->GetBitmap(0);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->bitCount(), 16);
    EXPECT_EQ(bitmapWords(*bitmap), (Words{0x1106, 15 << 11, 0, 0}));
}

TEST_F(WooolImagesTest, TileCodesDecodeThroughTheFile) {
    // 0x02 w: w twice; 0x82 a b: a then b.
    const Bytes code = wordsCode({0x02, 0x21, 0xF3, 0x82, 0x01, 0xF0, 0x02, 0xF0});
    auto images = open(Groups{WooolGroup{18, {frameWithTile(2, 2, 2, 2, code)}}});
    EXPECT_EQ(draw(*images, 0), (Words{0xF321, 0xF321, 0xF001, 0xF002}));
}

TEST_F(WooolImagesTest, WideAndTallFramesPlaceTheirTilesAt256) {
    const WooolImage image = testing::wooolPatternImage(300, 260, 3);
    const WooolFrame frame = testing::wooolFrame(image);
    EXPECT_EQ(frame.columns, 2);
    EXPECT_EQ(frame.rows, 2);
    EXPECT_EQ(frame.tiles[1].width, 300 - 256);
    auto images = open(Groups{WooolGroup{17, {frame}}});
    EXPECT_EQ(draw(*images, 0), image.pixels);
}

TEST_F(WooolImagesTest, PatternImagesRoundTrip) {
    std::vector<WooolImage> frames;
    for (const std::uint16_t side : {2, 3, 255, 256, 257, 513}) {
        frames.push_back(
            testing::wooolPatternImage(side, static_cast<std::uint16_t>(side / 2 + 2), side));
    }
    auto images = open(Groups{testing::wooolGroup(18, frames)});
    ASSERT_EQ(images->FImageCount, static_cast<std::int32_t>(frames.size()));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(draw(*images, static_cast<std::int32_t>(i)), frames[i].pixels) << i;
    }
}

TEST_F(WooolImagesTest, TilesPastTheFrameAreDropped) {
    Bytes code{0x90};  // a literal of 16 words: 4 x 4
    for (std::uint8_t i = 1; i <= 16; ++i) code.insert(code.end(), {i, 0xF0});
    // 127 * 3 + 19 = 400 words fill the first tile; the second, at x = 256,
    // lies wholly past the frame's 200 columns.
    const Bytes fill{0x7F, 0x05, 0xF0, 0x7F, 0x05, 0xF0, 0x7F, 0x05, 0xF0, 0x13, 0x05, 0xF0};
    WooolFrame wide{200, 2, 0, 0, 2, 1, {{200, 2, fill}, {10, 2, Bytes{0x14, 0x09, 0xF0}}}};
    auto images = open(Groups{WooolGroup{17, {frameWithTile(3, 3, 4, 4, code), wide}}});
    EXPECT_EQ(draw(*images, 0),
              (Words{0xF001, 0xF002, 0xF003, 0xF005, 0xF006, 0xF007, 0xF009, 0xF00A, 0xF00B}));
    const auto second = draw(*images, 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, Words(400, 0xF005));
}

TEST_F(WooolImagesTest, FramesWithFewerTilesLeaveTheRestTransparent) {
    auto images =
        open(Groups{WooolGroup{17, {frameWithTile(4, 2, 2, 2, Bytes{0x04, 0x07, 0xF0})}}});
    EXPECT_EQ(draw(*images, 0), (Words{0xF007, 0xF007, 0, 0, 0xF007, 0xF007, 0, 0}));
}

TEST_F(WooolImagesTest, UnsupportedFormatRaisesKeepingEarlierEntries) {
    const std::vector<WooolImage> two{image2x2({1, 2, 3, 4}), image2x2({5, 6, 7, 8})};
    const WooolArchiveBytes archive =
        testing::buildWoool({testing::wooolGroup(17, two), testing::wooolGroup(0xAB, two),
                             testing::wooolGroup(17, two)});
    testing::writeFile(path(), archive.data);
    TWMWoolDefImages images;
    images.FFileName = path();
    try {
        images.Initialize();
        FAIL() << "no exception";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(std::string(error.what()), path() + " 未支持的文件格式 171 ($AB)");
    }
    EXPECT_TRUE(images.FInitialized);
    // The two frames before it, and the frame that raised (which never decodes).
    ASSERT_EQ(images.FImageCount, 3);
    EXPECT_TRUE(images.GetBitmap(1));
    EXPECT_FALSE(images.GetBitmap(2));
}

TEST_F(WooolImagesTest, TileDataPastTheEndFailsTheImage) {
    WooolArchiveBytes archive = testing::buildWoool(
        {testing::wooolGroup(17, {image2x2({1, 2, 3, 4}), image2x2({5, 6, 7, 8})})});
    testing::truncateTo(archive.data, archive.data.size() - 1);
    auto images = open(archive.data);
    ASSERT_EQ(images->FImageCount, 2);
    EXPECT_TRUE(images->GetBitmap(0));
    EXPECT_FALSE(images->GetBitmap(1));
    EXPECT_FALSE(draw(*images, 1));
}

// A frame whose tile claims more bytes than the file holds stays listed and
// fails; the frames after it in its group lie past what can be walked.
TEST_F(WooolImagesTest, HugeTileLengthFailsItsFrameAndEndsTheGroup) {
    WooolArchiveBytes archive = testing::buildWoool(
        {testing::wooolGroup(17, {image2x2({1, 2, 3, 4}), image2x2({5, 6, 7, 8})}),
         testing::wooolGroup(18, {image2x2({9, 9, 9, 9})})});
    testing::setU32At(archive.data, archive.frames[0].tileOffsets[0] + 2, 0xFFFFFFF0u);
    auto images = open(archive.data);
    ASSERT_EQ(images->FImageCount, 2);
    EXPECT_FALSE(images->GetBitmap(0));
    EXPECT_EQ(draw(*images, 1), (Words{9, 9, 9, 9}));
}

TEST_F(WooolImagesTest, DamagedGroupTableGivesNoEntries) {
    const WooolArchiveBytes good =
        testing::buildWoool({testing::wooolGroup(17, {image2x2({1, 2, 3, 4})})});
    for (const std::uint32_t count : {0xFFFFFFFFu, 0x7FFFFFFFu, 1000u}) {
        Bytes bytes = good.data;
        testing::setU32At(bytes, good.groupTableOffset, count);
        EXPECT_EQ(open(bytes)->FImageCount, 0) << count;
    }
    Bytes tableOutside = good.data;
    testing::setU32At(tableOutside, 36, 0xFFFFFFF0u);
    EXPECT_EQ(open(tableOutside)->FImageCount, 0);
    Bytes shortHeader = good.data;
    testing::truncateTo(shortHeader, 39);
    EXPECT_EQ(open(shortHeader)->FImageCount, 0);
}

TEST_F(WooolImagesTest, FrameCountPastTheFileListsOnlyFramesInIt) {
    WooolArchiveBytes archive =
        testing::buildWoool({testing::wooolGroup(17, {image2x2({1, 2, 3, 4})})});
    testing::setU16At(archive.data, archive.groupOffsets[0] + 2, 0xFFFF);
    auto images = open(archive.data);
    EXPECT_EQ(images->FImageCount, 1);
    EXPECT_TRUE(images->GetBitmap(0));
}

// 20,000 slots all naming one group of 65,535 empty frames: walked in full
// that is 1.3 billion frames. What is listed stays within the file's bytes.
TEST_F(WooolImagesTest, OverlappingGroupsCannotMakeInitializeLoopLong) {
    constexpr std::uint32_t kSlots = 20'000;
    Bytes bytes(40, 0);
    testing::setU32At(bytes, 36, 40);
    testing::putU32(bytes, kSlots);
    const std::uint32_t groupAt = 44 + 4 * kSlots;
    for (std::uint32_t i = 0; i < kSlots; ++i) testing::putU32(bytes, groupAt);
    testing::putBytes(bytes, Bytes{0, 17, 0xFF, 0xFF, 0, 0});
    testing::putZeros(bytes, 10u * 0xFFFF);
    auto images = open(bytes);
    EXPECT_GT(images->FImageCount, 0xFFFF);
    EXPECT_LE(images->FImageCount, static_cast<std::int32_t>(bytes.size() / 10));
    EXPECT_FALSE(images->GetBitmap(0));  // 0 x 0
}

}  // namespace
}  // namespace vantoro
