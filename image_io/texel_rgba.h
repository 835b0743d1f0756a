// Turning the texels of a locked texture back into 8-bit RGBA, for writing
// what a reader drew as a picture file. Narrow channels are widened by bit
// replication, so 0 stays 0 and the channel maximum becomes 255:
// 5-bit v -> (v << 3) | (v >> 2), 6-bit v -> (v << 2) | (v >> 4),
// 4-bit v -> v * 17. A1R5G5B5's alpha bit becomes 255 or 0, R5G6B5 is
// opaque, A8R8G8B8 is copied as it stands.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "io/result.h"

namespace vantoro {

class TDXTexture;

struct Rgba8 {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 0;
    friend bool operator==(const Rgba8&, const Rgba8&) = default;
};

constexpr std::uint8_t expand4(std::uint32_t v) {
    return static_cast<std::uint8_t>((v & 0xF) * 17);
}
constexpr std::uint8_t expand5(std::uint32_t v) {
    v &= 0x1F;
    return static_cast<std::uint8_t>((v << 3) | (v >> 2));
}
constexpr std::uint8_t expand6(std::uint32_t v) {
    v &= 0x3F;
    return static_cast<std::uint8_t>((v << 2) | (v >> 4));
}

Rgba8 rgbaFromA1R5G5B5(std::uint16_t texel);
Rgba8 rgbaFromR5G6B5(std::uint16_t texel);
Rgba8 rgbaFromA4R4G4B4(std::uint16_t texel);
Rgba8 rgbaFromA8R8G8B8(std::uint32_t texel);

// A locked texture as Lock gives it: `bytes` covers every locked row, row y
// starting at y * pitch; each texel is stored little-endian.
struct LockedTexels {
    std::span<const std::uint8_t> bytes;
    std::int32_t pitch = 0;
    std::uint32_t d3dFormat = 0;  // 21, 23, 25 or 26
};

// The top-left width x height texels as RGBA rows of width * 4 bytes, top row
// first. Fails for another format, a non-positive size, a pitch too small for
// the width, or rows that reach past `bytes`.
Result<std::vector<std::uint8_t>> texelsToRgba(const LockedTexels& texels, std::int32_t width,
                                               std::int32_t height);

// The image part of a texture (GetWidth x GetHeight texels) as RGBA rows,
// read back through a read-only lock: what a reader drew, as pictures of it
// are written and copied.
Result<std::vector<std::uint8_t>> textureRgba(TDXTexture& texture);

}  // namespace vantoro
