#include "archive/m3_zip_images.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "d3d9/d3d9_formats.h"
#include "io/byte_reader.h"
#include "tests/support/m3_zip_writer.h"
#include "tests/support/open_pack.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::M3ZipArchiveBytes;
using testing::M3ZipImage;

// 3 x 2: width 3 gives a 6-byte row padded to an 8-byte stride.
M3ZipImage tinyImage() {
    return M3ZipImage{3, 2, -5, 7, {0x0001, 0xFFFF, 0x07E0, 0xF800, 0x0000, 0x1234}, 6};
}

std::vector<std::uint16_t> textureRows(TDXTexture& texture, int width, int height) {
    TDXLockedRect rect;
    EXPECT_TRUE(texture.Lock(kLockRead, rect));
    std::vector<std::uint16_t> out;
    for (int r = 0; r < height; ++r) {
        const auto* row = static_cast<const std::uint8_t*>(rect.Bits) + r * rect.Pitch;
        for (int x = 0; x < width; ++x) out.push_back(decodeU16(row + 2 * x));
    }
    texture.Unlock();
    return out;
}

std::vector<std::uint16_t> bitmapRows(const DibBitmap& bitmap) {
    std::vector<std::uint16_t> out;
    for (int r = 0; r < bitmap.height(); ++r) {
        for (int x = 0; x < bitmap.width(); ++x) out.push_back(decodeU16(bitmap.row(r) + 2 * x));
    }
    return out;
}

class M3ZipImagesTest : public ::testing::Test {
protected:
    std::string mizPath() const { return dir.file("Tiles.miz"); }

    std::unique_ptr<TWMM3ZipImages> open(const M3ZipArchiveBytes& archive) {
        testing::writeM3ZipFiles(mizPath(), archive);
        return openWritten();
    }
    std::unique_ptr<TWMM3ZipImages> openWritten() {
        auto images = testing::openAs<TWMM3ZipImages>(TWMImagesKind::M3Zip, mizPath());
        EXPECT_TRUE(images->FInitialized);
        return images;
    }
    // One record whose payload is `payload`, with the tiny image's header.
    std::unique_ptr<TWMM3ZipImages> openWithPayload(const Bytes& payload) {
        return open(testing::buildM3ZipFromRecords({testing::m3ZipRecord(tinyImage(), payload)}));
    }

    testing::TempDir dir;
};

TEST_F(M3ZipImagesTest, FindsTheLowerCaseMixIndexBesideTheMiz) {
    auto images = open(testing::buildM3Zip({tinyImage(), tinyImage()}));
    EXPECT_EQ(images->FIndexFileName, dir.file("Tiles.mix"));
    EXPECT_EQ(images->FImageCount, 2);
    EXPECT_EQ(images->className(), "TWMM3ZipImages");
}

TEST_F(M3ZipImagesTest, MissingIndexOpensWithNoEntries) {
    testing::writeFile(mizPath(), testing::buildM3Zip({tinyImage()}).data);
    auto images = openWritten();
    EXPECT_TRUE(images->FInitialized);
    EXPECT_EQ(images->FImageCount, 0);
    EXPECT_NE(images->lastError().find("is missing"), std::string::npos);
}

TEST_F(M3ZipImagesTest, GetBitmapSkipsTheStridePaddingAndKeepsRowOrder) {
    auto images = open(testing::buildM3Zip({tinyImage()}));
    std::uint8_t dataType = 0;
    const auto bitmap = images->GetBitmap(0, dataType);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(dataType, kDataTypeImage);
    EXPECT_EQ(bitmap->bitCount(), 16);
    EXPECT_EQ(bitmapRows(*bitmap), tinyImage().pixels);
    EXPECT_EQ(images->FLastImageInfo.Width, 3);
    EXPECT_EQ(images->FLastImageInfo.Height, 2);
    EXPECT_EQ(images->FLastImageInfo.PX, -5);
    EXPECT_EQ(images->FLastImageInfo.PY, 7);
    EXPECT_TRUE(images->FIs16Bit);
}

TEST_F(M3ZipImagesTest, DrawToTextureConvertsToA1R5G5B5AtEachPitch) {
    auto images = open(testing::buildM3Zip({tinyImage()}));
    TDXImageTexture texture;
    ASSERT_TRUE(images->DrawToTexture(0, &texture));
    EXPECT_EQ(texture.FFormat, D3DFMT_A1R5G5B5);
    EXPECT_EQ(texture.GetWidth(), 3);
    EXPECT_EQ(texture.GetHeight(), 2);
    const std::vector<std::uint16_t> expected{0x8001, 0xFFFF, 0x83E0, 0xFC00, 0x0000, 0x8914};
    EXPECT_EQ(textureRows(texture, 3, 2), expected);
    EXPECT_EQ(images->FLastImageInfo.PX, -5);
}

TEST_F(M3ZipImagesTest, BadIndexOrMissingTextureFails) {
    auto images = open(testing::buildM3Zip({tinyImage()}));
    std::uint8_t dataType = 0;
    EXPECT_FALSE(images->GetBitmap(-1, dataType));
    EXPECT_EQ(dataType, kDataTypeImage);
    EXPECT_FALSE(images->GetBitmap(1));
    TDXImageTexture texture;
    EXPECT_FALSE(images->DrawToTexture(1, &texture));
    EXPECT_FALSE(images->DrawToTexture(0, nullptr));
    EXPECT_TRUE(images->DrawToTexture(0, &texture));
}

TEST_F(M3ZipImagesTest, TruncatedPayloadFailsAlone) {
    M3ZipArchiveBytes archive = testing::buildM3Zip({tinyImage(), tinyImage()});
    testing::truncateTo(archive.data, archive.recordOffsets[1] + 16 + 3);
    auto images = open(archive);
    EXPECT_TRUE(images->GetBitmap(0));
    EXPECT_FALSE(images->GetBitmap(1));
    EXPECT_TRUE(images->GetBitmap(0));
}

TEST_F(M3ZipImagesTest, IndexShorterThanItsCountGivesNoEntries) {
    M3ZipArchiveBytes archive = testing::buildM3Zip({tinyImage(), tinyImage()});
    testing::truncateTo(archive.index, archive.index.size() - 1);
    EXPECT_EQ(open(archive)->FImageCount, 0);
}

TEST_F(M3ZipImagesTest, IndexCountsOutsideTheLimitGiveNoEntries) {
    for (const std::uint32_t count : {10'000'001u, 0xFFFFFFFFu}) {
        M3ZipArchiveBytes archive = testing::buildM3Zip({tinyImage()});
        testing::setU32At(archive.index, 16, count);
        EXPECT_EQ(open(archive)->FImageCount, 0) << count;
    }
}

TEST_F(M3ZipImagesTest, NegativeOrOversizedPayloadSizeYieldsNoImage) {
    for (const std::uint32_t size : {0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu}) {
        M3ZipArchiveBytes archive = testing::buildM3Zip({tinyImage()});
        testing::setU32At(archive.data, archive.recordOffsets[0] + 8, size);
        EXPECT_FALSE(open(archive)->GetBitmap(0)) << size;
    }
}

// Payload size 0: the record is stored uncompressed, its bottom-up body
// right after the header; last in the file, the body ends exactly at the
// file's end, or one byte past it.
TEST_F(M3ZipImagesTest, UncompressedRecordIsItsBodyWhenTheFileHoldsIt) {
    M3ZipImage raw = tinyImage();
    raw.raw = true;
    for (const std::size_t cut : {0u, 1u}) {
        SCOPED_TRACE("cut " + std::to_string(cut));
        M3ZipArchiveBytes archive = testing::buildM3Zip({tinyImage(), raw});
        testing::truncateTo(archive.data, archive.data.size() - cut);
        auto images = open(archive);
        const auto bitmap = images->GetBitmap(1);
        TDXImageTexture texture;
        if (cut == 0) {
            ASSERT_TRUE(bitmap) << images->lastError();
            EXPECT_EQ(bitmapRows(*bitmap), raw.pixels);
            ASSERT_TRUE(images->DrawToTexture(1, &texture));
            EXPECT_EQ(textureRows(texture, 3, 2),
                      (std::vector<std::uint16_t>{0x8001, 0xFFFF, 0x83E0, 0xFC00, 0, 0x8914}));
            EXPECT_EQ(images->FLastImageInfo.PY, 7);
        } else {
            EXPECT_FALSE(bitmap);
            EXPECT_NE(images->lastError().find("passes the end of the file"), std::string::npos)
                << images->lastError();
            EXPECT_FALSE(images->DrawToTexture(1, &texture));
        }
        EXPECT_TRUE(images->GetBitmap(0));
    }
}

TEST_F(M3ZipImagesTest, CorruptZlibDataYieldsNoImage) {
    Bytes payload = testing::m3ZipDeflate(testing::m3ZipBody(tinyImage()));
    testing::flipByte(payload, 0);  // the stream header
    auto images = openWithPayload(payload);
    EXPECT_FALSE(images->GetBitmap(0));
    TDXImageTexture texture;
    EXPECT_FALSE(images->DrawToTexture(0, &texture));
}

TEST_F(M3ZipImagesTest, StreamInflatingToNothingYieldsNoImage) {
    EXPECT_FALSE(openWithPayload(testing::m3ZipDeflate({}))->GetBitmap(0));
}

// The body is bottom-up: a body holding one stride holds the bottom row only.
TEST_F(M3ZipImagesTest, ShortBodyKeepsTheRowsItLacksTransparent) {
    const Bytes body = testing::m3ZipBody(tinyImage());
    const Bytes bottomRowOnly(body.begin(), body.begin() + 8 + 3);
    auto images = openWithPayload(testing::m3ZipDeflate(bottomRowOnly));
    const auto bitmap = images->GetBitmap(0);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmapRows(*bitmap), (std::vector<std::uint16_t>{0, 0, 0, 0xF800, 0x0000, 0x1234}));
    TDXImageTexture texture;
    ASSERT_TRUE(images->DrawToTexture(0, &texture));
    EXPECT_EQ(textureRows(texture, 3, 2),
              (std::vector<std::uint16_t>{0, 0, 0, 0xFC00, 0x0000, 0x8914}));
}

TEST_F(M3ZipImagesTest, IndexOffsetPastTheDataFailsAlone) {
    M3ZipArchiveBytes archive = testing::buildM3Zip({tinyImage(), tinyImage()});
    testing::setU32At(archive.index, 24 + 4, static_cast<std::uint32_t>(archive.data.size() + 100));
    auto images = open(archive);
    EXPECT_FALSE(images->GetBitmap(1));
    EXPECT_TRUE(images->GetBitmap(0));
}

}  // namespace
}  // namespace vantoro
