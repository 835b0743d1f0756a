// Texel formats, point and bilinear sampling, address modes.
#include <gtest/gtest.h>

#include <vector>

#include "d3d9/d3d9_sampling.h"

namespace vantoro::d3d9 {
namespace {

// A texture in plain memory, padded rows like a device's.
struct MemoryTexture {
    MemoryTexture(int w, int h, std::uint32_t format)
        : bytes(static_cast<std::size_t>(h) * (w * 4 + 8)) {
        view = SurfaceView{bytes.data(), w * texelLayoutOf(format).bytes + 8, w, h, format};
    }
    void set(int x, int y, const Rgba& c) { writeTexel(view.format, view.at(x, y), c); }
    std::vector<std::uint8_t> bytes;
    SurfaceView view;
};

std::uint32_t argb(const Rgba& c) {
    return Texel<D3DFMT_A8R8G8B8>::encode(c);
}

Rgba sample(const SurfaceView& t, double u, double v, bool linear, DWORD mode = D3DTADDRESS_WRAP) {
    return filterTexels(t, axisTap(u, t.width, mode, linear), axisTap(v, t.height, mode, linear),
                        linear, Rgba{});
}

// Red, green / blue, white quarters of a 4 x 4 texture.
MemoryTexture quarters() {
    MemoryTexture t(4, 4, D3DFMT_X8R8G8B8);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const Rgba c = y < 2 ? (x < 2 ? Rgba{1, 0, 0, 1} : Rgba{0, 1, 0, 1})
                                 : (x < 2 ? Rgba{0, 0, 1, 1} : Rgba{1, 1, 1, 1});
            t.set(x, y, c);
        }
    }
    return t;
}

TEST(D3D9Sampling, BilinearWorkedValues) {
    const MemoryTexture t = quarters();
    EXPECT_EQ(argb(sample(t.view, 0.5, 0.5, true)), 0xFF808080u);
    EXPECT_EQ(argb(sample(t.view, 0.5, 0.375, true)), 0xFF808000u);
    EXPECT_EQ(argb(sample(t.view, 0.375, 0.375, true)), 0xFFFF0000u);
}

TEST(D3D9Sampling, PointSamplingTakesTheCellAndWrapsAtOne) {
    const MemoryTexture t = quarters();
    EXPECT_EQ(argb(sample(t.view, 0.5, 0.1, false)),
              0xFF00FF00u);  // boundary goes to the higher texel
    EXPECT_EQ(argb(sample(t.view, 1.0, 0.1, false)), 0xFFFF0000u);  // texel 4 wraps to 0
    EXPECT_EQ(argb(sample(t.view, 0.49, 0.1, false)), 0xFFFF0000u);
}

TEST(D3D9Sampling, TapsAtTexelCentresAreExactEvenAfterDrift) {
    for (int k = 0; k < 800; ++k) {
        const float u = static_cast<float>((k + 0.5) / 800.0);  // float32 drift
        const AxisTap tap = linearTap(u, 800, D3DTADDRESS_WRAP);
        EXPECT_EQ(tap.i0, k);
        EXPECT_EQ(tap.f, 0.0f);
    }
}

TEST(D3D9Sampling, DoubledAndHalvedColumnsMixAsExpected) {
    // 2x zoom of a 4-texel row: first output column blends with the wrapped last texel.
    const AxisTap first = linearTap(0.5 / 8.0, 4, D3DTADDRESS_WRAP);
    EXPECT_EQ(first.i0, 3);
    EXPECT_EQ(first.i1, 0);
    EXPECT_EQ(first.f, 0.75f);
    const AxisTap second = linearTap(1.5 / 8.0, 4, D3DTADDRESS_WRAP);
    EXPECT_EQ(second.i0, 0);
    EXPECT_EQ(second.f, 0.25f);
    const AxisTap half = linearTap(1.0 / 4.0, 8, D3DTADDRESS_WRAP);  // 0.5x: pairs
    EXPECT_EQ(half.i0, 1);
    EXPECT_EQ(half.f, 0.5f);
}

TEST(D3D9Sampling, AddressModes) {
    EXPECT_EQ(addressTexel(-1, 4, D3DTADDRESS_WRAP), 3);
    EXPECT_EQ(addressTexel(9, 4, D3DTADDRESS_WRAP), 1);
    EXPECT_EQ(addressTexel(-3, 4, D3DTADDRESS_CLAMP), 0);
    EXPECT_EQ(addressTexel(7, 4, D3DTADDRESS_CLAMP), 3);
    EXPECT_EQ(addressTexel(4, 4, D3DTADDRESS_MIRROR), 3);
    EXPECT_EQ(addressTexel(-1, 4, D3DTADDRESS_MIRROR), 0);
    EXPECT_EQ(addressTexel(4, 4, D3DTADDRESS_BORDER), -1);
    MemoryTexture t(2, 1, D3DFMT_A8R8G8B8);
    t.set(0, 0, Rgba{1, 1, 1, 1});
    const Rgba border =
        filterTexels(t.view, axisTap(-0.6, 2, D3DTADDRESS_BORDER, false),
                     axisTap(0.5, 1, D3DTADDRESS_BORDER, false), false, Rgba{0, 0, 1, 1});
    EXPECT_EQ(argb(border), 0xFF0000FFu);
}

TEST(D3D9Texels, ChannelsExpandByExactDivisionAndRoundHalfUp) {
    using A1 = Texel<D3DFMT_A1R5G5B5>;
    using R565 = Texel<D3DFMT_R5G6B5>;
    using X8 = Texel<D3DFMT_X8R8G8B8>;
    // 5-bit 3 -> 25 and 6-bit 11 -> 45, where bit replication would give 24 and 44.
    EXPECT_EQ(X8::encode(A1::decode(static_cast<std::uint16_t>(0x8000 | (3 << 10)))), 0xFF190000u);
    EXPECT_EQ(X8::encode(R565::decode(static_cast<std::uint16_t>(11 << 5))), 0xFF002D00u);
    EXPECT_EQ(Texel<D3DFMT_A8R8G8B8>::encode(Texel<D3DFMT_A4R4G4B4>::decode(0x5A3C)), 0x55AA33CCu);
    // Formats without alpha read it as 1; A8 reads its colour as 0.
    EXPECT_EQ(R565::decode(0).a, 1.0f);
    EXPECT_EQ(X8::decode(0x00123456).a, 1.0f);
    const Rgba a8 = Texel<D3DFMT_A8>::decode(0x80);
    EXPECT_EQ(a8.r, 0.0f);
    EXPECT_FLOAT_EQ(a8.a, 128.0f / 255.0f);
    // Unused bits are written as ones; out-of-range and NaN values clamp.
    EXPECT_EQ(Texel<D3DFMT_X1R5G5B5>::encode(Rgba{0, 0, 0, 0}), 0x8000u);
    EXPECT_EQ(X8::encode(Rgba{2.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 0}),
              0xFFFF0000u);
}

TEST(D3D9Sampling, MinificationNeedsMoreThanOneTexelPerPixel) {
    EXPECT_FALSE(isMinified(1.0 / 256, 0, 0, 1.0 / 256, 256, 256));
    EXPECT_FALSE(isMinified(1.0 / 512, 0, 0, 1.0 / 512, 256, 256));
    EXPECT_TRUE(isMinified(2.0 / 256, 0, 0, 1.0 / 256, 256, 256));
}

}  // namespace
}  // namespace vantoro::d3d9
