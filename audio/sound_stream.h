// A WAV or MP3 file held in memory, decoded once into 16-bit samples.
// libsndfile tells the format from the bytes themselves; any file it reads
// (other WAV codings, FLAC, Ogg) decodes as well.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "io/result.h"

namespace vantoro::audio {

struct DecodedSound {
    std::uint32_t rate = 0;             // frames per second
    std::uint32_t channels = 0;         // samples per frame
    std::vector<std::int16_t> samples;  // interleaved, frame after frame

    std::uint64_t frames() const { return channels == 0 ? 0 : samples.size() / channels; }
    // The byte positions of a stream count this 16-bit interleaved data.
    std::uint64_t bytesPerFrame() const { return std::uint64_t{channels} * 2; }
};

// A decoded sound may take at most this many bytes (about 100 minutes of
// 44.1 kHz stereo); a longer one, or a file that claims absurd rates or
// channel counts, is refused rather than allowed to exhaust memory.
inline constexpr std::uint64_t kMaxDecodedBytes = std::uint64_t{1} << 30;
inline constexpr std::uint32_t kMaxChannels = 64;
inline constexpr std::uint32_t kMaxRate = 768'000;

Result<DecodedSound> decodeSound(std::span<const std::uint8_t> file);

}  // namespace vantoro::audio
