// A seeded damage sweep over every format: valid archives built in memory
// have about 1% of their bytes changed, again and again, and are then opened
// and read entry by entry. Any outcome is acceptable except a crash, an
// access outside a buffer (the sanitizer build checks that), a hang, or an
// exception other than the named archive errors. A failure prints the seed
// and case number so it can be replayed.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "archive/archive_kind.h"
#include "archive/wil.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/m2_wis_writer.h"
#include "tests/support/m2_zip_writer.h"
#include "tests/support/m3_def_writer.h"
#include "tests/support/m3_zip_writer.h"
#include "tests/support/test_files.h"
#include "tests/support/woool_writer.h"
#include "tests/support/wuyi_writer.h"

namespace vantoro {
namespace {

using namespace vantoro::testing;

constexpr std::uint32_t kSeed = 0x5EED2026;
constexpr int kCasesPerFormat = 400;

// One archive format: its kind, its files (name → bytes) and the data file's name.
struct Fixture {
    std::string name;
    TWMImagesKind kind;
    std::string dataFile;
    std::vector<std::pair<std::string, Bytes>> files;
    int entries;  // entries with an image when undamaged
};

std::vector<std::uint16_t> pattern(std::uint16_t width, std::uint16_t height, std::uint16_t base) {
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] =
            (i % 5 == 0) ? 0 : static_cast<std::uint16_t>(base + i * 7);  // some transparency
    }
    return pixels;
}

std::vector<std::uint8_t> indices(std::uint16_t width, std::uint16_t height) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(i / 3 % 4 * 60);
    return out;
}

std::vector<Fixture> fixtures() {
    std::vector<Fixture> all;
    const std::vector<M2Image> m2 = {{5, 3, 1, -2, pattern(5, 3, 1)},
                                     {8, 4, 0, 0, pattern(8, 4, 9)}};
    std::vector<M2Image> m2Palette = m2;
    for (M2Image& image : m2Palette) {
        for (std::uint16_t& p : image.pixels) p &= 0xFF;
    }
    const M2ArchiveBytes wil = buildM2Def(m2Palette);
    all.push_back(
        {"wil", TWMImagesKind::M2Def, "a.wil", {{"a.wil", wil.data}, {"a.WIX", wil.index}}, 2});
    M2DefOptions sixteen;
    sixteen.sixteenBit = true;
    sixteen.newLayout = false;
    const M2ArchiveBytes wil16 = buildM2Def(m2, sixteen);
    all.push_back({"wil16",
                   TWMImagesKind::M2DefBit16,
                   "a.wil",
                   {{"a.wil", wil16.data}, {"a.WIX", wil16.index}},
                   2});

    const M2ArchiveBytes wzl = buildM2Zip({{m2Palette[0], false, 6}, {m2[1], true, 9}});
    all.push_back(
        {"wzl", TWMImagesKind::M2Zip, "a.wzl", {{"a.wzl", wzl.data}, {"a.WZX", wzl.index}}, 2});

    std::vector<WisImage> wis = {{6, 2, 0, 0, WisEncoding::RunLength8, indices(6, 2), {}},
                                 {3, 3, 1, 1, WisEncoding::Raw8, indices(3, 3), {}},
                                 {4, 2, 2, 2, WisEncoding::Raw16, {}, pattern(4, 2, 3)}};
    all.push_back({"wis", TWMImagesKind::M2Wis, "a.wis", {{"a.wis", buildWis(wis).bytes}}, 3});

    for (M3Layout layout : {M3Layout::New, M3Layout::Old}) {
        const M3DefFiles mir3 = buildM3Def({{6, 3, 1, 2, pattern(6, 3, 4), false},
                                            {2, 2, 0, 0, {}, true},
                                            {4, 4, 3, 3, pattern(4, 4, 8), false}},
                                           layout);
        all.push_back({layout == M3Layout::New ? "mir3" : "mir3old",
                       TWMImagesKind::M3Def,
                       "a.wil",
                       {{"a.wil", mir3.data}, {"a.wix", mir3.index}},
                       2});
    }

    const M3ZipArchiveBytes miz =
        buildM3Zip({{5, 2, 0, 0, pattern(5, 2, 2), 6}, {3, 4, 1, 1, pattern(3, 4, 7), 1}});
    all.push_back(
        {"miz", TWMImagesKind::M3Zip, "a.miz", {{"a.miz", miz.data}, {"a.mix", miz.index}}, 2});

    const WooolArchiveBytes sgl = buildWoool(
        {wooolGroup(17, {{4, 3, 0, 0, pattern(4, 3, 0xF001)}, {3, 2, 1, 1, pattern(3, 2, 0x8F00)}}),
         std::nullopt, wooolGroup(18, {{2, 5, 2, 2, pattern(2, 5, 0x1234)}})});
    all.push_back({"sgl", TWMImagesKind::WoolDef, "a.sgl", {{"a.sgl", sgl.data}}, 3});

    const WuyiArchiveBytes wuyi = buildWuyi({{4, 2, pattern(4, 2, 1)}, {2, 3, pattern(2, 3, 5)}});
    all.push_back({"521g", TWMImagesKind::W521gDef, "a.521g", {{"a.521g", wuyi.data}}, 2});
    return all;
}

int decodableEntries(const std::string& path, TWMImagesKind kind) {
    auto archive = CreateWMImages(kind);
    archive->FFileName = path;
    if (!archive->Initialize()) return -1;
    int decoded = 0;
    for (std::int32_t i = 0; i < archive->FImageCount; ++i)
        decoded += archive->GetBitmap(i).has_value();
    return decoded;
}

// Changes about 1% of the bytes (at least one); now and then cuts the file.
void damage(Bytes& bytes, std::mt19937& random) {
    if (bytes.empty()) return;
    std::uniform_int_distribution<std::size_t> position(0, bytes.size() - 1);
    std::uniform_int_distribution<int> value(0, 255);
    const std::size_t changes = std::max<std::size_t>(1, bytes.size() / 100);
    for (std::size_t i = 0; i < changes; ++i)
        bytes[position(random)] = static_cast<std::uint8_t>(value(random));
    if (random() % 8 == 0) truncateTo(bytes, position(random));
}

// Opens the archive and reads every entry both ways; answers an error text
// for anything but a clean outcome or a named archive error.
std::string exercise(const std::string& path, TWMImagesKind kind) {
    auto archive = CreateWMImages(kind);
    if (!archive) return "no class for kind " + std::to_string(kindNumber(kind));
    archive->FFileName = path;
    archive->FUseTextureCache = false;
    try {
        if (!archive->Initialize()) return {};
    } catch (const ArchiveError&) {
        // A named failure; the entries listed before it stay usable.
    } catch (const std::exception& error) {
        return std::string("Initialize raised ") + error.what();
    }
    TDXImageTexture texture;
    for (std::int32_t i = -1; i <= archive->FImageCount; ++i) {
        try {
            archive->GetBitmap(i);
        } catch (const ArchiveError&) {
        } catch (const std::exception& error) {
            return "GetBitmap(" + std::to_string(i) + ") raised " + error.what();
        }
        try {
            archive->DrawToTexture(i, &texture);
        } catch (const std::exception& error) {
            return "DrawToTexture(" + std::to_string(i) + ") raised " + error.what();
        }
    }
    return {};
}

TEST(DamageSweepTest, DamagedArchivesOfEveryFormatFailCleanly) {
    TempDir dir;
    for (const Fixture& fixture : fixtures()) {
        // The undamaged archive must open and decode, or the sweep proves nothing.
        for (const auto& [name, bytes] : fixture.files) writeFile(dir.file(name), bytes);
        ASSERT_EQ(decodableEntries(dir.file(fixture.dataFile), fixture.kind), fixture.entries)
            << fixture.name;

        std::mt19937 random(kSeed);
        for (int caseNumber = 0; caseNumber < kCasesPerFormat; ++caseNumber) {
            const std::size_t victim = random() % fixture.files.size();
            for (std::size_t f = 0; f < fixture.files.size(); ++f) {
                Bytes bytes = fixture.files[f].second;
                if (f == victim) damage(bytes, random);
                writeFile(dir.file(fixture.files[f].first), bytes);
            }
            const std::string problem = exercise(dir.file(fixture.dataFile), fixture.kind);
            ASSERT_EQ(problem, "") << fixture.name << ": seed " << kSeed << ", case " << caseNumber;
        }
        for (const auto& file : fixture.files) std::filesystem::remove(dir.file(file.first));
    }
}

}  // namespace
}  // namespace vantoro
