// An archive entry's pixels as a pack entry stores them, for importing one
// archive's entries into a pack without going through picture files.
//
// Two roads:
//   - as drawn: the words the entry was drawn into a texture as, kept in the
//     pack pixel format of that texture (A4R4G4B4 0, A1R5G5B5 1, R5G6B5 2,
//     A8R8G8B8 3). The pack draws each of its formats into a texture of the
//     same format with the stored words unchanged, so the pack entry draws
//     word for word as the source did.
//   - as a picture: the entry's bitmap as the picture a BMP file of it
//     would read back as, for the conversion into a chosen format
//     (edit/convert_picture.h): 8-bit entries with the program's palette
//     (opaque), 16-bit entries as R5G6B5 words widened channel by channel
//     (v x 255 / max, rounded), 32-bit entries with their alpha.
#pragma once

#include <cstdint>
#include <vector>

#include "image_io/picture_reader.h"
#include "io/result.h"
#include "pixels/dib_bitmap.h"
#include "pixels/dx9_textures.h"

namespace vantoro {

struct StoredPixels {
    std::uint8_t pixelFormat = 0;    // the pack's index 0..3
    std::vector<std::uint8_t> data;  // rows top first (bottom first with flip), coded with rle
};

// The image part of `texture` as a pack entry's data. Fails for a texture
// format without a pack format, a texture that does not lock, or a code the
// run-length encoder cannot write.
Result<StoredPixels> storedPixelsOfTexture(TDXTexture& texture, bool flip, bool rle);

// An entry that cannot be drawn into a texture (a Wuyi archive's) as it
// would be drawn: 8- and 16-bit bitmaps through the same conversions to
// A1R5G5B5 as drawing (format 1; index 0 and colour 0 transparent), 32-bit
// ones as they are (format 3).
Result<StoredPixels> storedPixelsOfBitmap(const DibBitmap& bitmap, bool flip, bool rle);

// The bitmap as 32-bit picture rows.
Picture pictureOfBitmap(const DibBitmap& bitmap);

}  // namespace vantoro
