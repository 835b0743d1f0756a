// One frame of the image view as the window draws it, through the device,
// its canvas and the software renderer, against a plain copy of a frame's
// bytes in the same run (BM_Memcpy/frame):
//   1. into the 800 x 600 scene target: clear, the opaque background picture
//      (800 x 600), the selected image (400 x 300 A1R5G5B5, blend 0x504,
//      tinted) unscaled or at 200 % (bilinear);
//   2. onto the back buffer: clear, the scene target with 0x504;
//   3. present, here into memory as a window would take the frame.
// BM_FrameGeneralPath draws the same frames with the renderer's fast paths
// off.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "d3d9/d3d9_fast_paths.h"
#include "d3d9/d3d9_formats.h"
#include "d3d9/d3d9_presenter.h"
#include "pixels/dx9_textures.h"
#include "render/dx9_canvas.h"
#include "render/dx9_device.h"

namespace {

using namespace vantoro;

constexpr std::int32_t kViewWidth = 800;
constexpr std::int32_t kViewHeight = 600;
constexpr std::int32_t kImageWidth = 400;
constexpr std::int32_t kImageHeight = 300;
constexpr std::uint32_t kBackColor = 0x808080;   // 0x00BBGGRR
constexpr std::uint32_t kBlendColor = 0x4080C0;  // a non-white blend colour
constexpr std::uint32_t kAlpha = 255;

// Takes every presented frame into memory, row by row, as a window would.
class MemoryPresenter final : public d3d9::Presenter {
public:
    void presentFrame(const d3d9::PresentedFrame& frame) override {
        const auto rowBytes = static_cast<std::size_t>(frame.width) * 4;
        m_pixels.resize(rowBytes * static_cast<std::size_t>(frame.height));
        for (std::int32_t y = 0; y < frame.height; ++y) {
            std::memcpy(m_pixels.data() + rowBytes * static_cast<std::size_t>(y),
                        frame.bits + static_cast<std::ptrdiff_t>(y) * frame.pitch, rowBytes);
        }
    }
    const std::vector<std::uint8_t>& pixels() const { return m_pixels; }

private:
    std::vector<std::uint8_t> m_pixels;
};

// Fills an active texture texel by texel through its lock.
template <typename Texel, typename Fill>
void fillTexture(TDXTexture& texture, Fill fill) {
    TDXLockedRect rect;
    if (!texture.Lock(kLockWrite, rect)) throw std::runtime_error("texture lock refused");
    for (std::int32_t y = 0; y < texture.FHeight; ++y) {
        auto* row =
            static_cast<std::uint8_t*>(rect.Bits) + static_cast<std::ptrdiff_t>(y) * rect.Pitch;
        for (std::int32_t x = 0; x < texture.FWidth; ++x) {
            const Texel v = fill(x, y);
            std::memcpy(row + sizeof(Texel) * static_cast<std::size_t>(x), &v, sizeof v);
        }
    }
    texture.Unlock();
}

std::unique_ptr<TDXImageTexture> makeImageTexture(std::uint32_t format, std::int32_t size,
                                                  std::int32_t imageWidth,
                                                  std::int32_t imageHeight) {
    auto texture = std::make_unique<TDXImageTexture>();
    texture->SetFormat(format);
    texture->SetSize(size, size);
    texture->SetImageSize(imageWidth, imageHeight);
    if (!texture->SetActive(true)) throw std::runtime_error("texture not created");
    return texture;
}

// A sprite-like image: an opaque ellipse of shaded colour on a transparent
// ground, as the archives deliver them.
std::uint16_t spriteTexel(std::int32_t x, std::int32_t y) {
    const double dx = (x - kImageWidth / 2.0) / (kImageWidth / 2.0);
    const double dy = (y - kImageHeight / 2.0) / (kImageHeight / 2.0);
    if (x >= kImageWidth || y >= kImageHeight || dx * dx + dy * dy > 1.0) return 0;
    const auto r = static_cast<std::uint16_t>((x * 31 / kImageWidth) & 31);
    const auto g = static_cast<std::uint16_t>((y * 31 / kImageHeight) & 31);
    const auto b = static_cast<std::uint16_t>(((x ^ y) >> 2) & 31);
    return static_cast<std::uint16_t>(0x8000 | (r << 10) | (g << 5) | b);
}

// The window's device, its three textures and the frame of one tick.
class ViewFrame {
public:
    explicit ViewFrame(double zoom) : m_zoom(zoom) {
        m_device.SetWidth(kViewWidth);
        m_device.SetHeight(kViewHeight);
        m_device.SetVSync(false);
        m_device.SetWindowHandle(&m_presenter);
        m_device.OnRender = [this](TDX9Device& device) { render(device); };
        if (!m_device.Initialize()) throw std::runtime_error(m_device.ErrorMsg());
        m_backImage = makeImageTexture(D3DFMT_A8R8G8B8, 1024, kViewWidth, kViewHeight);
        fillTexture<std::uint32_t>(*m_backImage, [](std::int32_t x, std::int32_t y) {
            return 0xFF000000u | static_cast<std::uint32_t>((x * 2654435761u) ^ (y * 40503u)) >> 8;
        });
        m_image = makeImageTexture(D3DFMT_A1R5G5B5, 512, kImageWidth, kImageHeight);
        fillTexture<std::uint16_t>(*m_image, spriteTexel);
        m_scene = std::make_unique<TDXRenderTargetTexture>();
        m_scene->SetSize(kViewWidth, kViewHeight);
        if (!m_scene->SetActive(true)) throw std::runtime_error("scene target not created");
    }

    // One timer tick: the scene into its target, the target onto the back
    // buffer, present.
    void tick() {
        m_device.RenderTo(m_scene.get(), kBackColor, true,
                          [this](TDX9Device& device) { drawScene(device); });
        m_device.Render(kBackColor, true);
        m_device.Flip();
    }

    const std::vector<std::uint8_t>& presented() const { return m_presenter.pixels(); }

private:
    void drawScene(TDX9Device& device) {
        TDXCanvas& canvas = device.Canvas();
        const std::uint32_t color = (kAlpha << 24) | kBlendColor;
        const QuadColors colors = {color, color, color, color};
        canvas.Draw(0, 0, kBlendOpaque, m_backImage.get(), m_backImage->GetBounds());
        const IntRect bounds = m_image->GetBounds();
        // Halves round to even, as the view rounds.
        const auto w = static_cast<std::int32_t>(std::nearbyint(bounds.Right * m_zoom));
        const auto h = static_cast<std::int32_t>(std::nearbyint(bounds.Bottom * m_zoom));
        const std::int32_t x = (kViewWidth - w) / 2;
        const std::int32_t y = (kViewHeight - h) / 2;
        if (m_zoom != 1.0) {
            canvas.StretchDraw({x, y, x + w, y + h}, bounds, false, false, colors,
                               kBlendSourceAlpha, m_image.get());
        } else {
            canvas.DrawEx(x, y, false, false, colors, kBlendSourceAlpha, m_image.get(), bounds);
        }
    }

    void render(TDX9Device& device) {
        const QuadColors white = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
        device.Canvas().DrawColored(0, 0, white, kBlendSourceAlpha, m_scene.get(),
                                    m_scene->GetBounds());
    }

    double m_zoom;
    MemoryPresenter m_presenter;
    TDX9Device m_device;
    std::unique_ptr<TDXImageTexture> m_backImage;
    std::unique_ptr<TDXImageTexture> m_image;
    std::unique_ptr<TDXRenderTargetTexture> m_scene;
};

void BM_Frame(benchmark::State& state, double zoom) {
    ViewFrame frame(zoom);
    for (auto _ : state) {
        frame.tick();
        benchmark::DoNotOptimize(frame.presented().data());
    }
    state.SetItemsProcessed(state.iterations());
}

// The same frame with the renderer's fast paths switched off: the figure
// the fast paths are measured against.
void BM_FrameGeneralPath(benchmark::State& state, double zoom) {
    d3d9::setFastPathsEnabled(false);
    BM_Frame(state, zoom);
    d3d9::setFastPathsEnabled(true);
}

void BM_Memcpy(benchmark::State& state, const char* /*what*/) {
    const std::size_t bytes = static_cast<std::size_t>(kViewWidth) * kViewHeight * 4;
    std::vector<std::uint8_t> from(bytes, 0x5A);
    std::vector<std::uint8_t> to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

BENCHMARK_CAPTURE(BM_Frame, unscaled, 1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Frame, zoom200, 2.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, frame, "frame")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameGeneralPath, unscaled, 1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FrameGeneralPath, zoom200, 2.0)->Unit(benchmark::kMillisecond);

}  // namespace
