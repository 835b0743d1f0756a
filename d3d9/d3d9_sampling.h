// Texture sampling of level 0: nearest-point and bilinear filtering with the
// four address modes.
//
// Texel space: a coordinate u in [0, 1] maps to u * size - 0.5, so texel
// centres lie at (i + 0.5) / size. That position is first snapped to a grid
// of 1/65536 texel, then the bilinear fraction is rounded to 1/256. The snap
// makes a position a hair off a texel centre (float drift in interpolation)
// land exactly on it, so every path that reaches the same position picks the
// same texels and weights; unscaled draws then copy texels exactly.
#pragma once

#include <cstdint>

#include "d3d9/d3d9_texels.h"
#include "d3d9/d3d9_types.h"

namespace vantoro::d3d9 {

struct SamplerSetup {
    DWORD magFilter = D3DTEXF_POINT;
    DWORD minFilter = D3DTEXF_POINT;
    DWORD addressU = D3DTADDRESS_WRAP;
    DWORD addressV = D3DTADDRESS_WRAP;
    Rgba border{};
};

// The texels one axis reads: i1 = i0 + 1 before addressing; f is the weight
// of i1 (0 for point sampling). An index of -1 reads the border colour.
struct AxisTap {
    std::int32_t i0 = 0;
    std::int32_t i1 = 0;
    float f = 0.0f;
};

// Position in texel space (u * size - 0.5) on the 1/65536 grid.
std::int64_t snapTexelPosition(double texelPosition);

// Texel index after the address mode; -1 for the border.
std::int32_t addressTexel(std::int64_t index, std::int32_t size, DWORD mode);

AxisTap pointTap(double coord, std::int32_t size, DWORD mode);
AxisTap linearTap(double coord, std::int32_t size, DWORD mode);
inline AxisTap axisTap(double coord, std::int32_t size, DWORD mode, bool linear) {
    return linear ? linearTap(coord, size, mode) : pointTap(coord, size, mode);
}

// Whether a pixel step covers more than one texel, so MINFILTER applies
// instead of MAGFILTER. Derivatives are of the normalised coordinates.
bool isMinified(double dudx, double dvdx, double dudy, double dvdy, std::int32_t width,
                std::int32_t height);

inline bool usesLinearFilter(const SamplerSetup& sampler, bool minified) {
    const DWORD filter = minified ? sampler.minFilter : sampler.magFilter;
    return filter != D3DTEXF_POINT && filter != D3DTEXF_NONE;
}

template <typename T>
Rgba fetchTexelAs(const SurfaceView& texture, std::int32_t x, std::int32_t y, const Rgba& border) {
    if (x < 0 || y < 0) return border;
    return T::read(texture.row(y) + static_cast<std::ptrdiff_t>(x) * T::kBytes);
}

inline Rgba lerpRgba(const Rgba& p, const Rgba& q, float f) {
    const float g = 1.0f - f;
    return Rgba{p.r * g + q.r * f, p.g * g + q.g * f, p.b * g + q.b * f, p.a * g + q.a * f};
}

// One sample from the taps: a single texel for point taps, the weighted four
// for linear ones (rows first, then between them).
template <typename T>
Rgba filterTexelsAs(const SurfaceView& texture, const AxisTap& u, const AxisTap& v, bool linear,
                    const Rgba& border) {
    if (!linear) return fetchTexelAs<T>(texture, u.i0, v.i0, border);
    const Rgba top = lerpRgba(fetchTexelAs<T>(texture, u.i0, v.i0, border),
                              fetchTexelAs<T>(texture, u.i1, v.i0, border), u.f);
    const Rgba bottom = lerpRgba(fetchTexelAs<T>(texture, u.i0, v.i1, border),
                                 fetchTexelAs<T>(texture, u.i1, v.i1, border), u.f);
    return lerpRgba(top, bottom, v.f);
}

// The same for a texture whose format is known only at run time.
Rgba filterTexels(const SurfaceView& texture, const AxisTap& u, const AxisTap& v, bool linear,
                  const Rgba& border);

}  // namespace vantoro::d3d9
