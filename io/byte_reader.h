// Little-endian decoding of archive bytes.
//
// Every integer in the game archives is little-endian. The free functions
// below decode from a pointer the caller has already checked; ByteReader wraps
// a span and fails a read (std::nullopt / false) instead of running past its
// end, so a decoder written with it cannot read outside its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace vantoro {

// Unchecked decoders: `p` must point at enough bytes.
inline std::uint16_t decodeU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t decodeI16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(decodeU16(p));
}
inline std::uint32_t decodeU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t decodeI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(decodeU32(p));
}

inline void encodeU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void encodeU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// A cursor over bytes whose every read is bounds-checked.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t position() const { return m_position; }
    std::size_t remaining() const { return m_bytes.size() - m_position; }
    bool atEnd() const { return m_position == m_bytes.size(); }

    std::optional<std::uint8_t> readU8() {
        if (remaining() < 1) return std::nullopt;
        return m_bytes[m_position++];
    }
    std::optional<std::uint16_t> readU16() {
        if (remaining() < 2) return std::nullopt;
        const std::uint16_t v = decodeU16(m_bytes.data() + m_position);
        m_position += 2;
        return v;
    }
    std::optional<std::int16_t> readI16() {
        const auto v = readU16();
        if (!v) return std::nullopt;
        return static_cast<std::int16_t>(*v);
    }
    std::optional<std::uint32_t> readU32() {
        if (remaining() < 4) return std::nullopt;
        const std::uint32_t v = decodeU32(m_bytes.data() + m_position);
        m_position += 4;
        return v;
    }
    std::optional<std::int32_t> readI32() {
        const auto v = readU32();
        if (!v) return std::nullopt;
        return static_cast<std::int32_t>(*v);
    }
    // The next `count` bytes, or nothing when fewer remain.
    std::optional<std::span<const std::uint8_t>> readBytes(std::size_t count) {
        if (remaining() < count) return std::nullopt;
        const auto out = m_bytes.subspan(m_position, count);
        m_position += count;
        return out;
    }
    bool skip(std::size_t count) {
        if (remaining() < count) return false;
        m_position += count;
        return true;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};

}  // namespace vantoro
