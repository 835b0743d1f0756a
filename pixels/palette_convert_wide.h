// The palette row converter for processors with 512-bit byte permutes
// (AVX-512 VBMI): 64 pixels per step instead of one table load each.
// Chosen at run time; other processors keep the plain loop.
#pragma once

#include <array>
#include <cstdint>

namespace vantoro {

bool wideConvertAvailable();

// Dst[k] := table[Src[k]] for k < count, like the plain loop. Only call it
// when wideConvertAvailable() answers true.
void convert8To16Wide(const std::array<std::uint16_t, 256>& table, const std::uint8_t* src,
                      std::uint16_t* dst, std::int32_t count);

}  // namespace vantoro
