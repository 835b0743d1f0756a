// One entry as a reader decoded it, before it becomes a texture or a bitmap:
// the pixels as the format stores them (or as a decoder expanded them), how
// the rows lie in memory, and the image's size and drawing offsets. Readers
// produce it; the archive base turns it into textures and bitmaps, the same
// way for every format.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "archive/image_records.h"
#include "pixels/dib_bitmap.h"
#include "pixels/dx9_textures.h"

namespace vantoro {

enum class DecodedFormat : std::uint8_t {
    Palette8,  // palette indices; index 0 is transparent
    R5G6B5,    // colour words; 0 is transparent
    A4R4G4B4,  // colour words with a 4-bit alpha that the texture keeps
};

int bytesPerPixel(DecodedFormat format);

struct DecodedImage {
    TWMImageInfo info;
    DecodedFormat format = DecodedFormat::Palette8;
    std::span<const std::uint8_t> bytes;  // the stored rows
    std::size_t stride = 0;               // bytes from one stored row to the next
    bool bottomUp = false;                // stored rows run from the bottom row up

    std::size_t rowBytes() const {
        return static_cast<std::size_t>(info.Width) *
               static_cast<std::size_t>(bytesPerPixel(format));
    }
    // Row y of the image (0 = top), or null when the bytes end before the
    // row does: rows a short body does not hold are transparent.
    const std::uint8_t* row(std::int32_t y) const;
};

// Rows stored top-down without padding, `bytes` holding at least all of them.
DecodedImage packedRows(const TWMImageInfo& info, DecodedFormat format,
                        std::span<const std::uint8_t> bytes);

// The size of a bottom-up bitmap body: rows padded to 4 bytes, Height rows.
std::uint64_t bottomUpBodySize(int bitsPerPixel, std::uint16_t width, std::uint16_t height);

// Fills `texture` with the image in the order every texture supports:
// palette and R5G6B5 images become A1R5G5B5 (index 0 and colour 0 turn
// transparent), A4R4G4B4 images stay as they are. False when the texture
// cannot take the image; the texture's pixels are then undefined.
bool drawDecodedImage(const DecodedImage& image, TDXTexture& texture);

// The image as a bitmap, top row first: palette images 8-bit with `palette`
// as the colour table, R5G6B5 images 16-bit, A4R4G4B4 images 16-bit R5G6B5
// composited onto black.
std::optional<DibBitmap> bitmapOfDecodedImage(const DecodedImage& image,
                                              const std::array<std::uint8_t, 1024>& palette);

// An A4R4G4B4 pixel composited onto black as R5G6B5.
std::uint16_t a4r4g4b4OnBlack(std::uint16_t argb4444);

}  // namespace vantoro
