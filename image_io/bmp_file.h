// Writing a DibBitmap as a standard BMP file: 8-bit with its 256-entry
// colour table, 16-bit as BI_BITFIELDS with the R5G6B5 masks F800/07E0/001F,
// 32-bit as BI_RGB. Rows are stored bottom-up, as BMP readers expect.
//
// Pixels in another 16- or 32-bit layout, alpha included (texture words),
// are written as they stand under a 108-byte version 4 info header whose
// four bit-field masks say which bits hold red, green, blue and alpha.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/result.h"
#include "pixels/dib_bitmap.h"

namespace vantoro {

std::vector<std::uint8_t> encodeBmp(const DibBitmap& bitmap);
Status saveBmp(const DibBitmap& bitmap, const std::string& path);

struct BmpChannelMasks {
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
    std::uint32_t alpha = 0;  // 0: no alpha
};

// A 16- or 32-bit bitmap whose pixel words are laid out as `masks` say; an
// 8-bit bitmap is written as encodeBmp writes it.
std::vector<std::uint8_t> encodeBmpWithMasks(const DibBitmap& bitmap, const BmpChannelMasks& masks);
Status saveBmpWithMasks(const DibBitmap& bitmap, const BmpChannelMasks& masks,
                        const std::string& path);

}  // namespace vantoro
