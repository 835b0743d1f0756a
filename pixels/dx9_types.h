// Small value types the device, the textures and the sprite canvas share.
#pragma once

#include <array>
#include <cstdint>

namespace vantoro {

// An integer rectangle: Left and Top inside, Right and Bottom past the end.
struct IntRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
};

struct FloatPoint {
    float X = 0;
    float Y = 0;
};

struct TexCoord {
    float U = 0;
    float V = 0;
};

// Quad corners are always in this order: top-left, top-right, bottom-right,
// bottom-left.
using QuadPositions = std::array<FloatPoint, 4>;
using QuadTexCoords = std::array<TexCoord, 4>;
using QuadColors = std::array<std::uint32_t, 4>;  // 0xAABBGGRR each

// A source rectangle of a texture with its flip word. A width or height
// below 1 means "up to the end of the image".
struct TextureSource {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t W = 0;
    std::int32_t H = 0;
    std::uint16_t Flip = 0;  // low byte non-zero: vertical flip; high byte: horizontal
};

inline constexpr std::uint16_t kFlipVertical = 0x0001;
inline constexpr std::uint16_t kFlipHorizontal = 0x0100;

// The window system's 0xAABBGGRR colour as the device's 0xAARRGGBB: the
// lowest and the third byte change places, the others stay.
constexpr std::uint32_t toDeviceColor(std::uint32_t color) {
    return (color & 0xFF00FF00u) | ((color & 0xFFu) << 16) | ((color >> 16) & 0xFFu);
}

}  // namespace vantoro
