#include "archive/m2_wis_images.h"

#include <gtest/gtest.h>

#include <random>

#include "pixels/pixel_format.h"
#include "tests/support/m2_wis_writer.h"
#include "tests/support/open_pack.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

namespace vt = vantoro::testing;
using vt::WisEncoding;
using vt::WisImage;
using vt::WisRecord;

// Every row of the locked texture: the image's words at Bits + r * Pitch,
// and zeros from the image width to the end of the pitch.
void expectTextureRows(TDXTexture& texture, const std::vector<std::vector<std::uint16_t>>& rows) {
    TDXLockedRect rect;
    ASSERT_TRUE(texture.Lock(kLockRead, rect));
    ASSERT_EQ(texture.FHeight, static_cast<std::int32_t>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(
            static_cast<const std::uint8_t*>(rect.Bits) + r * static_cast<std::size_t>(rect.Pitch));
        const std::vector<std::uint16_t> image(row, row + rows[r].size());
        EXPECT_EQ(image, rows[r]) << "row " << r;
        for (std::size_t x = rows[r].size(); x < static_cast<std::size_t>(rect.Pitch) / 2; ++x) {
            EXPECT_EQ(row[x], 0) << "row " << r << " padding at " << x;
        }
    }
    texture.Unlock();
}

std::vector<std::uint8_t> bitmapRow8(const DibBitmap& bitmap, std::int32_t y) {
    return {bitmap.row(y), bitmap.row(y) + bitmap.width()};
}

std::vector<std::uint16_t> bitmapRow16(const DibBitmap& bitmap, std::int32_t y) {
    return {bitmap.row16(y), bitmap.row16(y) + bitmap.width()};
}

std::vector<std::uint16_t> pal8(std::initializer_list<std::uint8_t> indices) {
    std::vector<std::uint16_t> out;
    for (const std::uint8_t i : indices) out.push_back(Pal8ToA1R5G5B5[i]);
    return out;
}

WisRecord rleRecord(std::uint16_t width, std::uint16_t height, vt::Bytes codes) {
    return WisRecord{
        static_cast<std::int32_t>(WisEncoding::RunLength8), width, height, 0, 0, std::move(codes)};
}

WisImage raw8(std::uint16_t w, std::uint16_t h, std::vector<std::uint8_t> indices) {
    return WisImage{w, h, 0, 0, WisEncoding::Raw8, std::move(indices), {}};
}

class M2WisImagesTest : public ::testing::Test {
protected:
    std::unique_ptr<TWMM2WisImages> open(const vt::Bytes& bytes) {
        vt::writeFile(path, bytes);
        auto archive = testing::openAs<TWMM2WisImages>(TWMImagesKind::M2Wis, path);
        EXPECT_TRUE(archive->FInitialized);
        return archive;
    }

    vt::TempDir dir;
    std::string path = dir.file("images.wis");
};

TEST_F(M2WisImagesTest, TableEntriesAt512And900And1500KeepTheirOrder) {
    // Payload sizes chosen so the records start at 512, 900 and 1500.
    std::vector<std::uint8_t> first(8 * 47, 5);
    first[0] = 1;
    WisImage second{14, 21, -3, 4, WisEncoding::Raw16, {}, std::vector<std::uint16_t>(294, 0x1234)};
    second.words[293] = 0xFFFF;
    const auto file = vt::buildWis({raw8(8, 47, first), second, raw8(2, 2, {0, 1, 2, 3})});
    auto archive = open(file.bytes);

    EXPECT_EQ(archive->FIndexList, (std::vector<std::int32_t>{512, 900, 1500}));
    EXPECT_EQ(archive->FSizeList, (std::vector<std::int32_t>{376, 588, 4}));
    ASSERT_EQ(archive->FImageCount, 3);
    auto a = archive->GetBitmap(0);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->row(0)[0], 1);
    EXPECT_EQ(a->row(46)[7], 5);
    auto b = archive->GetBitmap(1);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->bitCount(), 16);
    EXPECT_EQ(b->row16(20)[13], 0xFFFF);
    EXPECT_EQ(archive->FLastImageInfo.PX, -3);
    EXPECT_EQ(archive->FLastImageInfo.PY, 4);
    auto c = archive->GetBitmap(2);
    ASSERT_TRUE(c);
    EXPECT_EQ(bitmapRow8(*c, 1), (std::vector<std::uint8_t>{2, 3}));
}

// The indices the code gives for an image of `pixels` pixels, or nothing.
std::optional<std::vector<std::uint8_t>> runLength(const vt::Bytes& codes, std::size_t pixels) {
    std::vector<std::uint8_t> out(pixels);
    if (!wis::decodeRunLength(codes, out)) return std::nullopt;
    return out;
}

// Long images of codes of every length take the decoder's block paths; the
// result must be exactly the codes' pixels, however the codes fall.
TEST(WisRunLength, CodesOfEveryLengthGiveExactlyTheirPixels) {
    std::mt19937 random(0xC0DE5);
    vt::Bytes codes;
    std::vector<std::uint8_t> expected;
    while (expected.size() < 20000) {
        const auto length = static_cast<std::uint8_t>(1 + random() % 255);
        if (random() % 2 == 0) {
            const auto value = static_cast<std::uint8_t>(random());
            codes.insert(codes.end(), {length, value});
            expected.insert(expected.end(), length, value);
        } else {
            codes.insert(codes.end(), {0, length});
            for (int i = 0; i < length; ++i) {
                codes.push_back(static_cast<std::uint8_t>(random()));
                expected.push_back(codes.back());
            }
        }
    }
    EXPECT_EQ(runLength(codes, expected.size()), expected);
    EXPECT_FALSE(runLength(codes, expected.size() - 1));
    codes.pop_back();
    EXPECT_FALSE(runLength(codes, expected.size()));
}

TEST(WisRunLength, DecodesRunsAndLiterals) {
    const vt::Bytes codes = {3, 7, 0, 2, 9, 10};
    EXPECT_EQ(runLength(codes, 5), (std::vector<std::uint8_t>{7, 7, 7, 9, 10}));
}

TEST(WisRunLength, CodesGivingMorePixelsThanTheImageFail) {
    EXPECT_FALSE(runLength(vt::Bytes{3, 7, 0, 3, 9, 10, 11}, 5));  // 6 pixels
    EXPECT_FALSE(runLength(vt::Bytes{6, 7}, 5));
}

TEST(WisRunLength, CodesEndingBeforeTheImageFail) {
    EXPECT_FALSE(runLength(vt::Bytes{3, 7}, 5));           // 3 of 5 pixels
    EXPECT_FALSE(runLength(vt::Bytes{3, 7, 0, 2, 9}, 5));  // literal cut short
    EXPECT_FALSE(runLength(vt::Bytes{3, 7, 2}, 5));        // code cut in half
    EXPECT_FALSE(runLength(vt::Bytes{0, 0, 0, 0}, 2));     // empty literals only
}

TEST_F(M2WisImagesTest, RunLengthImageGivesExactPixelsInBitmapAndTexture) {
    // 5 x 2: (3,7) (0,2,9,10) fill the top row, (5,1) the bottom one.
    auto archive = open(vt::buildWisRecords({rleRecord(5, 2, {3, 7, 0, 2, 9, 10, 5, 1})}).bytes);
    auto bitmap = archive->GetBitmap(0);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->bitCount(), 8);
    EXPECT_EQ(bitmapRow8(*bitmap, 0), (std::vector<std::uint8_t>{7, 7, 7, 9, 10}));
    EXPECT_EQ(bitmapRow8(*bitmap, 1), (std::vector<std::uint8_t>{1, 1, 1, 1, 1}));

    TDXImageTexture texture;
    ASSERT_TRUE(archive->DrawToTexture(0, &texture));
    EXPECT_EQ(texture.FFormat, 25u);
    expectTextureRows(texture, {pal8({7, 7, 7, 9, 10}), pal8({1, 1, 1, 1, 1})});
}

TEST_F(M2WisImagesTest, RawImagesGiveExactPixelsInBitmapAndTexture) {
    const WisImage palette = raw8(3, 2, {0, 1, 255, 9, 0, 7});
    const WisImage words{2, 2, 5, -6, WisEncoding::Raw16, {}, {0x0000, 0x0001, 0xFFFF, 0x07E0}};
    auto archive = open(vt::buildWis({palette, words}).bytes);

    auto b8 = archive->GetBitmap(0);
    ASSERT_TRUE(b8);
    EXPECT_EQ(bitmapRow8(*b8, 0), (std::vector<std::uint8_t>{0, 1, 255}));
    EXPECT_EQ(bitmapRow8(*b8, 1), (std::vector<std::uint8_t>{9, 0, 7}));
    auto b16 = archive->GetBitmap(1);
    ASSERT_TRUE(b16);
    EXPECT_EQ(b16->bitCount(), 16);
    EXPECT_EQ(bitmapRow16(*b16, 0), (std::vector<std::uint16_t>{0x0000, 0x0001}));
    EXPECT_EQ(bitmapRow16(*b16, 1), (std::vector<std::uint16_t>{0xFFFF, 0x07E0}));

    TDXImageTexture texture;
    ASSERT_TRUE(archive->DrawToTexture(0, &texture));
    expectTextureRows(texture, {{0x0000, 0xC000, 0xFFFF}, pal8({9, 0, 7})});
    ASSERT_TRUE(archive->DrawToTexture(1, &texture));
    expectTextureRows(texture, {{0x0000, 0x8001}, {0xFFFF, 0x83E0}});
    EXPECT_EQ(archive->FLastImageInfo.PX, 5);
    EXPECT_EQ(archive->FLastImageInfo.PY, -6);
}

TEST_F(M2WisImagesTest, WrittenImagesOfEveryEncodingReadBackEqual) {
    std::mt19937 random(20240611);
    std::vector<WisImage> images;
    for (int i = 0; i < 24; ++i) {
        WisImage image{static_cast<std::uint16_t>(2 + random() % 40),
                       static_cast<std::uint16_t>(2 + random() % 40),
                       static_cast<std::int16_t>(random()),
                       static_cast<std::int16_t>(random()),
                       static_cast<WisEncoding>(i % 3),
                       {},
                       {}};
        const std::size_t pixels = std::size_t{image.width} * image.height;
        // Few distinct values so the run-length coder makes runs and literals.
        for (std::size_t k = 0; k < pixels; ++k)
            image.indices.push_back(static_cast<std::uint8_t>(random() % 4 * 60));
        if (image.encoding == WisEncoding::Raw16) {
            image.words.assign(image.indices.begin(), image.indices.end());
            image.indices.clear();
        }
        images.push_back(std::move(image));
    }
    images[0].indices.assign(images[0].indices.size(), 0);  // all transparent
    auto archive = open(vt::buildWis(images).bytes);
    ASSERT_EQ(archive->FImageCount, 24);
    for (int i = 0; i < 24; ++i) {
        const WisImage& image = images[static_cast<std::size_t>(i)];
        auto bitmap = archive->GetBitmap(i);
        ASSERT_TRUE(bitmap) << i;
        for (std::int32_t y = 0; y < image.height; ++y) {
            const std::size_t at = std::size_t{image.width} * static_cast<std::size_t>(y);
            if (image.encoding == WisEncoding::Raw16) {
                EXPECT_TRUE(std::equal(image.words.begin() + at,
                                       image.words.begin() + at + image.width, bitmap->row16(y)));
            } else {
                EXPECT_TRUE(std::equal(image.indices.begin() + at,
                                       image.indices.begin() + at + image.width, bitmap->row(y)));
            }
        }
        EXPECT_EQ(archive->FLastImageInfo.PX, image.px);
    }
}

TEST_F(M2WisImagesTest, EncodingThreeHoldsNoImageAndRaisesNothing) {
    auto archive = open(vt::buildWisRecords({WisRecord{3, 2, 2, 0, 0, {1, 2, 3, 4}}}).bytes);
    std::uint8_t dataType = 0;
    EXPECT_FALSE(archive->GetBitmap(0, dataType));
    EXPECT_EQ(dataType, kDataTypeImage);
    TDXImageTexture texture;
    EXPECT_FALSE(archive->DrawToTexture(0, &texture));
}

TEST_F(M2WisImagesTest, UnknownEncodingRaisesFromGetBitmapOnlyAndLeavesTheArchiveUsable) {
    auto archive = open(vt::buildWisRecords({WisRecord{4, 2, 2, 0, 0, {1, 2, 3, 4}},
                                             WisRecord{-1, 2, 2, 0, 0, {1, 2, 3, 4}},
                                             WisRecord{0, 2, 2, 0, 0, {1, 2, 3, 4}}})
                            .bytes);
    try {
        archive->GetBitmap(0);
        FAIL() << "no exception";
    } catch (const ArchiveError& error) {
        EXPECT_STREQ(error.what(), "not Encrypt code 4");
    }
    EXPECT_THROW(
        {
            try {
                archive->GetBitmap(1);
            } catch (const ArchiveError& error) {
                EXPECT_STREQ(error.what(), "not Encrypt code -1");
                throw;
            }
        },
        ArchiveError);
    TDXImageTexture texture;
    EXPECT_FALSE(archive->DrawToTexture(0, &texture));
    EXPECT_TRUE(archive->GetBitmap(2));
}

// ---- Damaged files, one fault each. ------------------------------------------

TEST_F(M2WisImagesTest, TableWithoutAnEntryAt512OpensEmpty) {
    auto file = vt::buildWis({raw8(2, 2, {1, 2, 3, 4}), raw8(2, 2, {1, 2, 3, 4})});
    vt::setU32At(file.bytes, file.tableEntryAt(0), 513);
    auto archive = open(file.bytes);
    EXPECT_TRUE(archive->FInitialized);
    EXPECT_EQ(archive->FImageCount, 0);
    EXPECT_TRUE(archive->FIndexList.empty());
    EXPECT_FALSE(archive->GetBitmap(0));
}

TEST_F(M2WisImagesTest, FileShorterThanOneTableEntryOpensEmpty) {
    auto archive = open(vt::Bytes(11, 0));
    EXPECT_EQ(archive->FImageCount, 0);
    auto empty = open(vt::Bytes{});
    EXPECT_EQ(empty->FImageCount, 0);
}

TEST_F(M2WisImagesTest, EntrySizePastEndOfFileFailsAlone) {
    auto file = vt::buildWis({raw8(2, 2, {1, 2, 3, 4}), raw8(2, 2, {5, 6, 7, 8})});
    vt::setU32At(file.bytes, file.tableEntryAt(0) + 4, 0x7FFFFFFF);
    auto archive = open(file.bytes);
    EXPECT_FALSE(archive->GetBitmap(0));
    TDXImageTexture texture;
    EXPECT_FALSE(archive->DrawToTexture(0, &texture));
    EXPECT_TRUE(archive->GetBitmap(1));
}

TEST_F(M2WisImagesTest, NegativeEntrySizeFails) {
    auto file = vt::buildWis({raw8(2, 2, {1, 2, 3, 4})});
    vt::setU32At(file.bytes, file.tableEntryAt(0) + 4, 0xFFFFFFFF);
    EXPECT_FALSE(open(file.bytes)->GetBitmap(0));
}

TEST_F(M2WisImagesTest, EntryOffsetPastEndOfFileFails) {
    auto file = vt::buildWis({raw8(2, 2, {1, 2, 3, 4}), raw8(2, 2, {5, 6, 7, 8})});
    vt::setU32At(file.bytes, file.tableEntryAt(1),
                 static_cast<std::uint32_t>(file.bytes.size() - 5));
    auto archive = open(file.bytes);
    EXPECT_FALSE(archive->GetBitmap(1));
    EXPECT_TRUE(archive->GetBitmap(0));
}

TEST_F(M2WisImagesTest, RawPayloadShorterThanTheImageFails) {
    auto file = vt::buildWis({raw8(2, 2, {1, 2, 3, 4})});
    vt::setU32At(file.bytes, file.tableEntryAt(0) + 4, 3);
    auto archive = open(file.bytes);
    EXPECT_FALSE(archive->GetBitmap(0));
    TDXImageTexture texture;
    EXPECT_FALSE(archive->DrawToTexture(0, &texture));
}

TEST_F(M2WisImagesTest, RunPastTheImageFailsWithoutTouchingTheTexture) {
    auto archive = open(vt::buildWisRecords({rleRecord(2, 2, {3, 7, 2, 7})}).bytes);
    EXPECT_FALSE(archive->GetBitmap(0));
    TDXImageTexture texture;
    EXPECT_FALSE(archive->DrawToTexture(0, &texture));
    EXPECT_FALSE(texture.IsActive());
}

TEST_F(M2WisImagesTest, LiteralPastThePayloadFails) {
    // The literal names 3 indices but the payload ends after 2 of them; the
    // next record's header lies right behind it.
    auto archive = open(
        vt::buildWisRecords({rleRecord(2, 2, {1, 7, 0, 3, 8, 9}), rleRecord(2, 2, {4, 1})}).bytes);
    EXPECT_FALSE(archive->GetBitmap(0));
    EXPECT_TRUE(archive->GetBitmap(1));
}

}  // namespace
}  // namespace vantoro
