// Pixel formats of archive images and the row converters that carry the
// transparency rule: palette index 0 and the 16-bit value 0 (pure black) are
// transparent, everything else is opaque.
#pragma once

#include <array>
#include <cstdint>

namespace vantoro {

// Pixel-format index, one byte; stored in pack entries.
enum class TWMPixelFormat : std::uint8_t {
    A4R4G4B4 = 0,
    A1R5G5B5 = 1,
    R5G6B5 = 2,
    A8R8G8B8 = 3,
};

// Direct3D format number of each pixel-format index.
inline constexpr std::array<std::uint32_t, 4> kPixelFormatToD3D = {26, 25, 23, 21};

// 2 for a pixel-format index below 3, 4 otherwise.
std::uint8_t BytesPerPixel(std::uint8_t format);

// Palette index -> A1R5G5B5; entry 0 is 0 (transparent).
extern const std::array<std::uint16_t, 256> Pal8ToA1R5G5B5;
// R5G6B5 -> A1R5G5B5, dropping the lowest green bit; entry 0 is 0.
extern const std::array<std::uint16_t, 65536> R5G6B5ToA1R5G5B5;

// Dst[k] := Pal8ToA1R5G5B5[Src[k]] for k < count.
void Convert8To16(const std::uint8_t* src, std::uint16_t* dst, std::int32_t count);
// Dst[k] := R5G6B5ToA1R5G5B5[Src[k]] for k < count.
void Convert16To16(const std::uint16_t* src, std::uint16_t* dst, std::int32_t count);

// Row stride of a bottom-up device-independent bitmap: rows padded to 4 bytes.
std::int32_t WidthBytes(std::uint32_t bitsPerPixel, std::uint32_t width);

}  // namespace vantoro
