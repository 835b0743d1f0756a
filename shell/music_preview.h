// The sound panel without its widgets: the selected sound entry's channel,
// what Play, Pause, Stop and moving the position bar do to it, and the
// 26 ms tick that follows the position and draws the falling-bar spectrum.
// After every call, controls() says how the panel's widgets should stand.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/bass.h"

namespace vantoro {

struct MusicControls {
    bool playEnabled = true;
    bool pauseEnabled = false;
    bool stopEnabled = false;
    bool positionEnabled = false;  // the position bar
    bool timerOn = false;
    std::int32_t positionMaximum = 0;  // milliseconds
    // Milliseconds: where the tick or a move of the bar left it; 0 after
    // Stop, where the next Play starts.
    std::int32_t position = 0;
};

// 2049 levels (the last spectrum value stays 0), in pixels, kept between
// ticks: a peak falls 1 pixel a tick, a bar 3, each jumping up to a louder
// value at once.
class SpectrumLevels {
public:
    static constexpr std::size_t kCount = 2049;
    static constexpr float kPixelsPerUnit = 500;

    void update(std::span<const float, kCount> spectrum, std::int32_t height);
    // Black, with a green bar and a green peak mark 3 pixels wide every 4
    // pixels, level i at x = 4i; `pixels` holds width x height 0xAARRGGBB
    // values, top row first. Only the first width / 4 levels show.
    void paint(std::span<std::uint32_t> pixels, std::int32_t width, std::int32_t height) const;

    std::span<const std::int32_t, kCount> PeakLevels() const { return m_peaks; }
    std::span<const std::int32_t, kCount> BarLevels() const { return m_bars; }

private:
    std::array<std::int32_t, kCount> m_peaks{};
    std::array<std::int32_t, kCount> m_bars{};
};

class MusicPreview {
public:
    // The default output at 44.1 kHz; false when there is none.
    bool startAudio();
    // The timer stops, the channel goes and the audio library shuts down.
    void shutdown();

    // Every selection: the channel goes (stop it first).
    void releaseChannel();
    // A sound entry's bytes; a sound that does not decode leaves no channel,
    // and every button then does nothing audible.
    void createChannel(std::span<const std::uint8_t> bytes);

    // False when there is no audio output to play on; the buttons change
    // all the same, and the first tick stops again.
    bool play();
    void pause();
    // Also puts the position and the spectrum back to the start, since the
    // next Play starts from there.
    void stop();
    // The position bar moved to `milliseconds`: pause, then go there.
    void seek(std::int32_t milliseconds);
    // One tick with the spectrum display `width` x `height`: false when the
    // channel no longer plays (Stop has run). Draws into spectrumPixels().
    bool tick(std::int32_t width, std::int32_t height);

    const MusicControls& controls() const { return m_controls; }
    HSTREAM channel() const { return MusicChannel; }
    bool stopped() const { return MusicStopped; }
    const SpectrumLevels& levels() const { return m_levels; }
    // SpectrumBitmap: spectrumWidth() x spectrumHeight() 0xAARRGGBB values
    // of the last tick; none before the first tick and after Stop.
    std::span<const std::uint32_t> spectrumPixels() const { return SpectrumBitmap; }
    std::int32_t spectrumWidth() const { return m_spectrumWidth; }
    std::int32_t spectrumHeight() const { return m_spectrumHeight; }

private:
    HSTREAM MusicChannel = 0;
    bool MusicStopped = false;
    bool m_audioStarted = false;
    std::array<float, SpectrumLevels::kCount> FFTData{};
    std::vector<std::uint32_t> SpectrumBitmap;
    std::int32_t m_spectrumWidth = 0;
    std::int32_t m_spectrumHeight = 0;
    SpectrumLevels m_levels;
    MusicControls m_controls;
};

}  // namespace vantoro
