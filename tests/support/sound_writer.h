// Sounds for tests: 16-bit PCM WAV files of sines, made in memory, and MP3
// files made from them by Debian's lame encoder at test time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace vantoro::testing {

struct SineSound {
    std::uint32_t rate = 44100;
    std::uint32_t channels = 1;
    std::uint32_t frames = 4410;
    double frequency = 440;  // Hz
    double amplitude = 0.5;  // of full scale
};

// Sample n of channel c: amplitude x 32767 x sin(2 pi f n / rate + c), rounded.
std::vector<std::int16_t> sineSamples(const SineSound& sound);
Bytes wavFile(std::uint32_t rate, std::uint32_t channels, const std::vector<std::int16_t>& samples);
inline Bytes sineWav(const SineSound& sound) {
    return wavFile(sound.rate, sound.channels, sineSamples(sound));
}

// The MP3 lame makes of `wav` with `options`, or none when lame is not
// installed (the caller skips with kLameMissing).
std::optional<Bytes> mp3FromWav(const Bytes& wav, const TempDir& dir,
                                const std::string& options = "-b 128");
inline constexpr const char* kLameMissing = "lame is not installed; MP3 cases skipped";

}  // namespace vantoro::testing
