// The program's palette "256RGB": 1024 bytes, entry i at byte 4 * i as
// blue, green, red, reserved (0). Consumers attach it as the colour table of
// every 8-bit bitmap they show or save.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantoro {

inline constexpr std::size_t kStdPaletteBytes = 1024;

extern const std::array<std::uint8_t, kStdPaletteBytes> StdPalette;

struct PaletteColor {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

PaletteColor paletteColor(std::uint8_t index);

}  // namespace vantoro
