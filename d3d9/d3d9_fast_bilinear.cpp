#include "d3d9/d3d9_fast_bilinear.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

#include "d3d9/d3d9_fast_kernels.h"
#include "d3d9/d3d9_fast_lanes.h"

// Vectors pass only between inlined helpers (see d3d9_fast_lanes.h).
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vantoro::d3d9 {

namespace {

using simd::BlockNeeds;
using simd::LaneFormat;
using simd::LaneTest;

#define VANTORO_LANE_INLINE [[gnu::always_inline]] inline

// Everything the lanes read, prepared outside the vector code. Column
// arrays are padded to whole blocks; the padding reads texel 0.
struct LaneJob {
    const SurfaceView* texture = nullptr;
    const SurfaceView* target = nullptr;
    ClipRect pixels;
    const AxisTap* rowTaps = nullptr;
    std::int32_t paddedWidth = 0;
    const std::int32_t* offset0 = nullptr;  // byte offset of texel i0 in a row (0 for the border)
    const std::int32_t* offset1 = nullptr;  // the same for i1
    const std::int32_t* border0 = nullptr;  // -1 where i0 reads the border colour
    const std::int32_t* border1 = nullptr;
    const float* weight0 = nullptr;  // 1 - f, the weight of i0
    const float* weight1 = nullptr;  // f
    // Per block, the first of 2N texels that hold every tap of its columns,
    // -1 where they do not fit (the taps are then read one by one); per
    // column, where i0 and i1 lie among those texels.
    const std::int32_t* windows = nullptr;
    const std::uint32_t* window0 = nullptr;
    const std::uint32_t* window1 = nullptr;
    // The texels the windows cover, [decodedFirst, decodedFirst +
    // decodedCount), decoded once per texture row: channel c at
    // decoded + c * decodedStride.
    std::int32_t decodedFirst = 0;
    std::int32_t decodedCount = 0;
    std::int32_t decodedStride = 0;
    float* decoded = nullptr;
    bool borders = false;       // whether any tap reads the border colour
    float* rowStore = nullptr;  // two blended rows of four channels, paddedWidth each
    LaneFormat source;
    LaneFormat dest;
    std::array<float, 4> border{};
    std::array<float, 4> diffuse{};
    bool modulate = false;
    LaneTest test;
};

// The bilinear source-alpha kernel on N lanes, for texels of SrcRaw and
// target pixels of DstRaw.
template <int N, typename SrcRaw, typename DstRaw>
class LaneKernel {
    using V = simd::Vectors<N>;
    using Floats = typename V::Floats;
    using Ints = typename V::Ints;
    using UInts = typename V::UInts;
    using Channels = std::array<Floats, 4>;
    using BlockTaps = std::array<Channels, 2>;

public:
    VANTORO_LANE_INLINE explicit LaneKernel(const LaneJob& job)
        : m_job(job), m_source(job.source), m_dest(job.dest), m_test(job.test) {
        for (std::size_t c = 0; c < 4; ++c) {
            m_border[c] = V::splat(job.border[c]);
            m_diffuse[c] = V::splat(job.diffuse[c]);
        }
        for (int s = 0; s < 2; ++s) {
            for (int c = 0; c < 4; ++c) m_rows[s][c] = job.rowStore + (s * 4 + c) * job.paddedWidth;
        }
    }

    VANTORO_LANE_INLINE void draw() {
        const ClipRect& r = m_job.pixels;
        for (std::int32_t y = r.top; y < r.bottom; ++y) {
            const AxisTap tv = m_job.rowTaps[y - r.top];
            const int top = slotFor(tv.i0, tv.i1);
            const int bottom = slotFor(tv.i1, tv.i0);
            shadeRow(m_rows[top], m_rows[bottom], tv.f, m_job.target->at(r.left, y));
        }
    }

private:
    // The slot holding texture row `row` blended, filled into the slot that
    // does not hold `keep` when neither has it (as FilteredRows keeps them).
    VANTORO_LANE_INLINE int slotFor(std::int32_t row, std::int32_t keep) {
        for (int s = 0; s < 2; ++s) {
            if (m_slotRows[s] == row) return s;
        }
        const int s = m_slotRows[0] == keep ? 1 : 0;
        m_slotRows[s] = row;
        blendTextureRow(row, m_rows[s]);
        return s;
    }

    // One texture row blended between the taps of every column, as
    // FilteredRows does: p * (1 - f) + q * f per channel.
    VANTORO_LANE_INLINE void blendTextureRow(std::int32_t row, float* const out[4]) {
        const std::uint8_t* src = m_job.texture->row(std::max(row, 0));
        const Ints rowBorder = V::splatI(row < 0 ? -1 : 0);
        decodeWindows(src);
        for (std::int32_t b = 0; b < m_job.paddedWidth; b += N) {
            BlockTaps taps = blockTaps(src, b);
            if (m_job.borders) applyBorder(taps, b, rowBorder);
            const Floats w0 = V::template load<Floats>(m_job.weight0 + b);
            const Floats w1 = V::template load<Floats>(m_job.weight1 + b);
            for (std::size_t c = 0; c < 4; ++c) {
                const Floats v = taps[0][c] * w0 + taps[1][c] * w1;
                std::memcpy(out[c] + b, &v, sizeof v);
            }
        }
    }

    // The texels the windows cover, decoded into per-channel arrays.
    VANTORO_LANE_INLINE void decodeWindows(const std::uint8_t* src) {
        const std::uint8_t* from =
            src + static_cast<std::ptrdiff_t>(m_job.decodedFirst) * sizeof(SrcRaw);
        for (std::int32_t x = 0; x < m_job.decodedCount; x += N) {
            const UInts raws = V::template loadRaws<SrcRaw>(from + x * sizeof(SrcRaw),
                                                            std::min(N, m_job.decodedCount - x));
            for (std::size_t c = 0; c < 4; ++c) {
                const Floats v = V::decodeChannel(raws, m_source, c);
                std::memcpy(m_job.decoded + c * m_job.decodedStride + x, &v, sizeof v);
            }
        }
    }

    // The decoded texels of taps i0 and i1 of one block of columns: picked
    // from the block's window where it has one, else read one by one.
    VANTORO_LANE_INLINE BlockTaps blockTaps(const std::uint8_t* src, std::int32_t b) const {
        BlockTaps taps;
#if !defined(__clang__)          // clang has no variable two-vector shuffle: it reads tap by tap
        if constexpr (N >= 8) {  // variable shuffles: AVX2 and wider
            if (const std::int32_t window = m_job.windows[b / N]; window >= 0) {
                const UInts at0 = V::template load<UInts>(m_job.window0 + b);
                const UInts at1 = V::template load<UInts>(m_job.window1 + b);
                const float* at = m_job.decoded + (window - m_job.decodedFirst);
                for (std::size_t c = 0; c < 4; ++c, at += m_job.decodedStride) {
                    const Floats low = V::template load<Floats>(at);
                    const Floats high = V::template load<Floats>(at + N);
                    taps[0][c] = __builtin_shuffle(low, high, at0);
                    taps[1][c] = __builtin_shuffle(low, high, at1);
                }
                return taps;
            }
        }
#endif
        const UInts raws0 = V::template gatherRaws<SrcRaw>(src, m_job.offset0 + b);
        const UInts raws1 = V::template gatherRaws<SrcRaw>(src, m_job.offset1 + b);
        for (std::size_t c = 0; c < 4; ++c) {
            taps[0][c] = V::decodeChannel(raws0, m_source, c);
            taps[1][c] = V::decodeChannel(raws1, m_source, c);
        }
        return taps;
    }

    // Taps (or the whole row, -1) that read the border colour take it.
    VANTORO_LANE_INLINE void applyBorder(BlockTaps& taps, std::int32_t b, Ints rowBorder) const {
        const Ints border0 = V::template load<Ints>(m_job.border0 + b) | rowBorder;
        const Ints border1 = V::template load<Ints>(m_job.border1 + b) | rowBorder;
        for (std::size_t c = 0; c < 4; ++c) {
            taps[0][c] = border0 ? m_border[c] : taps[0][c];
            taps[1][c] = border1 ? m_border[c] : taps[1][c];
        }
    }

    // lerpRgba between the two rows, then modulateTexel where the stage
    // modulates.
    VANTORO_LANE_INLINE Floats sample(const float* const top[4], const float* const bottom[4],
                                      std::int32_t b, std::size_t c, float g, float f) const {
        const Floats v =
            V::template load<Floats>(top[c] + b) * g + V::template load<Floats>(bottom[c] + b) * f;
        return m_job.modulate ? v * m_diffuse[c] : v;
    }

    VANTORO_LANE_INLINE void shadeRow(const float* const top[4], const float* const bottom[4],
                                      float f, std::uint8_t* dst) const {
        const float g = 1.0f - f;
        const std::int32_t width = m_job.pixels.right - m_job.pixels.left;
        for (std::int32_t b = 0; b < width; b += N, dst += N * sizeof(DstRaw)) {
            Channels s;
            s[3] = sample(top, bottom, b, 3, g, f);
            const Ints pass = m_test(s[3]);
            const BlockNeeds needs = V::needsOf(pass, s[3] != 1.0f);
            if (!needs.anyPass) continue;
            for (std::size_t c = 0; c < 3; ++c) s[c] = sample(top, bottom, b, c, g, f);
            finishBlock(s, pass, needs, dst, std::min(N, width - b));
        }
    }

    // SourceAlphaShading for the lanes that pass the test: the texel's
    // colour where its alpha is 1, otherwise s * a + d * (1 - a) in every
    // channel (the same bytes where a is 1: d * 0 adds nothing). Failing
    // lanes keep their pixel untouched.
    VANTORO_LANE_INLINE void finishBlock(const Channels& s, Ints pass, const BlockNeeds& needs,
                                         std::uint8_t* dst, int count) const {
        if (!needs.anyBlend) {
            const UInts raws = V::encode({s[0], s[1], s[2], V::splat(1.0f)}, m_dest);
            V::template storeRaws<DstRaw>(
                dst,
                needs.allPass ? raws : (pass ? raws : V::template loadRaws<DstRaw>(dst, count)),
                count);
            return;
        }
        const UInts old = V::template loadRaws<DstRaw>(dst, count);
        const Floats fd = 1.0f - s[3];
        Channels out;
        for (std::size_t c = 0; c < 4; ++c)
            out[c] = s[c] * s[3] + V::decodeChannel(old, m_dest, c) * fd;
        V::template storeRaws<DstRaw>(dst, pass ? V::encode(out, m_dest) : old, count);
    }

    const LaneJob& m_job;
    typename V::Codec m_source;
    typename V::Codec m_dest;
    typename V::Test m_test;
    Channels m_border;
    Channels m_diffuse;
    std::int32_t m_slotRows[2] = {-2, -2};  // -2: none yet (-1 is the border row)
    float* m_rows[2][4] = {};
};

template <int N>
VANTORO_LANE_INLINE void drawLanesWith(const LaneJob& job) {
    if (job.source.bytes == 4) {
        if (job.dest.bytes == 4)
            LaneKernel<N, std::uint32_t, std::uint32_t>(job).draw();
        else
            LaneKernel<N, std::uint32_t, std::uint16_t>(job).draw();
    } else {
        if (job.dest.bytes == 4)
            LaneKernel<N, std::uint16_t, std::uint32_t>(job).draw();
        else
            LaneKernel<N, std::uint16_t, std::uint16_t>(job).draw();
    }
}

#undef VANTORO_LANE_INLINE

// One build per instruction set, each with vectors of its register width.
__attribute__((target("arch=x86-64-v4"))) void drawLanes16(const LaneJob& job) {
    drawLanesWith<16>(job);
}
__attribute__((target("avx2"))) void drawLanes8(const LaneJob& job) {
    drawLanesWith<8>(job);
}
void drawLanes4(const LaneJob& job) {
    drawLanesWith<4>(job);
}

int widestLanes() {
    static const int widest = [] {
        __builtin_cpu_init();
#if defined(__clang__)  // clang names the features, not the level
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512dq") &&
            __builtin_cpu_supports("avx512vl"))
            return 16;
#else
        if (__builtin_cpu_supports("x86-64-v4")) return 16;
#endif
        if (__builtin_cpu_supports("avx2")) return 8;
        return 4;
    }();
    return widest;
}

std::atomic<int> g_lanes{0};  // 0: the processor's widest

bool readsAsLanes(const LaneFormat& f) {
    return f.bytes == 2 || f.bytes == 4;
}

// The column arrays of a job, padded to whole blocks of `lanes`; windows of
// 2 * lanes texels where the width has variable shuffles.
struct LaneColumns {
    LaneColumns(const FastPathJob& job, std::int32_t lanes, std::int32_t padded, std::int32_t bytes)
        : offset0(padded),
          offset1(padded),
          border0(padded),
          border1(padded),
          weight0(padded, 1.0f),
          weight1(padded),
          windows(padded / lanes, -1),
          window0(padded),
          window1(padded) {
        const std::int32_t width = job.pixels.right - job.pixels.left;
        for (std::int32_t i = 0; i < width; ++i) {
            const AxisTap& u = job.columnTaps[i];
            offset0[i] = std::max(u.i0, 0) * bytes;
            offset1[i] = std::max(u.i1, 0) * bytes;
            border0[i] = u.i0 < 0 ? -1 : 0;
            border1[i] = u.i1 < 0 ? -1 : 0;
            weight0[i] = 1.0f - u.f;  // as lerpRgba forms it
            weight1[i] = u.f;
        }
        borders =
            std::any_of(border0.begin(), border0.end(), [](std::int32_t v) { return v != 0; }) ||
            std::any_of(border1.begin(), border1.end(), [](std::int32_t v) { return v != 0; });
        if (lanes < 8) return;
        for (std::int32_t b = 0; b < width; b += lanes) {
            placeWindow(job.columnTaps + b, std::min(lanes, width - b), 2 * lanes,
                        job.setup->texture.width, b);
        }
        std::int32_t first = job.setup->texture.width;
        std::int32_t end = 0;
        for (const std::int32_t w : windows) {
            if (w < 0) continue;
            first = std::min(first, w);
            end = std::max(end, w + 2 * lanes);
        }
        decodedFirst = end > 0 ? first : 0;
        decodedCount = end > 0 ? end - first : 0;
        decodedStride = (decodedCount + lanes - 1) / lanes * lanes;
    }

    // Taps that read the border take any place; the window stays inside
    // the texture row.
    void placeWindow(const AxisTap* taps, std::int32_t count, std::int32_t size,
                     std::int32_t textureWidth, std::int32_t b) {
        std::int32_t lo = textureWidth;
        std::int32_t hi = -1;
        for (std::int32_t i = 0; i < count; ++i) {
            for (const std::int32_t x : {taps[i].i0, taps[i].i1}) {
                if (x < 0) continue;
                lo = std::min(lo, x);
                hi = std::max(hi, x);
            }
        }
        if (hi < 0 || hi - lo >= size || lo + size > textureWidth) return;
        windows[static_cast<std::size_t>(b / (size / 2))] = lo;
        for (std::int32_t i = 0; i < count; ++i) {
            window0[b + i] = static_cast<std::uint32_t>(std::max(taps[i].i0 - lo, 0));
            window1[b + i] = static_cast<std::uint32_t>(std::max(taps[i].i1 - lo, 0));
        }
    }

    // Points the job at the arrays.
    void describe(LaneJob& lanes) const {
        lanes.offset0 = offset0.data();
        lanes.offset1 = offset1.data();
        lanes.border0 = border0.data();
        lanes.border1 = border1.data();
        lanes.weight0 = weight0.data();
        lanes.weight1 = weight1.data();
        lanes.windows = windows.data();
        lanes.window0 = window0.data();
        lanes.window1 = window1.data();
        lanes.decodedFirst = decodedFirst;
        lanes.decodedCount = decodedCount;
        lanes.decodedStride = decodedStride;
        lanes.borders = borders;
    }

    std::vector<std::int32_t> offset0, offset1, border0, border1;
    std::vector<float> weight0, weight1;
    std::vector<std::int32_t> windows;
    std::vector<std::uint32_t> window0, window1;
    std::int32_t decodedFirst = 0;
    std::int32_t decodedCount = 0;
    std::int32_t decodedStride = 0;
    bool borders = false;  // whether a column tap reads the border colour
};

void runLanes(const LaneJob& job, int lanes) {
    switch (lanes) {
        case 16:
            drawLanes16(job);
            break;
        case 8:
            drawLanes8(job);
            break;
        default:
            drawLanes4(job);
            break;
    }
}

}  // namespace

int bilinearLaneWidth() {
    const int lanes = g_lanes.load();
    return lanes != 0 ? lanes : widestLanes();
}

void setBilinearLaneWidth(int lanes) {
    const int widest = widestLanes();
    g_lanes.store(lanes >= 16 ? widest : lanes >= 8 ? std::min(8, widest) : 4);
}

bool drawBilinearSourceAlpha(const FastPathJob& job, bool modulate) {
    const PipelineSetup& p = *job.setup;
    LaneJob lanes;
    lanes.source = simd::laneFormatOf(p.texture.format);
    lanes.dest = simd::laneFormatOf(job.target->format);
    if (!readsAsLanes(lanes.source) || !readsAsLanes(lanes.dest)) return false;
    const int n = bilinearLaneWidth();
    const std::int32_t width = job.pixels.right - job.pixels.left;
    const std::int32_t height = job.pixels.bottom - job.pixels.top;
    const std::int32_t padded = (width + n - 1) / n * n;
    const LaneColumns columns(job, n, padded, lanes.source.bytes);
    std::vector<float> rowStore(static_cast<std::size_t>(padded) * 8);
    std::vector<float> decoded(static_cast<std::size_t>(columns.decodedStride) * 4);
    columns.describe(lanes);
    lanes.borders =
        lanes.borders || std::any_of(job.rowTaps, job.rowTaps + height,
                                     [](const AxisTap& v) { return v.i0 < 0 || v.i1 < 0; });
    lanes.texture = &p.texture;
    lanes.target = job.target;
    lanes.pixels = job.pixels;
    lanes.rowTaps = job.rowTaps;
    lanes.paddedWidth = padded;
    lanes.decoded = decoded.data();
    lanes.rowStore = rowStore.data();
    const Rgba& b = p.sampler.border;
    lanes.border = {b.r, b.g, b.b, b.a};
    lanes.diffuse = {job.color.r, job.color.g, job.color.b, job.color.a};
    lanes.modulate = modulate;
    lanes.test = simd::laneTestOf(p.alphaTest);
    runLanes(lanes, n);
    return true;
}

}  // namespace vantoro::d3d9
