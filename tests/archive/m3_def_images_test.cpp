#include "archive/m3_def_images.h"

#include <gtest/gtest.h>

#include <random>

#include "pixels/pixel_format.h"
#include "tests/support/m3_def_writer.h"
#include "tests/support/open_pack.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

namespace vt = vantoro::testing;
using vt::M3Image;
using vt::M3Layout;
using vt::M3Record;
using Words = std::vector<std::uint16_t>;

constexpr std::uint16_t kSkip = vt::kM3TransparentRun;
constexpr std::uint16_t kCopy = vt::kM3OpaqueRun;

// Every row of the locked texture: the image's words at Bits + r * Pitch,
// and zeros from the image width to the end of the pitch.
void expectTextureRows(TDXTexture& texture, const std::vector<Words>& rows) {
    TDXLockedRect rect;
    ASSERT_TRUE(texture.Lock(kLockRead, rect));
    ASSERT_EQ(texture.FHeight, static_cast<std::int32_t>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(
            static_cast<const std::uint8_t*>(rect.Bits) + r * static_cast<std::size_t>(rect.Pitch));
        EXPECT_EQ(Words(row, row + rows[r].size()), rows[r]) << "row " << r;
        for (std::size_t x = rows[r].size(); x < static_cast<std::size_t>(rect.Pitch) / 2; ++x) {
            EXPECT_EQ(row[x], 0) << "row " << r << " padding at " << x;
        }
    }
    texture.Unlock();
}

Words bitmapRow(const DibBitmap& bitmap, std::int32_t y) {
    return Words(bitmap.row16(y), bitmap.row16(y) + bitmap.width());
}

Words converted(const Words& row) {
    Words out;
    for (const std::uint16_t v : row) out.push_back(R5G6B5ToA1R5G5B5[v]);
    return out;
}

// A 3 x 2 image: transparent, near-black and white pixels, and a pure green.
M3Image smallImage() {
    return M3Image{3, 2, 7, -9, {0, 0x0001, 0xFFFF, 0x07E0, 0, 0}, false};
}

// Two rows of 6: the top one coded with L = 6 as 0xC0 2, 0xC1 2 p1 p2; the
// bottom one with L = 0.
M3Record sixWideRecord() {
    return M3Record{6, 2, 0, 0, {6, kSkip, 2, kCopy, 2, 0x1111, 0x2222, 0}, false};
}

M3Image sixWideImage() {
    Words pixels(12, 0);
    pixels[2] = 0x1111;
    pixels[3] = 0x2222;
    return M3Image{6, 2, 0, 0, pixels, false};
}

Result<Words> decode(const Words& words, std::uint16_t width, std::uint16_t height) {
    vt::Bytes bytes;
    for (const std::uint16_t w : words) vt::putU16(bytes, w);
    std::vector<std::uint8_t> out(2u * width * height, 0xAB);  // every pixel must be written
    const Status status = m3::decodeRows(bytes, width, height, out);
    if (!status) return fail(status.error());
    Words pixels(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = decodeU16(out.data() + 2 * i);
    return pixels;
}

class M3DefImagesTest : public ::testing::Test {
protected:
    std::unique_ptr<TWMM3DefImages> archiveFor(const std::string& dataPath) {
        auto archive = std::make_unique<TWMM3DefImages>();
        archive->FFileName = dataPath;
        archive->FUseTextureCache = false;
        return archive;
    }
    std::unique_ptr<TWMM3DefImages> open(const vt::M3DefFiles& files) {
        vt::writeM3DefFiles(path, files);
        auto archive = vt::openAs<TWMM3DefImages>(TWMImagesKind::M3Def, path);
        EXPECT_TRUE(archive->FInitialized);
        return archive;
    }
    // Data file and index are written; Initialize must refuse them.
    void expectRefused(const vt::M3DefFiles& files) {
        vt::writeM3DefFiles(path, files);
        auto archive = archiveFor(path);
        EXPECT_FALSE(archive->Initialize());
        EXPECT_FALSE(archive->FInitialized);
        EXPECT_FALSE(archive->FFileStream);
        EXPECT_TRUE(archive->FIndexList.empty());
    }

    vt::TempDir dir;
    std::string path = dir.file("Tiles.wil");
};

TEST_F(M3DefImagesTest, BothLayoutsGiveExactPixelsInBitmapAndTexture) {
    for (const M3Layout layout : {M3Layout::New, M3Layout::Old}) {
        auto archive = open(vt::buildM3Def({smallImage()}, layout));
        EXPECT_EQ(archive->FIsNewVersion, layout == M3Layout::New);
        ASSERT_EQ(archive->FImageCount, 1);
        auto bitmap = archive->GetBitmap(0);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->bitCount(), 16);
        EXPECT_EQ(bitmapRow(*bitmap, 0), (Words{0, 0x0001, 0xFFFF}));
        EXPECT_EQ(bitmapRow(*bitmap, 1), (Words{0x07E0, 0, 0}));
        TDXImageTexture texture;
        ASSERT_TRUE(archive->DrawToTexture(0, &texture));
        EXPECT_EQ(texture.FFormat, 25u);
        expectTextureRows(texture, {{0, 0x8001, 0xFFFF}, {0x83E0, 0, 0}});
        EXPECT_EQ(archive->FLastImageInfo.PX, 7);
        EXPECT_EQ(archive->FLastImageInfo.PY, -9);
    }
}

TEST_F(M3DefImagesTest, VersionWordHighHalfSelectsTheHeaderSize) {
    auto files = vt::buildM3DefRecords({sixWideRecord()}, M3Layout::New);
    vt::setU32At(files.index, vt::kM3IndexVersionAt, 0xB13A0001);
    EXPECT_TRUE(open(files)->FIsNewVersion);

    auto old = vt::buildM3DefRecords({sixWideRecord()}, M3Layout::Old);
    vt::setU32At(old.index, vt::kM3IndexVersionAt, 0xB13B0000);
    auto archive = open(old);
    EXPECT_FALSE(archive->FIsNewVersion);
    auto bitmap = archive->GetBitmap(0);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmapRow(*bitmap, 0), (Words{0, 0, 0x1111, 0x2222, 0, 0}));
}

TEST_F(M3DefImagesTest, RowOfLengthSixSkipsThenCopiesAndLeavesTheRestTransparent) {
    auto archive = open(vt::buildM3DefRecords({sixWideRecord()}, M3Layout::New));
    auto bitmap = archive->GetBitmap(0);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmapRow(*bitmap, 0), (Words{0, 0, 0x1111, 0x2222, 0, 0}));
    EXPECT_EQ(bitmapRow(*bitmap, 1), Words(6, 0));
    TDXImageTexture texture;
    ASSERT_TRUE(archive->DrawToTexture(0, &texture));
    expectTextureRows(texture, {converted({0, 0, 0x1111, 0x2222, 0, 0}), Words(6, 0)});
}

TEST_F(M3DefImagesTest, WrittenImagesReadBackEqualInBothLayouts) {
    std::mt19937 random(7);
    std::vector<M3Image> images;
    for (int i = 0; i < 12; ++i) {
        M3Image image{static_cast<std::uint16_t>(2 + random() % 50),
                      static_cast<std::uint16_t>(2 + random() % 50),
                      static_cast<std::int16_t>(random()),
                      static_cast<std::int16_t>(random()),
                      {},
                      i == 5};
        const std::size_t pixels = std::size_t{image.width} * image.height;
        // Runs of transparent and opaque pixels of random lengths.
        while (image.pixels.size() < pixels) {
            const std::uint16_t value =
                random() % 2 ? 0 : static_cast<std::uint16_t>(1 + random() % 0xFFFF);
            image.pixels.insert(
                image.pixels.end(),
                std::min<std::size_t>(1 + random() % 9, pixels - image.pixels.size()), value);
        }
        images.push_back(std::move(image));
    }
    for (const M3Layout layout : {M3Layout::New, M3Layout::Old}) {
        auto archive = open(vt::buildM3Def(images, layout));
        ASSERT_EQ(archive->FImageCount, 12);
        for (int i = 0; i < 12; ++i) {
            const M3Image& image = images[static_cast<std::size_t>(i)];
            auto bitmap = archive->GetBitmap(i);
            ASSERT_EQ(static_cast<bool>(bitmap), !image.empty) << i;
            if (!bitmap) continue;
            Words all;
            for (std::int32_t y = 0; y < image.height; ++y) {
                const Words row = bitmapRow(*bitmap, y);
                all.insert(all.end(), row.begin(), row.end());
            }
            EXPECT_EQ(all, image.pixels) << i;
        }
    }
}

TEST_F(M3DefImagesTest, CountMismatchRaisesWithTheFileNameAndFinalizes) {
    auto files = vt::buildM3Def(std::vector<M3Image>(10, smallImage()), M3Layout::New);
    vt::setU32At(files.data, vt::kM3DataCountAt, 9);
    vt::writeM3DefFiles(path, files);
    auto archive = archiveFor(path);
    try {
        archive->Initialize();
        FAIL() << "no exception";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(std::string(error.what()), path + " 对应文件数量不一致");
    }
    EXPECT_FALSE(archive->FInitialized);
    EXPECT_FALSE(archive->FFileStream);
    EXPECT_TRUE(archive->FIndexList.empty());
    EXPECT_FALSE(archive->GetBitmap(0));
}

TEST_F(M3DefImagesTest, EntryAtOffsetZeroHoldsNoImage) {
    M3Image empty;
    empty.empty = true;
    auto archive = open(vt::buildM3Def({smallImage(), empty, smallImage()}, M3Layout::New));
    ASSERT_EQ(archive->FIndexList[1], 0);
    std::uint8_t dataType = 0;
    EXPECT_FALSE(archive->GetBitmap(1, dataType));
    EXPECT_EQ(dataType, kDataTypeImage);
    TDXImageTexture texture;
    EXPECT_FALSE(archive->DrawToTexture(1, &texture));
    EXPECT_TRUE(archive->GetBitmap(2));
}

TEST_F(M3DefImagesTest, MissingIndexRefusesToOpen) {
    vt::writeFile(path, vt::buildM3Def({smallImage()}, M3Layout::New).data);
    auto archive = archiveFor(path);
    EXPECT_FALSE(archive->Initialize());
    EXPECT_FALSE(archive->FInitialized);
    EXPECT_FALSE(archive->FFileStream);
}

TEST_F(M3DefImagesTest, OldLayoutRowsEndAtTheNextRecordInFileOrder) {
    // The index lists the records in reverse file order; each still ends
    // where the next record in the file starts.
    auto files = vt::buildM3Def({smallImage(), sixWideImage()}, M3Layout::Old);
    std::swap(files.recordOffsets[0], files.recordOffsets[1]);
    vt::setU32At(files.index, files.indexEntryAt(0),
                 static_cast<std::uint32_t>(files.recordOffsets[0]));
    vt::setU32At(files.index, files.indexEntryAt(1),
                 static_cast<std::uint32_t>(files.recordOffsets[1]));
    auto archive = open(files);
    auto six = archive->GetBitmap(0);
    ASSERT_TRUE(six);
    EXPECT_EQ(six->width(), 6);
    auto three = archive->GetBitmap(1);
    ASSERT_TRUE(three);
    EXPECT_EQ(bitmapRow(*three, 0), (Words{0, 0x0001, 0xFFFF}));
}

TEST(M3DecodeRows, TheThreeOpaqueCodesCopyAlike) {
    const auto pixels = decode({9, 0xC1, 1, 5, 0xC2, 1, 6, 0xC3, 1, 7, 0}, 3, 2);
    ASSERT_TRUE(pixels) << pixels.error();
    EXPECT_EQ(*pixels, (Words{5, 6, 7, 0, 0, 0}));
}

// ---- Damaged rows, one fault each. --------------------------------------------

TEST(M3DecodeRows, TransparentRunPastTheRowWidthFails) {
    EXPECT_FALSE(decode({2, kSkip, 3, 0}, 2, 2));
}

TEST(M3DecodeRows, OpaqueRunPastTheRowWidthFails) {
    EXPECT_FALSE(decode({5, kCopy, 3, 1, 2, 3, 0}, 2, 2));
}

TEST(M3DecodeRows, OpaqueRunPastItsRowLengthFails) {
    // L = 3 holds only one of the two words; the next row's words follow.
    EXPECT_FALSE(decode({3, kCopy, 2, 5, 6, 0}, 2, 2));
}

TEST(M3DecodeRows, UnknownCodeWordFails) {
    EXPECT_FALSE(decode({2, 0xC4, 1, 0}, 2, 2));
    EXPECT_FALSE(decode({2, 0xBF, 1, 0}, 2, 2));
}

TEST(M3DecodeRows, CodeWithoutItsCountFails) {
    EXPECT_FALSE(decode({1, kSkip, 0}, 2, 2));
}

TEST(M3DecodeRows, RowLengthPastThePayloadFails) {
    EXPECT_FALSE(decode({0, 3, kSkip, 1}, 2, 2));
}

TEST(M3DecodeRows, PayloadEndingBeforeTheLastRowFails) {
    EXPECT_FALSE(decode({0}, 2, 2));
}

// ---- Damaged files, one fault each. -------------------------------------------

TEST_F(M3DefImagesTest, IndexShorterThanItsCountRefusesToOpen) {
    auto files = vt::buildM3Def({smallImage(), smallImage()}, M3Layout::New);
    vt::truncateTo(files.index, files.index.size() - 2);
    expectRefused(files);
}

TEST_F(M3DefImagesTest, IndexShorterThanItsHeaderRefusesToOpen) {
    auto files = vt::buildM3Def({smallImage()}, M3Layout::New);
    vt::truncateTo(files.index, 20);
    expectRefused(files);
}

TEST_F(M3DefImagesTest, NegativeIndexCountRefusesToOpen) {
    auto files = vt::buildM3Def({}, M3Layout::New);
    vt::setU32At(files.index, vt::kM3IndexCountAt, 0xFFFFFFFF);
    vt::setU32At(files.data, vt::kM3DataCountAt, 0xFFFFFFFF);
    expectRefused(files);
}

TEST_F(M3DefImagesTest, DataFileShorterThanItsHeaderRefusesToOpen) {
    auto files = vt::buildM3Def({}, M3Layout::New);
    vt::truncateTo(files.data, 27);
    expectRefused(files);
}

TEST_F(M3DefImagesTest, PayloadLengthPastEndOfFileFailsAlone) {
    auto files = vt::buildM3Def({smallImage(), smallImage()}, M3Layout::New);
    vt::setU32At(files.data, files.recordOffsets[0] + 13, 0x7FFFFFFF);
    auto archive = open(files);
    EXPECT_FALSE(archive->GetBitmap(0));
    TDXImageTexture texture;
    EXPECT_FALSE(archive->DrawToTexture(0, &texture));
    EXPECT_FALSE(texture.IsActive());
    EXPECT_TRUE(archive->GetBitmap(1));
}

TEST_F(M3DefImagesTest, NegativePayloadLengthFails) {
    auto files = vt::buildM3Def({smallImage()}, M3Layout::New);
    vt::setU32At(files.data, files.recordOffsets[0] + 13, 0xFFFFFFFF);
    EXPECT_FALSE(open(files)->GetBitmap(0));
}

TEST_F(M3DefImagesTest, PayloadLengthShorterThanTheRowsFails) {
    auto files = vt::buildM3Def({sixWideImage(), smallImage()}, M3Layout::New);
    vt::setU32At(files.data, files.recordOffsets[0] + 13, 7);  // the bottom row's L is cut off
    auto archive = open(files);
    EXPECT_FALSE(archive->GetBitmap(0));
    EXPECT_TRUE(archive->GetBitmap(1));
}

TEST_F(M3DefImagesTest, RowLengthPastTheStatedPayloadFails) {
    auto files = vt::buildM3Def({sixWideImage(), smallImage()}, M3Layout::New);
    vt::setU16At(files.data, files.payloadAt(0), 0x7FFF);
    auto archive = open(files);
    EXPECT_FALSE(archive->GetBitmap(0));
    EXPECT_TRUE(archive->GetBitmap(1));
}

TEST_F(M3DefImagesTest, OldLayoutRowRunningIntoTheNextRecordFails) {
    auto files = vt::buildM3Def({sixWideImage(), smallImage()}, M3Layout::Old);
    // The bottom row (L = 0 at word 7) now claims a word of the next record.
    vt::setU16At(files.data, files.payloadAt(0) + 14, 1);
    auto archive = open(files);
    EXPECT_FALSE(archive->GetBitmap(0));
    EXPECT_TRUE(archive->GetBitmap(1));
}

TEST_F(M3DefImagesTest, UnknownCodeWordInAFileFailsAlone) {
    auto files = vt::buildM3Def({sixWideImage(), smallImage()}, M3Layout::New);
    vt::setU16At(files.data, files.payloadAt(0) + 2, 0x00C7);
    auto archive = open(files);
    EXPECT_FALSE(archive->GetBitmap(0));
    EXPECT_TRUE(archive->GetBitmap(1));
}

TEST_F(M3DefImagesTest, TruncatedDataFileFailsOnlyTheCutRecord) {
    for (const M3Layout layout : {M3Layout::New, M3Layout::Old}) {
        auto files = vt::buildM3Def({smallImage(), sixWideImage()}, layout);
        vt::truncateTo(files.data, files.data.size() - 3);
        auto archive = open(files);
        EXPECT_TRUE(archive->GetBitmap(0));
        EXPECT_FALSE(archive->GetBitmap(1));
    }
}

TEST_F(M3DefImagesTest, EntryOffsetPastEndOfFileFails) {
    auto files = vt::buildM3Def({smallImage(), smallImage()}, M3Layout::Old);
    vt::setU32At(files.index, files.indexEntryAt(1),
                 static_cast<std::uint32_t>(files.data.size() + 100));
    auto archive = open(files);
    EXPECT_FALSE(archive->GetBitmap(1));
    EXPECT_TRUE(archive->GetBitmap(0));
}

}  // namespace
}  // namespace vantoro
