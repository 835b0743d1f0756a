#include "pixels/pixel_format.h"

#include "pixels/palette_convert_wide.h"
#include "pixels/std_palette.h"

namespace vantoro {
namespace {

std::array<std::uint16_t, 256> buildPal8Table() {
    std::array<std::uint16_t, 256> table{};
    for (int i = 1; i < 256; ++i) {
        const PaletteColor c = paletteColor(static_cast<std::uint8_t>(i));
        table[i] = static_cast<std::uint16_t>(0x8000 | ((c.red >> 3) << 10) |
                                              ((c.green >> 3) << 5) | (c.blue >> 3));
    }
    return table;
}

constexpr std::array<std::uint16_t, 65536> buildR5G6B5Table() {
    std::array<std::uint16_t, 65536> table{};
    for (std::uint32_t v = 1; v < 65536; ++v) {
        const std::uint32_t red = v >> 11;
        const std::uint32_t green = ((v >> 5) & 63) >> 1;
        const std::uint32_t blue = v & 31;
        table[v] = static_cast<std::uint16_t>(0x8000 | (red << 10) | (green << 5) | blue);
    }
    return table;
}

}  // namespace

// StdPalette is constant-initialised, so reading it here during dynamic
// initialisation is safe.
const std::array<std::uint16_t, 256> Pal8ToA1R5G5B5 = buildPal8Table();
constinit const std::array<std::uint16_t, 65536> R5G6B5ToA1R5G5B5 = buildR5G6B5Table();

std::uint8_t BytesPerPixel(std::uint8_t format) {
    return format < 3 ? 2 : 4;
}

void Convert8To16(const std::uint8_t* src, std::uint16_t* dst, std::int32_t count) {
    // Rows of real images are wide enough for the 64-pixel steps to pay off.
    if (count >= 16 && wideConvertAvailable()) {
        static const WidePalette palette = makeWidePalette(Pal8ToA1R5G5B5);
        convert8To16Wide(palette, src, dst, count);
        return;
    }
    for (std::int32_t k = 0; k < count; ++k) dst[k] = Pal8ToA1R5G5B5[src[k]];
}

// The same values as R5G6B5ToA1R5G5B5, computed instead of looked up so
// many pixels go per instruction: red and the top five green bits shift
// down by one, blue stays, the alpha bit is set, and 0 stays 0
// (transparent). Processors without the wide unit take this loop, built for
// the widest vectors they have.
static __attribute__((target_clones("avx2", "default"))) void convert16To16Loop(
    const std::uint16_t* src, std::uint16_t* dst, std::int32_t count) {
    for (std::int32_t k = 0; k < count; ++k) {
        const std::uint16_t v = src[k];
        const auto opaque = static_cast<std::uint16_t>(((v >> 1) & 0x7FE0) | (v & 0x001F) | 0x8000);
        dst[k] = v == 0 ? 0 : opaque;
    }
}

void Convert16To16(const std::uint16_t* src, std::uint16_t* dst, std::int32_t count) {
    if (wideWordsAvailable()) {
        convert16To16Wide(src, dst, count);
    } else {
        convert16To16Loop(src, dst, count);
    }
}

std::int32_t WidthBytes(std::uint32_t bitsPerPixel, std::uint32_t width) {
    return static_cast<std::int32_t>(((bitsPerPixel * width + 31) / 32) * 4);
}

}  // namespace vantoro
