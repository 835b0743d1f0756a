// Importing 1,000 small PNG pictures appended to a pack (BM_ImportPng)
// against decoding the same files alone (BM_DecodePngs), in the same run:
// what the import adds to the decoding is conversion, run-length code and
// the writes.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/my_image_images.h"
#include "edit/import_entries.h"
#include "image_io/load_picture.h"
#include "image_io/png_file.h"
#include "tests/support/pack_writer.h"
#include "tests/support/test_files.h"

namespace vantoro::bench {
namespace {

namespace fx = vantoro::testing;

constexpr int kPictureCount = 1000;

// The pictures, 24..63 pixels a side, with runs and alpha, written once.
struct PngFolder {
    PngFolder() {
        for (int i = 0; i < kPictureCount; ++i) {
            const auto width = static_cast<std::uint32_t>(24 + i % 40);
            const auto height = static_cast<std::uint32_t>(24 + i * 7 % 40);
            fx::Bytes rgba(std::size_t{width} * height * 4);
            for (std::size_t p = 0; p < rgba.size(); ++p) {
                rgba[p] = static_cast<std::uint8_t>(p / 24 % 2 ? i : p * 13 + i);
            }
            files.push_back({dir.file(std::to_string(i) + ".png")});
            if (!savePng(PngRows{rgba, width, height, PngLayout::Rgba8, 0}, files.back().FileName))
                std::abort();
        }
    }
    fx::TempDir dir;
    std::vector<TImportFileItem> files;
};

const PngFolder& pngFolder() {
    static const PngFolder folder;
    return folder;
}

void BM_DecodePngs(benchmark::State& state) {
    const PngFolder& folder = pngFolder();
    for (auto _ : state) {
        for (const TImportFileItem& file : folder.files) {
            benchmark::DoNotOptimize(LoadPicture(file.FileName));
        }
    }
    state.SetItemsProcessed(state.iterations() * kPictureCount);
}
BENCHMARK(BM_DecodePngs)->Unit(benchmark::kMillisecond);

void BM_ImportPng(benchmark::State& state) {
    const PngFolder& folder = pngFolder();
    fx::TempDir dir;
    const std::string path = dir.file("a.pak");
    DefaultAnswers prompts;
    for (auto _ : state) {
        state.PauseTiming();
        fx::writePack(path, {});
        const auto opened = fx::openPack(path);
        TWMMyImageImages& pack = *opened;
        state.ResumeTiming();
        const EditResult result = importEntries(pack, {}, folder.files, prompts);
        if (result.outcome != EditOutcome::Done || pack.FImageCount != kPictureCount) {
            state.SkipWithError("the import failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * kPictureCount);
}
BENCHMARK(BM_ImportPng)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantoro::bench
