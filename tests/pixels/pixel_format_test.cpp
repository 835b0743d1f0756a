#include "pixels/pixel_format.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "pixels/std_palette.h"

namespace vantoro {
namespace {

TEST(PaletteTest, HoldsBlueGreenRedReservedPerEntry) {
    ASSERT_EQ(StdPalette.size(), 1024u);
    // Entry 1 is 800000: red 0x80.
    EXPECT_EQ(StdPalette[4 * 1 + 0], 0x00);
    EXPECT_EQ(StdPalette[4 * 1 + 1], 0x00);
    EXPECT_EQ(StdPalette[4 * 1 + 2], 0x80);
    EXPECT_EQ(StdPalette[4 * 1 + 3], 0x00);
    // Spot checks across the table: 0x558097 at 8, 0xCA352C at 191, 0xFFFFFF at 255.
    EXPECT_EQ(paletteColor(8).red, 0x55);
    EXPECT_EQ(paletteColor(8).green, 0x80);
    EXPECT_EQ(paletteColor(8).blue, 0x97);
    EXPECT_EQ(paletteColor(191).red, 0xCA);
    EXPECT_EQ(paletteColor(191).blue, 0x2C);
    EXPECT_EQ(paletteColor(255).green, 0xFF);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(StdPalette[4 * i + 3], 0) << "entry " << i;
}

TEST(PixelFormatTest, PaletteIndexZeroIsTheOnlyTransparentOne) {
    EXPECT_EQ(Pal8ToA1R5G5B5[0], 0x0000);
    EXPECT_EQ(Pal8ToA1R5G5B5[1], 0xC000);    // 800000
    EXPECT_EQ(Pal8ToA1R5G5B5[255], 0xFFFF);  // FFFFFF
    EXPECT_EQ(Pal8ToA1R5G5B5[52], 0x8400);   // 080000: near black stays opaque
    for (int i = 1; i < 256; ++i) EXPECT_NE(Pal8ToA1R5G5B5[i] & 0x8000, 0) << "index " << i;
}

TEST(PixelFormatTest, R5G6B5DropsTheLowGreenBitAndKeepsNearBlackOpaque) {
    EXPECT_EQ(R5G6B5ToA1R5G5B5[0x0000], 0x0000);
    EXPECT_EQ(R5G6B5ToA1R5G5B5[0x0001], 0x8001);
    EXPECT_EQ(R5G6B5ToA1R5G5B5[0xFFFF], 0xFFFF);
    EXPECT_EQ(R5G6B5ToA1R5G5B5[0x07E0], 0x83E0);
    EXPECT_EQ(R5G6B5ToA1R5G5B5[0x0020], 0x8000);  // lowest green bit only: black, but opaque
    EXPECT_EQ(R5G6B5ToA1R5G5B5[0xF800], 0xFC00);
}

TEST(PixelFormatTest, ConvertersMapEveryPixelOfTheRow) {
    const std::uint8_t indices[] = {0, 1, 255};
    std::uint16_t out8[3] = {0xAAAA, 0xAAAA, 0xAAAA};
    Convert8To16(indices, out8, 3);
    EXPECT_EQ(out8[0], 0x0000);
    EXPECT_EQ(out8[1], 0xC000);
    EXPECT_EQ(out8[2], 0xFFFF);

    const std::uint16_t words[] = {0x0000, 0x0001, 0x07E0, 0xFFFF};
    std::uint16_t out16[4] = {};
    Convert16To16(words, out16, 4);
    EXPECT_EQ(out16[0], 0x0000);
    EXPECT_EQ(out16[1], 0x8001);
    EXPECT_EQ(out16[2], 0x83E0);
    EXPECT_EQ(out16[3], 0xFFFF);
}

TEST(PixelFormatTest, WidthBytesPadsRowsToFourBytes) {
    EXPECT_EQ(WidthBytes(8, 2), 4);
    EXPECT_EQ(WidthBytes(8, 5), 8);
    EXPECT_EQ(WidthBytes(16, 3), 8);
    EXPECT_EQ(WidthBytes(16, 4095), 8192);
    EXPECT_EQ(WidthBytes(8, 4095), 4096);
    EXPECT_EQ(WidthBytes(32, 1), 4);
}

TEST(PixelFormatTest, FormatIndexTables) {
    EXPECT_EQ(kPixelFormatToD3D[0], 26u);
    EXPECT_EQ(kPixelFormatToD3D[1], 25u);
    EXPECT_EQ(kPixelFormatToD3D[2], 23u);
    EXPECT_EQ(kPixelFormatToD3D[3], 21u);
    EXPECT_EQ(BytesPerPixel(0), 2);
    EXPECT_EQ(BytesPerPixel(2), 2);
    EXPECT_EQ(BytesPerPixel(3), 4);
    EXPECT_EQ(BytesPerPixel(200), 4);
}

}  // namespace
}  // namespace vantoro

namespace vantoro {
namespace {

// The 16-bit converter computes instead of looking up; every input
// must still give exactly the table's value.
TEST(PixelFormatTest, ConvertersAgreeWithTheTablesOnEveryValue) {
    std::vector<std::uint16_t> words(65536);
    for (std::uint32_t v = 0; v < words.size(); ++v) words[v] = static_cast<std::uint16_t>(v);
    std::vector<std::uint16_t> converted(words.size());
    Convert16To16(words.data(), converted.data(), static_cast<std::int32_t>(words.size()));
    for (std::uint32_t v = 0; v < words.size(); ++v) {
        ASSERT_EQ(converted[v], R5G6B5ToA1R5G5B5[v]) << "value " << v;
    }

    // Wide rows take 64 indices or 32 words a step on processors that can;
    // every row length from 1 to 200 checks the steps and the tail alike.
    std::vector<std::uint8_t> indices(200);
    for (std::size_t k = 0; k < indices.size(); ++k)
        indices[k] = static_cast<std::uint8_t>(k * 37 + 11);
    for (std::int32_t count = 1; count <= 200; ++count) {
        std::vector<std::uint16_t> out(static_cast<std::size_t>(count) + 1, 0xABCD);
        Convert8To16(indices.data(), out.data(), count);
        for (std::int32_t k = 0; k < count; ++k) {
            ASSERT_EQ(out[k], Pal8ToA1R5G5B5[indices[k]]) << "count " << count << " position " << k;
        }
        ASSERT_EQ(out[count], 0xABCD) << "wrote past the row of " << count;

        std::fill(out.begin(), out.end(), 0xABCD);
        Convert16To16(words.data() + 40000, out.data(), count);
        for (std::int32_t k = 0; k < count; ++k) {
            ASSERT_EQ(out[k], R5G6B5ToA1R5G5B5[40000 + k]) << "count " << count << " word " << k;
        }
        ASSERT_EQ(out[count], 0xABCD) << "wrote past the words of " << count;
    }
    std::vector<std::uint8_t> every(256);
    for (int i = 0; i < 256; ++i) every[i] = static_cast<std::uint8_t>(255 - i);
    std::vector<std::uint16_t> out(256);
    Convert8To16(every.data(), out.data(), 256);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(out[i], Pal8ToA1R5G5B5[255 - i]) << "index " << 255 - i;
}

}  // namespace
}  // namespace vantoro
