#include "edit/export_pictures.h"

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

Rgba8 bitmapPixel(const DibBitmap& bitmap, std::int32_t x, std::int32_t y) {
    const std::uint8_t* row = bitmap.row(y);
    switch (bitmap.bitCount()) {
        case 8: {
            const std::uint8_t index = row[x];
            const PaletteColor color = paletteColor(index);
            return {color.red, color.green, color.blue,
                    index == 0 ? std::uint8_t{0} : std::uint8_t{255}};
        }
        case 16: {
            const std::uint16_t word = bitmap.row16(y)[x];
            Rgba8 pixel = rgbaFromR5G6B5(word);
            if (word == 0) pixel.a = 0;
            return pixel;
        }
        default: {
            const std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;  // B, G, R, A
            return {p[2], p[1], p[0], p[3]};
        }
    }
}

std::vector<std::uint8_t> bitmapRgba(const DibBitmap& bitmap) {
    std::vector<std::uint8_t> rgba;
    rgba.reserve(static_cast<std::size_t>(bitmap.width()) * bitmap.height() * 4);
    for (std::int32_t y = 0; y < bitmap.height(); ++y) {
        for (std::int32_t x = 0; x < bitmap.width(); ++x) {
            const Rgba8 pixel = bitmapPixel(bitmap, x, y);
            rgba.insert(rgba.end(), {pixel.r, pixel.g, pixel.b, pixel.a});
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
