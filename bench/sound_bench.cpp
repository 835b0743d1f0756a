// The sound panel's costs, played into SDL's silent output (SDL_AUDIODRIVER
// defaults to "dummy" here):
//
// BM_SpectrumTick: one 26 ms tick of the sound timer while a sound plays:
//   playing state, position, the 4096-frame spectrum, the falling levels and
//   painting them into a display-sized image; beside BM_Memcpy/frame
//   (frame_bench.cpp) in the same run. It must stay far below its 26 ms.
//
// BM_SoundStart/mp3_10mb: selecting a 10 MB MP3 entry of a pack (reading the
//   entry, making its channel) and pressing Play, until the output has taken
//   its first samples and the first spectrum tick has drawn; it must answer
//   within 50 ms. Beside it BM_DecodeSound/mp3_10mb, the same MP3 decoded
//   whole, as making a channel once did. The MP3 (625 s at 128 kbit/s) is
//   made once by lame and kept in the system's temporary folder.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <thread>

#include "archive/my_image_images.h"
#include "audio/sound_stream.h"
#include "shell/entry_selection.h"
#include "shell/music_preview.h"
#include "tests/support/pack_writer.h"
#include "tests/support/sound_writer.h"

namespace vantoro::bench {
namespace {

namespace fx = vantoro::testing;

// The sound panel's display as the window lays it out.
constexpr std::int32_t kDisplayWidth = 587;
constexpr std::int32_t kDisplayHeight = 64;

void useSilentOutput() {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
}

// Two drifting tones over noise: every spectrum bin has something in it.
std::vector<std::int16_t> musicLike(std::uint32_t frames) {
    std::vector<std::int16_t> samples(std::size_t(frames) * 2);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-1500, 1500);
    double phaseA = 0, phaseB = 0;
    for (std::uint32_t n = 0; n < frames; ++n) {
        const double t = n / 44100.0;
        phaseA += 2 * std::numbers::pi * (300 + 200 * std::sin(t / 3)) / 44100;
        phaseB += 2 * std::numbers::pi * (2500 + 1500 * std::sin(t / 7)) / 44100;
        samples[2 * n] = static_cast<std::int16_t>(9000 * std::sin(phaseA) + noise(random));
        samples[2 * n + 1] = static_cast<std::int16_t>(7000 * std::sin(phaseB) + noise(random));
    }
    return samples;
}

void BM_SpectrumTick(benchmark::State& state) {
    useSilentOutput();
    const fx::Bytes wav = fx::wavFile(44100, 2, musicLike(44100 * 60));
    MusicPreview preview;
    if (!preview.startAudio()) {
        state.SkipWithError(("no audio output: " + audioLastError()).c_str());
        return;
    }
    preview.createChannel(wav);
    preview.play();
    for (auto _ : state) {
        if (!preview.tick(kDisplayWidth, kDisplayHeight)) {
            state.SkipWithError("the sound stopped");
            break;
        }
        benchmark::DoNotOptimize(preview.spectrumPixels().data());
    }
    preview.shutdown();
}

// The 10 MB MP3, made once.
const fx::Bytes& tenMegabyteMp3() {
    static const fx::Bytes mp3 = [] {
        const auto path = std::filesystem::temp_directory_path() / "vantoro-bench-10mb.mp3";
        if (std::filesystem::exists(path) && std::filesystem::file_size(path) >= 10'000'000) {
            return fx::readFile(path.string());
        }
        fx::TempDir dir;
        const auto made = fx::mp3FromWav(fx::wavFile(44100, 2, musicLike(44100 * 625)), dir);
        if (!made || made->empty()) return fx::Bytes{};
        fx::writeFile(path.string(), *made);
        return *made;
    }();
    return mp3;
}

void BM_DecodeSound(benchmark::State& state, const char* /*what*/) {
    const fx::Bytes& mp3 = tenMegabyteMp3();
    if (mp3.empty()) {
        state.SkipWithError(fx::kLameMissing);
        return;
    }
    for (auto _ : state) {
        auto stream = audio::SoundStream::open(mp3);
        if (!stream) {
            state.SkipWithError(stream.error().c_str());
            return;
        }
        std::vector<std::int16_t> samples((*stream)->frames() * (*stream)->channels());
        benchmark::DoNotOptimize((*stream)->read(0, samples));
        benchmark::DoNotOptimize(samples.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * mp3.size()));
}

void BM_SoundStart(benchmark::State& state, const char* /*what*/) {
    useSilentOutput();
    const fx::Bytes& mp3 = tenMegabyteMp3();
    if (mp3.empty()) {
        state.SkipWithError(fx::kLameMissing);
        return;
    }
    fx::TempDir dir;
    fx::PackEntry entry = fx::packFile(79, 0, false);
    entry.payload = mp3;
    fx::writePack(dir.file("sound.pak"), {entry});
    const auto opened = fx::openPack(dir.file("sound.pak"));
    TWMMyImageImages& pack = *opened;
    MusicPreview preview;
    if (!pack.FInitialized || !preview.startAudio()) {
        state.SkipWithError("cannot open the pack or the audio output");
        return;
    }
    SelectionState selection;
    for (auto _ : state) {
        preview.stop();
        preview.releaseChannel();
        auto chosen = selectEntry(&pack, 0, nullptr, selection);
        preview.createChannel(*chosen->soundStream);
        preview.play();
        while (BASS_ChannelGetPosition(preview.channel(), BASS_POS_BYTE) == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        preview.tick(kDisplayWidth, kDisplayHeight);
    }
    preview.shutdown();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * mp3.size()));
}

BENCHMARK(BM_SpectrumTick)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DecodeSound, mp3_10mb, "mp3_10mb")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_SoundStart, mp3_10mb, "mp3_10mb")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace vantoro::bench
