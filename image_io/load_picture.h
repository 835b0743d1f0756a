// Loading a picture to import into a pack: BMP, PNG or TGA.
//
// The kind is told by the first bytes: "BM" is a BMP, the PNG signature a
// PNG; any other file is read as a TGA only when its name ends in "tga"
// (any letter case), since TGA has no signature. The picture keeps what the
// conversion to pack pixels needs: its alpha (32-bit BMP and TGA, PNG colour
// types 4 and 6 and PNGs with a tRNS chunk) and whether it was stored as
// R5G6B5 words.
//
// A picture of odd width gets one more column on the right, all bytes 0
// (black, and transparent where alpha counts): pack images have even widths.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "image_io/picture_reader.h"
#include "io/result.h"

namespace vantoro {

// Decodes a PNG into `picture`. On failure answers false and leaves
// `picture` as it was. Alpha is kept for colour types 4 and 6 and for a
// tRNS chunk (palette alpha, grey or RGB colour key).
bool LoadPngWithAlpha(std::span<const std::uint8_t> bytes, Picture& picture);

// The picture in `fileName`. Fails when the file cannot be read, is no BMP,
// PNG or TGA, or its decoding fails (a damaged PNG as much as a damaged BMP:
// the import asks about it rather than store an empty entry unasked).
Result<Picture> LoadPicture(const std::string& fileName);

}  // namespace vantoro
