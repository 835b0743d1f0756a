// The kernels behind the fast-path table, as templates over the texture
// format (Src) and the target format (Dst). Each ends in the same texel
// conversions, stage, test and blend functions as the general path.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "render/d3d9/d3d9_pipeline.h"

namespace vantoro::d3d9 {

// What a kernel is given; the pixel rectangle is already clipped.
struct FastPathJob {
    const PipelineSetup* setup = nullptr;
    const SurfaceView* target = nullptr;
    ClipRect pixels;
    const AxisTap* columnTaps = nullptr;  // indexed by x - pixels.left
    const AxisTap* rowTaps = nullptr;     // indexed by y - pixels.top
    bool linear = false;
    Rgba color;    // the clear colour, or the quad's vertex colour
};

template <typename Src, typename Dst>
constexpr bool sameColourChannels() {
    constexpr TexelLayout s = Src::kLayout;
    constexpr TexelLayout d = Dst::kLayout;
    auto same = [](ChannelBits a, ChannelBits b) { return a.shift == b.shift && a.bits == b.bits; };
    return s.bytes == d.bytes && same(s.r, d.r) && same(s.g, d.g) && same(s.b, d.b) && !s.colorReadsZero &&
           !d.colorReadsZero && (s.a.bits == 0 || d.a.bits == 0 || same(s.a, d.a));
}

// Src texel stored as Dst: decode then encode, as the general path does.
// Where both hold the same colour channels that round trip is exact, so
// the bits are moved directly: colour kept, a missing source alpha reads as
// all ones, unused target bits are written as ones. 16-bit sources of any
// other kind go through a table made by the round trip itself.
template <typename Src, typename Dst>
typename Dst::Raw convertTexel(typename Src::Raw raw) {
    if constexpr (std::is_same_v<Src, Dst> && Src::kSpareBits == 0) {
        return raw;
    } else if constexpr (sameColourChannels<Src, Dst>()) {
        constexpr TexelLayout d = Dst::kLayout;
        constexpr std::uint32_t colour = Dst::kUsedBits & ~(channelMask(d.a) << d.a.shift);
        constexpr std::uint32_t alpha = channelMask(d.a) << d.a.shift;
        const std::uint32_t sourceAlpha = Src::kLayout.a.bits != 0 ? (raw & alpha) : alpha;
        return static_cast<typename Dst::Raw>((raw & colour) | sourceAlpha | Dst::kSpareBits);
    } else if constexpr (Src::kBytes == 2) {
        static const std::unique_ptr<typename Dst::Raw[]> table = [] {
            auto t = std::make_unique<typename Dst::Raw[]>(65536);
            for (std::uint32_t v = 0; v < 65536; ++v) {
                t[v] = Dst::encode(Src::decode(static_cast<typename Src::Raw>(v)));
            }
            return t;
        }();
        return table[raw];
    } else {
        return Dst::encode(Src::decode(raw));
    }
}

template <typename Dst>
void fillKernel(const FastPathJob& job) {
    const SurfaceView& t = *job.target;
    const ClipRect& r = job.pixels;
    const typename Dst::Raw value = Dst::encode(job.color);
    const std::size_t rowBytes = static_cast<std::size_t>(r.right - r.left) * Dst::kBytes;
    std::uint8_t* first = t.at(r.left, r.top);
    for (std::int32_t x = 0; x < r.right - r.left; ++x) Dst::store(first + x * Dst::kBytes, value);
    for (std::int32_t y = r.top + 1; y < r.bottom; ++y) std::memcpy(t.at(r.left, y), first, rowBytes);
}

// Whether the column taps step one texel to the right from the first.
inline bool tapsAreContiguous(const FastPathJob& job) {
    const std::int32_t width = job.pixels.right - job.pixels.left;
    for (std::int32_t i = 1; i < width; ++i) {
        if (job.columnTaps[i].i0 != job.columnTaps[0].i0 + i) return false;
    }
    return true;
}

// Blending off, texel handed through the stage unchanged, one texel per pixel.
template <typename Src, typename Dst>
void texelCopyKernel(const FastPathJob& job) {
    const PipelineSetup& p = *job.setup;
    const ClipRect& r = job.pixels;
    const std::int32_t width = r.right - r.left;
    const bool tested = p.alphaTest.enabled;
    const bool rowCopy = !tested && std::is_same_v<Src, Dst> && Src::kSpareBits == 0 && tapsAreContiguous(job);
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        const std::uint8_t* src = p.texture.row(job.rowTaps[y - r.top].i0);
        std::uint8_t* dst = job.target->at(r.left, y);
        if (rowCopy) {
            std::memcpy(dst, src + job.columnTaps[0].i0 * Src::kBytes, static_cast<std::size_t>(width) * Src::kBytes);
            continue;
        }
        for (std::int32_t i = 0; i < width; ++i, dst += Dst::kBytes) {
            const typename Src::Raw raw = Src::load(src + job.columnTaps[i].i0 * Src::kBytes);
            if (tested && !alphaTestPasses(p.alphaTest, Src::decode(raw).a)) continue;
            Dst::store(dst, convertTexel<Src, Dst>(raw));
        }
    }
}

// SRCALPHA / INVSRCALPHA / ADD where every texel's alpha is 0 or 1: alpha 1
// gives the texel, alpha 0 gives the target pixel back (rewritten, as the
// general path rewrites it).
template <typename Src, typename Dst>
void binaryAlphaKernel(const FastPathJob& job) {
    const PipelineSetup& p = *job.setup;
    const ClipRect& r = job.pixels;
    const bool keepOpaque = alphaTestPasses(p.alphaTest, 1.0f);
    const bool keepClear = alphaTestPasses(p.alphaTest, 0.0f);
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        const std::uint8_t* src = p.texture.row(job.rowTaps[y - r.top].i0);
        std::uint8_t* dst = job.target->at(r.left, y);
        for (std::int32_t i = 0; i < r.right - r.left; ++i, dst += Dst::kBytes) {
            const typename Src::Raw raw = Src::load(src + job.columnTaps[i].i0 * Src::kBytes);
            if (Src::decode(raw).a == 1.0f) {
                if (keepOpaque) Dst::store(dst, convertTexel<Src, Dst>(raw));
            } else if (keepClear) {
                Dst::store(dst, Dst::encode(Dst::decode(Dst::load(dst))));
            }
        }
    }
}

// The general arithmetic after sampling.
struct GeneralShading {
    template <typename Dst>
    static void finish(const PipelineSetup& p, std::uint8_t* at, const Rgba& texel, const Rgba& diffuse) {
        finishPixelAs<Dst>(p, at, texel, diffuse);
    }
};

// The view's default blend with a stage that hands the texel through
// unchanged: SRCALPHA, INVSRCALPHA, ADD written out, in the same operations
// and order as blendPixel, so the results are the same bits.
struct SourceAlphaShading {
    template <typename Dst>
    static void finish(const PipelineSetup& p, std::uint8_t* at, const Rgba& s, const Rgba& /*diffuse*/) {
        if (!alphaTestPasses(p.alphaTest, s.a)) return;
        const Rgba d = Dst::read(at);
        const float fd = 1.0f - s.a;
        Dst::write(at, Rgba{clampUnit(s.r * s.a + d.r * fd), clampUnit(s.g * s.a + d.g * fd),
                            clampUnit(s.b * s.a + d.b * fd), clampUnit(s.a * s.a + d.a * fd)});
    }
};

// Any filter and scale: the per-pixel arithmetic with the taps of each
// column and row computed once.
template <typename Src, typename Dst, typename Shading>
void axisAlignedKernel(const FastPathJob& job) {
    const PipelineSetup& p = *job.setup;
    const ClipRect& r = job.pixels;
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        const AxisTap& tv = job.rowTaps[y - r.top];
        std::uint8_t* dst = job.target->at(r.left, y);
        for (std::int32_t i = 0; i < r.right - r.left; ++i, dst += Dst::kBytes) {
            const Rgba texel = filterTexelsAs<Src>(p.texture, job.columnTaps[i], tv, job.linear, p.sampler.border);
            Shading::template finish<Dst>(p, dst, texel, job.color);
        }
    }
}

}  // namespace vantoro::d3d9
