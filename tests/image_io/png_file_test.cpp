#include "image_io/png_file.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
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

// Pictures encoded one after another on one thread, as an export does:
// each must decode to its own pixels whatever the one before left behind.
// Noise cannot be compressed (the stream needs its stored-block bound);
// 800 x 800 of it is a stream of several IDAT chunks.
TEST(PngFile, PicturesInARowRoundTripWhateverTheirSizeAndContent) {
    struct Case {
        const char* name;
        std::uint32_t width;
        std::uint32_t height;
        std::uint8_t (*byteAt)(std::size_t);
    };
    const Case cases[] = {
        {"one pixel", 1, 1, [](std::size_t i) { return static_cast<std::uint8_t>(i * 60 + 1); }},
        {"transparent sprite with a shaded middle", 90, 70,
         [](std::size_t i) {
             const std::size_t x = i / 4 % 90;
             return static_cast<std::uint8_t>(x < 30 || x > 60 ? 0 : x * 3 + i % 4);
         }},
        {"noise", 64, 64,
         [](std::size_t i) { return static_cast<std::uint8_t>((i * 2654435761u) >> 13); }},
        {"noise over several IDAT chunks", 800, 800,
         [](std::size_t i) { return static_cast<std::uint8_t>((i * 2654435761u) >> 11); }},
        {"one pixel again", 1, 1, [](std::size_t) { return std::uint8_t{200}; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes pixels(std::size_t{c.width} * c.height * 4);
        for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = c.byteAt(i);
        const auto png = encodePng({pixels, c.width, c.height, PngLayout::Rgba8, 0});
        ASSERT_TRUE(png.ok()) << png.error();
        const Decoded d = decodePng(*png);
        EXPECT_EQ(c.width, d.width);
        EXPECT_EQ(c.height, d.height);
        EXPECT_TRUE(pixels == d.rgba);
    }
}

TEST(PngFile, RunsOfTheTransparentColourAreCompressed) {
    const Bytes transparent(256 * 256 * 4, 0);
    const auto png = encodePng({transparent, 256, 256, PngLayout::Rgba8, 0});
    ASSERT_TRUE(png.ok()) << png.error();
    EXPECT_LT(png->size(), 1024u);
}

TEST(PngFile, RejectsBadGeometryWithoutReadingPastTheBuffer) {
    const Bytes pixels(16, 7);
    EXPECT_FALSE(encodePng({pixels, 0, 1, PngLayout::Rgba8, 0}).ok());
    EXPECT_FALSE(encodePng({pixels, 1, 0, PngLayout::Rgba8, 0}).ok());
    EXPECT_FALSE(encodePng({pixels, 2, 2, PngLayout::Rgba8, 4}).ok());  // stride < row
    EXPECT_FALSE(encodePng({pixels, 2, 3, PngLayout::Rgba8, 0}).ok());  // 24 bytes > 16
    EXPECT_FALSE(encodePng({pixels, 0x80000000u, 1, PngLayout::Rgb8, 0}).ok());
    // A stride so large that the last row's end wraps round to a small number.
    EXPECT_FALSE(encodePng({pixels, 2, 2, PngLayout::Rgba8, SIZE_MAX - 4}).ok());
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
