#include "edit/convert_picture.h"

#include <gtest/gtest.h>

#include "image_io/bmp_file.h"
#include "io/byte_reader.h"

namespace vantoro {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A picture from B, G, R, A pixels, top row first.
Picture pictureOf(std::uint32_t width, std::uint32_t height, const Bytes& bgra) {
    Picture picture = allocatePicture(width, height, true);
    picture.pixels = bgra;
    return picture;
}

std::vector<std::uint16_t> words(const Bytes& data) {
    std::vector<std::uint16_t> out;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) out.push_back(decodeU16(&data[i]));
    return out;
}

TEST(ConvertPictureTest, OnePixelInEveryFormatAndFlag) {
    struct Case {
        const char* name;
        Bytes bgra;
        ConvertOptions options;
        std::uint16_t want;
    };
    const Bytes white = {255, 255, 255, 7};
    const Case cases[] = {
        {"white 1", white, {.format = 1}, 0xFFFF},
        {"white 2", white, {.format = 2}, 0xFFFF},
        {"white 0", white, {.format = 0}, 0xFFFF},
        {"key 0", white, {.format = 0, .transparentColour = 0xFFFFFF, .window = true}, 0},
        {"key order", {0x30, 0x20, 0x10, 0}, {.format = 2, .transparentColour = 0x302010}, 0},
        {"near key", {0x30, 0x20, 0x11, 0}, {.format = 2, .transparentColour = 0x302010}, 0x1106},
        {"window 8", {8, 8, 8, 0}, {.format = 0, .transparentColour = 1, .window = true}, 0xD000},
        {"window 48", {48, 48, 48, 0}, {.format = 0, .window = true}, 0xC333},
        {"window other", {9, 0x30, 0x90, 0}, {.format = 0, .window = true}, 0xF930},
        {"alpha", {0x12, 0x34, 0x56, 0x78}, {.hasAlpha = true, .format = 0}, 0x7531},
        {"alpha, any format", {0x12, 0x34, 0x56, 0x78}, {.hasAlpha = true, .format = 2}, 0x7531},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto data = ConvertPicture(pictureOf(1, 1, c.bgra), c.options);
        ASSERT_TRUE(data.ok()) << data.error();
        EXPECT_EQ(words(*data), std::vector<std::uint16_t>{c.want});
    }
    EXPECT_EQ(*ConvertPicture(pictureOf(1, 1, white), {.format = 3}), white);
    // Format 3 of a picture without alpha keeps the colour key: black (the
    // default transparent colour) becomes see-through, other colours stay.
    const Bytes blackAndWhite = {0, 0, 0, 255, 255, 255, 255, 255};
    Picture opaque = pictureOf(2, 1, blackAndWhite);
    EXPECT_EQ(*ConvertPicture(opaque, {.format = 3}), blackAndWhite);
    opaque.hasAlpha = false;
    EXPECT_EQ(*ConvertPicture(opaque, {.format = 3}), (Bytes{0, 0, 0, 0, 255, 255, 255, 255}));
    EXPECT_EQ(ConvertPicture(pictureOf(1, 1, white), {.format = 4}).error(),
              "unknown pixel format 4");
    EXPECT_EQ(ConvertPicture(Picture{}, {}).error(), "empty picture");
}

TEST(ConvertPictureTest, RowsKeepTheirOrderAndFlipStartsAtTheBottomRow) {
    const Picture picture = pictureOf(2, 2, {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 8, 8, 8, 0});
    EXPECT_EQ(words(*ConvertPicture(picture, {.format = 2})),
              (std::vector<std::uint16_t>{0xF800, 0x07E0, 0x001F, 0x0841}));
    EXPECT_EQ(words(*ConvertPicture(picture, {.format = 2, .flip = true})),
              (std::vector<std::uint16_t>{0x001F, 0x0841, 0xF800, 0x07E0}));
}

// Every R5G6B5 word read from a 16-bit BMP comes back unchanged with alpha.
TEST(ConvertPictureTest, R5G6B5PicturesKeepEveryWord) {
    DibBitmap bitmap = *DibBitmap::create(16, 256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) bitmap.row16(y)[x] = static_cast<std::uint16_t>(y * 256 + x);
    const Result<Picture> picture = decodeBmp(encodeBmp(bitmap));
    ASSERT_TRUE(picture.ok() && picture->rgb565);
    const std::vector<std::uint16_t> got = words(*ConvertPicture(*picture, {.hasAlpha = true}));
    for (std::size_t v = 0; v < 65536; ++v) ASSERT_EQ(got[v], v);
}

TEST(ConvertPictureTest, RunLengthStepCodesTheRawPixels) {
    const Picture picture = pictureOf(2, 1, {1, 2, 3, 4, 5, 6, 7, 8});
    Bytes seen;  // the pixels, bytes a pixel, pixel count, room given
    const RleEncoder encoder = [&](auto source, auto target, std::uint8_t bpp, std::size_t count) {
        seen.assign(source.begin(), source.end());
        for (std::size_t v : {std::size_t{bpp}, count, target.size()}) seen.push_back(v);
        target[0] = 0xAB;
        return std::size_t{1};
    };
    EXPECT_EQ(*ConvertPicture(picture, {.format = 3, .rle = true}, encoder), Bytes{0xAB});
    EXPECT_EQ(seen, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 4, 2, 10}));
    EXPECT_EQ(ConvertPicture(picture, {.format = 3, .rle = true}).error(), "no run-length encoder");
    const RleEncoder overrun = [](auto, auto target, auto, auto) { return target.size() + 1; };
    EXPECT_FALSE(ConvertPicture(picture, {.format = 3, .rle = true}, overrun).ok());
}

}  // namespace
}  // namespace vantoro
