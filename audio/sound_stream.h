// A WAV or MP3 file held in memory, decoded into 16-bit samples block by
// block as they are read, so that opening even a long sound costs little:
// its format and length come from the file's header (for MP3, with a walk
// over the frame headers; see audio/mpeg_frames.h), and a read decodes only
// the blocks it touches. The blocks read last are kept, as the output and
// the spectrum read about the same place in turn. libsndfile tells the
// format from the bytes themselves; any file it reads (other WAV codings,
// FLAC, Ogg) streams as well.
//
// Reads may come from any thread; one lock serialises them.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "io/result.h"

namespace vantoro::audio {

// Refused rather than believed: absurd rates or channel counts, and lengths
// whose positions would not fit the output's fixed-point arithmetic (the
// limit is over 13 hours at 44.1 kHz).
inline constexpr std::uint32_t kMaxChannels = 64;
inline constexpr std::uint32_t kMaxRate = 768'000;
inline constexpr std::uint64_t kMaxFrames = std::uint64_t{1} << 31;

// Frames of a decoded block, and how many blocks are kept (about 3 s at
// 44.1 kHz).
inline constexpr std::uint64_t kBlockFrames = 4096;
inline constexpr std::size_t kKeptBlocks = 32;

class SoundStream {
public:
    // Copies `file`, which may go once this returns.
    static Result<std::shared_ptr<SoundStream>> open(std::span<const std::uint8_t> file);
    ~SoundStream();
    SoundStream(const SoundStream&) = delete;
    SoundStream& operator=(const SoundStream&) = delete;

    std::uint32_t rate() const { return m_rate; }          // frames per second
    std::uint32_t channels() const { return m_channels; }  // samples per frame
    // The length in frames. Exact for a sound that decodes to its end; one
    // that stops decoding sooner (a damaged file) is shortened to where it
    // stopped once a read gets there.
    std::uint64_t frames() const { return m_frames.load(); }
    // The byte positions of a stream count this 16-bit interleaved data.
    std::uint64_t bytesPerFrame() const { return std::uint64_t{m_channels} * 2; }

    // Copies frames from `first` on into `samples` (interleaved, as many
    // whole frames as it holds); answers the frames copied, fewer only where
    // the sound ends.
    std::uint64_t read(std::uint64_t first, std::span<std::int16_t> samples);

    // Frames decoded since opening, blocks read again included: what reads
    // have cost.
    std::uint64_t decodedFrames() const { return m_decodedFrames.load(); }

private:
    struct Decoder;
    struct Block {
        std::uint64_t index = 0;
        std::vector<std::int16_t> samples;  // fewer than a block's only at the end
    };
    SoundStream() = default;
    const Block* block(std::uint64_t index);
    const Block* decodeBlock(std::uint64_t index);

    std::uint32_t m_rate = 0;
    std::uint32_t m_channels = 0;
    std::atomic<std::uint64_t> m_frames = 0;
    std::atomic<std::uint64_t> m_decodedFrames = 0;
    std::mutex m_lock;  // the decoder and the kept blocks
    std::unique_ptr<Decoder> m_decoder;
    std::list<Block> m_blocks;  // most recently used first
};

}  // namespace vantoro::audio
