#include "image_io/picture_reader.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "image_io/bmp_file.h"
#include "image_io/png_file.h"
#include "pixels/dib_bitmap.h"
#include "tests/support/jpeg_writer.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::putBytes;
using testing::putU16;
using testing::putU32;
using testing::putU8;
using testing::putZeros;

struct Bgra {
    std::uint8_t b, g, r, a;
    friend bool operator==(const Bgra&, const Bgra&) = default;
};

Bgra pixelAt(const Picture& picture, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = picture.row(y) + x * 4;
    return {p[0], p[1], p[2], p[3]};
}

Picture decodeOk(const Bytes& file) {
    Result<Picture> picture = decodePicture(file);
    EXPECT_TRUE(picture.ok()) << picture.error();
    return picture ? std::move(*picture) : Picture{};
}

std::string decodeError(const Bytes& file) {
    const Result<Picture> picture = decodePicture(file);
    EXPECT_FALSE(picture.ok());
    return picture.error();
}

// ---- Fixtures -------------------------------------------------------------------

// A BMP of any bit count from already packed bottom-up rows: 14-byte file
// header, a 40-byte info header (or `headerSize` bytes, zero past 40), then
// `extra` (colour table or masks), then the rows.
Bytes rawBmp(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t compression,
             const Bytes& extra, const Bytes& rows, std::uint32_t headerSize = 40) {
    Bytes out;
    putU8(out, 'B');
    putU8(out, 'M');
    putU32(out, 0);  // file size, not read
    putU32(out, 0);
    putU32(out, static_cast<std::uint32_t>(14 + headerSize + extra.size()));
    putU32(out, headerSize);
    putU32(out, static_cast<std::uint32_t>(width));
    putU32(out, static_cast<std::uint32_t>(height));
    putU16(out, 1);
    putU16(out, bits);
    putU32(out, compression);
    putZeros(out, headerSize - 20);
    putBytes(out, extra);
    putBytes(out, rows);
    return out;
}

// A 2 x 2 A8R8G8B8 picture with four distinct pixels; alpha 0x40 at (1, 1).
Bytes rgbaPng(PngLayout layout) {
    const Bytes rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 10, 20, 30, 0x40};
    const Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30};
    const Bytes& rows = layout == PngLayout::Rgba8 ? rgba : rgb;
    return *encodePng(PngRows{rows, 2, 2, layout, 0});
}

// Grey with alpha (colour type 4), written through libpng's simple writer.
Bytes greyAlphaPng() {
    const Bytes ga = {0x80, 0xFF, 0x20, 0x10};  // two pixels: grey, alpha
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = 2;
    image.height = 1;
    image.format = PNG_FORMAT_GA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, ga.data(), 0, nullptr);
    Bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, ga.data(), 0, nullptr));
    out.resize(size);
    return out;
}

// A JPEG at best quality: the left half of each row one colour, the right
// half another.
Bytes jpegFile(int width, int height, int components, Bgra left, Bgra right,
               bool progressive = false) {
    Bytes samples;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Bgra c = x < width / 2 ? left : right;
            const std::uint8_t rgb[3] = {c.r, c.g, c.b};
            samples.insert(samples.end(), rgb, rgb + components);
        }
    }
    return testing::jpegFile(width, height, components, samples,
                             {.quality = 100, .progressive = progressive});
}

bool near(const Bgra& got, const Bgra& want, int tolerance) {
    return std::abs(got.b - want.b) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
           std::abs(got.r - want.r) <= tolerance && got.a == want.a;
}

// ---- BMP --------------------------------------------------------------------------

TEST(PictureReaderTest, BmpWriterOutputReadsBackAt8And16And32Bits) {
    DibBitmap eight = *DibBitmap::create(8, 3, 2);
    eight.colorTable()[4 * 7 + 0] = 1;  // index 7: B 1, G 2, R 3
    eight.colorTable()[4 * 7 + 1] = 2;
    eight.colorTable()[4 * 7 + 2] = 3;
    eight.row(1)[2] = 7;
    Picture picture = decodeOk(encodeBmp(eight));
    ASSERT_EQ(picture.width, 3u);
    ASSERT_EQ(picture.height, 2u);
    EXPECT_EQ(pixelAt(picture, 2, 1), (Bgra{1, 2, 3, 255}));  // rows come top first
    EXPECT_EQ(pixelAt(picture, 0, 0), (Bgra{0, 0, 0, 255}));
    EXPECT_FALSE(picture.hasAlpha);

    DibBitmap sixteen = *DibBitmap::create(16, 2, 1);
    sixteen.row16(0)[0] = 0xF800;  // R5G6B5 red
    sixteen.row16(0)[1] = 0x07E0;  // green
    picture = decodeOk(encodeBmp(sixteen));
    EXPECT_EQ(pixelAt(picture, 0, 0), (Bgra{0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(picture, 1, 0), (Bgra{0, 255, 0, 255}));

    DibBitmap wide = *DibBitmap::create(32, 1, 2);
    const std::uint8_t bgra[4] = {10, 20, 30, 40};
    std::memcpy(wide.row(1), bgra, 4);
    picture = decodeOk(encodeBmp(wide));
    EXPECT_EQ(pixelAt(picture, 0, 1), (Bgra{10, 20, 30, 40}));  // the fourth byte as stored
    EXPECT_TRUE(picture.hasAlpha);
}

TEST(PictureReaderTest, Bmp24BitRowsArePaddedAndTopDownHeightsAreHonoured) {
    // 1 pixel a row: 3 bytes and a pad byte. Bottom-up: the file's first row
    // is the picture's last.
    const Bytes rows = {1, 2, 3, 0xEE, 4, 5, 6, 0xEE};
    Picture picture = decodeOk(rawBmp(1, 2, 24, 0, {}, rows));
    EXPECT_EQ(pixelAt(picture, 0, 0), (Bgra{4, 5, 6, 255}));
    EXPECT_EQ(pixelAt(picture, 0, 1), (Bgra{1, 2, 3, 255}));

    picture = decodeOk(rawBmp(1, -2, 24, 0, {}, rows));
    EXPECT_EQ(pixelAt(picture, 0, 0), (Bgra{1, 2, 3, 255}));
    EXPECT_EQ(pixelAt(picture, 0, 1), (Bgra{4, 5, 6, 255}));
}

TEST(PictureReaderTest, BmpPackedIndicesAnd555AndBitFieldHeaders) {
    Bytes palette;
    for (std::uint8_t i = 0; i < 16; ++i)
        putBytes(palette, {i, static_cast<std::uint8_t>(i * 2), 0, 0});
    // 4 bits: indices 0x3 and 0xC in one byte, high nibble first.
    Picture picture = decodeOk(rawBmp(2, 1, 4, 0, palette, {0x3C, 0, 0, 0}));
    EXPECT_EQ(pixelAt(picture, 0, 0), (Bgra{3, 6, 0, 255}));
    EXPECT_EQ(pixelAt(picture, 1, 0), (Bgra{12, 24, 0, 255}));
    // 1 bit: 0b10100000 -> indices 1, 0, 1.
    picture = decodeOk(rawBmp(3, 1, 1, 0, palette, {0xA0, 0, 0, 0}));
    EXPECT_EQ(pixelAt(picture, 0, 0), (Bgra{1, 2, 0, 255}));
    EXPECT_EQ(pixelAt(picture, 1, 0), (Bgra{0, 0, 0, 255}));

    // 16 bits without bit fields are X1R5G5B5: 0x7C00 is full red.
    picture = decodeOk(rawBmp(1, 1, 16, 0, {}, {0x00, 0x7C, 0, 0}));
    EXPECT_EQ(pixelAt(picture, 0, 0), (Bgra{0, 0, 255, 255}));

    // A V5 header carries its masks inside: A4R4G4B4 in a 16-bit pixel.
    Bytes v5 = rawBmp(1, 1, 16, 3, {}, {0x21, 0xF3, 0, 0}, 124);
    testing::setU32At(v5, 14 + 40, 0x0F00);
    testing::setU32At(v5, 14 + 44, 0x00F0);
    testing::setU32At(v5, 14 + 48, 0x000F);
    testing::setU32At(v5, 14 + 52, 0xF000);
    picture = decodeOk(v5);
    EXPECT_EQ(pixelAt(picture, 0, 0), (Bgra{0x11, 0x22, 0x33, 0xFF}));
    EXPECT_TRUE(picture.hasAlpha);
}

TEST(PictureReaderTest, DamagedBmpHeadersAreRefusedWithTheirReason) {
    const Bytes good = rawBmp(2, 2, 24, 0, {}, Bytes(16, 0));
    EXPECT_TRUE(decodePicture(good).ok());

    Bytes damaged = good;
    testing::truncateTo(damaged, damaged.size() - 1);
    EXPECT_EQ(decodeError(damaged), "bmp pixel rows reach past the end of the file");
    damaged = good;
    testing::setU32At(damaged, 10, 0xFFFFFFF0u);  // pixel offset past the end
    EXPECT_EQ(decodeError(damaged), "bmp pixel rows reach past the end of the file");
    damaged = good;
    testing::setU32At(damaged, 14, 64);
    EXPECT_EQ(decodeError(damaged), "unsupported bmp header size 64");
    damaged = good;
    testing::setU32At(damaged, 18, 0);
    EXPECT_EQ(decodeError(damaged), "bad bmp size");
    damaged = good;
    testing::setU32At(damaged, 18, 40000);
    EXPECT_EQ(decodeError(damaged), "picture too large (40000 x 2)");
    damaged = good;
    testing::setU32At(damaged, 22, 0x80000000u);  // -2^31 rows, top-down
    EXPECT_EQ(decodeError(damaged), "picture too large (2 x 2147483648)");
    damaged = good;
    testing::setU16At(damaged, 28, 12);
    EXPECT_EQ(decodeError(damaged), "unsupported bmp bit count 12");
    damaged = good;
    testing::setU32At(damaged, 30, 1);  // run-length coded
    EXPECT_EQ(decodeError(damaged), "unsupported bmp compression 1");
    EXPECT_EQ(decodeError(rawBmp(2, 2, 8, 0, Bytes(100, 0), {})), "bmp colour table cut short");
    EXPECT_EQ(decodeError(rawBmp(1, 1, 32, 3, {}, {})), "bmp bit fields missing");
    EXPECT_EQ(decodeError({'B', 'M', 0}), "bmp header cut short");
}

// ---- PNG --------------------------------------------------------------------------

TEST(PictureReaderTest, PngKeepsAlphaOnlyForColourTypesWithAnAlphaChannel) {
    Picture picture = decodeOk(rgbaPng(PngLayout::Rgba8));
    ASSERT_EQ(picture.width, 2u);
    EXPECT_TRUE(picture.hasAlpha);
    EXPECT_EQ(pixelAt(picture, 0, 0), (Bgra{0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(picture, 1, 0), (Bgra{0, 255, 0, 255}));
    EXPECT_EQ(pixelAt(picture, 0, 1), (Bgra{255, 0, 0, 255}));
    EXPECT_EQ(pixelAt(picture, 1, 1), (Bgra{30, 20, 10, 0x40}));

    picture = decodeOk(rgbaPng(PngLayout::Rgb8));
    EXPECT_FALSE(picture.hasAlpha);
    EXPECT_EQ(pixelAt(picture, 1, 1), (Bgra{30, 20, 10, 255}));

    picture = decodeOk(greyAlphaPng());
    EXPECT_TRUE(picture.hasAlpha);
    EXPECT_EQ(pixelAt(picture, 0, 0), (Bgra{0x80, 0x80, 0x80, 0xFF}));
    EXPECT_EQ(pixelAt(picture, 1, 0), (Bgra{0x20, 0x20, 0x20, 0x10}));
}

TEST(PictureReaderTest, DamagedPngsFailWithLibpngsReason) {
    const Bytes good = rgbaPng(PngLayout::Rgba8);
    Bytes damaged = good;
    testing::truncateTo(damaged, 30);
    EXPECT_EQ(decodeError(damaged).rfind("png: ", 0), 0u);
    damaged = good;
    testing::flipByte(damaged, 29);  // IHDR's CRC no longer matches
    EXPECT_EQ(decodeError(damaged).rfind("png: ", 0), 0u);
    damaged = good;
    testing::truncateTo(damaged, damaged.size() - 20);  // image data cut short
    EXPECT_EQ(decodeError(damaged).rfind("png: ", 0), 0u);
}

// ---- JPEG -------------------------------------------------------------------------

TEST(PictureReaderTest, JpegColourAndGreyDecodeToOpaqueRows) {
    const Bgra red{0, 0, 255, 255};
    const Bgra blue{255, 0, 0, 255};
    Picture picture = decodeOk(jpegFile(32, 16, 3, red, blue));
    ASSERT_EQ(picture.width, 32u);
    ASSERT_EQ(picture.height, 16u);
    EXPECT_FALSE(picture.hasAlpha);
    EXPECT_TRUE(near(pixelAt(picture, 2, 8), red, 4));
    EXPECT_TRUE(near(pixelAt(picture, 29, 8), blue, 4));

    const Bgra dark{40, 40, 40, 255};
    const Bgra light{200, 200, 200, 255};
    picture = decodeOk(jpegFile(16, 8, 1, dark, light));
    EXPECT_TRUE(near(pixelAt(picture, 1, 1), dark, 2));
    EXPECT_TRUE(near(pixelAt(picture, 14, 6), light, 2));

    // Progressive and flat: as few bytes a block as a whole picture can take.
    picture = decodeOk(jpegFile(2048, 1024, 3, red, red, true));
    EXPECT_TRUE(near(pixelAt(picture, 2047, 1023), red, 4));
}

// Start-of-frame height and width (SOF0: FF C0, length, precision, height,
// width), found by scanning for the marker.
std::size_t sofSizeAt(const Bytes& jpeg) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) return i + 5;
    }
    return 0;
}

TEST(PictureReaderTest, DamagedJpegsFailBeforeAllocating) {
    const Bytes good = jpegFile(16, 16, 3, {0, 0, 0, 255}, {255, 255, 255, 255});
    const std::size_t sizeAt = sofSizeAt(good);
    ASSERT_NE(sizeAt, 0u);
    Bytes damaged = good;
    damaged[sizeAt] = 0xFF;  // height 0xFF10: beyond the side limit
    damaged[sizeAt + 1] = 0x10;
    EXPECT_EQ(decodeError(damaged), "jpeg: picture too large (16 x 65296)");
    damaged = good;
    damaged[sizeAt] = 0;  // height 0
    damaged[sizeAt + 1] = 0;
    EXPECT_EQ(decodeError(damaged).rfind("jpeg: ", 0), 0u);
    damaged = good;
    testing::truncateTo(damaged, 40);  // inside the tables
    EXPECT_EQ(decodeError(damaged).rfind("jpeg: ", 0), 0u);
}

// ---- Any picture --------------------------------------------------------------------

TEST(PictureReaderTest, FilesAreToldBySignatureAndErrorsNameTheFile) {
    const testing::TempDir dir;
    EXPECT_EQ(decodeError({'G', 'I', 'F', '8'}), "not a bmp, png or jpeg picture");

    // A PNG named .bmp is still read as PNG.
    testing::writeFile(dir.file("looks.bmp"), rgbaPng(PngLayout::Rgb8));
    const Result<Picture> picture = readPicture(dir.file("looks.bmp"));
    ASSERT_TRUE(picture.ok()) << picture.error();
    EXPECT_EQ(picture->width, 2u);

    const Result<Picture> missing = readPicture(dir.file("missing.png"));
    EXPECT_EQ(missing.error(), dir.file("missing.png") + ": cannot open");
    testing::writeFile(dir.file("empty.png"), {});
    EXPECT_EQ(readPicture(dir.file("empty.png")).error(),
              dir.file("empty.png") + ": not a bmp, png or jpeg picture");
}

// Damaged copies of every fixture: each decode fails or succeeds, never
// reads outside its buffers (run under the sanitizers) and never hangs.
TEST(PictureReaderTest, SeededDamageSweepNeverCrashes) {
    DibBitmap eight = *DibBitmap::create(8, 5, 3);
    const std::vector<Bytes> fixtures = {
        encodeBmp(eight),
        rawBmp(3, -2, 24, 0, {}, Bytes(24, 7)),
        rgbaPng(PngLayout::Rgba8),
        greyAlphaPng(),
        jpegFile(24, 24, 3, {0, 0, 255, 255}, {0, 255, 0, 255}),
    };
    constexpr unsigned kSeed = 20240611;
    std::mt19937 random(kSeed);
    for (std::size_t f = 0; f < fixtures.size(); ++f) {
        for (int round = 0; round < 300; ++round) {
            Bytes damaged = fixtures[f];
            std::uniform_int_distribution<std::size_t> at(0, damaged.size() - 1);
            for (int flips = 0; flips < 1 + round % 4; ++flips)
                testing::flipByte(damaged, at(random));
            if (round % 5 == 0) testing::truncateTo(damaged, at(random));
            SCOPED_TRACE("seed " + std::to_string(kSeed) + " fixture " + std::to_string(f) +
                         " round " + std::to_string(round));
            const Result<Picture> picture = decodePicture(damaged);
            if (picture) {
                EXPECT_EQ(picture->pixels.size(), picture->stride() * picture->height);
            }
        }
    }
}

}  // namespace
}  // namespace vantoro
