#include <gtest/gtest.h>

#include "image_io/bmp_file.h"
#include "io/byte_reader.h"
#include "pixels/dib_bitmap.h"
#include "pixels/std_palette.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

TEST(DibBitmapTest, RowsArePaddedToFourBytesAndZeroed) {
    auto bitmap = DibBitmap::create(8, 5, 3);
    ASSERT_TRUE(bitmap.has_value());
    EXPECT_EQ(bitmap->stride(), 8);
    EXPECT_EQ(bitmap->pixels().size(), 24u);
    for (std::uint8_t byte : bitmap->pixels()) EXPECT_EQ(byte, 0);
    EXPECT_EQ(DibBitmap::create(16, 3, 1)->stride(), 8);
    EXPECT_EQ(DibBitmap::create(32, 3, 1)->stride(), 12);
}

TEST(DibBitmapTest, RefusesUnsupportedDepthsAndEmptySides) {
    EXPECT_FALSE(DibBitmap::create(24, 4, 4).has_value());
    EXPECT_FALSE(DibBitmap::create(8, 0, 4).has_value());
    EXPECT_FALSE(DibBitmap::create(8, 4, -1).has_value());
    EXPECT_FALSE(DibBitmap::create(8, 70000, 1).has_value());
}

// The fields of a BMP file this writer produces.
struct BmpHeader {
    std::uint32_t fileSize, pixelOffset, infoSize, compression, imageSize, colorsUsed;
    std::int32_t width, height;
    std::uint16_t bitCount;
};

BmpHeader parseHeader(const std::vector<std::uint8_t>& bmp) {
    EXPECT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    const std::uint8_t* p = bmp.data();
    return BmpHeader{decodeU32(p + 2),  decodeU32(p + 10), decodeU32(p + 14),
                     decodeU32(p + 30), decodeU32(p + 34), decodeU32(p + 46),
                     decodeI32(p + 18), decodeI32(p + 22), decodeU16(p + 28)};
}

TEST(BmpFileTest, EightBitCarriesItsColourTableAndBottomUpRows) {
    auto bitmap = DibBitmap::create(8, 3, 2);
    ASSERT_TRUE(bitmap.has_value());
    bitmap->colorTable() = StdPalette;
    bitmap->row(0)[0] = 1;    // top-left
    bitmap->row(1)[2] = 255;  // bottom-right
    const auto bmp = encodeBmp(*bitmap);
    const BmpHeader header = parseHeader(bmp);
    EXPECT_EQ(header.fileSize, bmp.size());
    EXPECT_EQ(header.infoSize, 40u);
    EXPECT_EQ(header.width, 3);
    EXPECT_EQ(header.height, 2);
    EXPECT_EQ(header.bitCount, 8);
    EXPECT_EQ(header.compression, 0u);
    EXPECT_EQ(header.colorsUsed, 256u);
    EXPECT_EQ(header.pixelOffset, 14u + 40u + 1024u);
    EXPECT_TRUE(std::equal(StdPalette.begin(), StdPalette.end(), bmp.begin() + 54));
    // File row 0 is the image's bottom row.
    EXPECT_EQ(bmp[header.pixelOffset + 2], 255);
    EXPECT_EQ(bmp[header.pixelOffset + 4 + 0], 1);
    EXPECT_EQ(bmp.size(), header.pixelOffset + 2u * 4u);
}

TEST(BmpFileTest, SixteenBitUsesR5G6B5BitfieldMasks) {
    auto bitmap = DibBitmap::create(16, 2, 2);
    ASSERT_TRUE(bitmap.has_value());
    bitmap->row16(0)[1] = 0xF81F;
    const auto bmp = encodeBmp(*bitmap);
    const BmpHeader header = parseHeader(bmp);
    EXPECT_EQ(header.bitCount, 16);
    EXPECT_EQ(header.compression, 3u);
    EXPECT_EQ(decodeU32(bmp.data() + 54), 0xF800u);
    EXPECT_EQ(decodeU32(bmp.data() + 58), 0x07E0u);
    EXPECT_EQ(decodeU32(bmp.data() + 62), 0x001Fu);
    EXPECT_EQ(header.pixelOffset, 66u);
    EXPECT_EQ(decodeU16(bmp.data() + header.pixelOffset + 4 + 2), 0xF81F);  // top row, stored last
}

TEST(BmpFileTest, ThirtyTwoBitHasNoColourData) {
    auto bitmap = DibBitmap::create(32, 1, 1);
    ASSERT_TRUE(bitmap.has_value());
    const auto bmp = encodeBmp(*bitmap);
    const BmpHeader header = parseHeader(bmp);
    EXPECT_EQ(header.bitCount, 32);
    EXPECT_EQ(header.pixelOffset, 54u);
    EXPECT_EQ(header.imageSize, 4u);
}

TEST(BmpFileTest, SaveReportsAnUnwritablePath) {
    testing::TempDir dir;
    auto bitmap = DibBitmap::create(8, 2, 2);
    ASSERT_TRUE(bitmap.has_value());
    EXPECT_TRUE(saveBmp(*bitmap, dir.file("ok.bmp")).ok());
    EXPECT_EQ(testing::readFile(dir.file("ok.bmp")), encodeBmp(*bitmap));
    const Status failed = saveBmp(*bitmap, dir.file("no/such/folder/x.bmp"));
    EXPECT_FALSE(failed.ok());
    EXPECT_NE(failed.error().find("cannot create"), std::string::npos);
}

}  // namespace
}  // namespace vantoro
