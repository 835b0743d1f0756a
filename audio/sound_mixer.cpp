#include "audio/sound_mixer.h"

#include <algorithm>
#include <limits>

namespace vantoro::audio {
namespace {

constexpr int kFractionBits = 32;

std::int32_t interpolate(std::int32_t a, std::int32_t b, std::uint64_t fraction) {
    return a + static_cast<std::int32_t>(((static_cast<std::int64_t>(b) - a) *
                                          static_cast<std::int64_t>(fraction >> 16)) >>
                                         16);
}

}  // namespace

SoundMixer::Channel* SoundMixer::find(std::uint32_t handle) {
    const auto it = m_channels.find(handle);
    return it == m_channels.end() ? nullptr : &it->second;
}

const SoundMixer::Channel* SoundMixer::find(std::uint32_t handle) const {
    const auto it = m_channels.find(handle);
    return it == m_channels.end() ? nullptr : &it->second;
}

std::uint32_t SoundMixer::create(std::shared_ptr<SoundStream> sound) {
    const std::lock_guard guard(m_lock);
    do {
        ++m_lastHandle;  // wraps after four billion streams, skipping 0 and live ones
    } while (m_lastHandle == 0 || m_channels.contains(m_lastHandle));
    m_channels[m_lastHandle] = Channel{std::move(sound)};
    return m_lastHandle;
}

bool SoundMixer::free(std::uint32_t handle) {
    std::shared_ptr<SoundStream> released;  // let go outside the lock
    const std::lock_guard guard(m_lock);
    const auto it = m_channels.find(handle);
    if (it == m_channels.end()) return false;
    released = std::move(it->second.sound);
    m_channels.erase(it);
    return true;
}

bool SoundMixer::play(std::uint32_t handle, bool restart) {
    const std::lock_guard guard(m_lock);
    Channel* channel = find(handle);
    if (!channel) return false;
    if (restart) channel->position = 0;
    channel->state = ChannelState::Playing;
    return true;
}

bool SoundMixer::pause(std::uint32_t handle) {
    const std::lock_guard guard(m_lock);
    Channel* channel = find(handle);
    if (!channel || channel->state != ChannelState::Playing) return false;
    channel->state = ChannelState::Paused;
    return true;
}

bool SoundMixer::stop(std::uint32_t handle) {
    const std::lock_guard guard(m_lock);
    Channel* channel = find(handle);
    if (!channel) return false;
    channel->state = ChannelState::Stopped;
    return true;
}

std::optional<ChannelState> SoundMixer::state(std::uint32_t handle) const {
    const std::lock_guard guard(m_lock);
    const Channel* channel = find(handle);
    if (!channel) return std::nullopt;
    return channel->state;
}

std::optional<std::uint64_t> SoundMixer::frame(std::uint32_t handle) const {
    const std::lock_guard guard(m_lock);
    const Channel* channel = find(handle);
    if (!channel) return std::nullopt;
    return channel->position >> kFractionBits;
}

bool SoundMixer::seek(std::uint32_t handle, std::uint64_t frame) {
    const std::lock_guard guard(m_lock);
    Channel* channel = find(handle);
    if (!channel || frame > channel->sound->frames()) return false;
    channel->position = frame << kFractionBits;
    return true;
}

std::shared_ptr<SoundStream> SoundMixer::sound(std::uint32_t handle) const {
    const std::lock_guard guard(m_lock);
    const Channel* channel = find(handle);
    return channel ? channel->sound : nullptr;
}

// Channel 0 goes left and channel 1 right; a mono sound goes to both. The
// buffer is mixed in pieces that each read about a block of the sound at
// most, however far the rates lie apart.
void SoundMixer::mixChannel(Channel& channel, std::span<std::int32_t> sums) {
    const std::uint64_t step =
        (std::uint64_t{channel.sound->rate()} << kFractionBits) / m_outputRate;
    const std::uint64_t perPiece =
        std::max<std::uint64_t>((kBlockFrames << kFractionBits) / step, 1);
    for (std::size_t done = 0; done + 1 < sums.size();) {
        const std::size_t piece = std::min<std::uint64_t>(perPiece, (sums.size() - done) / 2);
        if (!mixPiece(channel, step, sums.subspan(done, piece * 2))) return;
        done += piece * 2;
    }
}

bool SoundMixer::mixPiece(Channel& channel, std::uint64_t step, std::span<std::int32_t> sums) {
    SoundStream& sound = *channel.sound;
    const std::uint32_t channels = sound.channels();
    const std::uint32_t right = channels > 1 ? 1 : 0;
    // The frames this piece reaches, and the one after the last for the
    // interpolation. A read stops short only where the sound ends, and the
    // stream's length then says so.
    const std::uint64_t first = channel.position >> kFractionBits;
    const std::uint64_t last = (channel.position + step * (sums.size() / 2 - 1)) >> kFractionBits;
    m_source.resize((last - first + 2) * channels);
    const std::uint64_t end = first + sound.read(first, m_source);
    const std::uint64_t frames = sound.frames();
    for (std::size_t out = 0; out + 1 < sums.size(); out += 2) {
        const std::uint64_t at = channel.position >> kFractionBits;
        if (at >= frames || at >= end) {
            channel.position = std::min(at, frames) << kFractionBits;
            channel.state = ChannelState::Stopped;
            return false;
        }
        const std::uint64_t fraction = channel.position & 0xFFFFFFFFu;
        const std::int16_t* now = m_source.data() + (at - first) * channels;
        const std::int16_t* next = at + 1 < end ? now + channels : now;
        sums[out] += interpolate(now[0], next[0], fraction);
        sums[out + 1] += interpolate(now[right], next[right], fraction);
        channel.position += step;
    }
    return true;
}

void SoundMixer::mix(std::span<std::int16_t> stereo) {
    m_sums.assign(stereo.size(), 0);
    {
        const std::lock_guard guard(m_lock);
        for (auto& [handle, channel] : m_channels) {
            if (channel.state == ChannelState::Playing) mixChannel(channel, m_sums);
        }
    }
    constexpr std::int32_t kLow = std::numeric_limits<std::int16_t>::min();
    constexpr std::int32_t kHigh = std::numeric_limits<std::int16_t>::max();
    for (std::size_t i = 0; i < stereo.size(); ++i) {
        stereo[i] = static_cast<std::int16_t>(std::clamp(m_sums[i], kLow, kHigh));
    }
}

}  // namespace vantoro::audio
