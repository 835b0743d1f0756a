#include "render/dx9_canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "d3d9/d3d9_device.h"
#include "d3d9/d3d9_fast_paths.h"
#include "pixels/dx9_textures.h"
#include "pixels/shared_device.h"
#include "render/dx9_device.h"
#include "render/dx9_notify.h"

namespace vantoro {
namespace {

using d3d9::SurfaceView;

constexpr std::int32_t kTargetWidth = 24;
constexpr std::int32_t kTargetHeight = 12;
constexpr QuadColors kWhite4 = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
// 0xAABBGGRR: alpha 0x80, blue 0xC0, green 0xFF, red 0x40.
constexpr std::uint32_t kTint = 0x80C0FF40;
constexpr QuadColors kTint4 = {kTint, kTint, kTint, kTint};

// --- An independent model of one pixel ---------------------------------------------

struct Px {
    double r = 0, g = 0, b = 0, a = 0;
};

Px unitOfArgb(std::uint32_t c) {
    return {((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
            (c >> 24) / 255.0};
}

Px unitOfAbgr(std::uint32_t c) {
    return {(c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0,
            (c >> 24) / 255.0};
}

Px inverse(const Px& c) {
    return {1 - c.r, 1 - c.g, 1 - c.b, 1 - c.a};
}
Px all(double v) {
    return {v, v, v, v};
}

// Stage 0 with TEXTURE as the first and DIFFUSE as the second argument:
// MODULATE (2X, 4X) or MULTIPLYADD for colour, MODULATE for alpha, or the
// dot product with the factor 0xBBFFBBFF written into every channel.
Px stageResult(std::uint32_t key, const Px& t, const Px& d) {
    if (key == 0x7FFFFFF5) {
        const Px f = unitOfArgb(0xBBFFBBFF);
        const double dot =
            4 * ((t.r - 0.5) * (f.r - 0.5) + (t.g - 0.5) * (f.g - 0.5) + (t.b - 0.5) * (f.b - 0.5));
        return all(std::clamp(dot, 0.0, 1.0));
    }
    const bool add = key == 0x7FFFFFF6;
    const double k = (key == 0x7FFFFFF2 || key == 0x7FFFFFF4)                        ? 4
                     : (key == 0x7FFFFFF0 || key == 0x7FFFFFF1 || key == 0x7FFFFFF3) ? 2
                                                                                     : 1;
    const auto c = [&](double x, double y) { return std::min(1.0, k * x * y + (add ? y : 0)); };
    return {c(t.r, d.r), c(t.g, d.g), c(t.b, d.b), t.a * d.a};
}

// Factor by index (D3DBLEND value - 1) on a target without alpha (Ad = 1):
// DESTALPHA is ONE, INVDESTALPHA and SRCALPHASAT are ZERO in colour, the
// blend factor stays white. BOTH* are resolved in blendRuleOf.
Px factor(std::uint32_t index, const Px& s, const Px& d) {
    const Px table[] = {all(0),       all(1), s,      inverse(s), all(s.a),
                        all(1 - s.a), all(1), all(0), d,          inverse(d),
                        {0, 0, 0, 1}, all(1), all(1), all(1),     all(0)};
    return table[index];
}

struct BlendRule {
    bool enabled;
    std::uint32_t source, destination, operation;  // indices
};

BlendRule blendRuleOf(std::uint32_t key) {
    if (key == 0x7FFFFFF0) return {true, 4, 1, 0};
    if (key == 0x7FFFFFF1 || key == 0x7FFFFFF2) return {true, 8, 1, 0};
    if (key >= 0x7FFFFFF3 && key <= 0x7FFFFFF6) return {true, 4, 5, 0};
    BlendRule rule{true, key & 0xFF, (key >> 8) & 0xFF, (key >> 16) & 0xFF};
    rule.enabled = !(rule.source == 1 && rule.destination == 0 && rule.operation == 0);
    // BOTHSRCALPHA / BOTHINVSRCALPHA as source name both factors; alone as
    // destination they stand for SRCALPHA / INVSRCALPHA.
    if (rule.source == 11 || rule.source == 12) {
        rule.destination = rule.source == 11 ? 5 : 4;
        rule.source = rule.source == 11 ? 4 : 5;
    } else if (rule.destination == 11 || rule.destination == 12) {
        rule.destination = rule.destination == 11 ? 4 : 5;
    }
    return rule;
}

// The final colour of a pixel, or nothing when the alpha test removes it.
// Operations by index: ADD, REVSUBTRACT, SUBTRACT, MIN, MAX (no factors).
std::optional<Px> expectedPixel(std::uint32_t key, const Px& texel, const Px& diffuse,
                                const Px& dst, bool alphaTest = true) {
    const Px s = stageResult(key, texel, diffuse);
    const BlendRule rule = blendRuleOf(key);
    if (!rule.enabled) return s;
    if (alphaTest && !(s.a >= 1.0 / 255)) return std::nullopt;
    const Px fs = factor(rule.source, s, dst);
    const Px fd = factor(rule.destination, s, dst);
    const auto channel = [&](double sc, double fsc, double dc, double fdc) {
        const double results[] = {sc * fsc + dc * fdc, dc * fdc - sc * fsc, sc * fsc - dc * fdc,
                                  std::min(sc, dc), std::max(sc, dc)};
        return results[rule.operation];
    };
    return Px{channel(s.r, fs.r, dst.r, fd.r), channel(s.g, fs.g, dst.g, fd.g),
              channel(s.b, fs.b, dst.b, fd.b), 1.0};
}

// A stored 8-bit channel matches the exact value rounded half up; within a
// hair of a half step either neighbour is accepted (float against double).
bool channelMatches(std::uint32_t stored, double exact) {
    const double scaled = std::clamp(exact, 0.0, 1.0) * 255.0 + 0.5;
    const auto low = static_cast<std::uint32_t>(std::floor(scaled - 1e-3));
    const auto high = static_cast<std::uint32_t>(std::floor(scaled + 1e-3));
    return stored >= low && stored <= high;
}

// --- Device and textures ------------------------------------------------------------

// Texels of the drawn image: varied colours, alpha per column from 0 up.
std::uint32_t imageTexel(int x, int y) {
    static constexpr std::uint32_t kAlpha[8] = {0, 1, 64, 128, 200, 255, 0, 255};
    const std::uint32_t seed = static_cast<std::uint32_t>(x * 73 + y * 151 + 17) * 2654435761u;
    return (kAlpha[x % 8] << 24) | ((seed >> 8) & 0xFFFFFF);
}

std::uint32_t backgroundTexel(int x, int y) {
    const std::uint32_t seed =
        static_cast<std::uint32_t>(x * 31 + y * 7 + 5) * 40503u * 2654435761u;
    return 0xFF000000 | ((seed >> 4) & 0xFFFFFF);
}

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        device.SetWidth(kTargetWidth);
        device.SetHeight(kTargetHeight);
        ASSERT_TRUE(device.Initialize()) << device.ErrorMsg();
        background = makeTexture(32, 16, kTargetWidth, kTargetHeight, backgroundTexel);
        image = makeTexture(8, 8, 8, 4, imageTexel);
    }

    TDXCanvas& canvas() { return device.Canvas(); }
    IDirect3DDevice9* d3d() { return sharedDevice().device; }

    // A texture of w x h texels holding an image of imageW x imageH; the
    // texel values come from fill (as many low bytes as the format has).
    static std::unique_ptr<TDXImageTexture> makeTexture(int w, int h, int imageW, int imageH,
                                                        std::uint32_t (*fill)(int, int),
                                                        std::uint32_t format = D3DFMT_A8R8G8B8) {
        auto texture = std::make_unique<TDXImageTexture>();
        texture->SetFormat(format);
        texture->SetSize(w, h);
        texture->SetImageSize(imageW, imageH);
        const int bytes = format == D3DFMT_A8R8G8B8 ? 4 : 2;
        TDXLockedRect rect;
        EXPECT_TRUE(texture->SetActive(true));
        EXPECT_TRUE(texture->Lock(kLockWrite, rect));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint32_t v = fill(x, y);
                std::memcpy(static_cast<std::uint8_t*>(rect.Bits) + y * rect.Pitch + bytes * x, &v,
                            static_cast<std::size_t>(bytes));
            }
        }
        texture->Unlock();
        return texture;
    }

    // One scene on the back buffer over the opaque background.
    void frame(const std::function<void()>& draw) {
        ASSERT_TRUE(device.Clear(0x000000, false));
        ASSERT_TRUE(device.BeginScene());
        canvas().Draw(0, 0, kBlendOpaque, background.get(), background->GetBounds());
        draw();
        ASSERT_TRUE(device.EndScene());
    }

    std::uint32_t pixel(int x, int y) {
        IDirect3DSurface9* surface = nullptr;
        EXPECT_TRUE(SUCCEEDED(d3d()->GetRenderTarget(0, &surface)));
        const SurfaceView view = surface->view();
        surface->Release();
        std::uint32_t v = 0;
        std::memcpy(&v, view.at(x, y), 4);
        return v & 0xFFFFFF;
    }

    struct Placed {
        std::uint32_t key;
        int x, y;
        QuadColors colors;
    };

    // Every pixel of the target against the model: inside a placed image
    // the image drawn with its key over the background, elsewhere the
    // background.
    void expectImages(const std::vector<Placed>& placed, bool alphaTest = true) {
        for (int y = 0; y < kTargetHeight; ++y) {
            for (int x = 0; x < kTargetWidth; ++x) {
                const Px dst = unitOfArgb(backgroundTexel(x, y));
                std::optional<Px> want = dst;
                for (const Placed& p : placed) {
                    if (x >= p.x && x < p.x + 8 && y >= p.y && y < p.y + 4) {
                        const Px t = unitOfArgb(imageTexel(x - p.x, y - p.y));
                        want = expectedPixel(p.key, t, unitOfAbgr(p.colors[0]), dst, alphaTest);
                        if (!want) want = dst;
                    }
                }
                const std::uint32_t got = pixel(x, y);
                const bool same = channelMatches((got >> 16) & 0xFF, want->r) &&
                                  channelMatches((got >> 8) & 0xFF, want->g) &&
                                  channelMatches(got & 0xFF, want->b);
                ASSERT_TRUE(same) << std::hex << "key 0x" << (placed.empty() ? 0 : placed[0].key)
                                  << ": pixel (" << std::dec << x << ", " << y << ") is 0x"
                                  << std::hex << got;
            }
        }
    }

    // Draws the image white at (2, 2) and tinted at (12, 6) with one code.
    void checkBlend(std::uint32_t key) {
        frame([&] {
            canvas().Draw(2, 2, key, image.get(), image->GetBounds());
            canvas().DrawColored(12, 6, kTint4, key, image.get(), image->GetBounds());
        });
        expectImages({{key, 2, 2, kWhite4}, {key, 12, 6, kTint4}});
    }

    TDX9Device device;
    std::unique_ptr<TDXImageTexture> background;
    std::unique_ptr<TDXImageTexture> image;
};

// --- Blending -------------------------------------------------------------------------

TEST_F(CanvasTest, EveryBlendModeOfTheViewMatchesThePixelModel) {
    for (std::uint32_t key : {0x000001u, 0x000504u, 0x000109u, 0x000104u, 0x000101u, 0x000302u,
                              0x7FFFFFF0u, 0x000102u, 0x000500u, 0x000201u, 0x7FFFFFF6u}) {
        checkBlend(key);
        if (HasFatalFailure()) return;
    }
}

TEST_F(CanvasTest, CustomFactorPairsMatchThePixelModel) {
    for (std::uint32_t destination = 0; destination < 15; ++destination) {
        for (std::uint32_t source = 0; source < 15; ++source) {
            checkBlend(destination * 256 + source);
            if (HasFatalFailure()) return;
        }
    }
}

TEST_F(CanvasTest, OperationIndexOneReverseSubtractsAndTwoSubtracts) {
    for (std::uint32_t key : {0x010101u, 0x020101u, 0x030101u, 0x040101u, 0x010504u, 0x020504u}) {
        checkBlend(key);
        if (HasFatalFailure()) return;
    }
}

TEST_F(CanvasTest, SpecialCodesMatchThePixelModel) {
    for (std::uint32_t key = 0x7FFFFFF0; key <= 0x7FFFFFF6; ++key) {
        checkBlend(key);
        if (HasFatalFailure()) return;
    }
}

TEST_F(CanvasTest, AfterTheDotProductCodeLaterQuadsModulateByTheirOwnColours) {
    frame([&] {
        canvas().Draw(2, 2, kBlendDotProduct3, image.get(), image->GetBounds());
        canvas().DrawColored(12, 6, kTint4, kBlendSourceAlpha, image.get(), image->GetBounds());
    });
    expectImages({{kBlendDotProduct3, 2, 2, kWhite4}, {kBlendSourceAlpha, 12, 6, kTint4}});
}

TEST_F(CanvasTest, AlphaZeroTexelsAreDrawnOnlyWithoutBlending) {
    // Column 0 of the image has alpha 0 and a colour of its own.
    for (std::uint32_t key : {0x000001u, 0x000101u, 0x000504u, 0x7FFFFFF0u}) {
        frame([&] { canvas().Draw(2, 2, key, image.get(), image->GetBounds()); });
        const std::uint32_t drawn = imageTexel(0, 0) & 0xFFFFFF;
        const std::uint32_t untouched = backgroundTexel(2, 2) & 0xFFFFFF;
        EXPECT_EQ(pixel(2, 2), key == 0x000001 ? drawn : untouched) << std::hex << key;
    }
    // With the alpha test switched off, ONE, ONE adds them like any texel.
    canvas().FAlphaTest = false;
    frame([&] { canvas().Draw(2, 2, 0x000101, image.get(), image->GetBounds()); });
    expectImages({{0x000101, 2, 2, kWhite4}}, false);
}

// --- Batching -------------------------------------------------------------------------

TEST_F(CanvasTest, FiveQuadsFillABatchAndTheSixthStartsTheNext) {
    frame([&] {
        for (int i = 0; i < 5; ++i)
            canvas().Draw(i, 0, kBlendSourceAlpha, image.get(), {0, 0, 1, 1});
        EXPECT_EQ(canvas().FBatchCount, 1) << "only the background so far";
        EXPECT_EQ(canvas().FVertexCount, 20);
        EXPECT_EQ(canvas().FIndexCount, 30);
        canvas().Draw(5, 0, kBlendSourceAlpha, image.get(), {0, 0, 1, 1});
        EXPECT_EQ(canvas().FBatchCount, 2);
        EXPECT_EQ(canvas().FVertexCount, 4);
    });
    EXPECT_EQ(canvas().FBatchCount, 3);
}

TEST_F(CanvasTest, WhiteAndTintedQuadsGoInSeparateBatchesWithTheSameStates) {
    const auto snapshot = [&] {
        std::vector<DWORD> states;
        for (auto rs :
             {D3DRS_ALPHABLENDENABLE, D3DRS_ALPHATESTENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND,
              D3DRS_BLENDOP, D3DRS_ALPHAREF, D3DRS_ALPHAFUNC, D3DRS_CULLMODE, D3DRS_ZENABLE}) {
            DWORD v = 0;
            d3d()->GetRenderState(rs, &v);
            states.push_back(v);
        }
        for (auto ts : {D3DTSS_COLOROP, D3DTSS_ALPHAOP, D3DTSS_COLORARG1, D3DTSS_COLORARG2,
                        D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2}) {
            DWORD v = 0;
            d3d()->GetTextureStageState(0, ts, &v);
            states.push_back(v);
        }
        return states;
    };
    std::vector<DWORD> white, tinted;
    frame([&] {
        canvas().Draw(2, 2, kBlendSourceAlpha, image.get(), image->GetBounds());
        white = snapshot();
        EXPECT_EQ(canvas().FCurrentBlend, kBlendSourceAlpha);
        canvas().DrawColored(12, 6, kTint4, kBlendSourceAlpha, image.get(), image->GetBounds());
        tinted = snapshot();
        EXPECT_EQ(canvas().FCurrentBlend, kBlendSourceAlpha | kBlendColoredBit);
    });
    EXPECT_EQ(canvas().FBatchCount, 3);
    EXPECT_EQ(white, tinted);
    EXPECT_EQ(white, (std::vector<DWORD>{1, 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
                                         D3DBLENDOP_ADD, 1, D3DCMP_GREATEREQUAL, D3DCULL_NONE, 0,
                                         D3DTOP_MODULATE, D3DTOP_MODULATE, D3DTA_TEXTURE,
                                         D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTA_DIFFUSE}));
    expectImages({{kBlendSourceAlpha, 2, 2, kWhite4}, {kBlendSourceAlpha, 12, 6, kTint4}});
}

TEST_F(CanvasTest, AnotherTextureOrBlendStartsANewBatch) {
    frame([&] {
        canvas().Draw(2, 2, kBlendSourceAlpha, image.get(), image->GetBounds());
        canvas().Draw(12, 6, 0x000101, image.get(), image->GetBounds());
        canvas().Draw(12, 0, 0x000101, background.get(), {0, 0, 4, 4});
        EXPECT_EQ(canvas().FBatchCount, 3);
    });
    EXPECT_EQ(canvas().FBatchCount, 4);
}

// --- Source rectangles ------------------------------------------------------------------

// The image is 8 x 4 texels in an 8 x 8 texture; drawn at (10, 4).
class SourceRectTest : public CanvasTest {
protected:
    // Which image texel each pixel of a 12 x 5 window at (10, 4) shows; -1 untouched.
    std::vector<int> shown(const IntRect& source, bool flipV = false, bool flipH = false) {
        frame([&] {
            canvas().DrawEx(10, 4, flipV, flipH, kWhite4, kBlendOpaque, image.get(), source);
        });
        std::vector<int> out;
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 12; ++x) {
                int found = -1;
                for (int i = 0; i < 64 && found < 0; ++i) {
                    if (pixel(10 + x, 4 + y) == (imageTexel(i % 8, i / 8) & 0xFFFFFF)) found = i;
                }
                out.push_back(found);
            }
        }
        return out;
    }

    // The expected window: texel (sx + x, sy + y) for x < w, y < h.
    static std::vector<int> window(int sx, int sy, int w, int h) {
        std::vector<int> out(60, -1);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                out[static_cast<std::size_t>(y * 12 + x)] = (sy + y) * 8 + sx + x;
        }
        return out;
    }
};

TEST_F(SourceRectTest, RectanglesPastTheRightOrBottomEdgeAreCut) {
    EXPECT_EQ(shown({5, 1, 10, 3}), window(5, 1, 3, 2));
    EXPECT_EQ(shown({5, 2, 30, 40}), window(5, 2, 3, 2));
}

TEST_F(SourceRectTest, RectanglesStartingAtOrPastAnEdgeDrawNothing) {
    for (const IntRect& r : {IntRect{8, 0, 9, 2}, IntRect{9, 0, 12, 2}, IntRect{0, 4, 2, 6},
                             IntRect{2, 1, 2, 3}, IntRect{4, 1, 2, 3}, IntRect{2, 3, 4, 1}}) {
        EXPECT_EQ(shown(r), window(0, 0, 0, 0))
            << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
        expectImages({});  // nor anywhere else (an inverted rectangle would mirror leftwards)
        if (HasFatalFailure()) return;
    }
}

TEST_F(SourceRectTest, NegativeOriginDrawsFromColumnZeroWithTheUnclampedSize) {
    EXPECT_EQ(shown({-2, 0, 3, 2}), window(0, 0, 5, 2));
    EXPECT_EQ(shown({1, -1, 3, 1}), window(1, 0, 2, 2));
    EXPECT_EQ(shown({-3, 0, 7, 1}), window(0, 0, 8, 1)) << "then cut at the right edge";
}

TEST_F(SourceRectTest, FlipsMirrorTheRectangle) {
    std::vector<int> want = window(1, 1, 3, 2);
    std::vector<int> horizontal = want;
    for (int y = 0; y < 2; ++y) std::swap(horizontal[y * 12], horizontal[y * 12 + 2]);
    EXPECT_EQ(shown({1, 1, 4, 3}, false, true), horizontal);
    std::vector<int> vertical = want;
    for (int x = 0; x < 3; ++x) std::swap(vertical[x], vertical[12 + x]);
    EXPECT_EQ(shown({1, 1, 4, 3}, true, false), vertical);
}

TEST_F(CanvasTest, StretchDrawScalesWithoutClampingTheSource) {
    canvas().FLinearFilter = false;  // each texel doubled exactly
    frame([&] {
        canvas().StretchDraw({4, 2, 20, 10}, image->GetBounds(), false, false, kWhite4,
                             kBlendOpaque, image.get());
    });
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(pixel(4 + x, 2 + y), imageTexel(x / 2, y / 2) & 0xFFFFFF) << x << "," << y;
        }
    }
    EXPECT_EQ(pixel(20, 2), backgroundTexel(20, 2) & 0xFFFFFF);
}

// The view's tinted image through the renderer's fast paths and through its
// general path: the same bytes, whatever the tint, alpha and scale.
TEST_F(CanvasTest, TintedImagesComeOutTheSameThroughEveryRendererPath) {
    struct FastPathsBackOn {
        ~FastPathsBackOn() { d3d9::setFastPathsEnabled(true); }
    } restore;
    // A1R5G5B5 texels whose alpha bit varies.
    const auto sprite = makeTexture(
        8, 8, 8, 5, [](int x, int y) { return imageTexel(x, y) >> 3; }, D3DFMT_A1R5G5B5);
    const auto uses = [] {
        return std::vector<std::uint64_t>{
            d3d9::fastPathUseCount(d3d9::FastPathKind::ModulateBinaryAlphaCopy),
            d3d9::fastPathUseCount(d3d9::FastPathKind::ModulateSourceAlphaQuad)};
    };
    const std::vector<std::uint64_t> before = uses();
    for (int run = 0; run < 8; ++run) {
        const std::uint32_t tint = std::array<std::uint32_t, 4>{0xFF4080C0u, 0x804080C0u,
                                                                0x01FFFFFFu, 0xFFFFFFFFu}[run % 4];
        canvas().FAlphaTest = run < 4;  // without it, transparent texels blend too
        const QuadColors colors = {tint, tint, tint, tint};
        for (const IntRect& dest :
             {IntRect{3, 2, 11, 7}, IntRect{1, 1, 17, 11}, IntRect{20, 9, 2, 1}}) {
            std::vector<std::uint32_t> shown[2];
            for (int fast = 0; fast < 2; ++fast) {
                d3d9::setFastPathsEnabled(fast == 1);
                frame([&] {
                    canvas().StretchDraw(dest, sprite->GetBounds(), false, false, colors,
                                         kBlendSourceAlpha, sprite.get());
                });
                for (int y = 0; y < kTargetHeight; ++y) {
                    for (int x = 0; x < kTargetWidth; ++x) shown[fast].push_back(pixel(x, y));
                }
            }
            EXPECT_EQ(shown[0], shown[1])
                << std::hex << tint << std::dec << " run " << run << " into " << dest.Left << ","
                << dest.Top << "," << dest.Right << "," << dest.Bottom;
        }
    }
    const std::vector<std::uint64_t> after = uses();
    EXPECT_GT(after[0], before[0]) << "the opaque tint unscaled takes the binary-alpha copy";
    EXPECT_GT(after[1], before[1]) << "scaled or translucent tints take the modulated quad";
}

// --- Notifications ---------------------------------------------------------------------

TEST_F(CanvasTest, DeviceLossReleasesTheBuffersAndAResetBringsThemBack) {
    d3d()->loseDevice();
    EXPECT_FALSE(device.Flip());  // sends NotifyDeviceLost
    EXPECT_TRUE(canvas().FDeviceLost);
    EXPECT_EQ(canvas().FVertexBuffer, nullptr);
    EXPECT_EQ(canvas().FIndexBuffer, nullptr);

    ASSERT_TRUE(d3d()->BeginScene() == D3D_OK);
    canvas().Draw(2, 2, kBlendSourceAlpha, image.get(), image->GetBounds());
    EXPECT_EQ(canvas().FVertexCount, 0) << "quads are ignored while lost";
    EXPECT_TRUE(canvas().HandleNotify(NotifyEndScene));
    d3d()->EndScene();

    d3d()->endDeviceLoss();
    EXPECT_TRUE(device.Flip());  // resets: nothing of the canvas blocks it
    EXPECT_FALSE(canvas().FDeviceLost);
    EXPECT_NE(canvas().FVertexBuffer, nullptr);
    EXPECT_NE(canvas().FIndexBuffer, nullptr);
    checkBlend(kBlendSourceAlpha);
}

TEST_F(CanvasTest, BuffersThatCannotBeRecreatedFinaliseTheCanvas) {
    EXPECT_TRUE(canvas().HandleNotify(NotifyDeviceLost));
    d3d()->faults().refuseBuffers = true;
    EXPECT_TRUE(canvas().HandleNotify(NotifyDeviceReset));
    EXPECT_FALSE(canvas().FInitialized);
    EXPECT_FALSE(canvas().FDeviceLost);
    frame([&] { canvas().Draw(2, 2, kBlendSourceAlpha, image.get(), image->GetBounds()); });
    EXPECT_EQ(pixel(2, 2), 0u) << "nothing is drawn, not even the background";
    d3d()->faults().refuseBuffers = false;
    EXPECT_TRUE(canvas().HandleNotify(NotifyDeviceCreated));
    checkBlend(kBlendSourceAlpha);
}

TEST_F(CanvasTest, OnlyDeviceCreationCanFail) {
    EXPECT_FALSE(canvas().HandleNotify(NotifyDeviceCreated)) << "already initialised";
    EXPECT_TRUE(canvas().FInitialized);
    EXPECT_TRUE(canvas().HandleNotify(NotifyDeviceDestroying));
    EXPECT_FALSE(canvas().FInitialized);
    EXPECT_EQ(canvas().FVertexBuffer, nullptr);
    for (std::uint32_t code : {0x102u, 0x103u, 0x104u, 0x105u, 0x201u, 0x999u}) {
        EXPECT_TRUE(canvas().HandleNotify(code)) << code;
    }
    EXPECT_FALSE(canvas().FInitialized) << "a reset does not initialise a finalised canvas";
    EXPECT_TRUE(canvas().HandleNotify(NotifyDeviceCreated));
    EXPECT_TRUE(canvas().FInitialized);
}

}  // namespace
}  // namespace vantoro
