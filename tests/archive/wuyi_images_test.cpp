#include "archive/wuyi_images.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "io/byte_reader.h"
#include "tests/support/open_pack.h"
#include "tests/support/test_files.h"
#include "tests/support/wuyi_writer.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::WuyiArchiveBytes;
using testing::WuyiImage;
using Words = std::vector<std::uint16_t>;

// 3 x 2: an odd width, whose rows are stored without padding.
WuyiImage tinyImage() {
    return WuyiImage{3, 2, {0x0001, 0xFFFF, 0x07E0, 0xF800, 0x0000, 0x1234}};
}

Words bitmapWords(const DibBitmap& bitmap) {
    Words out;
    for (int r = 0; r < bitmap.height(); ++r) {
        for (int x = 0; x < bitmap.width(); ++x) out.push_back(decodeU16(bitmap.row(r) + 2 * x));
    }
    return out;
}

class WuyiImagesTest : public ::testing::Test {
protected:
    std::string path() const { return dir.file("Npc.521g"); }

    std::unique_ptr<TWM521gDefImages> open(const Bytes& bytes) {
        testing::writeFile(path(), bytes);
        auto images = testing::openAs<TWM521gDefImages>(TWMImagesKind::W521gDef, path());
        EXPECT_TRUE(images->FInitialized);
        return images;
    }

    testing::TempDir dir;
};

TEST_F(WuyiImagesTest, TableBase100PutsTheTableAt492) {
    const WuyiImage second = testing::wuyiPatternImage(5, 4, 1);
    const WuyiArchiveBytes archive = testing::buildWuyi({tinyImage(), second}, {100});
    EXPECT_EQ(archive.tableOffset, 492u);
    auto images = open(archive.data);
    ASSERT_EQ(images->FImageCount, 2);
    ASSERT_EQ(images->FEntries.size(), 2u);
    EXPECT_EQ(images->FEntries[1].dataOffset, archive.dataOffsets[1]);
    EXPECT_EQ(images->FEntries[1].dataSize, 5u * 4u * 2u);
    EXPECT_EQ(images->FEntries[1].Width, 5);
    EXPECT_EQ(images->FIndexList[0], static_cast<std::int32_t>(archive.dataOffsets[0]));
    const auto bitmap = images->GetBitmap(1);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmapWords(*bitmap), second.pixels);
    EXPECT_EQ(images->className(), "TWM521gDefImages");
}

TEST_F(WuyiImagesTest, GetBitmapCopiesUnpaddedRowsWithNoOffsets) {
    auto images = open(testing::buildWuyi({tinyImage()}).data);
    images->FLastImageInfo = TWMImageInfo{9, 9, 7, 7};
    std::uint8_t dataType = 0;
    const auto bitmap = images->GetBitmap(0, dataType);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(dataType, kDataTypeImage);
    EXPECT_EQ(bitmap->bitCount(), 16);
    EXPECT_EQ(bitmapWords(*bitmap), tinyImage().pixels);
    EXPECT_EQ(images->FLastImageInfo.Width, 3);
    EXPECT_EQ(images->FLastImageInfo.Height, 2);
    EXPECT_EQ(images->FLastImageInfo.PX, 0);
    EXPECT_EQ(images->FLastImageInfo.PY, 0);
}

TEST_F(WuyiImagesTest, DrawToTextureAnswersFalseWhileGetBitmapWorks) {
    auto images = open(testing::buildWuyi({tinyImage()}).data);
    TDXImageTexture texture;
    EXPECT_FALSE(images->DrawToTexture(0, &texture));
    EXPECT_TRUE(images->GetBitmap(0));
}

TEST_F(WuyiImagesTest, BadIndexYieldsNoBitmap) {
    auto images = open(testing::buildWuyi({tinyImage()}).data);
    std::uint8_t dataType = 0;
    EXPECT_FALSE(images->GetBitmap(-1, dataType));
    EXPECT_EQ(dataType, kDataTypeImage);
    EXPECT_FALSE(images->GetBitmap(1));
}

TEST_F(WuyiImagesTest, DataSizeSmallerThanTheImageIsRejected) {
    WuyiArchiveBytes archive = testing::buildWuyi({tinyImage(), tinyImage(), tinyImage()});
    testing::setU32At(archive.data, archive.recordOffsets[0] + 4, 3 * 2 * 2 - 1);
    // Larger is fine while the file holds it (the third image follows).
    testing::setU32At(archive.data, archive.recordOffsets[1] + 4, 3 * 2 * 2 + 2);
    auto images = open(archive.data);
    EXPECT_FALSE(images->GetBitmap(0));
    const auto bitmap = images->GetBitmap(1);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmapWords(*bitmap), tinyImage().pixels);
}

TEST_F(WuyiImagesTest, DataPastTheEndFailsAlone) {
    WuyiArchiveBytes archive = testing::buildWuyi({tinyImage(), tinyImage(), tinyImage()});
    testing::setU32At(archive.data, archive.recordOffsets[0] + 4, 0xFFFFFFFFu);
    testing::setU32At(archive.data, archive.recordOffsets[1], 0xFFFFFF00u);
    testing::truncateTo(archive.data, archive.data.size() - 1);
    auto images = open(archive.data);
    ASSERT_EQ(images->FImageCount, 3);
    EXPECT_FALSE(images->GetBitmap(0));
    EXPECT_FALSE(images->GetBitmap(1));
    EXPECT_FALSE(images->GetBitmap(2));
    EXPECT_EQ(images->lastError(), "entry 2: image data passes the end of the file");
}

TEST_F(WuyiImagesTest, EntryCountsTheFileCannotHoldGiveNoEntries) {
    const WuyiArchiveBytes good = testing::buildWuyi({tinyImage()});
    for (const std::uint32_t count : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 100u}) {
        Bytes bytes = good.data;
        testing::setU32At(bytes, 76, count);
        auto images = open(bytes);
        EXPECT_EQ(images->FImageCount, 0) << count;
        EXPECT_TRUE(images->FEntries.empty());
    }
}

TEST_F(WuyiImagesTest, ShortHeaderOrTableGivesNoEntries) {
    const WuyiArchiveBytes good = testing::buildWuyi({tinyImage(), tinyImage()});
    Bytes shortTable = good.data;
    testing::truncateTo(shortTable, good.recordOffsets[1] + 23);
    EXPECT_EQ(open(shortTable)->FImageCount, 0);
    Bytes tableOutside = good.data;
    testing::setU32At(tableOutside, 68, 0xFFFFFF00u);
    EXPECT_EQ(open(tableOutside)->FImageCount, 0);
    Bytes shortHeader = good.data;
    testing::truncateTo(shortHeader, 83);
    EXPECT_EQ(open(shortHeader)->FImageCount, 0);
}

}  // namespace
}  // namespace vantoro
