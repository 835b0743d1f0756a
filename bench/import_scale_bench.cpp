// How imports grow with the number of files: a folder of small pictures
// listed and appended to an empty pack (BM_ImportPictures), then a folder
// of their offsets files put over the same entries (BM_ImportOffsets), for
// 2,000 and 16,000 files. The time per file ("per_file") of the larger
// run against the smaller one in the same run says whether the work stays
// linear; the folder listing is timed too, since it reads each picture's
// offsets file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/my_image_images.h"
#include "edit/import_entries.h"
#include "edit/import_sources.h"
#include "image_io/bmp_file.h"
#include "tests/support/pack_writer.h"
#include "tests/support/test_files.h"

namespace vantoro::bench {
namespace {

namespace fx = vantoro::testing;

std::string numbered(int i, const char* extension) {
    char name[32];
    std::snprintf(name, sizeof name, "%06d%s", i, extension);
    return name;
}

// `count` 8 x 8 32-bit pictures in one folder, without offsets files (each one
// looked for and missed), and beside it a folder of `count` offsets files.
struct ScaleFolders {
    explicit ScaleFolders(int count) {
        const std::string pictures = dir.file("pictures");
        const std::string offsets = dir.file("offsets");
        std::filesystem::create_directory(pictures);
        std::filesystem::create_directory(offsets);
        std::optional<DibBitmap> bitmap = DibBitmap::create(32, 8, 8);
        if (!bitmap) std::abort();
        const std::vector<std::uint8_t> bmp = encodeBmp(*bitmap);
        for (int i = 0; i < count; ++i) {
            fx::writeFile(pictures + '/' + numbered(i, ".bmp"), bmp);
            const std::string text =
                std::to_string(i % 50) + "\r\n-" + std::to_string(i % 30) + "\r\n";
            fx::writeFile(offsets + '/' + numbered(i, ".txt"), fx::Bytes(text.begin(), text.end()));
        }
        picturesFolder = pictures;
        offsetsFolder = offsets;
    }
    fx::TempDir dir;
    std::string picturesFolder;
    std::string offsetsFolder;
};

const ScaleFolders& foldersOf(int count) {
    static std::map<int, ScaleFolders> made;
    return made.try_emplace(count, count).first->second;
}

// The folder listed as the import dialog lists it.
std::vector<TImportFileItem> filesOf(const std::string& folder) {
    Result<std::vector<ImportListLine>> lines = listFolder(folder);
    if (!lines) std::abort();
    ImportFileList list;
    list.add(std::move(*lines));
    std::vector<TImportFileItem> files;
    files.reserve(list.size());
    for (const ImportListLine& line : list.lines()) files.push_back(line.item);
    return files;
}

struct OpenPack {
    explicit OpenPack(const std::string& path) : opened(fx::openPack(path)), pack(*opened) {}
    std::unique_ptr<TWMMyImageImages> opened;
    TWMMyImageImages& pack;
};

void reportPerFile(benchmark::State& state, int count) {
    state.SetItemsProcessed(state.iterations() * count);
    // Seconds per file, printed with its unit ("19.2us").
    state.counters["per_file"] = benchmark::Counter(
        count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ImportPictures(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const ScaleFolders& folders = foldersOf(count);
    fx::TempDir dir;
    const std::string path = dir.file("a.pak");
    DefaultAnswers prompts;
    for (auto _ : state) {
        state.PauseTiming();
        fx::writePack(path, {});
        OpenPack open(path);
        state.ResumeTiming();
        const EditResult result =
            importEntries(open.pack, {}, filesOf(folders.picturesFolder), prompts);
        if (result.outcome != EditOutcome::Done || open.pack.FImageCount != count) {
            state.SkipWithError("the picture import failed");
        }
    }
    reportPerFile(state, count);
}
BENCHMARK(BM_ImportPictures)->Arg(2000)->Arg(16000)->Unit(benchmark::kMillisecond);

void BM_ImportOffsets(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const ScaleFolders& folders = foldersOf(count);
    fx::TempDir dir;
    const std::string path = dir.file("a.pak");
    DefaultAnswers prompts;
    {
        fx::writePack(path, {});
        OpenPack open(path);
        if (importEntries(open.pack, {}, filesOf(folders.picturesFolder), prompts).outcome !=
            EditOutcome::Done) {
            state.SkipWithError("the pictures could not be imported");
            return;
        }
    }
    ImportRequest request;
    request.part = ImageImportPart::OffsetsOnly;
    for (auto _ : state) {
        state.PauseTiming();
        OpenPack open(path);
        state.ResumeTiming();
        const EditResult result =
            importEntries(open.pack, request, filesOf(folders.offsetsFolder), prompts);
        if (result.outcome != EditOutcome::Done) state.SkipWithError("the offsets import failed");
    }
    reportPerFile(state, count);
}
BENCHMARK(BM_ImportOffsets)->Arg(2000)->Arg(16000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantoro::bench
