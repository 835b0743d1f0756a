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
    // The pack's stored pixel formats (pixel-format indices 0..3). The
    // texture takes them as stored, in their own format; bitmaps follow the
    // pack's conversion rules (packPixelToR5G6B5), 32-bit pixels as they are.
    PackA4R4G4B4,
    PackA1R5G5B5,
    PackR5G6B5,
    PackA8R8G8B8,  // bytes B, G, R, A
};

int bytesPerPixel(DecodedFormat format);

// The decoded format of a pack's pixel-format index 0..3; nothing above 3.
std::optional<DecodedFormat> packDecodedFormat(std::uint8_t pixelFormat);

// The pixel-format index a cache texture of this image is made in: the
// pack's own index for its formats, 1 (A1R5G5B5) for every game format.
std::uint8_t cachePixelFormat(DecodedFormat format);

// Rows a decoder expands pixels into: `height` rows of `rowBytes` bytes,
// `pitch` bytes apart (pitch >= rowBytes). All pitch x height bytes from
// `first` may be written; an expander leaves the image in the rows and 0 in
// the bytes between them.
struct PixelRows {
    std::uint8_t* first = nullptr;
    std::size_t pitch = 0;
    std::size_t rowBytes = 0;
    std::size_t height = 0;
};

// Expands a code into the rows given, every byte of them written.
using RowExpander = void (*)(std::span<const std::uint8_t> code, const PixelRows& rows);

struct DecodedImage {
    TWMImageInfo info;
    DecodedFormat format = DecodedFormat::Palette8;
    std::span<const std::uint8_t> bytes;  // the stored rows (or the code, see expandRows)
    std::size_t stride = 0;               // bytes from one stored row to the next
    bool bottomUp = false;                // stored rows run from the bottom row up
    // Set when the decoder left its pixels coded: `bytes` is then the code,
    // and the image's rows (top-down, Width pixels each) are what this writes.
    // A texture of the image's own format is filled straight from the code,
    // without a copy through a buffer.
    RowExpander expandRows = nullptr;

    std::size_t rowBytes() const {
        return static_cast<std::size_t>(info.Width) *
               static_cast<std::size_t>(bytesPerPixel(format));
    }
    // Row y of the image (0 = top), or null when the bytes end before the
    // row does: rows a short body does not hold are transparent. Only for
    // an image whose rows are stored (expandRows not set).
    const std::uint8_t* row(std::int32_t y) const;
};

// Rows stored top-down without padding, `bytes` holding at least all of them.
DecodedImage packedRows(const TWMImageInfo& info, DecodedFormat format,
                        std::span<const std::uint8_t> bytes);

// The size of a bottom-up bitmap body: rows padded to 4 bytes, Height rows.
std::uint64_t bottomUpBodySize(int bitsPerPixel, std::uint16_t width, std::uint16_t height);

// Fills `texture` with the image in the order every texture supports:
// palette and R5G6B5 images become A1R5G5B5 (index 0 and colour 0 turn
// transparent), A4R4G4B4 images and the pack's formats stay as they are, in
// a texture of their own format. False when the texture
// cannot take the image; the texture's pixels are then undefined.
bool drawDecodedImage(const DecodedImage& image, TDXTexture& texture);

// The image as a bitmap, top row first: palette images 8-bit with `palette`
// as the colour table, R5G6B5 images 16-bit, A4R4G4B4 images 16-bit R5G6B5
// composited onto black; the pack's 16-bit formats 16-bit R5G6B5 through
// packPixelToR5G6B5, its 32-bit format 32-bit as stored.
std::optional<DibBitmap> bitmapOfDecodedImage(const DecodedImage& image,
                                              const std::array<std::uint8_t, 1024>& palette);

// An A4R4G4B4 pixel composited onto black as R5G6B5.
std::uint16_t a4r4g4b4OnBlack(std::uint16_t argb4444);

// A 16-bit pack pixel (pixel-format index 0..2) as its bitmap shows it, in
// R5G6B5 where 0 is transparent: a transparent pixel (alpha 0) gives 0; an
// opaque pixel that would come out as 0 (black) becomes 0x0841 for formats
// 0 and 2 and 0x0008 for format 1, so that it stays visible. Format 0 is
// composited onto black, format 1 widens its green to 6 bits, format 2 is
// kept. Any other index gives the value unchanged.
std::uint16_t packPixelToR5G6B5(std::uint8_t pixelFormat, std::uint16_t value);

}  // namespace vantoro
