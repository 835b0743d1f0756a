// Reading Truevision TGA pictures into the 32-bit rows of picture_reader.h.
//
// The file: an 18-byte header, an image ID of header[0] bytes, an optional
// colour map (skipped), then the pixels, uncompressed or run-length coded.
// Header fields used, little-endian:
//   2  image type: 2 truecolour, 3 greyscale; 10 and 11 the same run-length
//      coded (colour-mapped types 1 and 9 are refused)
//   1, 5, 7  colour map type, length and entry bits: the map is skipped
//   12, 14  width, height (u16)
//   16  bits a pixel: 32 (B, G, R, A), 24 (B, G, R), 16 or 15 (X1R5G5B5,
//       opaque) for truecolour; 8 for greyscale
//   17  descriptor: bit 5 set = rows stored top row first (else bottom row
//       first), bit 4 set = pixels of a row stored right to left
// A run-length packet starts with a byte h and holds (h AND 0x7F) + 1
// pixels: one pixel repeated when h >= 0x80, else that many stored pixels.
// Packets may cross rows but not the end of the picture.
//
// Only 32-bit pictures carry alpha (the fourth byte as stored); all others
// are opaque.
#pragma once

#include <cstdint>
#include <span>

#include "image_io/picture_reader.h"
#include "io/result.h"

namespace vantoro {

Result<Picture> decodeTga(std::span<const std::uint8_t> bytes);

}  // namespace vantoro
