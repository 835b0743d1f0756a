// Fixed-size copies and fills for the short codes of run-length decoders.
// Written as 8-byte moves on purpose: a compiler may turn a 32-byte memcpy
// or memset into a string instruction whose start-up costs more than the
// copy itself.
#pragma once

#include <cstdint>
#include <cstring>

namespace vantoro {

inline constexpr std::size_t kShortBlock = 32;

// Copies kShortBlock bytes; the ranges must not overlap.
inline void copyShortBlock(std::uint8_t* dst, const std::uint8_t* src) {
    for (std::size_t k = 0; k < kShortBlock; k += 8) {
        std::uint64_t word;
        std::memcpy(&word, src + k, sizeof word);
        std::memcpy(dst + k, &word, sizeof word);
    }
}

// Fills kShortBlock bytes with copies of an 8-byte pattern.
inline void fillShortBlock(std::uint8_t* dst, std::uint64_t pattern) {
    for (std::size_t k = 0; k < kShortBlock; k += 8) std::memcpy(dst + k, &pattern, sizeof pattern);
}

// A count rounded up to whole blocks: what copyBlocks and fillBlocks touch.
constexpr std::size_t blockSpan(std::size_t count) {
    return (count + kShortBlock - 1) / kShortBlock * kShortBlock;
}

// Copies `count` bytes as whole blocks: blockSpan(count) bytes are read and
// written, so both ranges must have room for that many.
inline void copyBlocks(std::uint8_t* dst, const std::uint8_t* src, std::size_t count) {
    for (std::size_t k = 0; k < count; k += kShortBlock) copyShortBlock(dst + k, src + k);
}

// Fills `count` bytes as whole blocks; blockSpan(count) bytes are written.
inline void fillBlocks(std::uint8_t* dst, std::uint64_t pattern, std::size_t count) {
    for (std::size_t k = 0; k < count; k += kShortBlock) fillShortBlock(dst + k, pattern);
}

}  // namespace vantoro
