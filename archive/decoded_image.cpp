#include "archive/decoded_image.h"

#include <cstring>
#include <vector>

#include "d3d9/d3d9_formats.h"
#include "pixels/pixel_format.h"
#include "pixels/texture_fill.h"

namespace vantoro {
namespace {

// Converts one row into the texture's row; 16-bit rows that do not start on
// a word boundary are staged through an aligned copy.
class RowConverter {
public:
    explicit RowConverter(const DecodedImage& image) : m_image(image) {}

    void convert(const std::uint8_t* src, std::uint16_t* dst) {
        const std::int32_t width = m_image.info.Width;
        if (m_image.format == DecodedFormat::Palette8) {
            Convert8To16(src, dst, width);
            return;
        }
        const std::uint16_t* words = alignedWords(src);
        if (m_image.format == DecodedFormat::R5G6B5) {
            Convert16To16(words, dst, width);
        } else {
            std::memcpy(dst, words, m_image.rowBytes());
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

std::uint32_t textureFormatOf(DecodedFormat format) {
    return format == DecodedFormat::A4R4G4B4 ? D3DFMT_A4R4G4B4 : D3DFMT_A1R5G5B5;
}

}  // namespace

int bytesPerPixel(DecodedFormat format) {
    return format == DecodedFormat::Palette8 ? 1 : 2;
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
    // Every texel of every image row is written below, so only the padding
    // needs clearing.
    const auto writer =
        TextureWriter::begin(texture, textureFormatOf(image.format), image.info.Width,
                             image.info.Height, TextureClear::PaddingOnly);
    if (!writer) return false;
    RowConverter converter(image);
    for (std::int32_t y = 0; y < image.info.Height; ++y) {
        const std::uint8_t* src = image.row(y);
        if (src) {
            converter.convert(src, writer->row16(y));
        } else {
            std::memset(writer->row(y), 0, 2 * static_cast<std::size_t>(image.info.Width));
        }
    }
    return true;
}

std::optional<DibBitmap> bitmapOfDecodedImage(const DecodedImage& image,
                                              const std::array<std::uint8_t, 1024>& palette) {
    const int bits = image.format == DecodedFormat::Palette8 ? 8 : 16;
    auto bitmap = DibBitmap::create(bits, image.info.Width, image.info.Height);
    if (!bitmap) return std::nullopt;
    if (bits == 8) bitmap->colorTable() = palette;
    for (std::int32_t y = 0; y < image.info.Height; ++y) {
        const std::uint8_t* src = image.row(y);
        if (!src) continue;  // the bitmap starts zeroed: transparent
        if (image.format != DecodedFormat::A4R4G4B4) {
            std::memcpy(bitmap->row(y), src, image.rowBytes());
            continue;
        }
        std::uint16_t* dst = bitmap->row16(y);
        for (std::int32_t x = 0; x < image.info.Width; ++x) {
            dst[x] = a4r4g4b4OnBlack(decodeU16(src + 2 * static_cast<std::size_t>(x)));
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

}  // namespace vantoro
