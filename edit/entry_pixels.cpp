#include "edit/entry_pixels.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "archive/pack_rle.h"
#include "edit/export_pictures.h"
#include "io/byte_reader.h"
#include "pixels/pixel_format.h"
#include "pixels/std_palette.h"

namespace vantoro {
namespace {

// The pack pixel format whose texture has this Direct3D format.
std::optional<std::uint8_t> packFormatOf(std::uint32_t d3dFormat) {
    const auto* found = std::find(kPixelFormatToD3D.begin(), kPixelFormatToD3D.end(), d3dFormat);
    if (found == kPixelFormatToD3D.end()) return std::nullopt;
    return static_cast<std::uint8_t>(found - kPixelFormatToD3D.begin());
}

// A channel of `bits` bits widened to 8 as a BMP reader scales bit fields.
std::uint8_t widened(std::uint32_t value, int bits) {
    const std::uint32_t max = (1u << bits) - 1;
    return static_cast<std::uint8_t>((value * 255 + max / 2) / max);
}

constexpr std::uint8_t kFormatA1R5G5B5 = 1;
constexpr std::uint8_t kFormatA8R8G8B8 = 3;

// The rows `fillRow` writes (rowBytes each, top row y = 0) as an entry's
// data: bottom row first with flip, run-length coded with rle.
template <typename FillRow>
Result<StoredPixels> storedRows(std::uint8_t format, std::int32_t width, std::int32_t height,
                                bool flip, bool rle, FillRow fillRow) {
    const std::size_t bytesPerPixel = BytesPerPixel(format);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * bytesPerPixel;
    std::vector<std::uint8_t> raw(rowBytes * static_cast<std::size_t>(height));
    for (std::int32_t y = 0; y < height; ++y) {
        fillRow(flip ? height - 1 - y : y, &raw[static_cast<std::size_t>(y) * rowBytes]);
    }
    if (!rle) return StoredPixels{format, std::move(raw)};
    const std::size_t pixelCount =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> coded(RleEncodeBound(bytesPerPixel, pixelCount));
    const std::optional<std::size_t> written = RleEncode(raw, coded, bytesPerPixel, pixelCount);
    if (!written) return fail("run-length coding failed");
    coded.resize(*written);
    return StoredPixels{format, std::move(coded)};
}

}  // namespace

Result<StoredPixels> storedPixelsOfTexture(TDXTexture& texture, bool flip, bool rle) {
    const std::optional<std::uint8_t> format = packFormatOf(texture.FFormat);
    if (!format) return fail("texture format " + std::to_string(texture.FFormat) + " not stored");
    // The texture's rows, copied out through a read lock with its checks.
    const Result<ExportPicture> picture = pictureFromTexture(texture);
    if (!picture) return fail(picture.error());
    const DibBitmap& rows = picture->bitmap;
    const std::size_t rowBytes = static_cast<std::size_t>(rows.width()) * BytesPerPixel(*format);
    return storedRows(
        *format, rows.width(), rows.height(), flip, rle,
        [&](std::int32_t y, std::uint8_t* out) { std::memcpy(out, rows.row(y), rowBytes); });
}

Result<StoredPixels> storedPixelsOfBitmap(const DibBitmap& bitmap, bool flip, bool rle) {
    const std::int32_t width = bitmap.width();
    switch (bitmap.bitCount()) {
        case 8:
            return storedRows(kFormatA1R5G5B5, width, bitmap.height(), flip, rle,
                              [&](std::int32_t y, std::uint8_t* out) {
                                  Convert8To16(bitmap.row(y), reinterpret_cast<std::uint16_t*>(out),
                                               width);
                              });
        case 16:
            return storedRows(kFormatA1R5G5B5, width, bitmap.height(), flip, rle,
                              [&](std::int32_t y, std::uint8_t* out) {
                                  Convert16To16(bitmap.row16(y),
                                                reinterpret_cast<std::uint16_t*>(out), width);
                              });
        case 32:
            return storedRows(kFormatA8R8G8B8, width, bitmap.height(), flip, rle,
                              [&](std::int32_t y, std::uint8_t* out) {
                                  std::memcpy(out, bitmap.row(y),
                                              static_cast<std::size_t>(width) * 4);
                              });
        default:
            return fail("bitmap of " + std::to_string(bitmap.bitCount()) + " bits not stored");
    }
}

Picture pictureOfBitmap(const DibBitmap& bitmap) {
    const auto width = static_cast<std::uint32_t>(bitmap.width());
    const auto height = static_cast<std::uint32_t>(bitmap.height());
    const bool wide = bitmap.bitCount() == 32;
    Picture picture = allocatePicture(width, height, wide);
    picture.rgb565 = bitmap.bitCount() == 16;
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* in = bitmap.row(static_cast<std::int32_t>(y));
        std::uint8_t* out = picture.row(y);
        if (wide) {
            std::memcpy(out, in, picture.stride());
            continue;
        }
        for (std::uint32_t x = 0; x < width; ++x, out += 4) {
            if (picture.rgb565) {
                const std::uint16_t word = decodeU16(in + 2 * static_cast<std::size_t>(x));
                out[0] = widened(word & 0x1Fu, 5);
                out[1] = widened((word >> 5) & 0x3Fu, 6);
                out[2] = widened(word >> 11, 5);
            } else {
                const PaletteColor colour = paletteColor(in[x]);
                out[0] = colour.blue;
                out[1] = colour.green;
                out[2] = colour.red;
            }
            out[3] = 255;
        }
    }
    return picture;
}

}  // namespace vantoro
