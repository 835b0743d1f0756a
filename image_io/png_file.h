// Writing 8-bit RGB and RGBA pictures as PNG files: rows unfiltered,
// deflated fast (ISA-L), in a file any PNG reader opens. Rows are given top
// row first; a stride of 0 means rows follow each other without padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/result.h"

namespace vantoro {

enum class PngLayout : std::uint8_t {
    Rgb8,   // red, green, blue: 3 bytes a pixel
    Rgba8,  // red, green, blue, alpha: 4 bytes a pixel
};

struct PngRows {
    std::span<const std::uint8_t> bytes;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    PngLayout layout = PngLayout::Rgba8;
    std::size_t stride = 0;  // bytes from one row to the next; 0: width * bytes a pixel
};

// The whole PNG file. Fails for an empty picture, a stride shorter than a
// row, rows that reach past `bytes`, or a picture too large for PNG.
Result<std::vector<std::uint8_t>> encodePng(const PngRows& rows);
Status savePng(const PngRows& rows, const std::string& path);

}  // namespace vantoro
