// The pictures an export writes, and how each becomes a file.
//
// A picture comes from one of three places:
//   - an archive's bitmap: 8-bit with the program's palette as colour table,
//     or 16-bit R5G6B5;
//   - a texture an entry was drawn into: its pixel words copied as they
//     stand, 2 bytes a pixel for A1R5G5B5, A4R4G4B4 and R5G6B5 and 4 bytes
//     for A8R8G8B8, so the alpha bits survive;
//   - the placeholder that stands for an entry without a picture: one
//     transparent 32-bit pixel.
//
// As BMP, texture words are written under bit-field masks of their own
// format (alpha included); archive bitmaps as the bitmap command writes
// them. As PNG every picture becomes 8-bit RGBA: texture words with their
// alpha, palette index 0 and the colour word 0 of bitmaps transparent, as
// they are wherever the program draws them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/result.h"
#include "pixels/dib_bitmap.h"
#include "pixels/dx9_textures.h"

namespace vantoro {

struct ExportPicture {
    DibBitmap bitmap;                 // top row first
    std::uint32_t textureFormat = 0;  // Direct3D format of texture words; 0 for a bitmap
};

// The archive's bitmap; an 8-bit one gets the program's palette.
ExportPicture pictureFromBitmap(DibBitmap bitmap);

// The image part of the texture (its image width x height), read through a
// read-only lock. Fails for a format other than 21, 23, 25, 26, a texture
// that does not lock, or a pitch shorter than a row.
Result<ExportPicture> pictureFromTexture(TDXTexture& texture);

ExportPicture placeholderPicture();

enum class PictureFileType : std::uint8_t { Bmp, Png };

// The picture as the bytes of a file of that type.
Result<std::vector<std::uint8_t>> encodePicture(const ExportPicture& picture, PictureFileType type);

}  // namespace vantoro
