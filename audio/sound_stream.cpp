#include "audio/sound_stream.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "audio/mpeg_frames.h"

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

// A block this many blocks or fewer ahead of the decoder is reached by
// decoding the ones between (about 6 s at 44.1 kHz: a few milliseconds of
// MP3); one further ahead, or behind, by seeking.
constexpr std::uint64_t kDecodeAheadBlocks = 64;

}  // namespace

struct SoundStream::Decoder {
    std::vector<std::uint8_t> bytes;
    MemoryFile memory;
    SNDFILE* file = nullptr;
    std::uint64_t next = 0;  // the frame the next read decodes

    explicit Decoder(std::span<const std::uint8_t> file)
        : bytes(file.begin(), file.end()), memory{bytes} {}
    ~Decoder() {
        if (file) sf_close(file);
    }
};

SoundStream::~SoundStream() = default;

Result<std::shared_ptr<SoundStream>> SoundStream::open(std::span<const std::uint8_t> file) {
    if (file.empty()) return fail("empty sound data");
    std::shared_ptr<SoundStream> stream(new SoundStream());
    stream->m_decoder = std::make_unique<Decoder>(file);
    Decoder& decoder = *stream->m_decoder;
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    SF_INFO info{};
    decoder.file = sf_open_virtual(&io, SFM_READ, &info, &decoder.memory);
    if (!decoder.file) return fail(std::string("cannot decode the sound: ") + sf_strerror(nullptr));
    if (info.channels < 1 || static_cast<std::uint32_t>(info.channels) > kMaxChannels) {
        return fail("unsupported channel count " + std::to_string(info.channels));
    }
    if (info.samplerate < 1 || static_cast<std::uint32_t>(info.samplerate) > kMaxRate) {
        return fail("unsupported sample rate " + std::to_string(info.samplerate));
    }
    // Floating-point files are scaled to the 16-bit range rather than
    // clipped. Finding that range reads the whole file; MP3 decodes within
    // it anyway, so there the scan would only decode everything once more.
    const bool mpeg = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
    if (!mpeg) sf_command(decoder.file, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);

    // libsndfile decodes no further than the length it reports. For MP3
    // that is exact when the file says how long it is (a Xing or Info
    // frame) and otherwise estimated from the first frame's bit rate, when
    // the frame headers tell the frames that are really there.
    std::uint64_t frames = info.frames > 0 ? static_cast<std::uint64_t>(info.frames) : 0;
    if (mpeg) {
        if (const auto walked = mpegSampleFrames(decoder.bytes)) frames = std::min(frames, *walked);
    }
    if (frames == 0) return fail("the sound has no samples");
    if (frames > kMaxFrames) return fail("sound too long");
    stream->m_rate = static_cast<std::uint32_t>(info.samplerate);
    stream->m_channels = static_cast<std::uint32_t>(info.channels);
    stream->m_frames = frames;
    return stream;
}

std::uint64_t SoundStream::read(std::uint64_t first, std::span<std::int16_t> samples) {
    const std::lock_guard guard(m_lock);
    const std::uint64_t wanted = samples.size() / m_channels;
    std::uint64_t copied = 0;
    while (copied < wanted) {
        const std::uint64_t frame = first + copied;
        if (frame >= frames()) break;
        const Block* found = block(frame / kBlockFrames);
        if (!found) break;
        const std::uint64_t offset = frame - found->index * kBlockFrames;
        const std::uint64_t held = found->samples.size() / m_channels;
        if (offset >= held) break;
        const std::uint64_t count = std::min(held - offset, wanted - copied);
        std::copy_n(found->samples.data() + offset * m_channels, count * m_channels,
                    samples.data() + copied * m_channels);
        copied += count;
    }
    return copied;
}

const SoundStream::Block* SoundStream::block(std::uint64_t index) {
    const auto kept = std::find_if(m_blocks.begin(), m_blocks.end(),
                                   [&](const Block& b) { return b.index == index; });
    if (kept == m_blocks.end()) return decodeBlock(index);
    m_blocks.splice(m_blocks.begin(), m_blocks, kept);
    return &m_blocks.front();
}

// Decodes from where the decoder stands up to block `index`, keeping every
// block on the way. The decoder stands at a block's start except at the end.
const SoundStream::Block* SoundStream::decodeBlock(std::uint64_t index) {
    Decoder& decoder = *m_decoder;
    const std::uint64_t start = index * kBlockFrames;
    const bool nearAhead =
        start >= decoder.next && (start - decoder.next) / kBlockFrames <= kDecodeAheadBlocks;
    if (!nearAhead) {
        if (sf_seek(decoder.file, static_cast<sf_count_t>(start), SEEK_SET) !=
            static_cast<sf_count_t>(start)) {
            m_frames = std::min(frames(), start);  // nothing can be read from there on
            return nullptr;
        }
        decoder.next = start;
    }
    for (;;) {
        Block fresh{decoder.next / kBlockFrames, {}};
        const std::uint64_t wanted = std::min(kBlockFrames, frames() - decoder.next);
        fresh.samples.resize(wanted * m_channels);
        const sf_count_t read =
            sf_readf_short(decoder.file, fresh.samples.data(), static_cast<sf_count_t>(wanted));
        const std::uint64_t got = read > 0 ? static_cast<std::uint64_t>(read) : 0;
        m_decodedFrames += got;
        decoder.next += got;
        if (got < wanted) m_frames = std::min(frames(), decoder.next);  // the end came sooner
        if (got == 0) return nullptr;
        fresh.samples.resize(got * m_channels);
        m_blocks.push_front(std::move(fresh));
        if (m_blocks.size() > kKeptBlocks) m_blocks.pop_back();
        if (m_blocks.front().index == index) return &m_blocks.front();
        if (got < wanted) return nullptr;
    }
}

}  // namespace vantoro::audio
