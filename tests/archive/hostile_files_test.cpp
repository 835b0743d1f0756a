// Hand-made files that once hung the program or made it load gigabytes:
// each must now cost time and memory in proportion to what it really holds.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "archive/archive_reader.h"
#include "archive/open_archive.h"
#include "tests/support/format_fixtures.h"
#include "tests/support/m2_wis_writer.h"
#include "tests/support/m2_zip_writer.h"
#include "tests/support/m3_def_writer.h"
#include "tests/support/m3_zip_writer.h"
#include "tests/support/test_files.h"
#include "tests/support/woool_writer.h"

namespace vantoro {
namespace {

using namespace vantoro::testing;

constexpr std::uint64_t kHuge = 1ull << 30;  // a sparse gigabyte

std::unique_ptr<TWMBaseImages> openFile(TWMImagesKind kind, const std::string& path) {
    OpenedArchive opened = openArchive(kind, path);
    if (opened.raised) std::rethrow_exception(opened.raised);
    return std::move(opened.archive);
}

// Writes `head`, then `tail` `gap` bytes further on, leaving a hole between.
void writeWithHole(const std::string& path, const Bytes& head, std::uint64_t gap,
                   const Bytes& tail = {}) {
    writeFile(path, head);
    std::filesystem::resize_file(path, head.size() + gap);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(tail.data()),
              static_cast<std::streamsize>(tail.size()));
}

struct HugePayload {
    const char* name;
    const char* extension;
    TWMImagesKind kind;
    // Writes a one-image archive at `path` whose only record claims about
    // kHuge payload bytes, all inside the (sparse) file.
    std::function<void(const std::string& path)> write;
};

std::vector<std::uint16_t> words4x4() {
    return std::vector<std::uint16_t>(16, 0x1234);
}

const HugePayload kHugePayloads[] = {
    {"wzl", "wzl", TWMImagesKind::M2Zip,
     [](const std::string& path) {
         M2ArchiveBytes archive = buildM2Zip({{4, 4, 0, 0, words4x4()}}, true);
         setU32At(archive.data, archive.recordOffsets[0] + 12, static_cast<std::uint32_t>(kHuge));
         writeWithHole(path, archive.data, kHuge);
         writeFile(std::filesystem::path(path).replace_extension(".wzx").string(), archive.index);
     }},
    {"miz", "miz", TWMImagesKind::M3Zip,
     [](const std::string& path) {
         M3ZipArchiveBytes archive = buildM3Zip({{4, 4, 0, 0, words4x4(), 6}});
         setU32At(archive.data, archive.recordOffsets[0] + 8, static_cast<std::uint32_t>(kHuge));
         writeWithHole(path, archive.data, kHuge);
         writeFile(std::filesystem::path(path).replace_extension(".mix").string(), archive.index);
     }},
    {"mir3", "wil", TWMImagesKind::M3Def,
     [](const std::string& path) {
         M3DefFiles files = buildM3Def({{4, 4, 0, 0, words4x4(), false}}, M3Layout::New);
         setU32At(files.data, files.recordOffsets[0] + 13, static_cast<std::uint32_t>(kHuge / 2));
         writeWithHole(path, files.data, kHuge);
         writeFile(std::filesystem::path(path).replace_extension(".wix").string(), files.index);
     }},
    {"wis", "wis", TWMImagesKind::M2Wis,
     [](const std::string& path) {
         std::vector<std::uint8_t> indices(16, 7);
         WisFile file = buildWis({{4, 4, 0, 0, WisEncoding::Raw8, indices, {}}});
         setU32At(file.bytes, file.tableEntryAt(0) + 4, static_cast<std::uint32_t>(kHuge));
         const Bytes head(file.bytes.begin(), file.bytes.begin() + file.tableOffset);
         const Bytes table(file.bytes.begin() + file.tableOffset, file.bytes.end());
         writeWithHole(path, head, kHuge, table);
     }},
    {"sgl", "sgl", TWMImagesKind::WoolDef,
     [](const std::string& path) {
         WooolArchiveBytes archive = buildWoool({wooolGroup(17, {{4, 4, 0, 0, words4x4()}})});
         setU32At(archive.data, archive.frames[0].tileOffsets[0] + 2,
                  static_cast<std::uint32_t>(kHuge));
         writeWithHole(path, archive.data, kHuge);
     }},
};

class HugePayloadTest : public ::testing::TestWithParam<HugePayload> {};

TEST_P(HugePayloadTest, ATinyImageReadsOnlyWhatItCanUse) {
    TempDir dir;
    const std::string path = dir.file(std::string("a.") + GetParam().extension);
    GetParam().write(path);
    auto archive = openFile(GetParam().kind, path);
    ASSERT_EQ(archive->FImageCount, 1);
    const std::uint64_t before = archive->FFileStream->bytesRead();
    archive->GetBitmap(0);  // the streams may not decode; what matters is the reading
    EXPECT_LT(archive->FFileStream->bytesRead() - before, 1u << 20);
}

INSTANTIATE_TEST_SUITE_P(Formats, HugePayloadTest, ::testing::ValuesIn(kHugePayloads),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileIndexTest, AnIndexThatIsANamedPipeIsNeverWaitedFor) {
    for (const FormatFixture& fixture : formatFixtures()) {
        if (fixture.files.size() < 2) continue;
        TempDir dir;
        writeFile(dir.file(fixture.dataFile), fixture.files[0].second);
        ASSERT_EQ(::mkfifo(dir.file(fixture.files[1].first).c_str(), 0600), 0);
        EXPECT_EQ(openFile(fixture.kind, dir.file(fixture.dataFile))->FImageCount, 0)
            << fixture.name;
    }
}

// Every slot of the group table names one group whose only frame claims
// 255 x 255 tiles while the file holds a few thousand: each slot would walk
// them all again. Opening must stop once the walks have cost the file's size.
TEST(HostileIndexTest, RepeatedDamagedWooolGroupsCostNoMoreThanTheFile) {
    constexpr std::uint32_t kSlots = 2000;
    constexpr std::uint32_t kTiles = 3000;
    Bytes file(36, 0);
    putU32(file, 0);  // the table's position, set below
    const std::uint32_t group = static_cast<std::uint32_t>(file.size());
    for (const std::uint8_t b : {0, 17}) putU8(file, b);
    putU16(file, 1);
    putU16(file, 0);
    for (const std::uint16_t v : {4, 4, 0, 0}) putU16(file, v);
    putU8(file, 255);
    putU8(file, 255);
    for (std::uint32_t t = 0; t < kTiles; ++t) {
        putU16(file, 0);
        putU32(file, 0);
    }
    setU32At(file, 36, static_cast<std::uint32_t>(file.size()));
    putU32(file, kSlots);
    for (std::uint32_t s = 0; s < kSlots; ++s) putU32(file, group);
    putZeros(file, 20 * kSlots);
    TempDir dir;
    writeFile(dir.file("a.sgl"), file);
    // Before: one listed frame per slot, every walk done again.
    const std::size_t walk = 10 + 6 * kTiles;
    EXPECT_LE(openFile(TWMImagesKind::WoolDef, dir.file("a.sgl"))->FImageCount,
              static_cast<std::int32_t>(file.size() / walk + 1));
}

}  // namespace
}  // namespace vantoro
