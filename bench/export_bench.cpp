// Exporting the same 1,000 entries of two Mir2 archives (one 8-bit, one
// 16-bit) as PNG files (BM_ExportPng) against BMP files (BM_ExportBmp), in
// the same run, through the export the command line's `export` runs. PNG
// adds conversion to RGBA and compression to the same decoding and writing.
// BM_ImportFrom imports the same entries into a pack, as `import --from`
// does, against the same BMP export.
// The files go to the temporary folder (TMPDIR): on a disk, creating them
// weighs on both; on tmpfs the encoders' own cost shows.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/open_archive.h"
#include "edit/archive_import.h"
#include "edit/export_entries.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/test_files.h"

namespace vantoro::bench {
namespace {

namespace fx = vantoro::testing;

constexpr int kEntriesPerArchive = 500;

std::uint32_t mix(std::uint32_t v) {
    v ^= v >> 16;
    v *= 0x7feb352du;
    v ^= v >> 15;
    v *= 0x846ca68bu;
    return v ^ (v >> 16);
}

// A sprite as game archives hold them: a figure of shaded colour with a
// little dithering noise, surrounded by the transparent colour (palette
// index 0 or colour word 0); every eighth entry is an opaque ground tile.
fx::M2Image spriteImage(int entry, bool sixteenBit) {
    const auto seed = static_cast<std::uint32_t>(entry);
    const auto width = static_cast<std::uint16_t>(16 + mix(seed) % 100);
    const auto height = static_cast<std::uint16_t>(16 + mix(seed + 7919) % 110);
    const bool tile = entry % 8 == 0;
    fx::M2Image image{width,
                      height,
                      static_cast<std::int16_t>(-(width / 2)),
                      static_cast<std::int16_t>(-height),
                      {}};
    image.pixels.reserve(static_cast<std::size_t>(width) * height);
    const double cx = width / 2.0;
    const double cy = height / 2.0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const double dx = (x - cx) / cx;
            const double dy = (y - cy) / cy;
            if (!tile && dx * dx + dy * dy > 0.8) {
                image.pixels.push_back(0);
                continue;
            }
            const std::uint32_t noise = mix(seed * 65599u + y * width + x) % 4;
            const std::uint32_t shade = (x + 2 * y) / 6 + noise;
            if (sixteenBit) {
                const std::uint32_t red = (8 + shade + seed % 8) % 32;
                const std::uint32_t green = (16 + shade * 2) % 64;
                const std::uint32_t blue = (4 + y / 4 + noise) % 32;
                image.pixels.push_back(
                    static_cast<std::uint16_t>(red << 11 | green << 5 | blue | 1));
            } else {
                image.pixels.push_back(
                    static_cast<std::uint16_t>(16 + (seed % 12) * 16 + shade % 16));
            }
        }
    }
    return image;
}

struct ExportArchives {
    ExportArchives() {
        for (const bool sixteenBit : {false, true}) {
            std::vector<fx::M2Image> images;
            for (int i = 0; i < kEntriesPerArchive; ++i)
                images.push_back(spriteImage(i, sixteenBit));
            const std::string path = dir.file(sixteenBit ? "b.wil" : "a.wil");
            fx::M2DefOptions options;
            options.sixteenBit = sixteenBit;
            fx::writeM2Def(path, images, options);
            OpenedArchive opened = openArchive(TWMImagesKind::M2Def, path);
            if (!opened.opened) std::abort();
            archives.push_back(std::move(opened.archive));
        }
    }
    fx::TempDir dir;
    std::vector<std::unique_ptr<TWMBaseImages>> archives;
};

ExportArchives& exportArchives() {
    static ExportArchives archives;
    return archives;
}

void exportAll(benchmark::State& state, bool png) {
    ExportArchives& archives = exportArchives();
    fx::TempDir out;
    DefaultAnswers prompts;
    for (auto _ : state) {
        for (std::size_t a = 0; a < archives.archives.size(); ++a) {
            ExportRequest request;
            request.first = 0;
            request.last = kEntriesPerArchive - 1;
            request.folder = out.file(std::to_string(a));
            request.png = png;
            if (exportEntries(*archives.archives[a], request, prompts).outcome !=
                EditOutcome::Done) {
                state.SkipWithError("the export failed");
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kEntriesPerArchive * 2);
    // The size of the pictures written, so a faster encoder is also seen
    // to keep the files compact.
    std::uintmax_t pictureBytes = 0;
    for (const auto& file : std::filesystem::recursive_directory_iterator(out.path())) {
        if (file.is_regular_file() && file.path().extension() != ".txt") {
            pictureBytes += file.file_size();
        }
    }
    state.counters["picture_bytes"] = static_cast<double>(pictureBytes);
}

void BM_ExportBmp(benchmark::State& state) {
    exportAll(state, false);
}
BENCHMARK(BM_ExportBmp)->Unit(benchmark::kMillisecond);

void BM_ExportPng(benchmark::State& state) {
    exportAll(state, true);
}
BENCHMARK(BM_ExportPng)->Unit(benchmark::kMillisecond);

// `import PACK --from` of the same two archives into a new pack: every entry
// decoded, stored in the format it draws in, run-length coded and appended.
// Its baseline is BM_ExportBmp, which decodes and writes the same entries.
void BM_ImportFrom(benchmark::State& state) {
    ExportArchives& archives = exportArchives();
    std::vector<TWMBaseImages*> sources;
    for (const auto& archive : archives.archives) sources.push_back(archive.get());
    fx::TempDir out;
    DefaultAnswers prompts;
    for (auto _ : state) {
        const std::string path = out.file("out.pak");
        fx::writePack(path, {});
        const std::unique_ptr<TWMMyImageImages> pack = fx::openPack(path);
        const ArchiveImportResult result =
            importArchiveEntries(*pack, ImportRequest{}, ArchivePixels::AsDrawn, sources, prompts);
        if (result.edit.outcome != EditOutcome::Done || result.stored != kEntriesPerArchive * 2) {
            state.SkipWithError("the import failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * kEntriesPerArchive * 2);
    state.counters["pack_bytes"] =
        static_cast<double>(std::filesystem::file_size(out.file("out.pak")));
}
BENCHMARK(BM_ImportFrom)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantoro::bench
