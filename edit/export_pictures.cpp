#include "edit/export_pictures.h"

#include <array>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "d3d9/d3d9_formats.h"
#include "image_io/bmp_file.h"
#include "image_io/png_file.h"
#include "image_io/texel_rgba.h"
#include "pixels/std_palette.h"

namespace vantoro {
namespace {

struct TextureLayout {
    int bitCount;
    BmpChannelMasks masks;
};

std::optional<TextureLayout> textureLayout(std::uint32_t d3dFormat) {
    switch (d3dFormat) {
        case D3DFMT_A8R8G8B8:
            return TextureLayout{32, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}};
        case D3DFMT_R5G6B5:
            return TextureLayout{16, {0xF800, 0x07E0, 0x001F, 0}};
        case D3DFMT_A1R5G5B5:
            return TextureLayout{16, {0x7C00, 0x03E0, 0x001F, 0x8000}};
        case D3DFMT_A4R4G4B4:
            return TextureLayout{16, {0x0F00, 0x00F0, 0x000F, 0xF000}};
        default:
            return std::nullopt;
    }
}

// Lets go of a texture lock on every way out.
class ReadLock {
public:
    explicit ReadLock(TDXTexture& texture) : m_texture(texture) {
        m_locked = texture.Lock(kLockRead, m_rect);
    }
    ~ReadLock() {
        if (m_locked) m_texture.Unlock();
    }
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;

    bool locked() const { return m_locked && m_rect.Bits != nullptr; }
    const TDXLockedRect& rect() const { return m_rect; }

private:
    TDXTexture& m_texture;
    TDXLockedRect m_rect;
    bool m_locked = false;
};

void putPixel(std::uint8_t* out, Rgba8 pixel) {
    out[0] = pixel.r;
    out[1] = pixel.g;
    out[2] = pixel.b;
    out[3] = pixel.a;
}

// The bitmap's rows as RGBA, top row first, written row by row into a buffer
// of the picture's size (a pixel at a time through a growing vector was a
// fifth of a PNG export). Palette index 0 and the 16-bit value 0 are the
// transparent colour.
std::vector<std::uint8_t> bitmapRgba(const DibBitmap& bitmap) {
    const auto width = static_cast<std::size_t>(bitmap.width());
    std::vector<std::uint8_t> rgba(width * static_cast<std::size_t>(bitmap.height()) * 4);
    std::array<Rgba8, 256> palette{};
    if (bitmap.bitCount() == 8) {
        for (std::size_t index = 0; index < palette.size(); ++index) {
            const PaletteColor color = paletteColor(static_cast<std::uint8_t>(index));
            palette[index] = {color.red, color.green, color.blue,
                              index == 0 ? std::uint8_t{0} : std::uint8_t{255}};
        }
    }
    for (std::int32_t y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* out = rgba.data() + static_cast<std::size_t>(y) * width * 4;
        switch (bitmap.bitCount()) {
            case 8: {
                const std::uint8_t* row = bitmap.row(y);
                for (std::size_t x = 0; x < width; ++x) putPixel(out + x * 4, palette[row[x]]);
                break;
            }
            case 16: {
                const std::uint16_t* row = bitmap.row16(y);
                for (std::size_t x = 0; x < width; ++x) {
                    Rgba8 pixel = rgbaFromR5G6B5(row[x]);
                    if (row[x] == 0) pixel.a = 0;
                    putPixel(out + x * 4, pixel);
                }
                break;
            }
            default: {
                const std::uint8_t* row = bitmap.row(y);  // B, G, R, A
                for (std::size_t x = 0; x < width; ++x) {
                    const std::uint8_t* p = row + x * 4;
                    putPixel(out + x * 4, {p[2], p[1], p[0], p[3]});
                }
            }
        }
    }
    return rgba;
}

Result<std::vector<std::uint8_t>> pictureRgba(const ExportPicture& picture) {
    if (picture.textureFormat == 0) return bitmapRgba(picture.bitmap);
    const LockedTexels texels{picture.bitmap.pixels(), picture.bitmap.stride(),
                              picture.textureFormat};
    return texelsToRgba(texels, picture.bitmap.width(), picture.bitmap.height());
}

}  // namespace

ExportPicture pictureFromBitmap(DibBitmap bitmap) {
    if (bitmap.bitCount() == 8) bitmap.colorTable() = StdPalette;
    return ExportPicture{std::move(bitmap), 0};
}

Result<ExportPicture> pictureFromTexture(TDXTexture& texture) {
    const std::optional<TextureLayout> layout = textureLayout(texture.FFormat);
    if (!layout) return fail("texture format " + std::to_string(texture.FFormat) + " not exported");
    std::optional<DibBitmap> bitmap =
        DibBitmap::create(layout->bitCount, texture.FImageWidth, texture.FImageHeight);
    if (!bitmap) return fail("texture image size out of range");
    const std::size_t rowBytes = static_cast<std::size_t>(texture.FImageWidth) *
                                 static_cast<std::size_t>(layout->bitCount / 8);
    const ReadLock lock(texture);
    if (!lock.locked()) return fail("cannot lock the texture");
    if (lock.rect().Pitch < 0 || static_cast<std::size_t>(lock.rect().Pitch) < rowBytes) {
        return fail("texture pitch shorter than a row");
    }
    const auto* bits = static_cast<const std::uint8_t*>(lock.rect().Bits);
    for (std::int32_t y = 0; y < bitmap->height(); ++y) {
        std::memcpy(bitmap->row(y), bits + static_cast<std::size_t>(y) * lock.rect().Pitch,
                    rowBytes);
    }
    return ExportPicture{std::move(*bitmap), texture.FFormat};
}

ExportPicture placeholderPicture() {
    return ExportPicture{*DibBitmap::create(32, 1, 1), 0};
}

Result<std::vector<std::uint8_t>> encodePicture(const ExportPicture& picture,
                                                PictureFileType type) {
    if (type == PictureFileType::Png) {
        const Result<std::vector<std::uint8_t>> rgba = pictureRgba(picture);
        if (!rgba) return fail(rgba.error());
        return encodePng(PngRows{*rgba, static_cast<std::uint32_t>(picture.bitmap.width()),
                                 static_cast<std::uint32_t>(picture.bitmap.height()),
                                 PngLayout::Rgba8, 0});
    }
    if (picture.textureFormat == 0) return encodeBmp(picture.bitmap);
    return encodeBmpWithMasks(picture.bitmap, textureLayout(picture.textureFormat)->masks);
}

}  // namespace vantoro
