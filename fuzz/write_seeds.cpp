// Writes the starting corpus of every fuzz target into OUT/<target>/: the
// archives of every format that the test fixtures build, packs with the
// journals of interrupted edits, pictures from the program's own BMP and PNG
// writers and from libjpeg, hand-made TGAs, small texts and sound headers, and
// short WAV and MP3 sounds.
//
//   vantoro-fuzz-seeds OUT
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "archive/my_image_images.h"
#include "fuzz/archive_inputs.h"
#include "image_io/bmp_file.h"
#include "image_io/png_file.h"
#include "io/edit_journal.h"
#include "pixels/dib_bitmap.h"
#include "tests/support/format_fixtures.h"
#include "tests/support/jpeg_writer.h"
#include "tests/support/m2_zip_writer.h"
#include "tests/support/m3_zip_writer.h"
#include "tests/support/pack_writer.h"
#include "tests/support/sound_writer.h"
#include "tests/support/stop_at.h"
#include "tests/support/test_files.h"

namespace vantoro::fuzz {
namespace {

using testing::Bytes;
using testing::StopAt;

class SeedWriter {
public:
    explicit SeedWriter(std::filesystem::path root) : m_root(std::move(root)) {}

    void add(std::string_view target, const std::string& name, const Bytes& bytes) {
        const std::filesystem::path folder = m_root / target;
        std::filesystem::create_directories(folder);
        testing::writeFile((folder / ("seed-" + name)).string(), bytes);
        ++m_count;
    }
    int count() const { return m_count; }

private:
    std::filesystem::path m_root;
    int m_count = 0;
};

// The 8-bit and 16-bit Mir2 kinds share one reader: each starts from both.
bool readsFixture(const ArchiveTarget& target, TWMImagesKind fixture) {
    const auto mir2 = [](TWMImagesKind kind) {
        return kind == TWMImagesKind::M2Def || kind == TWMImagesKind::M2DefBit16;
    };
    return target.kind == fixture || (mir2(target.kind) && mir2(fixture));
}

void addArchives(SeedWriter& seeds) {
    for (const testing::FormatFixture& fixture : testing::formatFixtures()) {
        const Bytes& data = fixture.files.front().second;
        const Bytes empty;
        const Bytes& index = fixture.files.size() > 1 ? fixture.files[1].second : empty;
        for (const ArchiveTarget& target : archiveTargets()) {
            if (target.journal || !readsFixture(target, fixture.kind)) continue;
            const Bytes input = joinArchiveInput(target, data, index);
            // The targets must see exactly the fixture's files again.
            const ArchiveFiles split = splitArchiveInput(target, input);
            if (!std::ranges::equal(split.data, data) ||
                !std::ranges::equal(split.index, target.indexName.empty() ? empty : index)) {
                std::fprintf(stderr, "%s: the input does not split back\n", fixture.name.c_str());
                std::exit(1);
            }
            seeds.add(target.name, fixture.name, input);
        }
    }
}

// Records stored uncompressed (payload size 0, the body after the header)
// in both compressed formats, between compressed ones and last in the file:
// whole, and with the last body cut by the end of the file.
void addUncompressedRecords(SeedWriter& seeds) {
    const testing::M2Image eight = testing::patternImage(5, 3, false);
    const testing::M2Image sixteen = testing::patternImage(3, 2, true, 1);
    const testing::M2ArchiveBytes wzl = testing::buildM2Zip(
        {{eight, false, 6, true}, {sixteen, true, 6}, {sixteen, true, 6, true}});
    testing::M3ZipImage raw = testing::m3ZipPatternImage(3, 2);
    raw.raw = true;
    const testing::M3ZipArchiveBytes miz =
        testing::buildM3Zip({raw, testing::m3ZipPatternImage(4, 2, 1), raw});
    struct Archive {
        std::string_view target;
        const Bytes& data;
        const Bytes& index;
    };
    for (const Archive& archive : {Archive{"archive_m2_zip", wzl.data, wzl.index},
                                   Archive{"archive_m3_zip", miz.data, miz.index}}) {
        const ArchiveTarget& target = *findArchiveTarget(archive.target);
        Bytes data = archive.data;
        seeds.add(target.name, "uncompressed", joinArchiveInput(target, data, archive.index));
        data.pop_back();
        seeds.add(target.name, "uncompressed-cut", joinArchiveInput(target, data, archive.index));
    }
}

DibBitmap patternBitmap(int bitCount, std::int32_t width, std::int32_t height) {
    DibBitmap bitmap = *DibBitmap::create(bitCount, width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < bitmap.stride(); ++x) {
            bitmap.row(y)[x] = static_cast<std::uint8_t>(x * 37 + y * 11);
        }
    }
    for (std::size_t i = 0; i < bitmap.colorTable().size(); ++i) {
        bitmap.colorTable()[i] = static_cast<std::uint8_t>(i);
    }
    return bitmap;
}

// A gradient, at libjpeg's default quality.
Bytes jpegFile(int width, int height, int components) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * components;
    Bytes samples(rowBytes * height);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::uint8_t>(i % rowBytes * 29 + i / rowBytes * 53);
    }
    return testing::jpegFile(width, height, components, samples);
}

Bytes tgaFile(std::uint8_t type, std::uint8_t bits, std::uint8_t descriptor, const Bytes& body) {
    Bytes out = {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    testing::putU16(out, 2);
    testing::putU16(out, 2);
    out.insert(out.end(), {bits, descriptor});
    testing::putBytes(out, body);
    return out;
}

void addPictures(SeedWriter& seeds) {
    constexpr std::string_view kTarget = "picture";
    seeds.add(kTarget, "bmp8", encodeBmp(patternBitmap(8, 5, 3)));
    seeds.add(kTarget, "bmp16", encodeBmp(patternBitmap(16, 4, 2)));
    seeds.add(kTarget, "bmp32", encodeBmp(patternBitmap(32, 3, 2)));
    seeds.add(kTarget, "bmp32-masks",
              encodeBmpWithMasks(patternBitmap(32, 3, 2),
                                 {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}));
    seeds.add(kTarget, "bmp16-masks",
              encodeBmpWithMasks(patternBitmap(16, 3, 2), {0x0F00, 0x00F0, 0x000F, 0xF000}));
    const Bytes rgba = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                        13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    seeds.add(kTarget, "png-rgba", *encodePng({rgba, 3, 2, PngLayout::Rgba8}));
    seeds.add(kTarget, "png-rgb", *encodePng({rgba, 4, 2, PngLayout::Rgb8}));
    seeds.add(kTarget, "jpeg-colour", jpegFile(16, 8, 3));
    seeds.add(kTarget, "jpeg-grey", jpegFile(8, 8, 1));
    seeds.add(kTarget, "tga32",
              tgaFile(2, 32, 0x28, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    seeds.add(kTarget, "tga-rle24", tgaFile(10, 24, 0x00, {0x81, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9}));
    seeds.add(kTarget, "tga-grey", tgaFile(3, 8, 0x10, {1, 2, 3, 4}));
    seeds.add(kTarget, "tga16-rle", tgaFile(10, 16, 0x20, {0x83, 0x1F, 0x7C}));
}

Bytes text(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

// Packs left with the journals of edits stopped halfway: a cut whose tail
// moves a whole piece at a time and one whose pieces are saved in the
// journal, each stopped early and late in the move, and edits without a move.
void addJournals(SeedWriter& seeds) {
    const ArchiveTarget& target = *findArchiveTarget("pack_journal");
    const testing::TempDir dir;
    const std::string path = dir.file("f.pak");
    const std::vector<testing::PackEntry> entries = {
        testing::packFile(47, 3000, false, 1), testing::packFile(47, 100, false, 2),
        testing::packFile(63, 1500, true, 3), testing::packEmpty(),
        testing::packFile(47, 700, false, 4)};
    using Edit = bool (*)(TWMMyImageImages&);
    const std::pair<std::string_view, Edit> edits[] = {
        {"cut-whole-pieces", [](TWMMyImageImages& p) { return p.removeEntries(0, 0, true).ok(); }},
        {"cut-saved-pieces", [](TWMMyImageImages& p) { return p.removeEntries(1, 1, true).ok(); }},
        {"placeholders", [](TWMMyImageImages& p) { return p.removeEntries(2, 2, false).ok(); }},
        {"offsets",
         [](TWMMyImageImages& p) {
             const PackOffsetsChange change{0, -7, 9};
             return p.setOffsetsOf(std::span(&change, 1)).ok();
         }},
    };
    const auto openPack = [&] { return testing::openPack(path); };
    for (const auto& [name, edit] : edits) {
        testing::writePack(path, entries);
        int operations = 0;
        {
            auto pack = openPack();
            const StopAt counting(0);
            (void)edit(*pack);
            operations = counting.seen();
        }
        // The first, middle and last stop that leaves a published journal.
        std::vector<std::pair<int, Bytes>> stopped;
        for (int n = 1; n <= operations; ++n) {
            testing::writePack(path, entries);
            {
                auto pack = openPack();
                const StopAt stop(n);
                (void)edit(*pack);
            }
            if (!std::filesystem::exists(journalPath(path))) continue;
            const Bytes journal = testing::readFile(journalPath(path));
            stopped.emplace_back(n, joinArchiveInput(target, testing::readFile(path), journal));
            std::filesystem::remove(journalPath(path));
        }
        if (stopped.empty()) continue;
        for (const std::size_t i : {std::size_t{0}, stopped.size() / 2, stopped.size() - 1}) {
            seeds.add(target.name, std::string(name) + "-" + std::to_string(stopped[i].first),
                      stopped[i].second);
        }
    }
}

void addTexts(SeedWriter& seeds) {
    constexpr std::string_view kTarget = "import_text";
    const std::string_view texts[] = {
        "12\r\n-3\r\n2\r\n",
        "$FF\n$FFFFFFFF\n",
        "  -2147483648\r7\r",
        "10,-2",
        "+5,_3",
        "  , 4 , $7fff",
        "1\n",
    };
    int n = 0;
    for (std::string_view t : texts) seeds.add(kTarget, std::to_string(n++), text(t));

    constexpr std::string_view kSound = "sound_type";
    Bytes wav = text("RIFF");
    testing::putU32(wav, 36);
    testing::putBytes(wav, text("WAVEfmt "));
    seeds.add(kSound, "wav", wav);
    seeds.add(kSound, "mp3-frame", {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0});
    seeds.add(kSound, "mp3-id3", text("ID3\x03"));
    seeds.add(kSound, "mp3-late-frame", {0, 0, 0, 0, 0, 0, 0, 0xFF, 0xF3, 0x40, 0xC0});
}

// Short sounds as a pack stores them: WAV, and MP3 from lame in the two
// shapes its frame walk tells apart (constant rate, and variable rate with a
// Xing frame and an ID3v2 tag in front).
void addSounds(SeedWriter& seeds) {
    constexpr std::string_view kTarget = "sound_stream";
    const Bytes mono = testing::sineWav({.rate = 22050, .channels = 1, .frames = 5000});
    seeds.add(kTarget, "wav-mono", mono);
    seeds.add(kTarget, "wav-stereo",
              testing::sineWav({.rate = 8000, .channels = 2, .frames = 300}));
    const testing::TempDir dir;
    if (const auto cbr = testing::mp3FromWav(mono, dir, "-b 32")) {
        seeds.add(kTarget, "mp3-cbr", *cbr);
    }
    if (const auto vbr = testing::mp3FromWav(mono, dir, "-V 9 --add-id3v2 --tt seed")) {
        seeds.add(kTarget, "mp3-vbr-id3", *vbr);
    }
}

}  // namespace
}  // namespace vantoro::fuzz

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT\n", argv[0]);
        return 2;
    }
    vantoro::fuzz::SeedWriter seeds(argv[1]);
    vantoro::fuzz::addArchives(seeds);
    vantoro::fuzz::addUncompressedRecords(seeds);
    vantoro::fuzz::addJournals(seeds);
    vantoro::fuzz::addPictures(seeds);
    vantoro::fuzz::addTexts(seeds);
    vantoro::fuzz::addSounds(seeds);
    std::printf("%d seeds written to %s\n", seeds.count(), argv[1]);
    return 0;
}
