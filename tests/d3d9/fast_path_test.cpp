// The fast paths against the general path: the same draws on the same
// bytes, with the fast paths on and off, must leave identical targets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "d3d9/d3d9_fast_bilinear.h"
#include "d3d9/d3d9_fast_kernels.h"
#include "d3d9/d3d9_fast_lanes.h"
#include "d3d9/d3d9_fast_paths.h"
#include "tests/d3d9/d3d9_test_support.h"

// The lane tests hold vectors wider than the baseline's registers.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vantoro::d3d9 {
namespace {

using testing::Quad;
using testing::TestDevice;

// Restores the switch and the bilinear lane width however a test ends.
struct FastPathSwitch {
    ~FastPathSwitch() {
        setFastPathsEnabled(true);
        setBilinearLaneWidth(16);
    }
};

struct Blend {
    bool enabled;
    DWORD src, dest, op, colorOp;
};

// The view's blend modes (and its special codes' stage operations), plus
// arbitrary factor pairs below.
const Blend kBlends[] = {
    {false, 2, 1, 1, D3DTOP_MODULATE},  {true, 5, 6, 1, D3DTOP_MODULATE},
    {true, 10, 2, 1, D3DTOP_MODULATE},  {true, 5, 2, 1, D3DTOP_MODULATE},
    {true, 2, 2, 1, D3DTOP_MODULATE},   {true, 3, 4, 1, D3DTOP_MODULATE},
    {true, 3, 2, 1, D3DTOP_MODULATE},   {true, 1, 6, 1, D3DTOP_MODULATE},
    {true, 2, 3, 1, D3DTOP_MODULATE},   {true, 5, 2, 1, D3DTOP_MODULATE2X},
    {true, 9, 2, 1, D3DTOP_MODULATE4X}, {true, 5, 6, 1, D3DTOP_MULTIPLYADD},
    {true, 5, 6, 3, D3DTOP_MODULATE},   {true, 5, 6, 4, D3DTOP_MODULATE},
    {true, 12, 1, 2, D3DTOP_MODULATE},
};

const D3DFORMAT kTextureFormats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,
                                     D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4};
const D3DFORMAT kTargetFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5,
                                    D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5};

int pick(std::mt19937& r, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(r);
}

// Source columns per destination column: unscaled most of the time, as the view draws.
int sourceExtent(std::mt19937& r, int dest) {
    switch (pick(r, 0, 5)) {
        case 0:
            return std::max(1, dest / 2);
        case 1:
            return dest * 2;
        case 2:
            return pick(r, 1, 60);
        default:
            return dest;
    }
}

Quad randomQuad(std::mt19937& r, int targetW, int targetH, int texW, int texH) {
    const int w = pick(r, 1, 70), h = pick(r, 1, 50);
    // Mostly whole positions (corners on half-integers after the canvas's
    // offset); sometimes corners exactly on pixel centres or in between.
    const float offsets[] = {0.0f, 0.0f, 0.0f, 0.5f, 0.25f};
    const float x = static_cast<float>(pick(r, -20, targetW)) + offsets[pick(r, 0, 4)];
    const float y = static_cast<float>(pick(r, -20, targetH)) + offsets[pick(r, 0, 4)];
    const int sw = sourceExtent(r, w), sh = sourceExtent(r, h);
    const int sx = pick(r, -3, texW - 1), sy = pick(r, -3, texH - 1);
    float u0 = static_cast<float>(static_cast<double>(sx) / texW);
    float u1 = static_cast<float>(static_cast<double>(sx + sw) / texW);
    float v0 = static_cast<float>(static_cast<double>(sy) / texH);
    float v1 = static_cast<float>(static_cast<double>(sy + sh) / texH);
    if (pick(r, 0, 3) == 0) std::swap(u0, u1);
    if (pick(r, 0, 3) == 0) std::swap(v0, v1);
    DWORD color = 0xFFFFFFFF;
    if (pick(r, 0, 2) == 0) color = std::uniform_int_distribution<DWORD>()(r);
    Quad q = testing::rectQuad(x, y, x + w, y + h, u0, v0, u1, v1, color);
    if (pick(r, 0, 5) == 0) q.colors[2] = std::uniform_int_distribution<DWORD>()(r);  // a gradient
    if (pick(r, 0, 7) == 0) std::swap(q.x[1], q.x[3]);  // not a rectangle any more
    return q;
}

void applyRandomStates(IDirect3DDevice9* device, std::mt19937& r) {
    Blend b = kBlends[pick(r, 0, static_cast<int>(std::size(kBlends)) - 1)];
    if (pick(r, 0, 4) == 0)
        b = Blend{true, static_cast<DWORD>(pick(r, 1, 15)), static_cast<DWORD>(pick(r, 1, 15)),
                  static_cast<DWORD>(pick(r, 1, 5)), D3DTOP_MODULATE};
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, b.enabled);
    device->SetRenderState(D3DRS_SRCBLEND, b.src);
    device->SetRenderState(D3DRS_DESTBLEND, b.dest);
    device->SetRenderState(D3DRS_BLENDOP, b.op);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, b.enabled ? 1 : 0);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 1);
    device->SetTextureStageState(0, D3DTSS_COLOROP, b.colorOp);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    const DWORD filter = pick(r, 0, 2) == 0 ? D3DTEXF_POINT : D3DTEXF_LINEAR;
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
    const DWORD address = pick(r, 0, 3) == 0 ? static_cast<DWORD>(pick(r, 1, 4)) : D3DTADDRESS_WRAP;
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, address);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, address);
    device->SetSamplerState(0, D3DSAMP_BORDERCOLOR, 0x80402010);
}

void fillRandom(const SurfaceView& view, std::mt19937& r) {
    for (int y = 0; y < view.height; ++y) {
        for (int x = 0; x < view.width; ++x)
            testing::writeRaw(view, x, y, std::uniform_int_distribution<std::uint32_t>()(r));
    }
}

// One seeded case: the same draws through both paths from the same start.
void runCase(std::uint32_t seed) {
    std::mt19937 r(seed);
    const int w = pick(r, 16, 120), h = pick(r, 16, 90);
    TestDevice device(static_cast<UINT>(w), static_cast<UINT>(h), kTargetFormats[pick(r, 0, 4)]);
    const int texW = 1 << pick(r, 2, 7),
              texH = pick(r, 0, 1) ? (1 << pick(r, 2, 7)) : pick(r, 3, 70);
    const D3DFORMAT texFormat = kTextureFormats[pick(r, 0, 5)];
    std::mt19937 texels(seed * 7 + 1);
    IDirect3DTexture9* texture =
        testing::makeTexture(device.get(), texW, texH, texFormat, [&](int, int) {
            const std::uint32_t v = std::uniform_int_distribution<std::uint32_t>()(texels);
            return (v & 3) == 0 ? 0u : v;  // some fully transparent texels
        });
    applyRandomStates(device.get(), r);
    std::vector<Quad> quads;
    for (int i = pick(r, 1, 6); i > 0; --i) quads.push_back(randomQuad(r, w, h, texW, texH));
    const SurfaceView target = device.target();
    fillRandom(target, r);
    const auto start = testing::packedTexels(target);
    std::vector<std::uint8_t> results[2];
    for (int fast = 0; fast < 2; ++fast) {
        setFastPathsEnabled(fast == 1);
        const std::size_t rowBytes =
            static_cast<std::size_t>(w) * texelLayoutOf(target.format).bytes;
        for (int y = 0; y < h; ++y)
            std::memcpy(target.row(y), start.data() + y * rowBytes, rowBytes);
        testing::drawQuads(device.get(), texture, quads);
        results[fast] = testing::packedTexels(target);
    }
    texture->Release();
    ASSERT_EQ(results[0], results[1])
        << "seed " << seed << " target " << device.target().format << " texture " << texFormat;
}

TEST(D3D9FastPaths, RandomDrawsMatchTheGeneralPathByteForByte) {
    FastPathSwitch restore;
    const std::uint64_t before[] = {fastPathUseCount(FastPathKind::TexelCopy),
                                    fastPathUseCount(FastPathKind::BinaryAlphaCopy),
                                    fastPathUseCount(FastPathKind::AxisAlignedQuad),
                                    fastPathUseCount(FastPathKind::SourceAlphaQuad)};
    for (std::uint32_t seed = 1; seed <= 1500; ++seed) {
        runCase(seed);
        if (HasFatalFailure()) return;
    }
    // Every kind of quad path was exercised, not just the general path.
    EXPECT_GT(fastPathUseCount(FastPathKind::TexelCopy), before[0] + 20);
    EXPECT_GT(fastPathUseCount(FastPathKind::BinaryAlphaCopy), before[1] + 20);
    EXPECT_GT(fastPathUseCount(FastPathKind::AxisAlignedQuad), before[2] + 100);
    EXPECT_GT(fastPathUseCount(FastPathKind::SourceAlphaQuad), before[3] + 20);
}

// The bilinear quads run as vectors of 16, 8 or 4 lanes, whichever the
// processor has widest; the narrower builds must give the same bytes too.
TEST(D3D9FastPaths, RandomDrawsMatchAtEveryBilinearLaneWidth) {
    FastPathSwitch restore;
    for (const int lanes : {8, 4}) {
        setBilinearLaneWidth(lanes);
        ASSERT_LE(bilinearLaneWidth(), lanes);
        for (std::uint32_t seed = 1; seed <= 1500; seed += 2) {
            runCase(seed);
            if (HasFatalFailure()) return;
        }
    }
}

TEST(D3D9FastPaths, ClearsMatchTheGeneralPath) {
    FastPathSwitch restore;
    std::mt19937 r(99);
    for (D3DFORMAT format : kTargetFormats) {
        TestDevice device(37, 23, format);
        std::vector<std::uint8_t> results[2];
        const DWORD color = std::uniform_int_distribution<DWORD>()(r);
        const D3DRECT rects[2] = {{-5, 3, 20, 40}, {30, 0, 37, 1}};
        for (int fast = 0; fast < 2; ++fast) {
            setFastPathsEnabled(fast == 1);
            device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
            device->Clear(2, rects, D3DCLEAR_TARGET, color, 1.0f, 0);
            results[fast] = testing::packedTexels(device.target());
        }
        EXPECT_EQ(results[0], results[1]) << format;
    }
}

TEST(D3D9FastPaths, TheViewsDrawsTakeTheTable) {
    EXPECT_TRUE(hasFastPath({FastPathKind::Clear, 0, D3DFMT_X8R8G8B8}));
    EXPECT_TRUE(hasFastPath({FastPathKind::TexelCopy, D3DFMT_A1R5G5B5, D3DFMT_X8R8G8B8}));
    EXPECT_TRUE(hasFastPath({FastPathKind::BinaryAlphaCopy, D3DFMT_A1R5G5B5, D3DFMT_R5G6B5}));
    EXPECT_FALSE(hasFastPath({FastPathKind::BinaryAlphaCopy, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5}));
    // An unscaled opaque image copy is a texel copy, and gives the texels back.
    TestDevice device(64, 64);
    IDirect3DTexture9* texture =
        testing::makeTexture(device.get(), 64, 64, D3DFMT_X8R8G8B8,
                             [](int x, int y) { return 0xFF000000u | (y << 8) | x; });
    const std::uint64_t before = fastPathUseCount(FastPathKind::TexelCopy);
    testing::drawQuads(device.get(), texture, {testing::rectQuad(0, 0, 64, 64, 0, 0, 1, 1)});
    EXPECT_EQ(fastPathUseCount(FastPathKind::TexelCopy), before + 1);
    EXPECT_EQ(testing::packedTexels(device.target()), testing::packedTexels(texture->view()));
    texture->Release();
}

}  // namespace
}  // namespace vantoro::d3d9

namespace vantoro::d3d9 {
namespace {

template <typename Src, typename Dst>
void expectConversionMatchesRoundTrip() {
    const std::uint32_t count = Src::kBytes == 4 ? 70000u : 65536u;
    std::mt19937 r(7);
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto raw = static_cast<typename Src::Raw>(Src::kBytes == 4 ? r() : i);
        ASSERT_EQ((convertTexel<Src, Dst>(raw)), Dst::encode(Src::decode(raw))) << std::hex << raw;
    }
}

TEST(D3D9FastPaths, DirectTexelConversionEqualsDecodeThenEncode) {
    using A8 = Texel<D3DFMT_A8R8G8B8>;
    using X8 = Texel<D3DFMT_X8R8G8B8>;
    using A1 = Texel<D3DFMT_A1R5G5B5>;
    using X1 = Texel<D3DFMT_X1R5G5B5>;
    using R565 = Texel<D3DFMT_R5G6B5>;
    using A4 = Texel<D3DFMT_A4R4G4B4>;
    expectConversionMatchesRoundTrip<A8, X8>();
    expectConversionMatchesRoundTrip<X8, A8>();
    expectConversionMatchesRoundTrip<X8, X8>();
    expectConversionMatchesRoundTrip<A1, X1>();
    expectConversionMatchesRoundTrip<X1, A1>();
    expectConversionMatchesRoundTrip<A1, X8>();
    expectConversionMatchesRoundTrip<R565, A1>();
    expectConversionMatchesRoundTrip<A4, R565>();
    expectConversionMatchesRoundTrip<A8, A1>();
}

}  // namespace
}  // namespace vantoro::d3d9

namespace vantoro::d3d9 {
namespace {

// The same draws through the general path and the fast paths, from the same
// target bytes; the two results.
std::array<std::vector<std::uint8_t>, 2> drawBothWays(testing::TestDevice& device,
                                                      IDirect3DTexture9* texture,
                                                      const std::vector<testing::Quad>& quads,
                                                      const std::vector<std::uint8_t>& start) {
    const SurfaceView target = device.target();
    const std::size_t rowBytes =
        static_cast<std::size_t>(target.width) * texelLayoutOf(target.format).bytes;
    std::array<std::vector<std::uint8_t>, 2> results;
    for (int fast = 0; fast < 2; ++fast) {
        setFastPathsEnabled(fast == 1);
        for (int y = 0; y < target.height; ++y)
            std::memcpy(target.row(y), start.data() + y * rowBytes, rowBytes);
        testing::drawQuads(device.get(), texture, quads);
        results[static_cast<std::size_t>(fast)] = testing::packedTexels(target);
    }
    setFastPathsEnabled(true);
    return results;
}

// The view's zoomed image: a bilinear quad scaled up, tinted (MODULATE), under
// SRCALPHA / INVSRCALPHA / ADD, wide enough for several vector blocks and a
// partial last one, under every alpha-test function, address mode and lane
// width, on every target format.
TEST(D3D9FastPaths, ScaledTintedBilinearQuadsMatchUnderEveryAlphaTest) {
    FastPathSwitch restore;
    const D3DFORMAT textures[] = {D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4};
    const DWORD refs[] = {0, 1, 128, 255};
    const std::uint64_t before = fastPathUseCount(FastPathKind::ModulateSourceAlphaQuad);
    int caseIndex = 0;
    for (const D3DFORMAT targetFormat : kTargetFormats) {
        TestDevice device(150, 70, targetFormat);
        std::mt19937 r(static_cast<std::uint32_t>(targetFormat));
        fillRandom(device.target(), r);
        const auto start = testing::packedTexels(device.target());
        for (const D3DFORMAT textureFormat : textures) {
            IDirect3DTexture9* texture =
                testing::makeTexture(device.get(), 64, 32, textureFormat, [&](int x, int y) {
                    const std::uint32_t v = std::uniform_int_distribution<std::uint32_t>()(r);
                    return (x + y) % 5 == 0 ? 0u : v;  // transparent texels among the shaded ones
                });
            for (DWORD func = D3DCMP_NEVER; func <= D3DCMP_ALWAYS; ++func, ++caseIndex) {
                setBilinearLaneWidth(16 >> (caseIndex % 3));
                applyRandomStates(device.get(), r);
                device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
                device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
                device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
                device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
                device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
                device->SetRenderState(D3DRS_ALPHAFUNC, func);
                device->SetRenderState(D3DRS_ALPHAREF, refs[(caseIndex / 8 + func) % 4]);
                device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
                device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
                device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
                const DWORD address = D3DTADDRESS_WRAP + static_cast<DWORD>(caseIndex % 4);
                device->SetSamplerState(0, D3DSAMP_ADDRESSU, address);
                device->SetSamplerState(0, D3DSAMP_ADDRESSV, address);
                // 2x with a half-transparent tint, 1.5x and 3x opaque ones,
                // the last reaching past the texture's edges.
                const std::vector<testing::Quad> quads = {
                    testing::rectQuad(3, 2, 131, 62, 0.0f, 0.0f, 1.0f, 1.0f, 0x80C08040),
                    testing::rectQuad(-7, 5, 89, 53, 0.25f, 0.125f, 1.25f, 1.125f, 0xFF4080C0),
                    testing::rectQuad(40, 20, 147, 69, -0.1f, -0.2f, 0.45f, 0.4f, 0xFFFFFFFF)};
                const auto results = drawBothWays(device, texture, quads, start);
                ASSERT_EQ(results[0], results[1])
                    << "target " << targetFormat << " texture " << textureFormat << " func " << func
                    << " address " << address;
            }
            texture->Release();
        }
    }
    EXPECT_GE(fastPathUseCount(FastPathKind::ModulateSourceAlphaQuad), before + 2 * 5 * 3 * 8);
}

}  // namespace
}  // namespace vantoro::d3d9

// The lane toolkit against the scalar functions it stands for, lane by lane.
namespace vantoro::d3d9 {
namespace {

// Raw texels through decodeChannel and floats through encode, against
// Texel::decode and Texel::encode; the floats include values out of range,
// NaN, -0 and the halves where rounding turns.
template <int N, std::uint32_t Format>
void expectCodecMatchesTexel(std::mt19937& r) {
    using V = simd::Vectors<N>;
    using T = Texel<Format>;
    const typename V::Codec codec(simd::laneFormatOf(Format));
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
                              -0.0f,
                              -1.0f,
                              2.0f,
                              0.5f / 255.0f,
                              1.5f / 31.0f,
                              1.0f,
                              0.0f};
    for (int block = 0; block < 2048; ++block) {
        typename V::UInts raws;
        std::array<typename V::Floats, 4> values;
        for (int l = 0; l < N; ++l) {
            raws[l] = static_cast<typename T::Raw>(r());
            for (std::size_t c = 0; c < 4; ++c) {
                values[c][l] =
                    (r() & 7) == 0 ? specials[r() % 8] : std::uniform_real_distribution<float>()(r);
            }
        }
        std::array<typename V::Floats, 4> decoded;
        for (std::size_t c = 0; c < 4; ++c) decoded[c] = V::decodeChannel(raws, codec, c);
        const typename V::UInts encoded = V::encode(values, codec);
        for (int l = 0; l < N; ++l) {
            const Rgba d = T::decode(static_cast<typename T::Raw>(raws[l]));
            ASSERT_TRUE(decoded[0][l] == d.r && decoded[1][l] == d.g && decoded[2][l] == d.b &&
                        decoded[3][l] == d.a)
                << Format << " raw " << raws[l];
            const Rgba v{values[0][l], values[1][l], values[2][l], values[3][l]};
            ASSERT_EQ(encoded[l], T::encode(v))
                << Format << " " << v.r << " " << v.g << " " << v.b << " " << v.a;
        }
    }
}

template <int N>
void expectCodecsMatchEveryFormat() {
    std::mt19937 r(11);
    expectCodecMatchesTexel<N, D3DFMT_A8R8G8B8>(r);
    expectCodecMatchesTexel<N, D3DFMT_X8R8G8B8>(r);
    expectCodecMatchesTexel<N, D3DFMT_R5G6B5>(r);
    expectCodecMatchesTexel<N, D3DFMT_X1R5G5B5>(r);
    expectCodecMatchesTexel<N, D3DFMT_A1R5G5B5>(r);
    expectCodecMatchesTexel<N, D3DFMT_A4R4G4B4>(r);
    expectCodecMatchesTexel<N, D3DFMT_A8R3G3B2>(r);
    expectCodecMatchesTexel<N, D3DFMT_X4R4G4B4>(r);
}

TEST(D3D9FastLanes, DecodeAndEncodeMatchTheTexelFunctions) {
    expectCodecsMatchEveryFormat<4>();
    expectCodecsMatchEveryFormat<16>();
}

// Every function (and the test off), references at both ends and between,
// alphas on and next to the reference, NaN and -0.
TEST(D3D9FastLanes, AlphaTestLanesMatchAlphaTestPasses) {
    using V = simd::Vectors<16>;
    for (const bool enabled : {false, true}) {
        for (DWORD func = 0; func <= 9; ++func) {
            for (const DWORD ref : {0u, 1u, 128u, 255u, 0x1FFu}) {
                const AlphaTestSetup setup{enabled, func, ref};
                const float r = static_cast<float>(ref & 0xFF) / 255.0f;
                const float alphas[16] = {std::numeric_limits<float>::quiet_NaN(),
                                          -0.0f,
                                          0.0f,
                                          r,
                                          std::nextafter(r, 0.0f),
                                          std::nextafter(r, 2.0f),
                                          1.0f,
                                          0.5f,
                                          0.5f / 255.0f,
                                          1.0f / 255.0f,
                                          -1.0f,
                                          2.0f,
                                          0.25f,
                                          0.75f,
                                          254.0f / 255.0f,
                                          1e-30f};
                typename V::Floats a;
                for (int l = 0; l < 16; ++l) a[l] = alphas[l];
                const typename V::Ints pass = typename V::Test(simd::laneTestOf(setup))(a);
                for (int l = 0; l < 16; ++l) {
                    EXPECT_EQ(pass[l] != 0, alphaTestPasses(setup, alphas[l]))
                        << "enabled " << enabled << " func " << func << " ref " << ref << " alpha "
                        << alphas[l];
                }
            }
        }
    }
}

// The three answers a block's lanes give: any pass, all pass, any passing
// lane that blends (a failing lane that would blend does not count).
TEST(D3D9FastLanes, BlockNeedsReadEveryLane) {
    using V = simd::Vectors<8>;
    const auto needs = [](std::uint32_t passBits, std::uint32_t blendBits) {
        typename V::Ints pass, blend;
        for (int l = 0; l < 8; ++l) {
            pass[l] = (passBits >> l) & 1 ? -1 : 0;
            blend[l] = (blendBits >> l) & 1 ? -1 : 0;
        }
        const simd::BlockNeeds n = V::needsOf(pass, blend);
        return std::array<bool, 3>{n.anyPass, n.allPass, n.anyBlend};
    };
    EXPECT_EQ(needs(0x00, 0xFF), (std::array<bool, 3>{false, false, false}));
    EXPECT_EQ(needs(0xFF, 0x00), (std::array<bool, 3>{true, true, false}));
    EXPECT_EQ(needs(0x80, 0x7F), (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(needs(0x7F, 0x40), (std::array<bool, 3>{true, false, true}));
    EXPECT_EQ(needs(0xFF, 0x01), (std::array<bool, 3>{true, true, true}));
}

}  // namespace
}  // namespace vantoro::d3d9
