#include "image_io/png_file.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>

#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;

struct Decoded {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t bitDepth = 0;
    std::uint8_t colorType = 0;
    Bytes rgba;  // decoded as 8-bit RGBA whatever was stored
};

// Decodes with libpng; the stored depth and colour type come from the IHDR
// chunk, which always directly follows the 8-byte signature.
Decoded decodePng(const Bytes& file) {
    Decoded out;
    EXPECT_GE(file.size(), 33u);
    if (file.size() < 33) return out;
    EXPECT_EQ(0, png_sig_cmp(file.data(), 0, 8));
    out.bitDepth = file[24];
    out.colorType = file[25];
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size()));
    image.format = PNG_FORMAT_RGBA;
    out.width = image.width;
    out.height = image.height;
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr));
    return out;
}

TEST(PngFile, RgbaRoundTripKeepsEveryChannelIncludingAlpha) {
    // 3 x 2 with boundary values: transparent, opaque, half alpha.
    const Bytes pixels = {0,   0, 0, 0,   255, 255, 255, 255, 1, 2, 3,   128,
                          255, 0, 0, 255, 0,   255, 0,   1,   0, 0, 255, 254};
    const auto png = encodePng({pixels, 3, 2, PngLayout::Rgba8, 0});
    ASSERT_TRUE(png.ok()) << png.error();
    const Decoded d = decodePng(*png);
    EXPECT_EQ(3u, d.width);
    EXPECT_EQ(2u, d.height);
    EXPECT_EQ(8, d.bitDepth);
    EXPECT_EQ(PNG_COLOR_TYPE_RGB_ALPHA, d.colorType);
    EXPECT_EQ(pixels, d.rgba);
}

TEST(PngFile, RgbRowsWithPaddedStrideStoreOnlyTheRow) {
    // 2 x 2 RGB with a stride of 8 bytes: the two padding bytes (0xEE) must
    // not leak into the picture.
    const Bytes pixels = {10, 20, 30, 40, 50, 60, 0xEE, 0xEE, 70, 80, 90, 100, 110, 120};
    const auto png = encodePng({pixels, 2, 2, PngLayout::Rgb8, 8});
    ASSERT_TRUE(png.ok()) << png.error();
    const Decoded d = decodePng(*png);
    EXPECT_EQ(PNG_COLOR_TYPE_RGB, d.colorType);
    const Bytes expected = {10, 20, 30, 255, 40, 50, 60, 255, 70, 80, 90, 255, 100, 110, 120, 255};
    EXPECT_EQ(expected, d.rgba);
}

TEST(PngFile, RejectsBadGeometryWithoutReadingPastTheBuffer) {
    const Bytes pixels(16, 7);
    EXPECT_FALSE(encodePng({pixels, 0, 1, PngLayout::Rgba8, 0}).ok());
    EXPECT_FALSE(encodePng({pixels, 1, 0, PngLayout::Rgba8, 0}).ok());
    EXPECT_FALSE(encodePng({pixels, 2, 2, PngLayout::Rgba8, 4}).ok());  // stride < row
    EXPECT_FALSE(encodePng({pixels, 2, 3, PngLayout::Rgba8, 0}).ok());  // 24 bytes > 16
    EXPECT_FALSE(encodePng({pixels, 0x80000000u, 1, PngLayout::Rgb8, 0}).ok());
    // Exactly enough: the last row need not carry its padding.
    EXPECT_TRUE(encodePng({Bytes(14, 1), 2, 2, PngLayout::Rgb8, 8}).ok());
}

TEST(PngFile, SavePngWritesTheEncodedFile) {
    testing::TempDir dir;
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const PngRows rows{pixels, 2, 2, PngLayout::Rgba8, 0};
    ASSERT_TRUE(savePng(rows, dir.file("out.png")).ok());
    EXPECT_EQ(*encodePng(rows), testing::readFile(dir.file("out.png")));
    EXPECT_FALSE(savePng(rows, dir.file("missing/folder/out.png")).ok());
}

}  // namespace
}  // namespace vantoro
