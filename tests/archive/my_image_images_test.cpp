// The pack: every kind of entry and pixel format written and read back in
// plain and protected packs, the layout SaveIndex leaves, the refusals that
// keep a pack intact, and a seeded run of edits (append, insert, overwrite,
// delete both ways, offsets) against a model, the file reopened after each.
#include "archive/my_image_images.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <filesystem>
#include <random>

#include "edit/delete_entries.h"
#include "io/byte_reader.h"
#include "pixels/pixel_format.h"
#include "tests/edit/scripted_prompts.h"
#include "tests/support/pack_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::openPack;
using testing::PackEntry;

constexpr const char* kPassword = "open sesame";  // longer than the 8 key bytes

// Moves the file's bytes from `position` on by `growth`: up opens a gap of
// zeros, down cuts the bytes below, as an editing run does before it writes.
void moveTail(const std::string& path, std::int64_t position, std::int64_t growth) {
    Bytes bytes = testing::readFile(path);
    const auto at = bytes.begin() + position;
    if (growth > 0) bytes.insert(at, static_cast<std::size_t>(growth), 0);
    if (growth < 0) bytes.erase(at + growth, at);
    testing::writeFile(path, bytes);
}

Bytes imageRows(TDXTexture& texture) {
    Bytes rows;
    TDXLockedRect rect;
    if (!texture.Lock(kLockRead, rect)) return rows;
    const int rowBytes = texture.FImageWidth * (texture.FFormat == 21 ? 4 : 2);
    for (int y = 0; y < texture.FImageHeight; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(rect.Bits) + y * rect.Pitch;
        rows.insert(rows.end(), row, row + rowBytes);
    }
    texture.Unlock();
    return rows;
}

// Images of every pixel format raw and run-length coded, files of every type
// raw (127, 128 and 200 bytes: around the enciphered head) and zlib, and an
// empty slot.
std::vector<PackEntry> everyKind() {
    std::vector<PackEntry> entries;
    for (std::uint8_t format = 0; format < 4; ++format) {
        for (const bool rle : {false, true}) {
            entries.push_back(testing::packImage(7 + format, 5, format, rle, format + 1));
        }
    }
    const std::pair<std::uint8_t, std::size_t> files[] = {{47, 127}, {63, 128}, {79, 200}};
    for (const auto& [type, size] : files) {
        entries.push_back(testing::packFile(type, size, false, type));
        entries.push_back(testing::packFile(type, 3 * size, true, type));
    }
    entries.push_back(testing::packEmpty());
    return entries;
}

void expectEntry(TWMMyImageImages& pack, std::int32_t i, const PackEntry& entry) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(pack.GetDataType(i), entry.dataType);
    if (entry.dataType != kDataTypeImage) {
        const auto stream = pack.GetDataStream(i, 0);
        EXPECT_EQ(stream.has_value(), entry.dataType != kDataTypeEmpty);
        if (stream) {
            EXPECT_EQ(*stream, entry.payload);
        }
        return;
    }
    TDXImageTexture texture;
    ASSERT_TRUE(pack.DrawToTexture(i, &texture)) << pack.lastError();
    EXPECT_EQ(texture.FFormat, kPixelFormatToD3D[entry.pixelFormat]);
    EXPECT_EQ(imageRows(texture), entry.payload);
    EXPECT_EQ(pack.FLastImageFormat, entry.pixelFormat);
    EXPECT_EQ(pack.FLastImageInfo.PX, entry.x);
    EXPECT_EQ(pack.FLastImageInfo.PY, entry.y);
    const auto bitmap = pack.GetBitmap(i);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->bitCount(), entry.pixelFormat == 3 ? 32 : 16);
}

// SaveIndex's header and index as another zlib consumer reads them.
void expectSavedLayout(const Bytes& file, const std::vector<std::int32_t>& slots, bool locked) {
    EXPECT_EQ(std::string(file.begin(), file.begin() + 15), "PACK4.0 - zeqon");
    const std::uint32_t offset =
        (decodeU32(&file[40]) & 0xFFFF0000u) | (decodeU32(&file[36]) >> 16);
    EXPECT_EQ(decodeI32(&file[locked ? 24 : 48]), static_cast<std::int32_t>(slots.size()));
    EXPECT_EQ(decodeI32(&file[locked ? 48 : 24]), 0);
    EXPECT_EQ(decodeI32(&file[60]), 0);
    Bytes index(40 + 4 * slots.size() + 1);
    uLongf size = index.size();
    ASSERT_EQ(uncompress(index.data(), &size, &file[offset], decodeU32(&file[44])), Z_OK);
    ASSERT_EQ(size, index.size() - 1);
    EXPECT_EQ(Bytes(index.begin(), index.begin() + 40), Bytes(40, 0));
    for (std::size_t k = 0; k < slots.size(); ++k)
        EXPECT_EQ(decodeI32(&index[40 + 4 * k]), slots[k]);
}

// Stores an entry the way an append-mode import does.
bool append(TWMMyImageImages& pack, const PackEntry& entry) {
    if (entry.dataType == kDataTypeEmpty) {
        pack.InsertIndex(-1, 0);
        return true;
    }
    const Bytes data = testing::packStoredData(entry);
    return pack.AppendEntry(testing::packEntryHeader(entry, data.size()), data);
}

TEST(PackTest, EveryKindOfEntryReadsBackAsWrittenInPlainAndProtectedPacks) {
    testing::TempDir dir;
    const std::vector<PackEntry> entries = everyKind();
    for (const std::string password : {"", kPassword}) {
        SCOPED_TRACE("password '" + password + "'");
        const std::string built = dir.file("built.pak"), path = dir.file("appended.pak");
        testing::writePack(built, entries, {password});
        testing::writePack(path, {}, {password});
        auto pack = openPack(path, password);
        for (const PackEntry& entry : entries) ASSERT_TRUE(append(*pack, entry));
        ASSERT_EQ(pack->SaveIndex(), 1);
        const Bytes file = testing::readFile(path);
        expectSavedLayout(file, pack->FIndexList, !password.empty());
        // Only the first 128 stored bytes of data of at least 128 are enciphered.
        for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
            const Bytes plain = testing::packStoredData(entries[i]);
            const auto stored = file.begin() + pack->FIndexList[i] + kPackEntryHeaderSize;
            const std::size_t head = password.empty() || plain.size() < 128 ? 0 : 128;
            EXPECT_EQ(Bytes(stored, stored + plain.size()) == plain, head == 0) << i;
            EXPECT_TRUE(std::equal(plain.begin() + head, plain.end(), stored + head)) << i;
        }
        // Written by the fixture writer, and appended by the pack: both read back.
        for (const std::string& file : {built, path}) {
            pack = openPack(file, password);
            ASSERT_EQ(pack->FImageCount, static_cast<std::int32_t>(entries.size()));
            for (std::size_t i = 0; i < entries.size(); ++i) expectEntry(*pack, i, entries[i]);
        }
    }
}

TEST(PackTest, BitmapsFollowThePackConversionRules) {
    // Per pixel format, four stored pixels and how the bitmap shows them.
    const std::array<std::array<std::uint16_t, 8>, 3> cases = {{
        {0xF000, 0x0FFF, 0x8F00, 0xFFFF, 0x0841, 0, 0x7800, 0xF79E},
        {0x8000, 0x7FFF, 0xFC1F, 0x83E0, 0x0008, 0, 0xF81F, 0x07C0},
        {0, 0x1234, 0x0841, 0xFFFF, 0x0841, 0x1234, 0x0841, 0xFFFF},
    }};
    std::vector<PackEntry> entries;
    for (std::uint8_t format = 0; format < 3; ++format) {
        entries.push_back(testing::packImage(2, 2, format, false));
        for (int k = 0; k < 4; ++k)
            testing::setU16At(entries.back().payload, 2 * k, cases[format][k]);
    }
    testing::TempDir dir;
    testing::writePack(dir.file("a.pak"), entries);
    auto pack = openPack(dir.file("a.pak"));
    for (std::uint8_t format = 0; format < 3; ++format) {
        const auto bitmap = pack->GetBitmap(format);
        ASSERT_TRUE(bitmap);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(bitmap->row16(k / 2)[k % 2], cases[format][4 + k]) << k;
    }
}

TEST(PackTest, StreamsEmptySlotsAndIndicesOutsideThePack) {
    testing::TempDir dir;
    testing::writePack(dir.file("a.pak"),
                       {testing::packFile(47, 9, false), testing::packFile(63, 9, false),
                        testing::packFile(79, 9, false), testing::packEmpty()});
    auto pack = openPack(dir.file("a.pak"));
    // Which of the modes 0..5 give a stream, for data, WAV and MP3.
    const char* const gives[] = {"101000", "110010", "110100"};
    for (int k = 0; k < 18; ++k) {
        EXPECT_EQ(pack->GetDataStream(k / 6, k % 6).has_value(), gives[k / 6][k % 6] == '1') << k;
    }
    std::uint8_t type = 0;
    EXPECT_FALSE(pack->GetBitmap(1, type));
    EXPECT_EQ(type, kDataTypeWav);
    EXPECT_FALSE(pack->GetBitmap(3, type));
    EXPECT_EQ(type, kDataTypeEmpty);
    EXPECT_EQ(pack->GetDataType(4), kDataTypeImage);
    EXPECT_EQ(pack->ReadEntryHeader(3), TPackEntryHeader{});
    EXPECT_FALSE(pack->SetEntryOffsets(3, 1, 1));
    EXPECT_EQ(pack->FindDataPosition(3), pack->dataEnd());
}

TEST(PackTest, IndexThatDoesNotInflateToItsExactSizeGivesNoEntriesAndNoEditing) {
    testing::TempDir dir;
    for (const int delta : {-1, 0, 1}) {
        testing::writePack(dir.file("a.pak"), {testing::packFile(47, 5, false)}, {"", true, delta});
        auto pack = openPack(dir.file("a.pak"));
        EXPECT_EQ(pack->FImageCount, delta == 0 ? 1 : 0) << delta;
        EXPECT_EQ(pack->canEdit(), delta == 0) << delta;
    }
}

TEST(PackTest, ProtectedPackWithoutItsPasswordShowsNothingAndRefusesEveryEdit) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    const Bytes original = testing::writePack(path, everyKind(), {kPassword}).data;
    // Only the first 8 bytes of a password count.
    for (const std::string password : {"", "open", "open sesXXX"}) {
        auto pack = openPack(path, password);
        const bool right = password == "open sesXXX";
        EXPECT_EQ(pack->FImageCount, right ? 15 : 0) << password;
        EXPECT_EQ(pack->FCipherActive, right);
        if (right) continue;
        EXPECT_EQ(pack->editBlock(), PackEditBlock::PasswordNotVerified);
        const Bytes data(200, 7);
        EXPECT_FALSE(pack->AppendEntry(
            testing::packEntryHeader(testing::packFile(47, 200, false), 200), data));
        pack->InsertIndex(-1, 0);
        EXPECT_EQ(pack->FIndexList.size(), 0u);
        EXPECT_FALSE(pack->WriteAt(64, data));
        EXPECT_FALSE(pack->InsertIndexBatch(std::vector<std::int32_t>{-1}, 0, 0, 64));
        EXPECT_EQ(pack->SaveIndex(), 0);
        EXPECT_EQ(testing::readFile(path), original);
    }
}

TEST(PackTest, DeletingEveryEntryLeavesAPackThatReadsBackEmptyAndStaysEditable) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    for (const std::string password : {"", kPassword}) {
        testing::writePack(path, everyKind(), {password});
        auto pack = openPack(path, password);
        const std::int64_t length = pack->dataEnd() - 64;
        moveTail(path, 64 + length, -length);
        ASSERT_TRUE(pack->RemoveIndexRange(0, pack->FImageCount - 1, true, length));
        ASSERT_EQ(pack->SaveIndex(), 1);
        pack = openPack(path, password);
        EXPECT_EQ(pack->FImageCount, 0);
        const Bytes empty = testing::readFile(path);
        EXPECT_EQ(pack->SaveIndex(), 0);  // the header already says so
        EXPECT_EQ(testing::readFile(path), empty);
        const PackEntry entry = testing::packFile(47, 150, false);
        ASSERT_TRUE(append(*pack, entry));
        ASSERT_EQ(pack->SaveIndex(), 1);
        pack = openPack(path, password);
        ASSERT_EQ(pack->FImageCount, 1);
        expectEntry(*pack, 0, entry);
    }
}

TEST(PackTest, GrowthPastThe32BitOffsetRangeIsRefusedBeforeAnythingIsWritten) {
    testing::TempDir dir;
    const std::string path = dir.file("a.pak");
    const std::uint32_t indexAt = 0x7FFFFF00;  // just below 2^31
    const testing::PackBytes pack =
        testing::writeSparsePack(path, {testing::packFile(47, 9, false)}, indexAt);
    const auto size = std::filesystem::file_size(path);

    auto archive = openPack(path);
    ASSERT_EQ(archive->FImageCount, 1);
    EXPECT_EQ(archive->dataEnd(), static_cast<std::int32_t>(indexAt));
    EXPECT_TRUE(archive->canGrowBy(0xFF));
    EXPECT_FALSE(archive->canGrowBy(0x100));
    const Bytes data(300, 1);
    EXPECT_FALSE(archive->AppendEntry(
        testing::packEntryHeader(testing::packFile(47, 300, false), 300), data));
    EXPECT_FALSE(archive->InsertIndexBatch(std::vector<std::int32_t>{0}, 0, 323, 64));
    EXPECT_FALSE(archive->WriteAt(indexAt, data));
    EXPECT_EQ(std::filesystem::file_size(path), size);
    EXPECT_EQ(archive->FIndexList, pack.slots);
}

// ---- A seeded run of editing steps against a model ------------------------------

class PackModelTest : public ::testing::TestWithParam<const char*> {
protected:
    void expectModel() { expectModelIn(*pack); }
    void expectModelIn(TWMMyImageImages& archive) {
        ASSERT_EQ(archive.FImageCount, static_cast<std::int32_t>(model.size()));
        for (std::size_t i = 0; i < model.size(); ++i) {
            expectEntry(archive, i, model[i]);
            EXPECT_EQ(archive.GetEntryOffsets(i).x, model[i].x) << i;
            EXPECT_EQ(archive.GetEntryOffsets(i).y, model[i].y) << i;
        }
    }
    std::vector<PackEntry> randomEntries(std::int32_t count) {
        std::vector<PackEntry> entries;
        while (count-- > 0) {
            entries.push_back(
                random() % 5 == 0
                    ? testing::packEmpty()
                    : testing::packFile(47 + random() % 2 * 16, random() % 300, false, random()));
        }
        return entries;
    }
    // Entries first .. last - 1 replaced by `entries`, staged back to back as an
    // insert or overwrite run writes them, with the tail moved to fit.
    void replace(std::int32_t first, std::int32_t last, const std::vector<PackEntry>& entries) {
        Bytes staged;
        std::vector<std::int32_t> batch;
        for (const PackEntry& entry : entries) {
            batch.push_back(entry.dataType ? static_cast<std::int32_t>(staged.size()) : -1);
            if (!entry.dataType) continue;
            const auto header = PackEntryHeader(
                testing::packEntryHeader(entry, entry.payload.size()), RandomSource::program());
            Bytes data = entry.payload;
            CipherEntryData(pack->FCipherActive, pack->FPassword, data, true);
            staged.insert(staged.end(), header->begin(), header->end());
            testing::putBytes(staged, data);
        }
        const std::int32_t p = pack->FindDataPosition(first);
        const auto growth = static_cast<std::int64_t>(staged.size()) -
                            (first == last ? 0 : pack->FindDataPosition(last) - p);
        moveTail(path, growth > 0 ? p : p - growth, growth);
        ASSERT_TRUE(staged.empty() || pack->WriteAt(p, staged));
        if (first == last) {
            ASSERT_TRUE(pack->InsertIndexBatch(batch, first, growth, p));
            model.insert(model.begin() + first, entries.begin(), entries.end());
        } else {
            ASSERT_TRUE(pack->OverwriteIndexBatch(batch, first, growth, p));
            std::copy(entries.begin(), entries.end(), model.begin() + first);
        }
    }
    // Through the delete operation, which saves the index.
    void remove(std::int32_t first, std::int32_t last, bool removeSlots) {
        testing::ScriptedPrompts prompts;
        const EditResult result = deleteEntries(*pack, {first, last, !removeSlots}, prompts);
        ASSERT_EQ(result.outcome, EditOutcome::Done) << result.error;
        const auto begin = model.begin() + first, end = model.begin() + last + 1;
        if (removeSlots) model.erase(begin, end);
        if (!removeSlots) std::fill(begin, end, testing::packEmpty());
    }
    void step() {
        const auto count = static_cast<std::int32_t>(model.size());
        const std::int32_t at = count ? static_cast<std::int32_t>(random() % count) : 0;
        const std::int32_t last = std::min<std::int32_t>(count - 1, at + random() % 3);
        switch (count ? random() % 6 : 0) {
            case 0:
                for (const PackEntry& entry : randomEntries(1 + random() % 3)) {
                    ASSERT_TRUE(append(*pack, entry));
                    model.push_back(entry);
                }
                break;
            case 1:
                return replace(at, at, randomEntries(1 + random() % 3));
            case 2:
                return replace(at, last + 1, randomEntries(last - at + 1));
            case 3:
                return remove(at, last, random() % 2);
            case 4:
                model[at].x = static_cast<std::int16_t>(random());
                model[at].y = static_cast<std::int16_t>(random());
                EXPECT_EQ(pack->SetEntryOffsets(at, model[at].x, model[at].y),
                          model[at].dataType != 0);
                if (!model[at].dataType) model[at].x = model[at].y = 0;
                break;
            default:
                ASSERT_EQ(pack->SaveIndex(), 1);
                pack = openPack(path, GetParam());
        }
    }

    testing::TempDir dir;
    std::string path = dir.file("model.pak");
    std::unique_ptr<TWMMyImageImages> pack;
    std::vector<PackEntry> model;
    std::mt19937 random{20240517};
};

TEST_P(PackModelTest, SeededEditsMatchAVectorAfterEveryStepAndAfterReopening) {
    testing::writePack(path, {}, {GetParam()});
    pack = openPack(path, GetParam());
    for (int n = 0; n < 200; ++n) {
        SCOPED_TRACE("seed 20240517, step " + std::to_string(n));
        ASSERT_NO_FATAL_FAILURE(step());
        ASSERT_NO_FATAL_FAILURE(expectModel());
        // What the step left on disk, read by a second pack object.
        ASSERT_TRUE(pack->SaveIndex() == 1 || model.empty());
        ASSERT_NO_FATAL_FAILURE(expectModelIn(*openPack(path, GetParam())));
    }
    ASSERT_TRUE(pack->SaveIndex() == 1 || model.empty());
    pack = openPack(path, GetParam());
    expectModel();
}

INSTANTIATE_TEST_SUITE_P(Packs, PackModelTest, ::testing::Values("", kPassword),
                         [](const auto& info) { return *info.param ? "Protected" : "Plain"; });

}  // namespace
}  // namespace vantoro
