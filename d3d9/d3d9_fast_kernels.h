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

#include "d3d9/d3d9_fast_bilinear.h"
#include "d3d9/d3d9_pipeline.h"

namespace vantoro::d3d9 {

// What a kernel is given; the pixel rectangle is already clipped.
struct FastPathJob {
    const PipelineSetup* setup = nullptr;
    const SurfaceView* target = nullptr;
    ClipRect pixels;
    const AxisTap* columnTaps = nullptr;  // indexed by x - pixels.left
    const AxisTap* rowTaps = nullptr;     // indexed by y - pixels.top
    bool linear = false;
    Rgba color;  // the clear colour, or the quad's vertex colour
};

template <typename Src, typename Dst>
constexpr bool sameColourChannels() {
    constexpr TexelLayout s = Src::kLayout;
    constexpr TexelLayout d = Dst::kLayout;
    auto same = [](ChannelBits a, ChannelBits b) { return a.shift == b.shift && a.bits == b.bits; };
    return s.bytes == d.bytes && same(s.r, d.r) && same(s.g, d.g) && same(s.b, d.b) &&
           !s.colorReadsZero && !d.colorReadsZero &&
           (s.a.bits == 0 || d.a.bits == 0 || same(s.a, d.a));
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
    for (std::int32_t y = r.top + 1; y < r.bottom; ++y)
        std::memcpy(t.at(r.left, y), first, rowBytes);
}

// Whether the column taps step one texel to the right from the first.
inline bool tapsAreContiguous(const FastPathJob& job) {
    const std::int32_t width = job.pixels.right - job.pixels.left;
    for (std::int32_t i = 1; i < width; ++i) {
        if (job.columnTaps[i].i0 != job.columnTaps[0].i0 + i) return false;
    }
    return true;
}

// One row of texels converted and stored, no test. Contiguous taps read the
// source row straight through (a loop the compiler can vectorise); the
// same texels either way.
template <typename Src, typename Dst>
void convertRow(std::uint8_t* dst, const std::uint8_t* src, const AxisTap* columns,
                std::int32_t width, bool contiguous) {
    if constexpr (std::is_same_v<Src, Dst> && Src::kSpareBits == 0) {
        if (contiguous) {
            std::memcpy(dst, src + columns[0].i0 * Src::kBytes,
                        static_cast<std::size_t>(width) * Src::kBytes);
            return;
        }
    }
    if (contiguous) {
        const std::uint8_t* from = src + columns[0].i0 * Src::kBytes;
        for (std::int32_t i = 0; i < width; ++i) {
            Dst::store(dst + i * Dst::kBytes,
                       convertTexel<Src, Dst>(Src::load(from + i * Src::kBytes)));
        }
        return;
    }
    for (std::int32_t i = 0; i < width; ++i) {
        Dst::store(dst + i * Dst::kBytes,
                   convertTexel<Src, Dst>(Src::load(src + columns[i].i0 * Src::kBytes)));
    }
}

// Blending off, texel handed through the stage unchanged, one texel per pixel.
template <typename Src, typename Dst>
void texelCopyKernel(const FastPathJob& job) {
    const PipelineSetup& p = *job.setup;
    const ClipRect& r = job.pixels;
    const std::int32_t width = r.right - r.left;
    const bool tested = p.alphaTest.enabled;
    const bool contiguous = tapsAreContiguous(job);
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        const std::uint8_t* src = p.texture.row(job.rowTaps[y - r.top].i0);
        std::uint8_t* dst = job.target->at(r.left, y);
        if (!tested) {
            convertRow<Src, Dst>(dst, src, job.columnTaps, width, contiguous);
            continue;
        }
        for (std::int32_t i = 0; i < width; ++i, dst += Dst::kBytes) {
            const typename Src::Raw raw = Src::load(src + job.columnTaps[i].i0 * Src::kBytes);
            if (!alphaTestPasses(p.alphaTest, Src::decode(raw).a)) continue;
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
    if constexpr (Src::kLayout.a.bits == 0) {
        // Every texel is opaque: a copy of the texels, or nothing.
        if (!keepOpaque) return;
        const bool contiguous = tapsAreContiguous(job);
        for (std::int32_t y = r.top; y < r.bottom; ++y) {
            convertRow<Src, Dst>(job.target->at(r.left, y),
                                 p.texture.row(job.rowTaps[y - r.top].i0), job.columnTaps,
                                 r.right - r.left, contiguous);
        }
        return;
    }
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

// What combineStage gives for MODULATE / MODULATE of TEXTURE and DIFFUSE:
// the products, which need no clamping.
inline Rgba modulateTexel(const Rgba& texel, const Rgba& diffuse) {
    return Rgba{texel.r * diffuse.r, texel.g * diffuse.g, texel.b * diffuse.b, texel.a * diffuse.a};
}

// Src texels whose colour is multiplied by one vertex colour, stored in Dst
// with alpha 1. Dst::encode rounds every channel on its own, so the stored
// value is the alpha and spare bits or-ed with one entry per colour channel,
// each entry encoded from the same product the general path forms.
template <typename Src, typename Dst>
class ModulatedTexels {
public:
    explicit ModulatedTexels(const Rgba& diffuse)
        : m_base(static_cast<std::uint32_t>(Dst::encode(Rgba{0.0f, 0.0f, 0.0f, 1.0f}))) {
        fillChannel(m_red, Src::kLayout.r, Dst::kLayout.r, [&](float t) {
            return Rgba{t * diffuse.r, 0, 0, 0};
        });
        fillChannel(m_green, Src::kLayout.g, Dst::kLayout.g, [&](float t) {
            return Rgba{0, t * diffuse.g, 0, 0};
        });
        fillChannel(m_blue, Src::kLayout.b, Dst::kLayout.b, [&](float t) {
            return Rgba{0, 0, t * diffuse.b, 0};
        });
    }

    typename Dst::Raw operator()(typename Src::Raw raw) const {
        constexpr TexelLayout s = Src::kLayout;
        return static_cast<typename Dst::Raw>(m_base |
                                              m_red[(raw >> s.r.shift) & channelMask(s.r)] |
                                              m_green[(raw >> s.g.shift) & channelMask(s.g)] |
                                              m_blue[(raw >> s.b.shift) & channelMask(s.b)]);
    }

private:
    using Table = std::array<std::uint32_t, 256>;

    template <typename Product>
    static void fillChannel(Table& table, ChannelBits from, ChannelBits to, Product product) {
        const float missing = Src::kLayout.colorReadsZero ? 0.0f : 1.0f;
        const std::uint32_t keep = channelMask(to) << to.shift;
        for (std::uint32_t code = 0; code <= channelMask(from); ++code) {
            const float texel = readChannel(code << from.shift, from, missing);
            table[code] = static_cast<std::uint32_t>(Dst::encode(product(texel))) & keep;
        }
    }

    std::uint32_t m_base;
    Table m_red{}, m_green{}, m_blue{};
};

// ModulateBinaryAlphaCopy: SRCALPHA / INVSRCALPHA / ADD with texel alpha 0
// or 1 and a vertex alpha of 1, so the source alpha is 0 or 1 too: alpha 1
// stores the modulated texel, alpha 0 gives the target pixel back.
template <typename Src, typename Dst>
void modulateBinaryAlphaKernel(const FastPathJob& job) {
    const PipelineSetup& p = *job.setup;
    const ClipRect& r = job.pixels;
    const bool keepOpaque = alphaTestPasses(p.alphaTest, 1.0f);
    const bool keepClear = alphaTestPasses(p.alphaTest, 0.0f);
    const ModulatedTexels<Src, Dst> modulated(job.color);
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        const std::uint8_t* src = p.texture.row(job.rowTaps[y - r.top].i0);
        std::uint8_t* dst = job.target->at(r.left, y);
        for (std::int32_t i = 0; i < r.right - r.left; ++i, dst += Dst::kBytes) {
            const typename Src::Raw raw = Src::load(src + job.columnTaps[i].i0 * Src::kBytes);
            if (Src::decode(raw).a == 1.0f) {
                if (keepOpaque) Dst::store(dst, modulated(raw));
            } else if (keepClear) {
                Dst::store(dst, Dst::encode(Dst::decode(Dst::load(dst))));
            }
        }
    }
}

// The alpha test, with its answers for the two alphas most pixels have (0
// outside an image's shape, 1 inside) worked out once per quad. -0 compares
// as 0 under every test function, so it shares 0's answer.
class AlphaTestShortcut {
public:
    explicit AlphaTestShortcut(const AlphaTestSetup& test)
        : m_test(test),
          m_passesZero(alphaTestPasses(test, 0.0f)),
          m_passesOne(alphaTestPasses(test, 1.0f)) {}
    bool passesZero() const { return m_passesZero; }
    bool passesOne() const { return m_passesOne; }
    bool passes(float alpha) const {
        if (alpha == 0.0f) return m_passesZero;
        if (alpha == 1.0f) return m_passesOne;
        return alphaTestPasses(m_test, alpha);
    }

private:
    AlphaTestSetup m_test;
    bool m_passesZero;
    bool m_passesOne;
};

// The general arithmetic after sampling. Shadings whose source alpha is 0
// wherever the sampled alpha is 0 say so in kAlphaFollowsSample; those whose
// bilinear quads drawBilinearSourceAlpha draws name themselves in
// kBilinearLanes (and kModulates: the texel times the vertex colour).
struct GeneralShading {
    static constexpr bool kAlphaFollowsSample = false;
    static constexpr bool kBilinearLanes = false;
    static constexpr bool kModulates = false;

    template <typename Dst>
    static void finish(const PipelineSetup& p, const AlphaTestShortcut& /*test*/, std::uint8_t* at,
                       const Rgba& texel, const Rgba& diffuse) {
        finishPixelAs<Dst>(p, at, texel, diffuse);
    }
};

// The view's default blend with a stage that hands the texel through
// unchanged: SRCALPHA, INVSRCALPHA, ADD written out, in the same operations
// and order as blendPixel, so the results are the same bits.
struct SourceAlphaShading {
    static constexpr bool kAlphaFollowsSample = true;
    static constexpr bool kBilinearLanes = true;
    static constexpr bool kModulates = false;

    template <typename Dst>
    static void finish(const PipelineSetup& /*p*/, const AlphaTestShortcut& test, std::uint8_t* at,
                       const Rgba& s, const Rgba& /*diffuse*/) {
        if (s.a == 1.0f) {
            // The target's share is d * 0 = 0 (its channels are finite), so
            // the sums below are the source's own channels; writing clamps
            // them to [0, 1] as clampUnit would.
            if (test.passesOne()) Dst::write(at, Rgba{s.r, s.g, s.b, 1.0f});
            return;
        }
        if (!test.passes(s.a)) return;
        const Rgba d = Dst::read(at);
        const float fd = 1.0f - s.a;
        Dst::write(at, Rgba{clampUnit(s.r * s.a + d.r * fd), clampUnit(s.g * s.a + d.g * fd),
                            clampUnit(s.b * s.a + d.b * fd), clampUnit(s.a * s.a + d.a * fd)});
    }
};

// SourceAlphaShading after MODULATE / MODULATE of the texel with the vertex colour.
struct ModulateSourceAlphaShading {
    static constexpr bool kAlphaFollowsSample = true;
    static constexpr bool kBilinearLanes = true;
    static constexpr bool kModulates = true;

    template <typename Dst>
    static void finish(const PipelineSetup& p, const AlphaTestShortcut& test, std::uint8_t* at,
                       const Rgba& texel, const Rgba& diffuse) {
        SourceAlphaShading::finish<Dst>(p, test, at, modulateTexel(texel, diffuse), diffuse);
    }
};

// Bilinear sampling a row at a time. The horizontal blend of a texture row
// at a column is the same for every output row that reads that texture row,
// so it is made once and kept while consecutive output rows need it; the
// vertical blend between two such rows then finishes each sample. Same
// fetches, operations and order as filterTexelsAs, so the same bits.
template <typename Src>
class FilteredRows {
public:
    FilteredRows(const SurfaceView& texture, const AxisTap* columns, std::int32_t width,
                 const Rgba& border)
        : m_texture(texture), m_columns(columns), m_width(width), m_border(border) {
        for (Slot& slot : m_slots) slot.texels.resize(static_cast<std::size_t>(width));
        // The texture columns the taps read (-1, the border, aside).
        m_first = texture.width;
        m_end = 0;
        for (std::int32_t i = 0; i < width; ++i) {
            for (const std::int32_t x : {columns[i].i0, columns[i].i1}) {
                if (x < 0) continue;
                m_first = std::min(m_first, x);
                m_end = std::max(m_end, x + 1);
            }
        }
        m_decoded.resize(static_cast<std::size_t>(std::max(m_end - m_first, 0)) + 1);
    }

    struct Rows {
        const Rgba* top;     // texture row v.i0, blended horizontally
        const Rgba* bottom;  // texture row v.i1
    };

    // The two blended rows that the output row with vertical tap v mixes.
    Rows rowsFor(const AxisTap& v) {
        const Rgba* top = find(v.i0);
        const Rgba* bottom = find(v.i1);
        if (top == nullptr) top = fill(v.i0, v.i1);
        if (bottom == nullptr) bottom = fill(v.i1, v.i0);
        return Rows{top, bottom};
    }

private:
    static constexpr std::int32_t kNoRow = -2;  // -1 is the border row

    struct Slot {
        std::int32_t row = kNoRow;
        std::vector<Rgba> texels;
    };

    const Rgba* find(std::int32_t row) const {
        for (const Slot& slot : m_slots) {
            if (slot.row == row) return slot.texels.data();
        }
        return nullptr;
    }

    // Blends texture row `row` into a slot that does not hold row `keep`.
    // The texels read are decoded once first; the border goes last.
    const Rgba* fill(std::int32_t row, std::int32_t keep) {
        Slot& slot = m_slots[0].row == keep ? m_slots[1] : m_slots[0];
        slot.row = row;
        const std::int32_t count = std::max(m_end - m_first, 0);
        for (std::int32_t x = 0; x < count; ++x)
            m_decoded[x] = fetchTexelAs<Src>(m_texture, m_first + x, row, m_border);
        m_decoded[count] = m_border;
        const auto texel = [&](std::int32_t x) { return m_decoded[x < 0 ? count : x - m_first]; };
        for (std::int32_t i = 0; i < m_width; ++i) {
            const AxisTap& u = m_columns[i];
            slot.texels[i] = lerpRgba(texel(u.i0), texel(u.i1), u.f);
        }
        return slot.texels.data();
    }

    const SurfaceView& m_texture;
    const AxisTap* m_columns;
    std::int32_t m_width;
    Rgba m_border;
    std::int32_t m_first = 0;  // decoded texture columns: [m_first, m_end)
    std::int32_t m_end = 0;
    std::array<Slot, 2> m_slots;
    std::vector<Rgba> m_decoded;
};

// Any filter and scale: the per-pixel arithmetic with the taps of each
// column and row computed once.
template <typename Src, typename Dst, typename Shading>
[[gnu::flatten]] void axisAlignedKernel(const FastPathJob& job) {
    const PipelineSetup& p = *job.setup;
    const ClipRect& r = job.pixels;
    const std::int32_t width = r.right - r.left;
    // Locals, not reloaded after every byte stored through dst.
    const Rgba color = job.color;
    const Rgba border = p.sampler.border;
    const AlphaTestShortcut test(p.alphaTest);
    if constexpr (Shading::kBilinearLanes) {
        if (job.linear && drawBilinearSourceAlpha(job, Shading::kModulates)) return;
    }
    if (job.linear) {
        FilteredRows<Src> rows(p.texture, job.columnTaps, width, border);
        for (std::int32_t y = r.top; y < r.bottom; ++y) {
            const AxisTap tv = job.rowTaps[y - r.top];
            const auto [top, bottom] = rows.rowsFor(tv);
            std::uint8_t* dst = job.target->at(r.left, y);
            for (std::int32_t i = 0; i < width; ++i, dst += Dst::kBytes) {
                // Between two transparent texels the sample's alpha is 0, and
                // so is the source's: a pixel the alpha test may drop unseen.
                if constexpr (Shading::kAlphaFollowsSample) {
                    if (top[i].a == 0.0f && bottom[i].a == 0.0f && !test.passesZero()) continue;
                }
                Shading::template finish<Dst>(p, test, dst, lerpRgba(top[i], bottom[i], tv.f),
                                              color);
            }
        }
        return;
    }
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
        const std::int32_t row = job.rowTaps[y - r.top].i0;
        std::uint8_t* dst = job.target->at(r.left, y);
        for (std::int32_t i = 0; i < width; ++i, dst += Dst::kBytes) {
            const Rgba texel = fetchTexelAs<Src>(p.texture, job.columnTaps[i].i0, row, border);
            Shading::template finish<Dst>(p, test, dst, texel, color);
        }
    }
}

}  // namespace vantoro::d3d9
