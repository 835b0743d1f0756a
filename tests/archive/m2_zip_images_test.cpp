#include "archive/m2_zip_images.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/open_archive.h"
#include "d3d9/d3d9_formats.h"
#include "tests/support/m2_zip_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::M2Image;
using testing::M2ZipImage;
using Rows = std::vector<std::vector<std::uint16_t>>;

// The image rows of a texture, read at Bits + r * Pitch; also checks that
// the rest of every row is still 0.
Rows textureRows(TDXTexture& texture, int width, int height) {
    TDXLockedRect rect;
    EXPECT_TRUE(texture.Lock(kLockRead, rect));
    Rows rows(height);
    for (int r = 0; r < height; ++r) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(
            static_cast<const std::uint8_t*>(rect.Bits) + r * rect.Pitch);
        rows[r].assign(row, row + width);
        for (int x = width; x < rect.Pitch / 2; ++x) EXPECT_EQ(row[x], 0) << "row " << r;
    }
    texture.Unlock();
    return rows;
}

// Palette 1 -> 0xC000, 255 -> 0xFFFF; R5G6B5 0x0001 -> 0x8001,
// 0x07E0 -> 0x83E0, 0xFFFF -> 0xFFFF; 0 is transparent in both.
const M2Image kEightBit = {5, 2, -1, 2, {1, 255, 0, 1, 255, 0, 0, 255, 1, 1}};
const Rows kEightBitTexels = {{0xC000, 0xFFFF, 0, 0xC000, 0xFFFF}, {0, 0, 0xFFFF, 0xC000, 0xC000}};
const M2Image kSixteenBit = {3, 2, 30, -40, {0x0001, 0, 0xFFFF, 0x07E0, 0x07E0, 0x0001}};
const Rows kSixteenBitTexels = {{0x8001, 0, 0xFFFF}, {0x83E0, 0x83E0, 0x8001}};

Bytes goodPayload() {
    return testing::deflateBytes(testing::bottomUpBodyOf(kEightBit, false));
}

class M2ZipTest : public ::testing::Test {
protected:
    std::unique_ptr<TWMBaseImages> open() {
        OpenedArchive opened = openArchive(TWMImagesKind::M2Zip, wzl);
        EXPECT_TRUE(opened.opened);
        return std::move(opened.archive);
    }
    static TWMM2ZipImages& zip(std::unique_ptr<TWMBaseImages>& archive) {
        return dynamic_cast<TWMM2ZipImages&>(*archive);
    }

    // One record whose payload is given as it stands, after a good one.
    std::unique_ptr<TWMBaseImages> openWithPayload(const Bytes& payload, std::uint8_t code = 3) {
        auto built = testing::buildM2Zip({kEightBit}, false);
        built.recordOffsets.push_back(built.data.size());
        testing::putBytes(built.data, testing::m2ZipRecord(kEightBit, code, payload));
        built.index = testing::buildM2Zip({kEightBit, kEightBit}, false).index;
        testing::setU32At(built.index, 52, static_cast<std::uint32_t>(built.recordOffsets[1]));
        testing::writeArchiveFiles(wzl, built, ".WZX");
        return open();
    }

    testing::TempDir dir;
    std::string wzl = dir.file("Objects.wzl");
};

TEST_F(M2ZipTest, EachRecordCarriesItsOwnDepth) {
    for (const int level : {0, 9}) {
        SCOPED_TRACE("level " + std::to_string(level));
        testing::writeM2Zip(wzl, {{kSixteenBit, true, level}, {kEightBit, false, level}});
        auto archive = open();
        ASSERT_EQ(archive->FImageCount, 2);
        TDXImageTexture texture;
        ASSERT_TRUE(archive->DrawToTexture(0, &texture));
        EXPECT_TRUE(zip(archive).FIs16Bit);
        EXPECT_EQ(texture.FFormat, D3DFMT_A1R5G5B5);
        EXPECT_EQ(textureRows(texture, 3, 2), kSixteenBitTexels);
        EXPECT_EQ(archive->FLastImageInfo.PX, 30);
        EXPECT_EQ(archive->FLastImageInfo.PY, -40);
        ASSERT_TRUE(archive->DrawToTexture(1, &texture));
        EXPECT_FALSE(zip(archive).FIs16Bit);
        EXPECT_EQ(textureRows(texture, 5, 2), kEightBitTexels);
        EXPECT_EQ(archive->FLastImageInfo.Width, 5);

        const auto sixteen = archive->GetBitmap(0);
        ASSERT_TRUE(sixteen);
        EXPECT_EQ(sixteen->bitCount(), 16);
        EXPECT_EQ(sixteen->row16(1)[0], 0x07E0);
        EXPECT_EQ(sixteen->row16(0)[2], 0xFFFF);
        std::uint8_t type = 0;
        const auto eight = archive->GetBitmap(1, type);
        ASSERT_TRUE(eight);
        EXPECT_EQ(type, kDataTypeImage);
        EXPECT_EQ(eight->bitCount(), 8);
        EXPECT_EQ(Bytes(eight->row(0), eight->row(0) + 5), Bytes({1, 255, 0, 1, 255}));
        EXPECT_EQ(Bytes(eight->row(1), eight->row(1) + 5), Bytes({0, 0, 255, 1, 1}));
    }
}

TEST_F(M2ZipTest, AnyCodeButFiveIsEightBit) {
    auto archive = openWithPayload(goodPayload(), 0);
    TDXImageTexture texture;
    ASSERT_TRUE(archive->DrawToTexture(1, &texture));
    EXPECT_EQ(textureRows(texture, 5, 2), kEightBitTexels);
}

TEST_F(M2ZipTest, UnreadableIndexGivesNoEntries) {
    auto built = testing::buildM2Zip({kEightBit, kEightBit}, false);
    testing::writeFile(wzl, built.data);
    const auto missing = open();
    EXPECT_EQ(missing->FImageCount, 0);
    EXPECT_NE(missing->lastError().find("is missing"), std::string::npos);

    testing::writeFile(dir.file("Objects.WZX"), Bytes(10));
    const auto headerOnly = open();
    EXPECT_EQ(headerOnly->FImageCount, 0);
    EXPECT_NE(headerOnly->lastError().find("shorter than its header"), std::string::npos);

    Bytes shortTable = built.index;
    testing::truncateTo(shortTable, shortTable.size() - 2);
    testing::writeFile(dir.file("Objects.WZX"), shortTable);
    EXPECT_EQ(open()->FImageCount, 0);

    Bytes huge = built.index;
    testing::setU32At(huge, 44, 10'000'001u);
    testing::writeFile(dir.file("Objects.WZX"), huge);
    std::filesystem::resize_file(dir.file("Objects.WZX"), 48 + 4 * 10'000'001ull);
    EXPECT_EQ(open()->FImageCount, 0);
}

TEST_F(M2ZipTest, NegativePayloadSizeGivesNoImage) {
    for (const std::uint32_t size : {0xFFFFFFFFu, 0x80000000u}) {
        auto archive = openWithPayload(goodPayload());
        // Rewrite the size field of record 1 in place.
        Bytes data = testing::readFile(wzl);
        testing::setU32At(data, static_cast<std::size_t>(archive->FIndexList[1]) + 12, size);
        testing::writeFile(wzl, data);
        TDXImageTexture texture;
        EXPECT_FALSE(archive->DrawToTexture(1, &texture)) << size;
        EXPECT_FALSE(archive->GetBitmap(1)) << size;
        EXPECT_TRUE(archive->DrawToTexture(0, &texture));
    }
}

// Payload size 0: the record is stored uncompressed, its bottom-up body
// right after the header. Last in the file, the body ends exactly at the
// file's end, or one byte past it.
TEST_F(M2ZipTest, UncompressedRecordIsItsBodyWhenTheFileHoldsIt) {
    struct Case {
        const char* name;
        M2ZipImage raw;
        std::size_t cut;  // bytes taken off the end of the file
        Rows texels;      // none: no image
    };
    const Case cases[] = {
        {"8-bit", {kEightBit, false, 6, true}, 0, kEightBitTexels},
        {"16-bit", {kSixteenBit, true, 6, true}, 0, kSixteenBitTexels},
        {"cut by the end of the file", {kSixteenBit, true, 6, true}, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto built = testing::buildM2Zip({{kEightBit, false}, c.raw});
        testing::truncateTo(built.data, built.data.size() - c.cut);
        testing::writeArchiveFiles(wzl, built, ".WZX");
        auto archive = open();
        TDXImageTexture texture;
        const bool whole = !c.texels.empty();
        ASSERT_EQ(archive->DrawToTexture(1, &texture), whole) << archive->lastError();
        const auto bitmap = archive->GetBitmap(1);
        ASSERT_EQ(bitmap.has_value(), whole);
        if (whole) {
            EXPECT_EQ(zip(archive).FIs16Bit, c.raw.sixteenBit);
            EXPECT_EQ(textureRows(texture, c.raw.image.width, 2), c.texels);
            std::vector<std::uint16_t> pixels;
            for (std::int32_t y = 0; y < bitmap->height(); ++y) {
                for (std::int32_t x = 0; x < bitmap->width(); ++x) {
                    pixels.push_back(c.raw.sixteenBit ? bitmap->row16(y)[x] : bitmap->row(y)[x]);
                }
            }
            EXPECT_EQ(pixels, c.raw.image.pixels);
            EXPECT_EQ(archive->FLastImageInfo.PX, c.raw.image.px);
        } else {
            EXPECT_NE(archive->lastError().find("passes the end of the file"), std::string::npos)
                << archive->lastError();
        }
        EXPECT_TRUE(archive->GetBitmap(0));
    }
}

TEST_F(M2ZipTest, PayloadPastTheEndOfTheFileGivesNoImage) {
    auto archive = openWithPayload(goodPayload());
    Bytes data = testing::readFile(wzl);
    testing::truncateTo(data, data.size() - 1);
    testing::writeFile(wzl, data);
    EXPECT_FALSE(archive->GetBitmap(1));
    EXPECT_TRUE(archive->GetBitmap(0));
}

TEST_F(M2ZipTest, CorruptZlibDataGivesNoImage) {
    Bytes payload = goodPayload();
    payload[0] = 0x12;  // not a zlib header
    auto archive = openWithPayload(payload);
    TDXImageTexture texture;
    EXPECT_FALSE(archive->DrawToTexture(1, &texture));
    EXPECT_FALSE(archive->GetBitmap(1));
    EXPECT_TRUE(archive->DrawToTexture(0, &texture));
}

TEST_F(M2ZipTest, ShortBodyLeavesMissingRowsTransparent) {
    // Only the bottom row (first in the body) is there.
    Bytes body = testing::bottomUpBodyOf(kEightBit, false);
    body.resize(8 + 3);
    auto archive = openWithPayload(testing::deflateBytes(body));
    TDXImageTexture texture;
    // The texture first holds a whole image of the same size, so a missing
    // row that is not cleared all across shows.
    ASSERT_TRUE(archive->DrawToTexture(0, &texture));
    ASSERT_TRUE(archive->DrawToTexture(1, &texture));
    EXPECT_EQ(textureRows(texture, 5, 2), Rows({{0, 0, 0, 0, 0}, kEightBitTexels[1]}));
    const auto bitmap = archive->GetBitmap(1);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(Bytes(bitmap->row(0), bitmap->row(0) + 5), Bytes(5, 0));

    // A stream that inflates to nothing holds no image at all.
    archive = openWithPayload(testing::deflateBytes(Bytes{}));
    EXPECT_FALSE(archive->DrawToTexture(1, &texture));
}

}  // namespace
}  // namespace vantoro
