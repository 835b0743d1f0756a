// The length of an MPEG audio stream (an MP3 file) told from its frame
// headers alone, without decoding: every frame decodes to a fixed number of
// samples per channel (384 for layer I, 1152 for layer II, 1152 for layer
// III of MPEG-1 and 576 of MPEG-2 and 2.5).
//
// The walk follows the layout a decoder reads: ID3v2 tags at the start, then
// frames back to back, the first of which may be a Xing, Info or VBRI frame
// that holds no sound, then optionally an APE, Lyrics3 or ID3v1 tag. A
// header is 4 bytes, big-endian:
//   bits 31-21 sync (all set)      bits 20-19 version (3: MPEG-1, 2: MPEG-2,
//   0: MPEG-2.5)   bits 18-17 layer (3: I, 2: II, 1: III)   bit 16 no CRC
//   bits 15-12 bit rate index      bits 11-10 sample rate index
//   bit 9 padding                  bits 7-6 channel mode (3: mono)
// A frame is (12 x bit rate / rate + padding) x 4 bytes for layer I, and
// k x bit rate / rate + padding bytes otherwise (k = 144, or 72 for layer
// III of MPEG-2 and 2.5).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace vantoro::audio {

// Sample frames (samples per channel) the stream's frames hold, or none
// when the bytes are not such a stream from start to end: anything between
// the frames, a change of version, layer or rate, or a free-format frame
// whose length the header does not give. A last frame cut short is not
// counted, since it cannot be decoded.
std::optional<std::uint64_t> mpegSampleFrames(std::span<const std::uint8_t> file);

}  // namespace vantoro::audio
