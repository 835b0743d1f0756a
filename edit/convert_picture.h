// Turning a loaded picture into the pixel data of one pack image entry.
//
// The data are the picture's rows, top row first (bottom row first with
// flip), without padding, each pixel little-endian in the entry's pixel
// format: 2 bytes for A4R4G4B4, A1R5G5B5 and R5G6B5, 4 bytes (B, G, R, A)
// for A8R8G8B8. How each pixel is made:
//   format 3: B, G, R, A copied as the picture holds them; in a picture
//     without alpha (its A all 255) the pixels of the transparent colour
//     get A = 0, the colour key the other formats apply;
//   formats 0..2 with alpha: an R5G6B5 picture gives its words back
//     unchanged; any other gives A4R4G4B4 from its A (255 when the file had
//     no alpha), whatever the format number;
//   formats 0..2 without alpha: 0 where R, G, B equal the transparent
//     colour, otherwise A1R5G5B5 with the alpha bit set (format 1), R5G6B5
//     (format 2) or A4R4G4B4 with alpha 255 (format 0) or, with the window
//     option, alpha from the window table below. The picture's A is unused.
//
// Window table: the key is the pixel as R5G6B5; 0x0841 -> 210,
// 0x2965 -> 220, 0x3186 -> 200, 0x73CF -> 200, 0x94D3 -> 144, any other -> 255.
//
// With run-length coding the pixel data go through the pack's encoder,
// handed in as a function so that this layer need not know the pack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "image_io/picture_reader.h"
#include "io/result.h"

namespace vantoro {

struct ConvertOptions {
    bool hasAlpha = false;
    std::uint8_t format = 0;              // pixel-format index 0..3
    std::uint32_t transparentColour = 0;  // 0x00BBGGRR, red in the lowest byte
    bool flip = false;
    bool rle = false;
    bool window = false;
};

// Codes `pixelCount` pixels of `bytesPerPixel` bytes from `source` into
// `target` and answers the bytes written. `target` holds at least
// source.size() + pixelCount bytes, more than any packet sequence needs: a
// packet of n pixels takes at most 1 + n x bytesPerPixel bytes.
using RleEncoder =
    std::function<std::size_t(std::span<const std::uint8_t> source, std::span<std::uint8_t> target,
                              std::uint8_t bytesPerPixel, std::size_t pixelCount)>;

// The entry's data: raw pixels, or with options.rle their run-length code
// made by `rleEncode`. Fails for an empty picture, a format above 3, rows
// missing from the picture, or rle without an encoder or with an encoder
// that answers 0 or more than its target.
Result<std::vector<std::uint8_t>> ConvertPicture(const Picture& picture,
                                                 const ConvertOptions& options,
                                                 const RleEncoder& rleEncode = {});

}  // namespace vantoro
