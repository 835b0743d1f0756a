// Decoding every entry of a 1,000-image archive, per format, against a
// baseline measured in the same run: a memcpy of the same number of output
// bytes (BM_Memcpy/<format>) and, for the zlib formats, a bare inflate of the
// same payloads (BM_Inflate/<format>).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "archive/archive_reader.h"
#include "archive/open_archive.h"
#include "bench/bench_sprites.h"
#include "io/byte_reader.h"
#include "pixels/pixel_format.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/m2_wis_writer.h"
#include "tests/support/m2_zip_writer.h"
#include "tests/support/m3_def_writer.h"
#include "tests/support/m3_zip_writer.h"
#include "tests/support/test_files.h"
#include "tests/support/woool_writer.h"
#include "tests/support/wuyi_writer.h"

namespace vantoro::bench {
namespace {

namespace fx = vantoro::testing;

// One archive on disk, opened as the window opens it.
struct DecodeFixture {
    fx::TempDir dir;
    std::unique_ptr<TWMBaseImages> archive;
    std::vector<fx::Bytes> payloads;         // zlib formats: each record's stream
    std::vector<std::size_t> inflatedSizes;  // and its stride x height
};

// Opens the fixture's file `name`, just written, as `kind`.
void openInto(DecodeFixture& f, TWMImagesKind kind, const std::string& name) {
    OpenedArchive opened = openArchive(kind, f.dir.file(name));
    if (!opened.opened) throw std::runtime_error("bench archive " + name + " did not open");
    f.archive = std::move(opened.archive);
}

// Where a compressed record keeps its payload size and where the payload starts.
struct ZipRecordLayout {
    std::size_t sizeAt;
    std::size_t headerSize;
};

void collectPayloads(DecodeFixture& fixture, const fx::Bytes& data,
                     const std::vector<std::size_t>& recordOffsets, ZipRecordLayout layout,
                     int bitsPerPixel) {
    const auto& sprites = benchSprites();
    for (std::size_t i = 0; i < recordOffsets.size(); ++i) {
        const std::uint8_t* record = data.data() + recordOffsets[i];
        const auto size = static_cast<std::size_t>(decodeI32(record + layout.sizeAt));
        const std::uint8_t* payload = record + layout.headerSize;
        fixture.payloads.emplace_back(payload, payload + size);
        fixture.inflatedSizes.push_back(
            static_cast<std::size_t>(WidthBytes(bitsPerPixel, sprites[i].width)) *
            sprites[i].height);
    }
}

std::vector<fx::M2Image> m2Images(bool sixteenBit) {
    std::vector<fx::M2Image> images;
    for (const Sprite& s : benchSprites()) images.push_back(m2ImageOf(s, sixteenBit));
    return images;
}

void buildWil(DecodeFixture& f, bool sixteenBit) {
    fx::M2DefOptions options;
    options.sixteenBit = sixteenBit;
    fx::writeM2Def(f.dir.file("bench.wil"), m2Images(sixteenBit), options);
    openInto(f, TWMImagesKind::M2Def, "bench.wil");
}

void buildWis(DecodeFixture& f, fx::WisEncoding encoding) {
    std::vector<fx::WisImage> images;
    for (const Sprite& s : benchSprites()) {
        fx::WisImage image{s.width, s.height, s.px, s.py, encoding, {}, {}};
        if (encoding == fx::WisEncoding::Raw16) {
            image.words = s.r5g6b5;
        } else {
            image.indices = s.indices;
        }
        images.push_back(std::move(image));
    }
    fx::writeWis(f.dir.file("bench.wis"), images);
    openInto(f, TWMImagesKind::M2Wis, "bench.wis");
}

void buildWzl(DecodeFixture& f) {
    const auto archive = fx::buildM2Zip(m2Images(false), false, 6);
    fx::writeArchiveFiles(f.dir.file("bench.wzl"), archive, ".WZX");
    collectPayloads(f, archive.data, archive.recordOffsets, {12, 16}, 8);
    openInto(f, TWMImagesKind::M2Zip, "bench.wzl");
}

void buildMir3(DecodeFixture& f) {
    std::vector<fx::M3Image> images;
    for (const Sprite& s : benchSprites())
        images.push_back({s.width, s.height, s.px, s.py, s.r5g6b5, false});
    fx::writeM3Def(f.dir.file("bench.wil"), images, fx::M3Layout::New);
    openInto(f, TWMImagesKind::M3Def, "bench.wil");
}

void buildMiz(DecodeFixture& f) {
    std::vector<fx::M3ZipImage> images;
    for (const Sprite& s : benchSprites())
        images.push_back({s.width, s.height, s.px, s.py, s.r5g6b5, 6});
    const auto archive = fx::buildM3Zip(images);
    fx::writeM3ZipFiles(f.dir.file("bench.miz"), archive);
    collectPayloads(f, archive.data, archive.recordOffsets, {8, 16}, 16);
    openInto(f, TWMImagesKind::M3Zip, "bench.miz");
}

void buildSgl(DecodeFixture& f) {
    std::vector<fx::WooolImage> images;
    for (const Sprite& s : benchSprites())
        images.push_back({s.width, s.height, s.px, s.py, s.a4r4g4b4});
    fx::writeWoool(f.dir.file("bench.sgl"), {fx::wooolGroup(17, images)});
    openInto(f, TWMImagesKind::WoolDef, "bench.sgl");
}

void build521g(DecodeFixture& f) {
    std::vector<fx::WuyiImage> images;
    for (const Sprite& s : benchSprites()) images.push_back({s.width, s.height, s.r5g6b5});
    fx::writeWuyi(f.dir.file("bench.521g"), images);
    openInto(f, TWMImagesKind::W521gDef, "bench.521g");
}

const std::map<std::string, std::function<void(DecodeFixture&)>>& builders() {
    static const std::map<std::string, std::function<void(DecodeFixture&)>> table = {
        {"wil8", [](DecodeFixture& f) { buildWil(f, false); }},
        {"wil16", [](DecodeFixture& f) { buildWil(f, true); }},
        {"wis8", [](DecodeFixture& f) { buildWis(f, fx::WisEncoding::Raw8); }},
        {"wis16", [](DecodeFixture& f) { buildWis(f, fx::WisEncoding::Raw16); }},
        {"wisrle", [](DecodeFixture& f) { buildWis(f, fx::WisEncoding::RunLength8); }},
        {"wzl", buildWzl},
        {"mir3wil", buildMir3},
        {"miz", buildMiz},
        {"sgl", buildSgl},
        {"521g", build521g},
    };
    return table;
}

// Built once per format and kept for the whole run.
DecodeFixture& fixture(const std::string& format) {
    static std::map<std::string, std::unique_ptr<DecodeFixture>> cache;
    auto& slot = cache[format];
    if (!slot) {
        slot = std::make_unique<DecodeFixture>();
        builders().at(format)(*slot);
        if (slot->archive->FImageCount != kSpriteCount) {
            throw std::runtime_error("bench archive " + format + " did not open");
        }
    }
    return *slot;
}

// Output bytes of a decode: two bytes per pixel of every image.
std::uint64_t outputBytes() {
    std::uint64_t total = 0;
    for (const Sprite& s : benchSprites()) total += 2 * s.pixelCount();
    return total;
}

void BM_Decode(benchmark::State& state, const std::string& format) {
    DecodeFixture& f = fixture(format);
    const bool bitmapOnly = format == "521g";  // this format cannot draw into a texture
    TDXImageTexture texture;
    for (auto _ : state) {
        for (std::int32_t i = 0; i < kSpriteCount; ++i) {
            const bool ok = bitmapOnly ? f.archive->GetBitmap(i).has_value()
                                       : f.archive->DrawToTexture(i, &texture);
            if (!ok) {
                state.SkipWithError(("entry " + std::to_string(i) + " failed").c_str());
                return;
            }
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * outputBytes()));
}

// The baseline: every image's output bytes copied from the image's own
// pixels (distinct memory, as a decoder reads distinct records) into one
// reused destination (as the view reuses one texture).
void BM_Memcpy(benchmark::State& state, const std::string& /*format*/) {
    const auto& sprites = benchSprites();
    std::vector<std::uint8_t> target(256 * 256 * 2);
    for (auto _ : state) {
        for (const Sprite& s : sprites) {
            std::memcpy(target.data(), s.r5g6b5.data(), 2 * s.pixelCount());
            benchmark::DoNotOptimize(target.data());
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * outputBytes()));
}

void BM_Inflate(benchmark::State& state, const std::string& format) {
    DecodeFixture& f = fixture(format);
    std::vector<std::uint8_t> target(256 * 256 * 2 + 256);
    for (auto _ : state) {
        for (std::size_t i = 0; i < f.payloads.size(); ++i) {
            uLongf size = static_cast<uLongf>(f.inflatedSizes[i]);
            const int code = uncompress(target.data(), &size, f.payloads[i].data(),
                                        static_cast<uLong>(f.payloads[i].size()));
            if (code != Z_OK) {
                state.SkipWithError("bare inflate failed");
                return;
            }
            benchmark::DoNotOptimize(target.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * outputBytes()));
}

BENCHMARK_CAPTURE(BM_Decode, wil8, "wil8")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, wil8, "wil8")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, wil16, "wil16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, wil16, "wil16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, wis8, "wis8")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, wis8, "wis8")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, wis16, "wis16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, wis16, "wis16")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, wisrle, "wisrle")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, wisrle, "wisrle")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, wzl, "wzl")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, wzl, "wzl")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Inflate, wzl, "wzl")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, mir3wil, "mir3wil")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, mir3wil, "mir3wil")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, miz, "miz")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, miz, "miz")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Inflate, miz, "miz")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, sgl, "sgl")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, sgl, "sgl")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Decode, 521g, "521g")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Memcpy, 521g, "521g")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantoro::bench
