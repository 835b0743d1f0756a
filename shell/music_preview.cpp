#include "shell/music_preview.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantoro {
namespace {

constexpr DWORD kOutputRate = 44100;
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::int32_t kPitch = 4;     // pixels from one level to the next
constexpr std::int32_t kBarWidth = 3;  // pixels
constexpr std::int32_t kPeakFall = 1;  // pixels a tick
constexpr std::int32_t kBarFall = 3;

// Seconds as whole milliseconds for the position bar. A failed length
// (negative seconds, as for a channel that could not be made) is 0 rather
// than a negative maximum.
std::int32_t milliseconds(double seconds) {
    const double ms = std::trunc(seconds * 1000);
    if (!(ms > 0)) return 0;
    return ms >= std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : static_cast<std::int32_t>(ms);
}

std::int32_t fallen(std::int32_t level, std::int32_t value, std::int32_t fall) {
    return value >= level ? value : std::max(level - fall, 0);
}

}  // namespace

void SpectrumLevels::update(std::span<const float, kCount> spectrum, std::int32_t height) {
    for (std::size_t i = 0; i < kCount; ++i) {
        const double scaled = std::abs(static_cast<double>(spectrum[i])) * kPixelsPerUnit;
        const std::int32_t value = scaled < height ? static_cast<std::int32_t>(scaled) : height;
        m_peaks[i] = fallen(m_peaks[i], value, kPeakFall);
        m_bars[i] = fallen(m_bars[i], value, kBarFall);
    }
}

void SpectrumLevels::paint(std::span<std::uint32_t> pixels, std::int32_t width,
                           std::int32_t height) const {
    std::fill(pixels.begin(), pixels.end(), kBlack);
    const auto row = [&](std::int32_t y) { return pixels.data() + std::size_t(y) * width; };
    for (std::size_t i = 0; i < kCount && std::int64_t(i) * kPitch < width; ++i) {
        const std::int32_t left = static_cast<std::int32_t>(i) * kPitch;
        const std::int32_t right = std::min(left + kBarWidth, width);
        const std::int32_t peakY = height - m_peaks[i];
        if (peakY >= 0 && peakY < height) std::fill(row(peakY) + left, row(peakY) + right, kGreen);
        for (std::int32_t y = std::max(height - m_bars[i], 0); y < height; ++y) {
            std::fill(row(y) + left, row(y) + right, kGreen);
        }
    }
}

bool MusicPreview::startAudio() {
    m_audioStarted = BASS_Init(-1, kOutputRate, 0, nullptr, nullptr) != 0;
    return m_audioStarted;
}

void MusicPreview::shutdown() {
    m_controls.timerOn = false;
    releaseChannel();
    // Only the library this panel started: another user of it keeps it.
    if (m_audioStarted) BASS_Free();
    m_audioStarted = false;
}

void MusicPreview::releaseChannel() {
    if (MusicChannel != 0) BASS_StreamFree(MusicChannel);
    MusicChannel = 0;
}

void MusicPreview::createChannel(std::span<const std::uint8_t> bytes) {
    MusicChannel = BASS_StreamCreateFile(1, bytes.data(), 0, bytes.size(), 0);
}

bool MusicPreview::play() {
    m_controls.timerOn = true;
    BASS_ChannelPlay(MusicChannel, MusicStopped);
    const double seconds =
        BASS_ChannelBytes2Seconds(MusicChannel, BASS_ChannelGetLength(MusicChannel, BASS_POS_BYTE));
    m_controls.positionMaximum = milliseconds(seconds);
    m_controls.positionEnabled = true;
    m_controls.playEnabled = false;
    m_controls.pauseEnabled = true;
    m_controls.stopEnabled = true;
    return m_audioStarted;
}

void MusicPreview::pause() {
    MusicStopped = false;
    m_controls.timerOn = false;
    BASS_ChannelPause(MusicChannel);
    m_controls.playEnabled = true;
    m_controls.pauseEnabled = false;
    m_controls.stopEnabled = true;
}

void MusicPreview::stop() {
    MusicStopped = true;
    m_controls.timerOn = false;
    BASS_ChannelStop(MusicChannel);
    m_controls.playEnabled = true;
    m_controls.pauseEnabled = false;
    m_controls.stopEnabled = false;
    m_controls.positionEnabled = false;
    m_controls.position = 0;
    m_levels = SpectrumLevels();
    SpectrumBitmap.clear();
    m_spectrumWidth = m_spectrumHeight = 0;
}

void MusicPreview::seek(std::int32_t milliseconds) {
    pause();
    m_controls.position = std::max(milliseconds, 0);
    const QWORD bytes = BASS_ChannelSeconds2Bytes(MusicChannel, milliseconds / 1000.0);
    BASS_ChannelSetPosition(MusicChannel, bytes, BASS_POS_BYTE);
}

bool MusicPreview::tick(std::int32_t width, std::int32_t height) {
    if (BASS_ChannelIsActive(MusicChannel) != BASS_ACTIVE_PLAYING) {
        stop();
        return false;
    }
    m_controls.position = milliseconds(BASS_ChannelBytes2Seconds(
        MusicChannel, BASS_ChannelGetPosition(MusicChannel, BASS_POS_BYTE)));
    BASS_ChannelGetData(MusicChannel, FFTData.data(), BASS_DATA_FFT4096);
    width = std::max(width, 0);
    height = std::max(height, 0);
    m_levels.update(FFTData, height);
    SpectrumBitmap.resize(std::size_t(width) * std::size_t(height));
    m_levels.paint(SpectrumBitmap, width, height);
    m_spectrumWidth = width;
    m_spectrumHeight = height;
    return true;
}

}  // namespace vantoro
