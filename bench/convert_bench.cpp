// `vantoro-cli convert` of a folder of eight Mir2 archives (four 8-bit, four
// 16-bit, 250 sprite-like entries each) to PNG on one thread (BM_Convert/1,
// the baseline) and on two (BM_Convert/2), timed by the wall clock. The
// files go to the temporary folder (TMPDIR); an untimed first run writes
// them, and each timed run replaces them.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_sprites.h"
#include "cli/cli_app.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/test_files.h"

namespace vantoro::bench {
namespace {

namespace fx = vantoro::testing;

constexpr int kArchives = 8;
constexpr int kEntriesPerArchive = 250;

struct ConvertSources {
    ConvertSources() {
        std::filesystem::create_directories(dir.file("archives"));
        const std::vector<Sprite>& sprites = benchSprites();
        for (int a = 0; a < kArchives; ++a) {
            const bool sixteenBit = a % 2 == 1;
            std::vector<fx::M2Image> images;
            for (int i = 0; i < kEntriesPerArchive; ++i) {
                const Sprite& s = sprites[(a * kEntriesPerArchive + i) % sprites.size()];
                images.push_back(m2ImageOf(s, sixteenBit));
            }
            fx::M2DefOptions options;
            options.sixteenBit = sixteenBit;
            fx::writeM2Def(dir.file("archives/a" + std::to_string(a) + ".wil"), images, options);
        }
    }
    fx::TempDir dir;
};

void BM_Convert(benchmark::State& state) {
    static const ConvertSources sources;
    fx::TempDir out;
    const std::vector<std::string> args{"convert", "--jobs", std::to_string(state.range(0)),
                                        sources.dir.file("archives"), out.file("png")};
    // Every timed run replaces the files of a first one, whatever the jobs.
    std::ostringstream first;
    if (runCli(args, first, first) != kExitOk) state.SkipWithError(first.str().c_str());
    for (auto _ : state) {
        std::ostringstream summary;
        std::ostringstream messages;
        if (runCli(args, summary, messages) != kExitOk) state.SkipWithError(messages.str().c_str());
    }
    state.SetItemsProcessed(state.iterations() * kArchives * kEntriesPerArchive);
}
BENCHMARK(BM_Convert)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantoro::bench
