// Bitmap-style payloads (Mir2 .wil, .wzl, Mir3 .miz): a bottom-up
// device-independent bitmap body. Row r of the image (r = 0 at the top)
// starts at byte (Height - 1 - r) * WidthBytes(bits, Width); the row holds
// Width pixels and the rest of the stride is padding.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "pixels/dib_bitmap.h"
#include "pixels/texture_fill.h"

namespace vantoro {

struct BottomUpBody {
    std::span<const std::uint8_t> bytes;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    int bitsPerPixel = 8;  // 8: palette indices; 16: R5G6B5
};

// Stride x Height: the size of a complete body.
std::uint64_t bottomUpBodySize(int bitsPerPixel, std::uint16_t width, std::uint16_t height);

// Writes every texel of every image row into an A1R5G5B5 texture through
// Convert8To16 or Convert16To16 (so the writer may clear padding only). A
// body shorter than a complete one is never read past: rows it does not
// hold in full are written transparent.
void fillTextureFromBottomUp(const BottomUpBody& body, const TextureWriter& texture);

// Fills `texture` with the body as an A1R5G5B5 image of its width and
// height; false when the texture cannot take it.
bool drawBottomUpBody(const BottomUpBody& body, TDXTexture& texture);

// The rows unconverted, top row first: an 8-bit or a 16-bit R5G6B5 bitmap.
// Rows a short body does not hold stay 0.
std::optional<DibBitmap> bitmapFromBottomUp(const BottomUpBody& body);

}  // namespace vantoro
