// The 23-byte header in front of every entry's data in a pack. It is never
// enciphered, not even in a protected pack. On disk, little-endian, no padding:
//
//   offset size  field
//    0      2    width word, uint16: width x 16 + a random value 0..15
//    2      2    height word, uint16: height x 16 + a random value 0..15
//    4      2    x, int16: drawing offset X
//    6      2    y, int16: drawing offset Y
//    8      4    blend code, uint32: chosen at import, carried along unused
//   12      1    pixel format 0..3 (A4R4G4B4, A1R5G5B5, R5G6B5, A8R8G8B8)
//   13      4    data length, int32: data bytes after the header
//   17      1    data type: 31 image, 47 data, 63 WAV, 79 MP3
//   18      1    compressed flag: images 1 = run-length code, others 1 = zlib
//   19      4    reserved, zero
//
// The random low nibbles make the stored words differ from one write to the
// next; a reader shifts them away. Images are 2..4095 pixels on each side,
// which is why 12 bits suffice; entries of other types store 0 for width,
// height, x, y, blend code and pixel format.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "io/random_source.h"
#include "io/result.h"

namespace vantoro {

inline constexpr std::size_t kPackEntryHeaderSize = 23;
// Largest width or height a 16-bit word holds above its 4-bit nibble.
inline constexpr std::uint16_t kPackEntryMaxSide = 0x0FFF;

using PackEntryHeaderBytes = std::array<std::uint8_t, kPackEntryHeaderSize>;

// An entry header as the program works with it: width and height are the
// real sizes, without the nibbles.
struct TPackEntryHeader {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint32_t blendCode = 0;
    std::uint8_t pixelFormat = 0;
    std::int32_t dataLength = 0;
    std::uint8_t dataType = 0;
    std::uint8_t compressed = 0;
    std::uint32_t reserved = 0;

    bool operator==(const TPackEntryHeader&) const = default;
};

// The 23 bytes to store, with fresh random nibbles under width and height.
// Fails, rather than store a different size, when width or height exceeds
// 4095, and when the data length is negative.
Result<PackEntryHeaderBytes> PackEntryHeader(const TPackEntryHeader& header, RandomSource& random);

// The header stored in these bytes; width and height are the words shifted
// right by 4 (a word of 0xFFFF reads as 4095). Nothing is checked: whether
// the fields make a valid image is the reader's decision.
TPackEntryHeader UnpackEntryHeader(std::span<const std::uint8_t, kPackEntryHeaderSize> bytes);

}  // namespace vantoro
