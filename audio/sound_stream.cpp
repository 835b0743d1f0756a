#include "audio/decoded_sound.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace vantoro::audio {
namespace {

// libsndfile reads the file through these callbacks, from memory.
struct MemoryFile {
    std::span<const std::uint8_t> bytes;
    sf_count_t position = 0;
};

sf_count_t memoryLength(void* user) {
    return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size());
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const auto size = static_cast<sf_count_t>(file->bytes.size());
    sf_count_t base = 0;
    if (whence == SEEK_CUR) base = file->position;
    if (whence == SEEK_END) base = size;
    // Offsets come from the file's own headers: refuse what would wrap or
    // leave the buffer instead of clamping it silently.
    if ((offset < 0 && base < -offset) || (offset > 0 && offset > size - base)) return -1;
    file->position = base + offset;
    return file->position;
}

sf_count_t memoryRead(void* target, sf_count_t count, void* user) {
    auto* file = static_cast<MemoryFile*>(user);
    const auto size = static_cast<sf_count_t>(file->bytes.size());
    const sf_count_t available = std::clamp<sf_count_t>(size - file->position, 0, size);
    const sf_count_t taken = std::clamp<sf_count_t>(count, 0, available);
    if (taken > 0) {
        std::memcpy(target, file->bytes.data() + file->position, static_cast<std::size_t>(taken));
    }
    file->position += taken;
    return taken;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t memoryTell(void* user) {
    return static_cast<MemoryFile*>(user)->position;
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

// Frames read per call; the whole sound grows in these steps, since an MP3's
// frame count is only known once it has been decoded.
constexpr sf_count_t kChunkFrames = 16384;

}  // namespace

Result<DecodedSound> decodeSound(std::span<const std::uint8_t> file) {
    if (file.empty()) return fail("empty sound data");
    MemoryFile memory{file};
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> sound(sf_open_virtual(&io, SFM_READ, &info, &memory));
    if (!sound) return fail(std::string("cannot decode the sound: ") + sf_strerror(nullptr));
    if (info.channels < 1 || static_cast<std::uint32_t>(info.channels) > kMaxChannels) {
        return fail("unsupported channel count " + std::to_string(info.channels));
    }
    if (info.samplerate < 1 || static_cast<std::uint32_t>(info.samplerate) > kMaxRate) {
        return fail("unsupported sample rate " + std::to_string(info.samplerate));
    }
    // Floating-point files are scaled to the 16-bit range rather than clipped.
    sf_command(sound.get(), SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);

    DecodedSound decoded;
    decoded.rate = static_cast<std::uint32_t>(info.samplerate);
    decoded.channels = static_cast<std::uint32_t>(info.channels);
    const std::size_t chunkSamples = static_cast<std::size_t>(kChunkFrames) * decoded.channels;
    // The frame count the header claims (an estimate for MP3) saves regrowing;
    // it is trusted only as far as the memory limit.
    const std::uint64_t claimed = info.frames > 0 ? static_cast<std::uint64_t>(info.frames) : 0;
    const std::uint64_t limitFrames = kMaxDecodedBytes / decoded.bytesPerFrame();
    decoded.samples.reserve(
        static_cast<std::size_t>(std::min(claimed, limitFrames)) * decoded.channels + chunkSamples);
    for (;;) {
        const std::size_t filled = decoded.samples.size();
        if ((filled + chunkSamples) * sizeof(std::int16_t) > kMaxDecodedBytes) {
            return fail("sound too long to decode into memory");
        }
        decoded.samples.resize(filled + chunkSamples);
        const sf_count_t read =
            sf_readf_short(sound.get(), decoded.samples.data() + filled, kChunkFrames);
        decoded.samples.resize(filled + static_cast<std::size_t>(std::max<sf_count_t>(read, 0)) *
                                            decoded.channels);
        if (read < kChunkFrames) break;
    }
    if (sf_error(sound.get()) != SF_ERR_NO_ERROR && decoded.samples.empty()) {
        return fail(std::string("cannot decode the sound: ") + sf_strerror(sound.get()));
    }
    return decoded;
}

}  // namespace vantoro::audio
