// Synthetic sprites for the decode benchmarks: sizes from 32x32 to 256x256,
// an opaque ellipse of shaded colour with a little noise on a transparent
// ground, so run-length and zlib coders see data shaped like game art.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/m2_def_writer.h"

namespace vantoro::bench {

struct Sprite {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::int16_t px = 0;
    std::int16_t py = 0;
    std::vector<std::uint8_t> indices;  // palette indices, 0 outside the ellipse
    std::vector<std::uint16_t> r5g6b5;  // the same picture as R5G6B5, 0 outside
    std::vector<std::uint16_t> a4r4g4b4;

    std::uint64_t pixelCount() const { return static_cast<std::uint64_t>(width) * height; }
};

inline constexpr int kSpriteCount = 1000;

// The same sprites on every call (fixed seed).
const std::vector<Sprite>& benchSprites();

// A sprite as a Mir2 archive image: its palette indices, or with
// `sixteenBit` its R5G6B5 words.
testing::M2Image m2ImageOf(const Sprite& sprite, bool sixteenBit);

}  // namespace vantoro::bench
