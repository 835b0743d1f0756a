// Texture-stage operations, alpha test and frame-buffer blending.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "d3d9/d3d9_blending.h"
#include "d3d9/d3d9_fast_paths.h"
#include "d3d9/d3d9_texture_stage.h"
#include "tests/d3d9/d3d9_test_support.h"

namespace vantoro::d3d9 {
namespace {

using testing::TestDevice;

// The blend equation written out per channel, independently of the renderer.
double expectedFactor(DWORD f, int channel, const double s[4], const double d[4],
                      const double k[4]) {
    const bool alpha = channel == 3;
    switch (f) {
        case D3DBLEND_ZERO:
            return 0;
        case D3DBLEND_ONE:
            return 1;
        case D3DBLEND_SRCCOLOR:
            return s[channel];
        case D3DBLEND_INVSRCCOLOR:
            return 1 - s[channel];
        case D3DBLEND_SRCALPHA:
            return s[3];
        case D3DBLEND_INVSRCALPHA:
            return 1 - s[3];
        case D3DBLEND_DESTALPHA:
            return d[3];
        case D3DBLEND_INVDESTALPHA:
            return 1 - d[3];
        case D3DBLEND_DESTCOLOR:
            return d[channel];
        case D3DBLEND_INVDESTCOLOR:
            return 1 - d[channel];
        case D3DBLEND_SRCALPHASAT:
            return alpha ? 1 : std::min(s[3], 1 - d[3]);
        case D3DBLEND_BLENDFACTOR:
            return k[channel];
        case D3DBLEND_INVBLENDFACTOR:
            return 1 - k[channel];
        default:
            return -1;
    }
}

double expectedChannel(DWORD op, DWORD fs, DWORD fd, int ch, const double s[4], const double d[4],
                       const double k[4]) {
    const double a = s[ch] * expectedFactor(fs, ch, s, d, k);
    const double b = d[ch] * expectedFactor(fd, ch, s, d, k);
    double r = 0;
    switch (op) {
        case D3DBLENDOP_ADD:
            r = a + b;
            break;
        case D3DBLENDOP_SUBTRACT:
            r = a - b;
            break;
        case D3DBLENDOP_REVSUBTRACT:
            r = b - a;
            break;
        case D3DBLENDOP_MIN:
            r = std::min(s[ch], d[ch]);
            break;
        case D3DBLENDOP_MAX:
            r = std::max(s[ch], d[ch]);
            break;
    }
    return std::clamp(r, 0.0, 1.0);
}

TEST(D3D9Blending, EveryFactorAndOperationMatchesTheEquation) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    const DWORD factors[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15};
    for (DWORD op = D3DBLENDOP_ADD; op <= D3DBLENDOP_MAX; ++op) {
        for (DWORD fs : factors) {
            for (DWORD fd : factors) {
                double s[4], d[4], k[4];
                Rgba src, dst, constant;
                float* sp = &src.r;
                float* dp = &dst.r;
                float* kp = &constant.r;
                for (int c = 0; c < 4; ++c) {
                    s[c] = byte(random) / 255.0, d[c] = byte(random) / 255.0,
                    k[c] = byte(random) / 255.0;
                    sp[c] = static_cast<float>(s[c]), dp[c] = static_cast<float>(d[c]),
                    kp[c] = static_cast<float>(k[c]);
                }
                const Rgba out = blendPixel(BlendSetup{true, fs, fd, op, constant}, src, dst);
                const float* o = &out.r;
                for (int c = 0; c < 4; ++c) {
                    ASSERT_NEAR(o[c], expectedChannel(op, fs, fd, c, s, d, k), 1e-5)
                        << "op " << op << " src " << fs << " dest " << fd << " channel " << c;
                }
            }
        }
    }
}

TEST(D3D9Blending, BothAlphaFactorsOverrideTheDestination) {
    BlendSetup b = resolveBothAlphaFactors(BlendSetup{true, D3DBLEND_BOTHSRCALPHA, D3DBLEND_ONE});
    EXPECT_EQ(b.srcBlend, static_cast<DWORD>(D3DBLEND_SRCALPHA));
    EXPECT_EQ(b.destBlend, static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    b = resolveBothAlphaFactors(BlendSetup{true, D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ZERO});
    EXPECT_EQ(b.srcBlend, static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(b.destBlend, static_cast<DWORD>(D3DBLEND_SRCALPHA));
    b = resolveBothAlphaFactors(BlendSetup{true, D3DBLEND_ONE, D3DBLEND_BOTHINVSRCALPHA});
    EXPECT_EQ(b.srcBlend, static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(b.destBlend, static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
}

TEST(D3D9Blending, AlphaTestKeepsOneStepAndDropsZero) {
    const AlphaTestSetup test{true, D3DCMP_GREATEREQUAL, 1};
    EXPECT_FALSE(alphaTestPasses(test, 0.0f));
    EXPECT_TRUE(alphaTestPasses(test, 1.0f / 255.0f));
    // Between half a step and one step: dropped (comparison in floating point).
    EXPECT_FALSE(alphaTestPasses(test, 10.0f / (15.0f * 255.0f)));
    EXPECT_TRUE(alphaTestPasses(AlphaTestSetup{false, D3DCMP_NEVER, 0}, 0.0f));
}

TEST(D3D9TextureStage, ModulateVariantsSaturate) {
    StageSetup s;
    s.colorOp = D3DTOP_MODULATE2X;
    s.colorArg2 = D3DTA_DIFFUSE;
    s.alphaOp = D3DTOP_MODULATE;
    s.alphaArg2 = D3DTA_DIFFUSE;
    const Rgba t{0.75f, 0.25f, 0.5f, 0.5f};
    const Rgba d{0.75f, 0.5f, 0.5f, 0.5f};
    Rgba r = combineStage(s, t, d);
    EXPECT_EQ(r.r, 1.0f);  // 1.125 saturates
    EXPECT_EQ(r.g, 0.25f);
    EXPECT_EQ(r.a, 0.25f);
    s.colorOp = D3DTOP_MODULATE4X;
    EXPECT_EQ(combineStage(s, t, d).b, 1.0f);
    s.colorOp = D3DTOP_MULTIPLYADD;  // Arg0 (current = diffuse) + texel * diffuse
    r = combineStage(s, t, Rgba{1, 1, 1, 1});
    EXPECT_EQ(r.r, 1.0f);
    EXPECT_EQ(r.g, 1.0f);
    EXPECT_EQ(combineStage(s, t, Rgba{0.25f, 0.25f, 0.25f, 1}).g, 0.3125f);
}

TEST(D3D9TextureStage, DotProduct3WritesEveryChannelFromTheTextureFactor) {
    StageSetup s;
    s.colorOp = D3DTOP_DOTPRODUCT3;
    s.colorArg2 = D3DTA_TFACTOR;
    s.alphaOp = D3DTOP_MODULATE;
    s.textureFactor = rgbaOfColor(0xBBFFBBFF);
    const auto byteOf = [](float v) { return unormOf(v, 255); };
    const Rgba white = combineStage(s, Rgba{1, 1, 1, 0.2f}, Rgba{0.1f, 0.1f, 0.1f, 0.1f});
    EXPECT_EQ(byteOf(white.r), 255u);
    EXPECT_EQ(byteOf(white.a), 255u);
    const float grey = 153.0f / 255.0f;
    const Rgba g = combineStage(s, Rgba{grey, grey, grey, 1}, Rgba{1, 1, 1, 1});
    EXPECT_EQ(byteOf(g.r), 126u);
    EXPECT_EQ(byteOf(g.a), 126u);
    EXPECT_EQ(combineStage(s, Rgba{1, 0, 0, 1}, Rgba{1, 1, 1, 1}).g, 0.0f);
    EXPECT_EQ(combineStage(s, Rgba{0.5f, 0.5f, 0.5f, 1}, Rgba{1, 1, 1, 1}).a, 0.0f);
}

TEST(D3D9TextureStage, DefaultAlphaIgnoresTheVertexAndPassTexelIsRecognised) {
    StageSetup s;  // MODULATE(texture, current) / SELECTARG1(texture)
    const Rgba r = combineStage(s, Rgba{0.5f, 0.5f, 0.5f, 0.25f}, Rgba{1, 1, 1, 0});
    EXPECT_EQ(r.a, 0.25f);
    EXPECT_TRUE(stagePassesTexel(s, Rgba{1, 1, 1, 0.5f}));
    EXPECT_FALSE(stagePassesTexel(s, Rgba{1, 0.5f, 1, 1}));
    s.colorArg2 = D3DTA_TFACTOR;
    s.textureFactor = rgbaOfColor(0xBBFFBBFF);
    EXPECT_FALSE(stagePassesTexel(s, Rgba{1, 1, 1, 1}));
}

// Through the device: SRCALPHA / INVSRCALPHA on an X8R8G8B8 target.
TEST(D3D9Blending, DeviceBlendsAWorkedValueAndTreatsMissingDestAlphaAsOne) {
    TestDevice device(4, 1);
    IDirect3DTexture9* texture = testing::makeTexture(device.get(), 1, 1, D3DFMT_A8R8G8B8,
                                                      [](int, int) { return 0x80C8C8C8u; });
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF646464, 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    testing::drawQuads(device.get(), texture, {testing::rectQuad(0, 0, 1, 1, 0, 0, 1, 1)});
    EXPECT_EQ(testing::readRaw(device.target(), 0, 0), 0xFF969696u);  // 150
    // DESTALPHA reads 1 on a target without alpha, INVDESTALPHA 0.
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_INVDESTALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTALPHA);
    testing::drawQuads(device.get(), texture, {testing::rectQuad(1, 0, 2, 1, 0, 0, 1, 1)});
    EXPECT_EQ(testing::readRaw(device.target(), 1, 0), 0xFF646464u);
    texture->Release();
}

TEST(D3D9Blending, OneOneQuadAddsItsTexelOncePerPixel) {
    TestDevice device(16, 16);
    IDirect3DTexture9* texture = testing::makeTexture(device.get(), 16, 16, D3DFMT_X8R8G8B8,
                                                      [](int, int) { return 0xFF010203u; });
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    for (bool fast : {true, false}) {
        setFastPathsEnabled(fast);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
        testing::drawQuads(device.get(), texture,
                           {testing::rectQuad(2, 3, 13, 6, 0, 0, 11.0f / 16, 3.0f / 16)});
        const SurfaceView t = device.target();
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool inside = x >= 2 && x < 13 && y >= 3 && y < 6;
                ASSERT_EQ(testing::readRaw(t, x, y), inside ? 0xFF112233u : 0xFF102030u)
                    << x << "," << y;
            }
        }
    }
    setFastPathsEnabled(true);
    texture->Release();
}

TEST(D3D9Blending, AlphaTestRemovesTransparentTexelsOnlyWhenOn) {
    TestDevice device(2, 1);
    IDirect3DTexture9* texture = testing::makeTexture(
        device.get(), 2, 1, D3DFMT_A1R5G5B5, [](int x, int) { return x == 0 ? 0x0000u : 0xFFFFu; });
    for (DWORD test : {0u, 1u}) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, test);
        device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        device->SetRenderState(D3DRS_ALPHAREF, 1);
        testing::drawQuads(device.get(), texture, {testing::rectQuad(0, 0, 2, 1, 0, 0, 1, 1)});
        EXPECT_EQ(testing::readRaw(device.target(), 0, 0), test ? 0xFF0000FFu : 0xFF000000u);
        EXPECT_EQ(testing::readRaw(device.target(), 1, 0), 0xFFFFFFFFu);
    }
    texture->Release();
}

}  // namespace
}  // namespace vantoro::d3d9
