#include "tests/support/sound_writer.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace vantoro::testing {

std::vector<std::int16_t> sineSamples(const SineSound& sound) {
    std::vector<std::int16_t> samples;
    samples.reserve(std::size_t(sound.frames) * sound.channels);
    for (std::uint32_t n = 0; n < sound.frames; ++n) {
        for (std::uint32_t c = 0; c < sound.channels; ++c) {
            const double phase = 2 * std::numbers::pi * sound.frequency * n / sound.rate + c;
            samples.push_back(
                static_cast<std::int16_t>(std::lround(sound.amplitude * 32767 * std::sin(phase))));
        }
    }
    return samples;
}

Bytes wavFile(std::uint32_t rate, std::uint32_t channels,
              const std::vector<std::int16_t>& samples) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    Bytes out;
    putBytes(out, {'R', 'I', 'F', 'F'});
    putU32(out, 36 + dataBytes);
    putBytes(out, {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putU32(out, 16);
    putU16(out, 1);  // PCM
    putU16(out, static_cast<std::uint16_t>(channels));
    putU32(out, rate);
    putU32(out, rate * channels * 2);
    putU16(out, static_cast<std::uint16_t>(channels * 2));
    putU16(out, 16);
    putBytes(out, {'d', 'a', 't', 'a'});
    putU32(out, dataBytes);
    for (const std::int16_t sample : samples) putU16(out, static_cast<std::uint16_t>(sample));
    return out;
}

std::optional<Bytes> mp3FromWav(const Bytes& wav, const TempDir& dir, const std::string& options) {
    if (std::system("command -v lame >/dev/null 2>&1") != 0) return std::nullopt;
    const std::string in = dir.file("lame-in.wav");
    const std::string out = dir.file("lame-out.mp3");
    writeFile(in, wav);
    const std::string command = "lame --quiet " + options + " '" + in + "' '" + out + "'";
    if (std::system(command.c_str()) != 0) return Bytes{};  // fails the decode that follows
    return readFile(out);
}

}  // namespace vantoro::testing
