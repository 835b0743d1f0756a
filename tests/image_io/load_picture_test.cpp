#include "image_io/load_picture.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <random>

#include "image_io/bmp_file.h"
#include "image_io/tga_reader.h"
#include "tests/image_io/png_with_trns.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;
using Pixels = std::vector<std::array<std::uint8_t, 4>>;  // B, G, R, A; top row first

Pixels pixelsOf(const Picture& picture) {
    Pixels out;
    for (std::size_t i = 0; i + 3 < picture.pixels.size(); i += 4)
        out.push_back({picture.pixels[i], picture.pixels[i + 1], picture.pixels[i + 2],
                       picture.pixels[i + 3]});
    return out;
}

Bytes tga(std::uint8_t type, std::uint8_t bits, std::uint8_t descriptor, const Bytes& body,
          std::uint16_t width = 2, std::uint16_t height = 2) {
    Bytes out = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    testing::putU16(out, width);
    testing::putU16(out, height);
    out.insert(out.end(), {bits, descriptor});
    testing::putBytes(out, body);
    return out;
}

TEST(LoadPictureTest, TgaTypesDepthsAndOrientations) {
    struct Case {
        const char* name;
        Bytes file;
        Pixels want;
    };
    const Case cases[] = {
        {"32-bit bottom-up",
         tga(2, 32, 0x08, {9, 10, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8}),
         {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}}},
        {"24-bit top-down",
         tga(2, 24, 0x20, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
         {{1, 2, 3, 255}, {4, 5, 6, 255}, {7, 8, 9, 255}, {10, 11, 12, 255}}},
        // A run across the row end; the second row stored right to left.
        {"32-bit run-length, right to left",
         tga(10, 32, 0x30, {0x82, 1, 2, 3, 4, 0x00, 5, 6, 7, 8}),
         {{1, 2, 3, 4}, {1, 2, 3, 4}, {5, 6, 7, 8}, {1, 2, 3, 4}}},
        {"grey run-length", tga(11, 8, 0, {0x83, 0x40}), Pixels(4, {0x40, 0x40, 0x40, 255})},
        {"16-bit",
         tga(2, 16, 0x20, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0xFF, 0x7F}),
         {{0, 0, 255, 255}, {0, 255, 0, 255}, {255, 0, 0, 255}, {255, 255, 255, 255}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result<Picture> picture = decodeTga(c.file);
        ASSERT_TRUE(picture.ok()) << picture.error();
        EXPECT_EQ(pixelsOf(*picture), c.want);
        EXPECT_EQ(picture->hasAlpha, c.file[16] == 32);
    }
}

TEST(LoadPictureTest, DamagedTgasAreRefusedWithTheirReason) {
    Bytes longId = tga(2, 24, 0, Bytes(12, 0));
    longId[0] = 200;
    const std::pair<Bytes, std::string> cases[] = {
        {Bytes(17, 0), "tga header cut short"},
        {tga(1, 8, 0, Bytes(4, 0)), "unsupported tga image type 1"},
        {tga(2, 12, 0, Bytes(8, 0)), "unsupported tga pixel size 12"},
        {tga(2, 24, 0, {}, 0, 2), "tga: empty picture"},
        {tga(2, 32, 0, {}, 65535, 65535), "tga: picture too large (65535 x 65535)"},
        {longId, "tga image id or colour map cut short"},
        {tga(2, 24, 0, Bytes(11, 0)), "tga pixels cut short"},
        {tga(10, 24, 0, {0x84, 1, 2, 3}), "tga run-length packet past the end of the picture"},
        {tga(10, 24, 0, {0x82, 1, 2, 3}), "tga pixels cut short"},
    };
    for (const auto& [file, message] : cases) EXPECT_EQ(decodeTga(file).error(), message);

    std::mt19937 random(7);  // damaged copies decode or fail, never read outside the file
    for (int round = 0; round < 500; ++round) {
        Bytes damaged = tga(10, 32, 0x30, {0x82, 1, 2, 3, 4, 0x00, 5, 6, 7, 8});
        testing::flipByte(damaged, random() % damaged.size());
        if (round % 3 == 0) testing::truncateTo(damaged, random() % damaged.size());
        (void)decodeTga(damaged);
    }
}

TEST(LoadPictureTest, KindByFirstBytesTgaByNameAndOddWidthsWidened) {
    const testing::TempDir dir;
    DibBitmap odd = *DibBitmap::create(16, 3, 1);
    odd.row16(0)[2] = 0xFFFF;
    testing::writeFile(dir.file("odd.bmp"), encodeBmp(odd));
    Result<Picture> picture = LoadPicture(dir.file("odd.bmp"));
    ASSERT_TRUE(picture.ok()) << picture.error();
    EXPECT_TRUE(picture->rgb565);
    EXPECT_EQ(pixelsOf(*picture),
              (Pixels{{0, 0, 0, 255}, {0, 0, 0, 255}, {255, 255, 255, 255}, {0, 0, 0, 0}}));

    const Bytes grey = tga(11, 8, 0, {0x83, 0x40});
    testing::writeFile(dir.file("a.TGA"), grey);
    testing::writeFile(dir.file("a.dat"), grey);
    EXPECT_EQ(LoadPicture(dir.file("a.TGA"))->width, 2u);
    EXPECT_EQ(LoadPicture(dir.file("a.dat")).error(),
              dir.file("a.dat") + ": not a bmp, png or tga picture");
}

// A damaged PNG fails as a damaged BMP does, so the import asks about it
// instead of storing an empty entry unasked.
TEST(LoadPictureTest, DamagedPngsAreRefused) {
    const Bytes good = testing::encodeTrnsPng(
        {.samples = {0, 1, 1, 0}, .palette = {{0, 0, 0}, {255, 0, 0}}, .paletteAlpha = {0}});
    // Chunks start after the 8-byte signature: length, type, data, CRC.
    const auto chunkAt = [&](const char* type) {
        const auto at = std::search(good.begin(), good.end(), type, type + 4);
        return static_cast<std::size_t>(at - good.begin()) - 4;
    };
    const std::size_t ihdr = chunkAt("IHDR");
    const std::size_t plte = chunkAt("PLTE");
    const std::size_t idat = chunkAt("IDAT");
    const auto withoutRange = [&](std::size_t from, std::size_t to) {
        Bytes out(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(from));
        out.insert(out.end(), good.begin() + static_cast<std::ptrdiff_t>(to), good.end());
        return out;
    };
    Bytes zeroWidth = good;
    testing::setU32At(zeroWidth, ihdr + 8, 0);
    const auto crc = ::crc32(0, zeroWidth.data() + ihdr + 4, 17);
    for (int i = 0; i < 4; ++i)
        zeroWidth[ihdr + 21 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    Bytes badCrc = good;
    const std::size_t idatLength =
        std::size_t{good[idat]} << 24 | good[idat + 1] << 16 | good[idat + 2] << 8 | good[idat + 3];
    testing::flipByte(badCrc, idat + 8 + idatLength);
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"cut short", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(idat + 10))},
        {"header only", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(plte))},
        {"zero width", zeroWidth},
        {"bad CRC", badCrc},
        {"palette without PLTE", withoutRange(plte, idat)},
    };
    const testing::TempDir dir;
    testing::writeFile(dir.file("good.png"), good);
    ASSERT_TRUE(LoadPicture(dir.file("good.png")).ok());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::writeFile(dir.file("bad.png"), c.bytes);
        EXPECT_FALSE(LoadPicture(dir.file("bad.png")).ok());
    }
}

// A tRNS chunk is alpha as much as an alpha channel is: palette entries
// keep their own alpha (entries past the chunk are opaque), and the pixels of
// a grey or RGB colour key become transparent.
TEST(LoadPictureTest, PngTransparencyChunksBecomeAlpha) {
    struct Case {
        const char* name;
        testing::TrnsPng png;
        Pixels want;
    };
    const Case cases[] = {
        {"palette with partial alpha",
         {.samples = {0, 1, 2, 0},
          .palette = {{0, 0, 0}, {255, 0, 0}, {0, 0, 255}},
          .paletteAlpha = {0, 128}},
         {{0, 0, 0, 0}, {0, 0, 255, 128}, {255, 0, 0, 255}, {0, 0, 0, 0}}},
        {"grey colour key",
         {.colorType = PNG_COLOR_TYPE_GRAY,
          .samples = {0x40, 0x80, 0x80, 0x40},
          .key = {.gray = 0x40}},
         {{0x40, 0x40, 0x40, 0},
          {0x80, 0x80, 0x80, 255},
          {0x80, 0x80, 0x80, 255},
          {0x40, 0x40, 0x40, 0}}},
        {"RGB colour key",
         {.colorType = PNG_COLOR_TYPE_RGB,
          .samples = {10, 20, 30, 10, 20, 31, 9, 20, 30, 10, 20, 30},
          .key = {.red = 10, .green = 20, .blue = 30}},
         {{30, 20, 10, 0}, {31, 20, 10, 255}, {30, 20, 9, 255}, {30, 20, 10, 0}}},
    };
    const testing::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::writeFile(dir.file("t.png"), testing::encodeTrnsPng(c.png));
        const Result<Picture> picture = LoadPicture(dir.file("t.png"));
        ASSERT_TRUE(picture.ok()) << picture.error();
        EXPECT_TRUE(picture->hasAlpha);
        EXPECT_EQ(pixelsOf(*picture), c.want);
    }
}

}  // namespace
}  // namespace vantoro
