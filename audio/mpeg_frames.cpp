#include "audio/mpeg_frames.h"

#include <array>
#include <cstring>

namespace vantoro::audio {
namespace {

struct FrameHeader {
    std::uint32_t version = 0;  // the header's 2 bits: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    std::uint32_t layer = 0;    // 1, 2 or 3
    std::uint32_t rate = 0;     // Hz
    bool mono = false;
    std::uint32_t bytes = 0;    // the whole frame, header included
    std::uint32_t samples = 0;  // per channel
};

// Kilobits per second by bit rate index 1..14; index 0 (free format) and 15
// (invalid) have no entry.
constexpr std::array<std::array<std::uint16_t, 15>, 5> kBitRates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2 layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2 II and III
}};
constexpr std::array<std::uint32_t, 3> kMpeg1Rates = {44100, 48000, 32000};

constexpr std::uint32_t kMpeg1 = 3;
constexpr std::uint32_t kMpeg2 = 2;
constexpr std::uint32_t kMpeg25 = 0;

std::optional<FrameHeader> parseHeader(std::span<const std::uint8_t> at) {
    if (at.size() < 4) return std::nullopt;
    const std::uint32_t word = (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) |
                               (std::uint32_t{at[2]} << 8) | at[3];
    if ((word >> 21) != 0x7FF) return std::nullopt;
    FrameHeader header;
    header.version = (word >> 19) & 3;
    const std::uint32_t layerBits = (word >> 17) & 3;
    const std::uint32_t bitRateIndex = (word >> 12) & 15;
    const std::uint32_t rateIndex = (word >> 10) & 3;
    if (header.version == 1 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 ||
        rateIndex == 3) {
        return std::nullopt;
    }
    header.layer = 4 - layerBits;
    const bool mpeg1 = header.version == kMpeg1;
    header.rate = kMpeg1Rates[rateIndex] >> (mpeg1 ? 0 : header.version == kMpeg2 ? 1 : 2);
    header.mono = ((word >> 6) & 3) == 3;
    const std::size_t table = mpeg1 ? header.layer - 1 : (header.layer == 1 ? 3 : 4);
    const std::uint32_t bitRate = kBitRates[table][bitRateIndex] * 1000u;
    const std::uint32_t padding = (word >> 9) & 1;
    if (header.layer == 1) {
        header.bytes = (12 * bitRate / header.rate + padding) * 4;
        header.samples = 384;
    } else {
        const bool halfFrame = header.layer == 3 && !mpeg1;
        header.bytes = (halfFrame ? 72 : 144) * bitRate / header.rate + padding;
        header.samples = halfFrame ? 576 : 1152;
    }
    return header;
}

bool startsWith(std::span<const std::uint8_t> bytes, std::size_t offset, const char* text) {
    const std::size_t length = std::strlen(text);
    return offset <= bytes.size() && bytes.size() - offset >= length &&
           std::memcmp(bytes.data() + offset, text, length) == 0;
}

// The bytes of the ID3v2 tags at the start: "ID3", version, flags (bit 4:
// a 10-byte footer follows), then the size in four 7-bit bytes.
std::size_t id3v2Length(std::span<const std::uint8_t> file) {
    std::size_t at = 0;
    while (startsWith(file, at, "ID3") && file.size() - at >= 10) {
        const std::uint8_t* tag = file.data() + at;
        const std::size_t size = (std::size_t{tag[6]} << 21) | (std::size_t{tag[7]} << 14) |
                                 (std::size_t{tag[8]} << 7) | tag[9];
        const std::size_t whole = 10 + size + ((tag[5] & 0x10) ? 10 : 0);
        if (whole > file.size() - at) return file.size();
        at += whole;
    }
    return at;
}

// A Xing or Info frame follows the header and side information with its
// tag; a VBRI frame has its tag 32 bytes after the header.
bool holdsNoSound(std::span<const std::uint8_t> frame, const FrameHeader& header) {
    const std::size_t sideInfo =
        header.version == kMpeg1 ? (header.mono ? 17 : 32) : (header.mono ? 9 : 17);
    return startsWith(frame, 4 + sideInfo, "Xing") || startsWith(frame, 4 + sideInfo, "Info") ||
           startsWith(frame, 36, "VBRI");
}

// What may follow the last frame.
bool isTrailingTag(std::span<const std::uint8_t> rest) {
    return startsWith(rest, 0, "APETAGEX") || startsWith(rest, 0, "LYRICSBEGIN") ||
           (rest.size() == 128 && startsWith(rest, 0, "TAG"));
}

}  // namespace

std::optional<std::uint64_t> mpegSampleFrames(std::span<const std::uint8_t> file) {
    std::size_t at = id3v2Length(file);
    std::optional<FrameHeader> first;
    std::uint64_t samples = 0;
    while (at < file.size()) {
        const auto rest = file.subspan(at);
        const auto header = parseHeader(rest);
        if (!header) {
            if (first && isTrailingTag(rest)) break;
            return std::nullopt;
        }
        if (first && (header->version != first->version || header->layer != first->layer ||
                      header->rate != first->rate)) {
            return std::nullopt;
        }
        if (header->bytes > rest.size()) break;  // cut short
        if (first || !holdsNoSound(rest.first(header->bytes), *header)) {
            samples += header->samples;
        }
        if (!first) first = header;
        at += header->bytes;
    }
    if (!first) return std::nullopt;
    return samples;
}

}  // namespace vantoro::audio
