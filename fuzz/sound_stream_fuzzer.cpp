// A sound entry's bytes as the sound panel plays them: the MP3 frame walk
// that gives the length, then the stream opened and read where the output
// and the spectrum read it (the start, a jump to the middle, the end).
#include <cstdint>
#include <span>
#include <vector>

#include "audio/mpeg_frames.h"
#include "audio/sound_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file{data, size};
    (void)vantoro::audio::mpegSampleFrames(file);
    const auto opened = vantoro::audio::SoundStream::open(file);
    if (!opened) return 0;
    vantoro::audio::SoundStream& stream = **opened;
    std::vector<std::int16_t> samples(std::size_t{stream.channels()} * 1024);
    const std::uint64_t frames = stream.frames();
    for (const std::uint64_t first : {std::uint64_t{0}, frames / 2, frames > 0 ? frames - 1 : 0}) {
        (void)stream.read(first, samples);
    }
    return 0;
}
