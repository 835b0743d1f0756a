#include "archive/m2_def_images.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "archive/m2_zip_images.h"
#include "d3d9/d3d9_formats.h"
#include "tests/support/m2_def_writer.h"
#include "tests/support/open_pack.h"

namespace vantoro {
namespace {

using testing::Bytes;
using testing::M2DefOptions;
using testing::M2Image;
using Pixels = std::vector<std::uint16_t>;

// A1R5G5B5 texels of the few source values the fixtures use.
Pixels texelsOf(const M2Image& image, bool sixteenBit) {
    static const std::map<std::uint16_t, std::uint16_t> k8 = {{0, 0}, {1, 0xC000}, {255, 0xFFFF}};
    static const std::map<std::uint16_t, std::uint16_t> k16 = {
        {0, 0}, {0x0001, 0x8001}, {0x07E0, 0x83E0}, {0xFFFF, 0xFFFF}};
    Pixels texels;
    const auto& table = sixteenBit ? k16 : k8;
    for (const std::uint16_t value : image.pixels) texels.push_back(table.at(value));
    return texels;
}

// The image's texels, top row first, read at Bits + r * Pitch; also checks
// that the rest of every row is still 0.
Pixels texturePixels(TDXTexture& texture, int width, int height) {
    TDXLockedRect rect;
    EXPECT_TRUE(texture.Lock(kLockRead, rect));
    EXPECT_GT(rect.Pitch, width * 2);  // the memory storage pads its rows
    Pixels pixels;
    for (int r = 0; r < height; ++r) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(
            static_cast<const std::uint8_t*>(rect.Bits) + r * rect.Pitch);
        pixels.insert(pixels.end(), row, row + width);
        for (int x = width; x < rect.Pitch / 2; ++x) EXPECT_EQ(row[x], 0) << "row " << r;
    }
    texture.Unlock();
    return pixels;
}

Pixels bitmapPixels(const DibBitmap& bitmap) {
    Pixels pixels;
    for (int r = 0; r < bitmap.height(); ++r) {
        for (int x = 0; x < bitmap.width(); ++x) {
            pixels.push_back(bitmap.bitCount() == 16 ? bitmap.row16(r)[x] : bitmap.row(r)[x]);
        }
    }
    return pixels;
}

M2Image tiny(bool sixteenBit) {
    if (sixteenBit) return {2, 2, -3, 4, {0x0001, 0x07E0, 0xFFFF, 0x0000}};
    return {2, 2, -3, 4, {1, 255, 0, 1}};
}

// Width 5 (8-bit, stride 8) or 3 (16-bit, stride 8): each row is padded.
M2Image padded(bool sixteenBit) {
    if (sixteenBit) return {3, 2, 7, -8, {0x0001, 0, 0xFFFF, 0x07E0, 0x07E0, 0x0001}};
    return {5, 2, 7, -8, {1, 255, 0, 1, 255, 0, 0, 255, 1, 1}};
}

class M2DefTest : public ::testing::Test {
protected:
    std::unique_ptr<TWMM2DefImages> open(TWMImagesKind kind = TWMImagesKind::M2Def) {
        auto archive = testing::openAs<TWMM2DefImages>(kind, wil);
        EXPECT_TRUE(archive->FInitialized);
        return archive;
    }

    testing::TempDir dir;
    std::string wil = dir.file("Tiles.wil");
};

struct Layout {
    bool newLayout;
    bool sixteenBit;
};

class M2DefPixels : public M2DefTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(M2DefPixels, DecodesExactPixelsIgnoringRowPadding) {
    const auto [newLayout, sixteen] = GetParam();
    const std::vector<M2Image> images = {tiny(sixteen), padded(sixteen)};
    auto built = testing::buildM2Def(images, {sixteen, newLayout, ""});
    // Garbage in the padding of both rows of the padded image.
    const std::size_t body = built.recordOffsets[1] + (newLayout ? 12 : 8);
    for (const std::size_t at : {6u, 7u, 14u, 15u}) built.data[body + at] = 0xEE;
    testing::writeArchiveFiles(wil, built, ".WIX");

    auto archive = open();
    EXPECT_EQ(archive->FIsNewVersion, newLayout);
    EXPECT_EQ(archive->FIs16Bit, sixteen);
    ASSERT_EQ(archive->FImageCount, 2);
    for (std::int32_t i = 0; i < 2; ++i) {
        SCOPED_TRACE("image " + std::to_string(i));
        const M2Image& image = images[i];
        TDXImageTexture texture;
        ASSERT_TRUE(archive->DrawToTexture(i, &texture));
        EXPECT_EQ(texture.FFormat, D3DFMT_A1R5G5B5);
        EXPECT_EQ(texture.GetWidth(), image.width);
        EXPECT_EQ(texturePixels(texture, image.width, image.height), texelsOf(image, sixteen));
        EXPECT_EQ(archive->FLastImageInfo.PX, image.px);
        EXPECT_EQ(archive->FLastImageInfo.PY, image.py);

        archive->FLastImageInfo = {};
        std::uint8_t type = 0;
        const auto bitmap = archive->GetBitmap(i, type);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(type, kDataTypeImage);
        EXPECT_EQ(bitmap->bitCount(), sixteen ? 16 : 8);
        EXPECT_EQ(bitmapPixels(*bitmap), image.pixels);
        EXPECT_EQ(archive->FLastImageInfo.Width, image.width);
        EXPECT_EQ(archive->FLastImageInfo.Height, image.height);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, M2DefPixels,
                         ::testing::Values(Layout{false, false}, Layout{false, true},
                                           Layout{true, false}, Layout{true, true}));

TEST_F(M2DefTest, DepthComesFromTheColourCountWhateverTheKind) {
    EXPECT_TRUE(TWMM2DefBit16Images().FIs16Bit);

    testing::writeM2Def(wil, {tiny(true)}, {true, true, ""});
    auto viaKind0 = open(TWMImagesKind::M2Def);
    EXPECT_EQ(viaKind0->className(), "TWMM2DefImages");
    EXPECT_TRUE(viaKind0->FIs16Bit);
    TDXImageTexture texture;
    ASSERT_TRUE(viaKind0->DrawToTexture(0, &texture));
    EXPECT_EQ(texturePixels(texture, 2, 2), texelsOf(tiny(true), true));

    testing::writeM2Def(wil, {tiny(false)}, {false, true, ""});
    auto viaKind1 = open(TWMImagesKind::M2DefBit16);
    EXPECT_EQ(viaKind1->className(), "TWMM2DefBit16Images");
    EXPECT_FALSE(viaKind1->FIs16Bit);
    ASSERT_TRUE(viaKind1->DrawToTexture(0, &texture));
    EXPECT_EQ(texturePixels(texture, 2, 2), texelsOf(tiny(false), false));
}

TEST_F(M2DefTest, MirOfPrefixInAnyCase) {
    for (const std::string prefix : {"MirOf", "mirof", "MIROF"}) {
        for (const bool newLayout : {false, true}) {
            testing::writeM2Def(wil, {tiny(false), padded(false)}, {false, newLayout, prefix});
            auto archive = open();
            ASSERT_EQ(archive->FImageCount, 2) << prefix;
            EXPECT_TRUE(archive->indexHeader().hasMirOfPrefix);
            EXPECT_TRUE(archive->GetBitmap(1));
        }
    }
}

TEST_F(M2DefTest, IndexHeaderSizeFollowsTheDataFile) {
    // An old-layout index (48-byte header) beside a new-layout data file is
    // read with a 52-byte header: the table loses its first offset and
    // comes up 4 bytes short.
    auto newer = testing::buildM2Def({tiny(false), padded(false)}, {false, true, ""});
    newer.index = testing::buildM2Def({tiny(false), padded(false)}, {false, false, ""}).index;
    const Bytes oldIndex = newer.index;
    testing::writeArchiveFiles(wil, newer, ".WIX");
    EXPECT_EQ(open()->FImageCount, 0);

    // With 4 more bytes the table is whole, shifted by one offset.
    newer.index = oldIndex;
    testing::putU32(newer.index, 0);
    testing::setU32At(newer.index, 48, 0);
    testing::setU32At(newer.index, 52, static_cast<std::uint32_t>(newer.recordOffsets[1]));
    testing::setU32At(newer.index, 56, static_cast<std::uint32_t>(newer.recordOffsets[1]));
    testing::writeArchiveFiles(wil, newer, ".WIX");
    auto archive = open();
    ASSERT_EQ(archive->FImageCount, 2);
    EXPECT_EQ(archive->FIndexList[0], static_cast<std::int32_t>(newer.recordOffsets[1]));
}

TEST_F(M2DefTest, MissingIndexOpensWithNoEntries) {
    testing::writeFile(wil, testing::buildM2Def({tiny(false)}).data);
    auto archive = open();
    EXPECT_TRUE(archive->FInitialized);
    EXPECT_EQ(archive->FImageCount, 0);
    EXPECT_NE(archive->lastError().find("is missing"), std::string::npos);
    EXPECT_FALSE(archive->GetBitmap(0));
}

TEST_F(M2DefTest, MissingDataFileAndSecondInitializeFail) {
    TWMM2DefImages archive;
    archive.FFileName = dir.file("none.wil");
    EXPECT_FALSE(archive.Initialize());
    EXPECT_FALSE(archive.FInitialized);

    testing::writeM2Def(wil, {tiny(false)});
    archive.FFileName = wil;
    EXPECT_TRUE(archive.Initialize());
    EXPECT_FALSE(archive.Initialize());
    EXPECT_EQ(archive.FImageCount, 1);
}

TEST_F(M2DefTest, DataFileShorterThanItsHeaderReadsAsOldLayout) {
    // An old-layout file with no images is only its 56-byte header.
    Bytes data = testing::buildM2Def({}, {false, false, ""}).data;
    testing::truncateTo(data, 56);
    testing::writeFile(wil, data);
    auto archive = open();
    EXPECT_FALSE(archive->FIsNewVersion);
    EXPECT_FALSE(archive->FIs16Bit);
}

TEST_F(M2DefTest, IndexCountAboveTenMillionGivesNoEntries) {
    const std::string wix = dir.file("Tiles.WIX");
    for (const std::uint32_t count : {10'000'000u, 10'000'001u}) {
        auto built = testing::writeM2Def(wil, {tiny(false)});
        testing::setU32At(built.index, 44, count);
        testing::writeFile(wix, built.index);
        // Sparse: the whole table is there, as zeros.
        std::filesystem::resize_file(wix, 52 + 4 * static_cast<std::uint64_t>(count));
        EXPECT_EQ(open()->FImageCount, count == 10'000'000u ? 10'000'000 : 0);
    }
}

TEST_F(M2DefTest, ShortOffsetTableGivesNoEntries) {
    auto built = testing::buildM2Def({tiny(false), tiny(false)});
    testing::truncateTo(built.index, built.index.size() - 1);
    testing::writeArchiveFiles(wil, built, ".WIX");
    EXPECT_EQ(open()->FImageCount, 0);
}

TEST_F(M2DefTest, TruncatedDataFileFailsTheLastEntryAlone) {
    auto built = testing::buildM2Def({tiny(false), padded(false)});
    testing::truncateTo(built.data, built.data.size() - 1);
    testing::writeArchiveFiles(wil, built, ".WIX");
    auto archive = open();
    TDXImageTexture texture;
    EXPECT_FALSE(archive->DrawToTexture(1, &texture));
    EXPECT_FALSE(archive->GetBitmap(1));
    EXPECT_TRUE(archive->DrawToTexture(0, &texture));
}

TEST_F(M2DefTest, BadOffsetsAndIndicesFailWithoutHarm) {
    auto built = testing::buildM2Def({tiny(false), tiny(false), tiny(false)});
    // Entry 0 at the very end of the data file, entry 1 at a negative offset.
    testing::setU32At(built.index, 52, static_cast<std::uint32_t>(built.data.size()));
    testing::setU32At(built.index, 56, 0xFFFFFFF0u);
    testing::writeArchiveFiles(wil, built, ".WIX");
    auto archive = open();
    TDXImageTexture texture;
    for (const std::int32_t index : {0, 1, -1, 3}) {
        std::uint8_t type = 0;
        EXPECT_FALSE(archive->GetBitmap(index, type)) << index;
        EXPECT_EQ(type, kDataTypeImage);
        EXPECT_FALSE(archive->DrawToTexture(index, &texture)) << index;
    }
    EXPECT_FALSE(archive->DrawToTexture(2, nullptr));
    EXPECT_TRUE(archive->DrawToTexture(2, &texture));
}

}  // namespace
}  // namespace vantoro
