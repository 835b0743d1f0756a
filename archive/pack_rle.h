// The pack's run-length code for image pixels.
//
// The code is a sequence of packets over the whole image (rows top to bottom,
// no break at row ends). A packet starts with a header byte h and covers
// n = (h AND 0x7F) + 1 pixels, 1..128:
//   h >= 0x80  a run: one pixel (bytesPerPixel bytes) follows, standing for n
//              equal pixels;
//   h <  0x80  a literal: n pixels follow as they are.
// Pixels are compared byte for byte; a pixel is 2 or 4 bytes in a pack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vantoro {

inline constexpr std::size_t kRleMaxPacketPixels = 128;

// Decodes packets into target until at least expectedBytes bytes are out, and
// succeeds only if exactly expectedBytes came out. Fails, without writing
// outside target[0, expectedBytes), when a packet would go past expectedBytes
// or past the end of source, when expectedBytes exceeds target.size(), or
// when bytesPerPixel is 0. Source bytes after the last packet needed are
// ignored. On failure the leading target bytes may have been written.
bool RleDecode(std::span<const std::uint8_t> source, std::span<std::uint8_t> target,
               std::size_t bytesPerPixel, std::size_t expectedBytes);

// The largest code RleEncode can write for pixelCount pixels: one header byte
// per packet more than the raw size. With 2- or 4-byte pixels every literal
// cut short by a run is paid for by that run, so only literals of 128 pixels
// and the last packet add a byte; 1-byte pixels may add one per packet.
std::size_t RleEncodeBound(std::size_t bytesPerPixel, std::size_t pixelCount);

// Encodes pixelCount pixels of source into target and answers the number of
// bytes written. At each pixel one packet is written: a literal of the pixels
// up to, not including, the first pixel that equals its successor (all
// remaining pixels if there is none), or, when the pixel equals its successor,
// a run of the equal pixels from it; both at most 128 pixels. The code can be
// longer than the raw pixels (see RleEncodeBound): nothing when target is too
// small for it (bytes may then have been written), when source holds fewer
// than pixelCount pixels, or when bytesPerPixel is 0.
std::optional<std::size_t> RleEncode(std::span<const std::uint8_t> source,
                                     std::span<std::uint8_t> target, std::size_t bytesPerPixel,
                                     std::size_t pixelCount);

}  // namespace vantoro
