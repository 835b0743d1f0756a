// One whole tick of the main window's 10 ms frame timer, as the window runs
// it, against a plain copy of a frame's bytes in the same run
// (BM_Memcpy/frame, in frame_bench.cpp):
//   the auto-play step (shell/grid_navigation.h's AutoPlay), the scene into
//   its target, the target onto the back buffer, present into a window kept
//   in memory.
// The archive is the 1,000 bench sprites (32 to 256 pixels a side) as a Mir2
// 8-bit archive; the view shows its first entry centred with the window's
// start settings.
//
// BM_FrameTick: auto play is on but its 200 ms are not yet up, as on most
// ticks. BM_FrameTickAdvancing: every tick moves to the next entry and
// decodes it into the view's texture, as the tick that auto play moves on.
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "archive/archive_reader.h"
#include "archive/open_archive.h"
#include "bench/bench_sprites.h"
#include "render/dx9_device.h"
#include "render/image_view.h"
#include "shell/entry_selection.h"
#include "shell/grid_navigation.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/test_files.h"

namespace vantoro::bench {
namespace {

namespace fx = vantoro::testing;

std::unique_ptr<TWMBaseImages> openSpriteArchive(const fx::TempDir& dir) {
    std::vector<fx::M2Image> images;
    for (const Sprite& s : benchSprites()) {
        images.push_back({s.width, s.height, s.px, s.py, {s.indices.begin(), s.indices.end()}});
    }
    const std::string path = dir.file("sprites.wil");
    fx::writeM2Def(path, images);
    OpenedArchive opened = openArchive(TWMImagesKind::M2Def, path);
    if (!opened.opened) throw std::runtime_error("bench archive does not open");
    return std::move(opened.archive);
}

// The window's part in a tick: archive, selection, auto play, device, view.
class WindowTick {
public:
    WindowTick() : m_archive(openSpriteArchive(m_dir)), m_autoPlay([this] { return m_now; }) {
        view.placement = ViewPlacement::Centred;
        view.attachTo(m_device);
        m_device.SetVSync(false);
        m_device.SetWindowHandle(&m_window);
        if (!m_device.Initialize()) throw std::runtime_error(m_device.ErrorMsg());
        m_hooks.selectImage = [this](std::int32_t index) { return select(index); };
        m_hooks.currentImageInfo = [this] { return m_selection.CurrentImageInfo; };
        if (!select(0)) throw std::runtime_error("bench entry 0 does not decode");
        m_autoPlay.toggle();
    }

    // TimerTimer: a busy flag, the auto-play step, the drawing steps.
    void tick() {
        if (m_busy) return;
        m_busy = true;
        m_autoPlay.step(m_current, m_hooks);
        view.renderFrame(m_device);
        m_busy = false;
    }

    // Lets the clock pass auto play's period, so the next tick moves on;
    // past the last entry auto play starts again from the first.
    void passAutoPlayPeriod() {
        m_now += kAutoPlayPeriodMs + 1;
        if (!m_autoPlay.isOn()) {
            m_current = 0;
            m_autoPlay.toggle();
        }
    }

    const FrameKeeper& window() const { return m_window; }
    ImageView view;

private:
    bool select(std::int32_t index) {
        if (!acceptsSelection(m_archive.get(), index)) return false;
        m_current = index;
        selectEntry(m_archive.get(), index, view.ImageTexture.get(), m_selection);
        view.FImageOffsetX = m_selection.FImageOffsetX;
        view.FImageOffsetY = m_selection.FImageOffsetY;
        return true;
    }

    fx::TempDir m_dir;
    std::unique_ptr<TWMBaseImages> m_archive;
    std::uint32_t m_now = 1000;
    AutoPlay m_autoPlay;
    AutoPlayHooks m_hooks;
    SelectionState m_selection;
    std::int32_t m_current = 0;
    bool m_busy = false;
    FrameKeeper m_window;
    TDX9Device m_device;  // after the view and the window, which it calls
};

void BM_FrameTick(benchmark::State& state) {
    WindowTick window;
    for (auto _ : state) {
        window.tick();
        benchmark::DoNotOptimize(window.window().pixels().data());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_FrameTickAdvancing(benchmark::State& state) {
    WindowTick window;
    for (auto _ : state) {
        window.passAutoPlayPeriod();
        window.tick();
        benchmark::DoNotOptimize(window.window().pixels().data());
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_FrameTick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameTickAdvancing)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantoro::bench
