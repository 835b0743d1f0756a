#include "d3d9/d3d9_fast_paths.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <optional>
#include <vector>

#include "d3d9/d3d9_fast_kernels.h"

namespace vantoro::d3d9 {

namespace {

std::atomic<bool> g_enabled{true};
std::array<std::atomic<std::uint64_t>, 7> g_useCounts{};

using Kernel = void (*)(const FastPathJob&);

struct Entry {
    FastPathKey key;
    Kernel kernel;
};

bool operator<(const FastPathKey& a, const FastPathKey& b) {
    if (a.kind != b.kind) return a.kind < b.kind;
    if (a.source != b.source) return a.source < b.source;
    return a.target < b.target;
}

template <FastPathKind K, std::uint32_t S, std::uint32_t D>
void kernelFor(const FastPathJob& job) {
    if constexpr (K == FastPathKind::Clear) {
        fillKernel<Texel<D>>(job);
    } else if constexpr (K == FastPathKind::TexelCopy) {
        texelCopyKernel<Texel<S>, Texel<D>>(job);
    } else if constexpr (K == FastPathKind::BinaryAlphaCopy) {
        binaryAlphaKernel<Texel<S>, Texel<D>>(job);
    } else if constexpr (K == FastPathKind::ModulateBinaryAlphaCopy) {
        modulateBinaryAlphaKernel<Texel<S>, Texel<D>>(job);
    } else if constexpr (K == FastPathKind::SourceAlphaQuad) {
        axisAlignedKernel<Texel<S>, Texel<D>, SourceAlphaShading>(job);
    } else if constexpr (K == FastPathKind::ModulateSourceAlphaQuad) {
        axisAlignedKernel<Texel<S>, Texel<D>, ModulateSourceAlphaShading>(job);
    } else {
        axisAlignedKernel<Texel<S>, Texel<D>, GeneralShading>(job);
    }
}

// Formats the table covers on either side: the view's textures and every
// back-buffer candidate.
template <FastPathKind K, std::uint32_t S>
void addRow(std::vector<Entry>& table) {
    for (const Entry& e : {Entry{{K, S, D3DFMT_A8R8G8B8}, &kernelFor<K, S, D3DFMT_A8R8G8B8>},
                           Entry{{K, S, D3DFMT_X8R8G8B8}, &kernelFor<K, S, D3DFMT_X8R8G8B8>},
                           Entry{{K, S, D3DFMT_R5G6B5}, &kernelFor<K, S, D3DFMT_R5G6B5>},
                           Entry{{K, S, D3DFMT_X1R5G5B5}, &kernelFor<K, S, D3DFMT_X1R5G5B5>},
                           Entry{{K, S, D3DFMT_A1R5G5B5}, &kernelFor<K, S, D3DFMT_A1R5G5B5>},
                           Entry{{K, S, D3DFMT_A4R4G4B4}, &kernelFor<K, S, D3DFMT_A4R4G4B4>}}) {
        table.push_back(e);
    }
}

template <FastPathKind K>
void addTexturedKind(std::vector<Entry>& table) {
    addRow<K, D3DFMT_A8R8G8B8>(table);
    addRow<K, D3DFMT_X8R8G8B8>(table);
    addRow<K, D3DFMT_R5G6B5>(table);
    addRow<K, D3DFMT_X1R5G5B5>(table);
    addRow<K, D3DFMT_A1R5G5B5>(table);
    addRow<K, D3DFMT_A4R4G4B4>(table);
}

const std::vector<Entry>& table() {
    static const std::vector<Entry> entries = [] {
        std::vector<Entry> t;
        addRow<FastPathKind::Clear, 0>(t);
        addTexturedKind<FastPathKind::TexelCopy>(t);
        // Only textures whose alpha is always 0 or 1.
        addRow<FastPathKind::BinaryAlphaCopy, D3DFMT_X8R8G8B8>(t);
        addRow<FastPathKind::BinaryAlphaCopy, D3DFMT_R5G6B5>(t);
        addRow<FastPathKind::BinaryAlphaCopy, D3DFMT_X1R5G5B5>(t);
        addRow<FastPathKind::BinaryAlphaCopy, D3DFMT_A1R5G5B5>(t);
        addRow<FastPathKind::ModulateBinaryAlphaCopy, D3DFMT_X8R8G8B8>(t);
        addRow<FastPathKind::ModulateBinaryAlphaCopy, D3DFMT_R5G6B5>(t);
        addRow<FastPathKind::ModulateBinaryAlphaCopy, D3DFMT_X1R5G5B5>(t);
        addRow<FastPathKind::ModulateBinaryAlphaCopy, D3DFMT_A1R5G5B5>(t);
        addTexturedKind<FastPathKind::AxisAlignedQuad>(t);
        addTexturedKind<FastPathKind::SourceAlphaQuad>(t);
        addTexturedKind<FastPathKind::ModulateSourceAlphaQuad>(t);
        std::sort(t.begin(), t.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
        return t;
    }();
    return entries;
}

Kernel lookup(const FastPathKey& key) {
    const auto& t = table();
    const auto it = std::lower_bound(
        t.begin(), t.end(), key, [](const Entry& e, const FastPathKey& k) { return e.key < k; });
    if (it == t.end() || key < it->key) return nullptr;
    return it->kernel;
}

// An axis-aligned rectangle with one colour, u a function of x only and v
// of y only; its edges in pixel space and the coordinates on them.
struct AxisAlignedQuad {
    double left, right, top, bottom;
    double uLeft, uRight, vTop, vBottom;
    Rgba diffuse;
};

bool sameVertex(const RasterVertex& a, const RasterVertex& b) {
    return a.x == b.x && a.y == b.y && a.u == b.u && a.v == b.v && a.diffuse.r == b.diffuse.r &&
           a.diffuse.g == b.diffuse.g && a.diffuse.b == b.diffuse.b && a.diffuse.a == b.diffuse.a;
}

// The four corners of two triangles that share exactly two vertices, lying
// on a diagonal (triangles sharing a side would overlap).
std::optional<std::array<RasterVertex, 4>> quadCorners(const RasterVertex* t0,
                                                       const RasterVertex* t1) {
    std::array<RasterVertex, 4> corners{t0[0], t0[1], t0[2], {}};
    std::array<int, 3> shared{};
    int sharedCount = 0;
    int extra = -1;
    for (int i = 0; i < 3; ++i) {
        if (sameVertex(t1[i], t0[0]) || sameVertex(t1[i], t0[1]) || sameVertex(t1[i], t0[2])) {
            shared[sharedCount++] = i;
        } else {
            extra = i;
        }
    }
    if (sharedCount != 2 || extra < 0) return std::nullopt;
    const RasterVertex& a = t1[shared[0]];
    const RasterVertex& b = t1[shared[1]];
    if (a.x == b.x || a.y == b.y) return std::nullopt;
    corners[3] = t1[extra];
    return corners;
}

std::optional<AxisAlignedQuad> matchQuad(const RasterVertex* t0, const RasterVertex* t1,
                                         DWORD cullMode) {
    if (isCulled(t0[0], t0[1], t0[2], cullMode) || isCulled(t1[0], t1[1], t1[2], cullMode))
        return std::nullopt;
    const auto corners = quadCorners(t0, t1);
    if (!corners) return std::nullopt;
    const RasterVertex& c0 = (*corners)[0];
    AxisAlignedQuad q{c0.x, c0.x, c0.y, c0.y, c0.u, c0.u, c0.v, c0.v, c0.diffuse};
    for (const RasterVertex& c : *corners) {
        if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.u) ||
            !std::isfinite(c.v)) {
            return std::nullopt;
        }
        if (c.x < q.left) q.left = c.x, q.uLeft = c.u;
        if (c.x > q.right) q.right = c.x, q.uRight = c.u;
        if (c.y < q.top) q.top = c.y, q.vTop = c.v;
        if (c.y > q.bottom) q.bottom = c.y, q.vBottom = c.v;
    }
    // Every corner on one of the two x and one of the two y values, each
    // combination once, with the coordinates of its column and row.
    int seen = 0;
    for (const RasterVertex& c : *corners) {
        const bool onLeft = c.x == q.left;
        const bool onTop = c.y == q.top;
        if (!onLeft && c.x != q.right) return std::nullopt;
        if (!onTop && c.y != q.bottom) return std::nullopt;
        if (c.u != (onLeft ? q.uLeft : q.uRight) || c.v != (onTop ? q.vTop : q.vBottom))
            return std::nullopt;
        if (c.diffuse.r != q.diffuse.r || c.diffuse.g != q.diffuse.g ||
            c.diffuse.b != q.diffuse.b || c.diffuse.a != q.diffuse.a) {
            return std::nullopt;
        }
        seen |= 1 << ((onLeft ? 0 : 1) + (onTop ? 0 : 2));
    }
    if (seen != 0xF || !(q.left < q.right) || !(q.top < q.bottom)) return std::nullopt;
    return q;
}

// Pixel centres c with lo <= c < hi (the rectangle's left and top edges
// are top-left edges, its right and bottom edges are not), within the clip.
bool coveredSpan(double lo, double hi, std::int32_t clipLo, std::int32_t clipHi,
                 std::int32_t& first, std::int32_t& end) {
    const double f = std::max(std::ceil(lo), static_cast<double>(clipLo));
    const double e = std::min(std::ceil(hi), static_cast<double>(clipHi));
    if (!(f < e)) return false;
    first = static_cast<std::int32_t>(f);
    end = static_cast<std::int32_t>(e);
    return true;
}

std::vector<AxisTap> axisTaps(std::int32_t first, std::int32_t end, double lo, double hi,
                              double cLo, double cHi, std::int32_t size, DWORD mode, bool linear) {
    std::vector<AxisTap> taps;
    taps.reserve(static_cast<std::size_t>(end - first));
    const double slope = (cHi - cLo) / (hi - lo);
    for (std::int32_t i = first; i < end; ++i)
        taps.push_back(axisTap(cLo + slope * (i - lo), size, mode, linear));
    return taps;
}

// TexelCopy and BinaryAlphaCopy need one in-range texel per pixel.
bool tapsAreSingleTexels(const std::vector<AxisTap>& taps) {
    return std::all_of(taps.begin(), taps.end(),
                       [](const AxisTap& t) { return t.f == 0.0f && t.i0 >= 0; });
}

bool isSourceAlphaBlend(const BlendSetup& blend) {
    return blend.enabled && blend.srcBlend == D3DBLEND_SRCALPHA &&
           blend.destBlend == D3DBLEND_INVSRCALPHA && blend.op == D3DBLENDOP_ADD;
}

// The texel times the vertex colour in every channel: MODULATE of TEXTURE
// and DIFFUSE (or CURRENT, the same in stage 0), in either order.
bool modulatesByDiffuse(const StageSetup& stage) {
    const auto texelAndDiffuse = [](DWORD a1, DWORD a2) {
        const auto isDiffuse = [](DWORD a) { return a == D3DTA_DIFFUSE || a == D3DTA_CURRENT; };
        return (a1 == D3DTA_TEXTURE && isDiffuse(a2)) || (a2 == D3DTA_TEXTURE && isDiffuse(a1));
    };
    return stage.hasTexture && stage.colorOp == D3DTOP_MODULATE &&
           stage.alphaOp == D3DTOP_MODULATE && texelAndDiffuse(stage.colorArg1, stage.colorArg2) &&
           texelAndDiffuse(stage.alphaArg1, stage.alphaArg2);
}

FastPathKind quadKind(const PipelineSetup& p, const Rgba& diffuse, bool singleTexels) {
    if (!stagePassesTexel(p.stage, diffuse)) {
        if (!isSourceAlphaBlend(p.blend) || !modulatesByDiffuse(p.stage))
            return FastPathKind::AxisAlignedQuad;
        return singleTexels && diffuse.a == 1.0f ? FastPathKind::ModulateBinaryAlphaCopy
                                                 : FastPathKind::ModulateSourceAlphaQuad;
    }
    if (singleTexels && !p.blend.enabled) return FastPathKind::TexelCopy;
    if (isSourceAlphaBlend(p.blend)) {
        return singleTexels ? FastPathKind::BinaryAlphaCopy : FastPathKind::SourceAlphaQuad;
    }
    return FastPathKind::AxisAlignedQuad;
}

// Where a kind without an entry for the formats goes next: the copies of
// binary alpha to the quads that blend any alpha, those to the general quad.
std::optional<FastPathKind> fallbackOf(FastPathKind kind) {
    switch (kind) {
        case FastPathKind::BinaryAlphaCopy:
            return FastPathKind::SourceAlphaQuad;
        case FastPathKind::ModulateBinaryAlphaCopy:
            return FastPathKind::ModulateSourceAlphaQuad;
        case FastPathKind::AxisAlignedQuad:
        case FastPathKind::Clear:
            return std::nullopt;
        default:
            return FastPathKind::AxisAlignedQuad;
    }
}

void run(Kernel kernel, FastPathKind kind, const FastPathJob& job) {
    kernel(job);
    g_useCounts[static_cast<std::size_t>(kind)].fetch_add(1, std::memory_order_relaxed);
}

bool tryQuad(const PipelineSetup& p, const RasterVertex* t0, const RasterVertex* t1) {
    if (p.texture.bits == nullptr) return false;
    const auto quad = matchQuad(t0, t1, p.cullMode);
    if (!quad) return false;
    FastPathJob job{&p, &p.target, {}, nullptr, nullptr, false, quad->diffuse};
    if (!coveredSpan(quad->left, quad->right, p.clip.left, p.clip.right, job.pixels.left,
                     job.pixels.right) ||
        !coveredSpan(quad->top, quad->bottom, p.clip.top, p.clip.bottom, job.pixels.top,
                     job.pixels.bottom)) {
        return true;  // nothing of it is visible
    }
    const double dudx = (quad->uRight - quad->uLeft) / (quad->right - quad->left);
    const double dvdy = (quad->vBottom - quad->vTop) / (quad->bottom - quad->top);
    job.linear = usesLinearFilter(
        p.sampler, isMinified(dudx, 0.0, 0.0, dvdy, p.texture.width, p.texture.height));
    const auto columns =
        axisTaps(job.pixels.left, job.pixels.right, quad->left, quad->right, quad->uLeft,
                 quad->uRight, p.texture.width, p.sampler.addressU, job.linear);
    const auto rows =
        axisTaps(job.pixels.top, job.pixels.bottom, quad->top, quad->bottom, quad->vTop,
                 quad->vBottom, p.texture.height, p.sampler.addressV, job.linear);
    const bool single = tapsAreSingleTexels(columns) && tapsAreSingleTexels(rows);
    // Bilinear weights of 0 give the one texel itself, bit for bit.
    if (single) job.linear = false;
    std::optional<FastPathKind> kind = quadKind(p, quad->diffuse, single);
    Kernel kernel = lookup({*kind, p.texture.format, p.target.format});
    while (kernel == nullptr && (kind = fallbackOf(*kind))) {
        kernel = lookup({*kind, p.texture.format, p.target.format});
    }
    if (kernel == nullptr) return false;
    job.columnTaps = columns.data();
    job.rowTaps = rows.data();
    run(kernel, *kind, job);
    return true;
}

}  // namespace

void setFastPathsEnabled(bool enabled) {
    g_enabled.store(enabled);
}

bool fastPathsEnabled() {
    return g_enabled.load();
}

bool hasFastPath(const FastPathKey& key) {
    return lookup(key) != nullptr;
}

std::uint64_t fastPathUseCount(FastPathKind kind) {
    return g_useCounts[static_cast<std::size_t>(kind)].load(std::memory_order_relaxed);
}

void drawTriangleList(const PipelineSetup& p, std::span<const RasterVertex> vertices) {
    std::size_t i = 0;
    while (i + 3 <= vertices.size()) {
        if (fastPathsEnabled() && i + 6 <= vertices.size() &&
            tryQuad(p, &vertices[i], &vertices[i + 3])) {
            i += 6;
            continue;
        }
        drawTrianglesGeneral(p, vertices.subspan(i, 3));
        i += 3;
    }
}

void clearRect(const SurfaceView& target, const ClipRect& rect, const Rgba& color) {
    if (rect.left >= rect.right || rect.top >= rect.bottom) return;
    const Kernel kernel =
        fastPathsEnabled() ? lookup({FastPathKind::Clear, 0, target.format}) : nullptr;
    if (kernel == nullptr) {
        clearGeneral(target, rect, color);
        return;
    }
    FastPathJob job;
    job.target = &target;
    job.pixels = rect;
    job.color = color;
    run(kernel, FastPathKind::Clear, job);
}

}  // namespace vantoro::d3d9
