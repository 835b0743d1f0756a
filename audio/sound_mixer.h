// The channels of the audio library and their mixing into the output: each
// channel plays one sound stream from a position, at the sound's own rate,
// converted to the output's rate by linear interpolation. The output thread
// calls mix(), which reads (and so decodes) the frames each buffer needs;
// every other call comes from the program's thread. One lock guards the
// channel table; the streams guard their own decoding.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "audio/sound_stream.h"

namespace vantoro::audio {

enum class ChannelState { Stopped, Playing, Paused };

class SoundMixer {
public:
    explicit SoundMixer(std::uint32_t outputRate) : m_outputRate(outputRate) {}

    // A new stopped channel at frame 0; its handle is never 0.
    std::uint32_t create(std::shared_ptr<SoundStream> sound);
    bool free(std::uint32_t handle);

    // Playing from the start when `restart`, else from where it is.
    bool play(std::uint32_t handle, bool restart);
    // Only a playing channel pauses.
    bool pause(std::uint32_t handle);
    bool stop(std::uint32_t handle);
    std::optional<ChannelState> state(std::uint32_t handle) const;

    // The next frame the channel plays; a channel that played to its end
    // stands at its frame count.
    std::optional<std::uint64_t> frame(std::uint32_t handle) const;
    // Refuses a frame past the end.
    bool seek(std::uint32_t handle, std::uint64_t frame);
    std::shared_ptr<SoundStream> sound(std::uint32_t handle) const;

    // Fills `stereo` (left, right, left, ...) with every playing channel
    // mixed, saturating at the 16-bit limits, and moves those channels on.
    void mix(std::span<std::int16_t> stereo);

private:
    struct Channel {
        std::shared_ptr<SoundStream> sound;
        std::uint64_t position = 0;  // frames, 32.32 fixed point
        ChannelState state = ChannelState::Stopped;
    };
    Channel* find(std::uint32_t handle);
    const Channel* find(std::uint32_t handle) const;
    void mixChannel(Channel& channel, std::span<std::int32_t> sums);
    // False when the channel reached its end.
    bool mixPiece(Channel& channel, std::uint64_t step, std::span<std::int32_t> sums);

    std::uint32_t m_outputRate;
    mutable std::mutex m_lock;
    std::map<std::uint32_t, Channel> m_channels;
    std::uint32_t m_lastHandle = 0;
    std::vector<std::int32_t> m_sums;    // mix() only
    std::vector<std::int16_t> m_source;  // mix() only: a channel's frames for one buffer
};

}  // namespace vantoro::audio
