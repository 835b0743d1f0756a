#include "pixels/palette_convert_wide.h"

// GCC 12's AVX-512 headers build their extract intrinsics on an undefined
// register and then warn about it being used uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

namespace vantoro {

WidePalette makeWidePalette(const std::array<std::uint16_t, 256>& table) {
    WidePalette palette;
    for (int i = 0; i < 256; ++i) {
        palette.low[i] = static_cast<std::uint8_t>(table[i]);
        palette.high[i] = static_cast<std::uint8_t>(table[i] >> 8);
    }
    return palette;
}

bool wideConvertAvailable() {
    static const bool available = __builtin_cpu_supports("avx512f") &&
                                  __builtin_cpu_supports("avx512bw") &&
                                  __builtin_cpu_supports("avx512vbmi");
    return available;
}

namespace {

// The palette's byte planes, each held in four registers of 64 bytes.
struct TablePlanes {
    __m512i low[4];
    __m512i high[4];
};

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) TablePlanes loadPlanes(
    const WidePalette& palette) {
    TablePlanes planes;
    for (int r = 0; r < 4; ++r) {
        planes.low[r] = _mm512_load_si512(palette.low + 64 * r);
        planes.high[r] = _mm512_load_si512(palette.high + 64 * r);
    }
    return planes;
}

// One plane looked up for 64 indices: a two-register permute covers 128
// entries, so indices below 128 and from 128 up are looked up separately
// and merged by their top bit.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i lookUp(
    const __m512i (&plane)[4], __m512i indices, __mmask64 upperHalf) {
    const __m512i lower = _mm512_permutex2var_epi8(plane[0], indices, plane[1]);
    const __m512i upper = _mm512_permutex2var_epi8(plane[2], indices, plane[3]);
    return _mm512_mask_blend_epi8(upperHalf, lower, upper);
}

// 32 low bytes and 32 high bytes into 32 little-endian words.
__attribute__((target("avx512f,avx512bw"))) inline __m512i joinWords(__m256i low, __m256i high) {
    return _mm512_or_si512(_mm512_cvtepu8_epi16(low),
                           _mm512_slli_epi16(_mm512_cvtepu8_epi16(high), 8));
}

}  // namespace

// Up to 64 pixels: the indices at src are loaded, and the words stored,
// only where `pixels` (one bit a pixel) says, so a short row or a row's
// tail takes one masked step instead of a loop.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline void convertStep(
    const TablePlanes& planes, const std::uint8_t* src, std::uint16_t* dst, __mmask64 pixels) {
    const __m512i indices = _mm512_maskz_loadu_epi8(pixels, src);
    const __mmask64 upperHalf = _mm512_movepi8_mask(indices);
    const __m512i low = lookUp(planes.low, indices, upperHalf);
    const __m512i high = lookUp(planes.high, indices, upperHalf);
    _mm512_mask_storeu_epi16(dst, static_cast<__mmask32>(pixels),
                             joinWords(_mm512_castsi512_si256(low), _mm512_castsi512_si256(high)));
    _mm512_mask_storeu_epi16(
        dst + 32, static_cast<__mmask32>(pixels >> 32),
        joinWords(_mm512_extracti64x4_epi64(low, 1), _mm512_extracti64x4_epi64(high, 1)));
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void convert8To16Wide(
    const WidePalette& palette, const std::uint8_t* src, std::uint16_t* dst, std::int32_t count) {
    const TablePlanes planes = loadPlanes(palette);
    std::int32_t k = 0;
    for (; k + 64 <= count; k += 64) convertStep(planes, src + k, dst + k, ~__mmask64{0});
    if (k < count) {
        const __mmask64 tail = (__mmask64{1} << (count - k)) - 1;
        convertStep(planes, src + k, dst + k, tail);
    }
}

bool wideWordsAvailable() {
    static const bool available =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return available;
}

// 32 words a step, the last step masked to the row's end: red and the top
// five green bits shift down by one, blue stays, the alpha bit is set, and
// 0 stays 0.
__attribute__((target("avx512f,avx512bw"))) void convert16To16Wide(const std::uint16_t* src,
                                                                   std::uint16_t* dst,
                                                                   std::int32_t count) {
    const __m512i redGreen = _mm512_set1_epi16(0x7FE0);
    const __m512i blue = _mm512_set1_epi16(0x001F);
    const __m512i alpha = _mm512_set1_epi16(static_cast<short>(0x8000));
    for (std::int32_t k = 0; k < count; k += 32) {
        const std::int32_t left = count - k;
        const __mmask32 words = left >= 32 ? ~__mmask32{0} : (__mmask32{1} << left) - 1;
        const __m512i v = _mm512_maskz_loadu_epi16(words, src + k);
        const __m512i opaque =
            _mm512_or_si512(_mm512_or_si512(_mm512_and_si512(_mm512_srli_epi16(v, 1), redGreen),
                                            _mm512_and_si512(v, blue)),
                            alpha);
        const __mmask32 nonZero = _mm512_test_epi16_mask(v, v);
        _mm512_mask_storeu_epi16(dst + k, words, _mm512_maskz_mov_epi16(nonZero, opaque));
    }
}

}  // namespace vantoro

#pragma GCC diagnostic pop
