#include "image_io/texel_rgba.h"

#include <string>

#include "d3d9/d3d9_formats.h"
#include "io/byte_reader.h"
#include "pixels/dx9_textures.h"

namespace vantoro {
namespace {

void putRgba(std::uint8_t* out, Rgba8 c) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

Rgba8 texelAt(std::uint32_t d3dFormat, const std::uint8_t* texel) {
    switch (d3dFormat) {
        case D3DFMT_A8R8G8B8:
            return rgbaFromA8R8G8B8(decodeU32(texel));
        case D3DFMT_R5G6B5:
            return rgbaFromR5G6B5(decodeU16(texel));
        case D3DFMT_A1R5G5B5:
            return rgbaFromA1R5G5B5(decodeU16(texel));
        default:
            return rgbaFromA4R4G4B4(decodeU16(texel));
    }
}

bool isSupported(std::uint32_t d3dFormat) {
    return d3dFormat == D3DFMT_A8R8G8B8 || d3dFormat == D3DFMT_R5G6B5 ||
           d3dFormat == D3DFMT_A1R5G5B5 || d3dFormat == D3DFMT_A4R4G4B4;
}

// The locked rows must hold height rows of width texels: the last row starts
// at (height - 1) * pitch and needs width * bytes per texel.
Status checkGeometry(const LockedTexels& texels, std::int32_t width, std::int32_t height) {
    if (!isSupported(texels.d3dFormat)) {
        return fail("unsupported texture format " + std::to_string(texels.d3dFormat));
    }
    if (width <= 0 || height <= 0) return fail("empty texture image");
    const std::uint64_t rowBytes =
        static_cast<std::uint64_t>(width) *
        static_cast<std::uint64_t>(d3dFormatBytesPerTexel(texels.d3dFormat));
    if (texels.pitch < 0 || static_cast<std::uint64_t>(texels.pitch) < rowBytes) {
        return fail("texture pitch " + std::to_string(texels.pitch) + " is too small");
    }
    const std::uint64_t needed =
        static_cast<std::uint64_t>(height - 1) * static_cast<std::uint64_t>(texels.pitch) +
        rowBytes;
    if (needed > texels.bytes.size()) return fail("texture rows reach past the locked area");
    return Status::success();
}

}  // namespace

Rgba8 rgbaFromA1R5G5B5(std::uint16_t texel) {
    return {expand5(texel >> 10), expand5(texel >> 5), expand5(texel),
            static_cast<std::uint8_t>((texel & 0x8000) ? 255 : 0)};
}

Rgba8 rgbaFromR5G6B5(std::uint16_t texel) {
    return {expand5(texel >> 11), expand6(texel >> 5), expand5(texel), 255};
}

Rgba8 rgbaFromA4R4G4B4(std::uint16_t texel) {
    return {expand4(texel >> 8), expand4(texel >> 4), expand4(texel), expand4(texel >> 12)};
}

Rgba8 rgbaFromA8R8G8B8(std::uint32_t texel) {
    return {static_cast<std::uint8_t>(texel >> 16), static_cast<std::uint8_t>(texel >> 8),
            static_cast<std::uint8_t>(texel), static_cast<std::uint8_t>(texel >> 24)};
}

Result<std::vector<std::uint8_t>> texelsToRgba(const LockedTexels& texels, std::int32_t width,
                                               std::int32_t height) {
    const Status geometry = checkGeometry(texels, width, height);
    if (!geometry) return fail(geometry.error());
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t texelBytes =
        static_cast<std::size_t>(d3dFormatBytesPerTexel(texels.d3dFormat));
    std::vector<std::uint8_t> rgba(w * static_cast<std::size_t>(height) * 4);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = texels.bytes.data() + static_cast<std::size_t>(y) *
                                                            static_cast<std::size_t>(texels.pitch);
        std::uint8_t* out = rgba.data() + static_cast<std::size_t>(y) * w * 4;
        for (std::size_t x = 0; x < w; ++x)
            putRgba(out + x * 4, texelAt(texels.d3dFormat, row + x * texelBytes));
    }
    return rgba;
}

Result<std::vector<std::uint8_t>> textureRgba(TDXTexture& texture) {
    TDXLockedRect rect;
    if (!texture.Lock(kLockRead, rect)) return fail("cannot lock the texture");
    const std::uint64_t lockedBytes =
        rect.Pitch > 0 && texture.FHeight > 0
            ? static_cast<std::uint64_t>(rect.Pitch) * static_cast<std::uint64_t>(texture.FHeight)
            : 0;
    const LockedTexels texels{
        std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(rect.Bits), lockedBytes),
        rect.Pitch, texture.FFormat};
    Result<std::vector<std::uint8_t>> rgba =
        texelsToRgba(texels, texture.GetWidth(), texture.GetHeight());
    texture.Unlock();
    return rgba;
}

}  // namespace vantoro
