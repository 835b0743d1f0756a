#include "archive/pack_rle.h"

#include <algorithm>
#include <cstring>

namespace vantoro {
namespace {

constexpr std::uint8_t kRunFlag = 0x80;

class PixelRow {
public:
    PixelRow(const std::uint8_t* bytes, std::size_t bytesPerPixel, std::size_t count)
        : m_bytes(bytes), m_bytesPerPixel(bytesPerPixel), m_count(count) {}

    const std::uint8_t* at(std::size_t i) const { return m_bytes + i * m_bytesPerPixel; }
    bool same(std::size_t i, std::size_t j) const {
        return std::memcmp(at(i), at(j), m_bytesPerPixel) == 0;
    }
    // True when pixel i has a successor equal to it.
    bool startsPair(std::size_t i) const { return i + 1 < m_count && same(i, i + 1); }

private:
    const std::uint8_t* m_bytes;
    std::size_t m_bytesPerPixel;
    std::size_t m_count;
};

}  // namespace

bool RleDecode(std::span<const std::uint8_t> source, std::span<std::uint8_t> target,
               std::size_t bytesPerPixel, std::size_t expectedBytes) {
    if (bytesPerPixel == 0 || expectedBytes > target.size()) return false;
    std::size_t in = 0;
    std::size_t out = 0;
    while (out < expectedBytes) {
        if (in == source.size()) return false;
        const std::uint8_t header = source[in++];
        const std::size_t pixels = (header & 0x7Fu) + 1;
        if (pixels > (expectedBytes - out) / bytesPerPixel) return false;
        const std::size_t bytes = pixels * bytesPerPixel;
        if (header & kRunFlag) {
            if (source.size() - in < bytesPerPixel) return false;
            for (std::size_t k = 0; k < pixels; ++k) {
                std::memcpy(target.data() + out + k * bytesPerPixel, source.data() + in,
                            bytesPerPixel);
            }
            in += bytesPerPixel;
        } else {
            if (source.size() - in < bytes) return false;
            std::memcpy(target.data() + out, source.data() + in, bytes);
            in += bytes;
        }
        out += bytes;
    }
    return true;
}

std::size_t RleEncodeBound(std::size_t bytesPerPixel, std::size_t pixelCount) {
    if (bytesPerPixel >= 2)
        return pixelCount * bytesPerPixel + pixelCount / kRleMaxPacketPixels + 1;
    return pixelCount * (bytesPerPixel + 1);
}

std::optional<std::size_t> RleEncode(std::span<const std::uint8_t> source,
                                     std::span<std::uint8_t> target, std::size_t bytesPerPixel,
                                     std::size_t pixelCount) {
    if (bytesPerPixel == 0 || pixelCount > source.size() / bytesPerPixel) return std::nullopt;
    const PixelRow row(source.data(), bytesPerPixel, pixelCount);
    std::size_t out = 0;
    // Writes one packet of `pixels` pixels whose bytes start at pixel `from`.
    const auto put = [&](std::uint8_t header, std::size_t from, std::size_t pixels) {
        const std::size_t bytes = pixels * bytesPerPixel;
        if (target.size() - out < 1 + bytes) return false;
        target[out++] = header;
        std::memcpy(target.data() + out, row.at(from), bytes);
        out += bytes;
        return true;
    };
    for (std::size_t at = 0; at < pixelCount;) {
        const std::size_t limit = std::min(kRleMaxPacketPixels, pixelCount - at);
        std::size_t literal = 0;
        while (literal < limit && !row.startsPair(at + literal)) ++literal;
        if (literal > 0) {
            if (!put(static_cast<std::uint8_t>(literal - 1), at, literal)) return std::nullopt;
            at += literal;
            continue;
        }
        std::size_t run = 2;  // the pixel equals its successor
        while (run < limit && row.same(at, at + run)) ++run;
        if (!put(static_cast<std::uint8_t>(kRunFlag | (run - 1)), at, 1)) return std::nullopt;
        at += run;
    }
    return out;
}

}  // namespace vantoro
