#include "d3d9/d3d9_sampling.h"

#include <cmath>

namespace vantoro::d3d9 {

namespace {

constexpr double kGrid = 65536.0;
constexpr std::int64_t kHalfTexel = 32768;
// Positions are kept within +-2^31 texels, far beyond any texture.
constexpr double kPositionLimit = 2147483648.0;
// How far a pixel step may exceed one texel and still count as magnified:
// an unscaled draw computed in floating point lands within this of 1.
constexpr double kFootprintTolerance = 1e-6;

std::int64_t floorModulo(std::int64_t value, std::int64_t modulus) {
    const std::int64_t r = value % modulus;
    return r < 0 ? r + modulus : r;
}

}  // namespace

std::int64_t snapTexelPosition(double texelPosition) {
    if (!std::isfinite(texelPosition)) return 0;
    if (texelPosition > kPositionLimit) texelPosition = kPositionLimit;
    if (texelPosition < -kPositionLimit) texelPosition = -kPositionLimit;
    return static_cast<std::int64_t>(std::floor(texelPosition * kGrid + 0.5));
}

std::int32_t addressTexel(std::int64_t index, std::int32_t size, DWORD mode) {
    if (size <= 0) return -1;
    switch (mode) {
        case D3DTADDRESS_CLAMP:
            if (index < 0) return 0;
            return static_cast<std::int32_t>(index >= size ? size - 1 : index);
        case D3DTADDRESS_BORDER:
            return (index < 0 || index >= size) ? -1 : static_cast<std::int32_t>(index);
        case D3DTADDRESS_MIRROR: {
            const std::int64_t m = floorModulo(index, 2 * static_cast<std::int64_t>(size));
            return static_cast<std::int32_t>(m < size ? m : 2 * size - 1 - m);
        }
        default:  // WRAP, and anything unknown
            return static_cast<std::int32_t>(floorModulo(index, size));
    }
}

AxisTap pointTap(double coord, std::int32_t size, DWORD mode) {
    // floor(u * size): the texel whose cell holds the position.
    const std::int64_t snapped = snapTexelPosition(coord * size - 0.5);
    const std::int32_t i = addressTexel((snapped + kHalfTexel) >> 16, size, mode);
    return AxisTap{i, i, 0.0f};
}

AxisTap linearTap(double coord, std::int32_t size, DWORD mode) {
    const std::int64_t snapped = snapTexelPosition(coord * size - 0.5);
    std::int64_t i0 = snapped >> 16;
    std::int64_t weight = ((snapped & 0xFFFF) + 128) >> 8;  // 1/256 steps, half up
    if (weight == 256) {
        ++i0;
        weight = 0;
    }
    return AxisTap{addressTexel(i0, size, mode), addressTexel(i0 + 1, size, mode),
                   static_cast<float>(weight) / 256.0f};
}

bool isMinified(double dudx, double dvdx, double dudy, double dvdy, std::int32_t width,
                std::int32_t height) {
    const double w = width;
    const double h = height;
    const double alongX = (dudx * w) * (dudx * w) + (dvdx * h) * (dvdx * h);
    const double alongY = (dudy * w) * (dudy * w) + (dvdy * h) * (dvdy * h);
    const double limit = (1.0 + kFootprintTolerance) * (1.0 + kFootprintTolerance);
    return alongX > limit || alongY > limit;
}

Rgba filterTexels(const SurfaceView& texture, const AxisTap& u, const AxisTap& v, bool linear,
                  const Rgba& border) {
    Rgba result = border;
    withColorFormat(texture.format, [&](auto texel) {
        result = filterTexelsAs<decltype(texel)>(texture, u, v, linear, border);
    });
    return result;
}

}  // namespace vantoro::d3d9
