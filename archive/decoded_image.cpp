#include "archive/decoded_image.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "d3d9/d3d9_formats.h"
#include "pixels/pixel_format.h"
#include "pixels/texture_fill.h"

namespace vantoro {
namespace {

// Converts one row into the texture's row; 16-bit rows that do not start on
// a word boundary are staged through an aligned copy. Formats the texture
// keeps are copied as they are.
class RowConverter {
public:
    explicit RowConverter(const DecodedImage& image) : m_image(image) {}

    void convert(const std::uint8_t* src, std::uint8_t* dst) {
        const std::int32_t width = m_image.info.Width;
        auto* words = reinterpret_cast<std::uint16_t*>(dst);
        if (m_image.format == DecodedFormat::Palette8) {
            Convert8To16(src, words, width);
        } else if (m_image.format == DecodedFormat::R5G6B5) {
            Convert16To16(alignedWords(src), words, width);
        } else {
            std::memcpy(dst, src, m_image.rowBytes());
        }
    }

private:
    const std::uint16_t* alignedWords(const std::uint8_t* src) {
        if (reinterpret_cast<std::uintptr_t>(src) % alignof(std::uint16_t) == 0) {
            return reinterpret_cast<const std::uint16_t*>(src);
        }
        m_staged.resize(m_image.info.Width);
        std::memcpy(m_staged.data(), src, m_image.rowBytes());
        return m_staged.data();
    }

    const DecodedImage& m_image;
    std::vector<std::uint16_t> m_staged;
};

// The pack's pixel-format index of a pack format; nothing for the others.
std::optional<std::uint8_t> packPixelFormat(DecodedFormat format) {
    switch (format) {
        case DecodedFormat::PackA4R4G4B4:
            return 0;
        case DecodedFormat::PackA1R5G5B5:
            return 1;
        case DecodedFormat::PackR5G6B5:
            return 2;
        case DecodedFormat::PackA8R8G8B8:
            return 3;
        default:
            return std::nullopt;
    }
}

std::uint32_t textureFormatOf(DecodedFormat format) {
    if (const auto pack = packPixelFormat(format)) return kPixelFormatToD3D[*pack];
    return format == DecodedFormat::A4R4G4B4 ? D3DFMT_A4R4G4B4 : D3DFMT_A1R5G5B5;
}

// Whether a texture takes the image's bytes as they are stored.
bool textureKeepsBytes(DecodedFormat format) {
    return format != DecodedFormat::Palette8 && format != DecodedFormat::R5G6B5;
}

// An image left coded, expanded into `storage`: the same image with its rows
// stored, valid while `storage` is.
DecodedImage expandIntoStorage(const DecodedImage& image, std::vector<std::uint8_t>& storage) {
    const std::size_t rowBytes = image.rowBytes();
    const auto height = static_cast<std::size_t>(image.info.Height);
    storage.resize(rowBytes * height);
    image.expandRows(image.bytes, PixelRows{storage.data(), rowBytes, rowBytes, height});
    return packedRows(image.info, image.format, storage);
}

int bitmapBits(DecodedFormat format) {
    if (format == DecodedFormat::Palette8) return 8;
    return format == DecodedFormat::PackA8R8G8B8 ? 32 : 16;
}

}  // namespace

int bytesPerPixel(DecodedFormat format) {
    if (format == DecodedFormat::Palette8) return 1;
    return format == DecodedFormat::PackA8R8G8B8 ? 4 : 2;
}

std::optional<DecodedFormat> packDecodedFormat(std::uint8_t pixelFormat) {
    constexpr std::array<DecodedFormat, 4> kFormats = {
        DecodedFormat::PackA4R4G4B4, DecodedFormat::PackA1R5G5B5, DecodedFormat::PackR5G6B5,
        DecodedFormat::PackA8R8G8B8};
    if (pixelFormat >= kFormats.size()) return std::nullopt;
    return kFormats[pixelFormat];
}

std::uint8_t cachePixelFormat(DecodedFormat format) {
    return packPixelFormat(format).value_or(1);
}

const std::uint8_t* DecodedImage::row(std::int32_t y) const {
    const std::uint64_t stored =
        bottomUp ? static_cast<std::uint64_t>(info.Height - 1 - y) : static_cast<std::uint64_t>(y);
    const std::uint64_t start = stored * stride;
    if (start + rowBytes() > bytes.size()) return nullptr;
    return bytes.data() + start;
}

DecodedImage packedRows(const TWMImageInfo& info, DecodedFormat format,
                        std::span<const std::uint8_t> bytes) {
    DecodedImage image{info, format, bytes, 0, false};
    image.stride = image.rowBytes();
    return image;
}

std::uint64_t bottomUpBodySize(int bitsPerPixel, std::uint16_t width, std::uint16_t height) {
    return static_cast<std::uint64_t>(WidthBytes(static_cast<std::uint32_t>(bitsPerPixel), width)) *
           height;
}

bool drawDecodedImage(const DecodedImage& image, TDXTexture& texture) {
    if (image.expandRows && !textureKeepsBytes(image.format)) {
        std::vector<std::uint8_t> storage;
        return drawDecodedImage(expandIntoStorage(image, storage), texture);
    }
    // Every texel of every image row is written below, so only the padding
    // needs clearing.
    const auto writer =
        TextureWriter::begin(texture, textureFormatOf(image.format), image.info.Width,
                             image.info.Height, TextureClear::PaddingOnly);
    if (!writer) return false;
    if (image.expandRows) {
        // The texture holds pitch x Height bytes, which the expander may
        // write: it leaves the padding between the rows 0, as it was.
        image.expandRows(image.bytes,
                         PixelRows{writer->row(0), static_cast<std::size_t>(writer->pitch()),
                                   image.rowBytes(), static_cast<std::size_t>(image.info.Height)});
        return true;
    }
    RowConverter converter(image);
    // A missing row is cleared in the texture's texels, which are wider than
    // the stored pixels for palette images.
    const std::size_t textureRowBytes =
        static_cast<std::size_t>(image.info.Width) *
        static_cast<std::size_t>(d3dFormatBytesPerTexel(textureFormatOf(image.format)));
    for (std::int32_t y = 0; y < image.info.Height; ++y) {
        const std::uint8_t* src = image.row(y);
        if (src) {
            converter.convert(src, writer->row(y));
        } else {
            std::memset(writer->row(y), 0, textureRowBytes);
        }
    }
    return true;
}

std::optional<DibBitmap> bitmapOfDecodedImage(const DecodedImage& image,
                                              const std::array<std::uint8_t, 1024>& palette) {
    if (image.expandRows) {
        std::vector<std::uint8_t> storage;
        try {
            return bitmapOfDecodedImage(expandIntoStorage(image, storage), palette);
        } catch (const std::bad_alloc&) {
            return std::nullopt;
        }
    }
    const int bits = bitmapBits(image.format);
    auto bitmap = DibBitmap::create(bits, image.info.Width, image.info.Height);
    if (!bitmap) return std::nullopt;
    if (bits == 8) bitmap->colorTable() = palette;
    const auto pack = packPixelFormat(image.format);
    const bool convertPixels = image.format == DecodedFormat::A4R4G4B4 || (pack && bits == 16);
    for (std::int32_t y = 0; y < image.info.Height; ++y) {
        const std::uint8_t* src = image.row(y);
        if (!src) continue;  // the bitmap starts zeroed: transparent
        if (!convertPixels) {
            std::memcpy(bitmap->row(y), src, image.rowBytes());
            continue;
        }
        std::uint16_t* dst = bitmap->row16(y);
        for (std::int32_t x = 0; x < image.info.Width; ++x) {
            const std::uint16_t v = decodeU16(src + 2 * static_cast<std::size_t>(x));
            dst[x] = pack ? packPixelToR5G6B5(*pack, v) : a4r4g4b4OnBlack(v);
        }
    }
    return bitmap;
}

std::uint16_t a4r4g4b4OnBlack(std::uint16_t argb4444) {
    const std::uint32_t alpha = argb4444 >> 12;
    if (alpha == 0) return 0;
    std::uint32_t red = ((argb4444 >> 8) & 0xFu) << 1;
    std::uint32_t green = ((argb4444 >> 4) & 0xFu) << 2;
    std::uint32_t blue = (argb4444 & 0xFu) << 1;
    if (alpha != 15) {
        red = (red * alpha) >> 4;
        green = (green * alpha) >> 4;
        blue = (blue * alpha) >> 4;
    }
    return static_cast<std::uint16_t>((red << 11) | (green << 5) | blue);
}

std::uint16_t packPixelToR5G6B5(std::uint8_t pixelFormat, std::uint16_t value) {
    // Black that is not transparent must not read as the transparent 0.
    constexpr std::uint16_t kVisibleBlack = 0x0841;
    constexpr std::uint16_t kVisibleBlackA1 = 0x0008;
    switch (pixelFormat) {
        case 0: {
            if ((value >> 12) == 0) return 0;
            const std::uint16_t colour = a4r4g4b4OnBlack(value);
            return colour == 0 ? kVisibleBlack : colour;
        }
        case 1: {
            if ((value & 0x8000u) == 0) return 0;
            const auto colour =
                static_cast<std::uint16_t>((((value >> 10) & 0x1Fu) << 11) |
                                           ((((value >> 5) & 0x1Fu) << 1) << 5) | (value & 0x1Fu));
            return colour == 0 ? kVisibleBlackA1 : colour;
        }
        case 2:
            return value == 0 ? kVisibleBlack : value;
        default:
            return value;
    }
}

}  // namespace vantoro
