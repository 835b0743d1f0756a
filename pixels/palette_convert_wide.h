// The palette row converter for processors with 512-bit byte permutes
// (AVX-512 VBMI): 64 pixels per step instead of one table load each.
// Chosen at run time; other processors keep the plain loop.
#pragma once

#include <array>
#include <cstdint>

namespace vantoro {

bool wideConvertAvailable();

// A word table split into its low and high bytes, the form the wide
// converter looks up in. Made once per table: rows are converted one call
// at a time, many only a few dozen pixels wide.
struct WidePalette {
    alignas(64) std::uint8_t low[256] = {};
    alignas(64) std::uint8_t high[256] = {};
};
WidePalette makeWidePalette(const std::array<std::uint16_t, 256>& table);

// Dst[k] := table[Src[k]] for k < count, like the plain loop, `palette`
// being made from the table. Only call it when wideConvertAvailable()
// answers true.
void convert8To16Wide(const WidePalette& palette, const std::uint8_t* src, std::uint16_t* dst,
                      std::int32_t count);

// Processors with 512-bit word operations (AVX-512 BW) convert R5G6B5 rows
// 32 words a step; wideWordsAvailable() says whether this one does.
bool wideWordsAvailable();
// Dst[k] := R5G6B5ToA1R5G5B5[Src[k]] for k < count, never touching a word
// past count. Only call it when wideWordsAvailable() answers true.
void convert16To16Wide(const std::uint16_t* src, std::uint16_t* dst, std::int32_t count);

}  // namespace vantoro
