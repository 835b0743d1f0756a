// What the archive base does for every format, checked once over one small
// archive of each: the range checks, the index file found whatever its
// letter case, the image-size limits, streams that inflate past their image,
// and the three ways out of a decode (texture, bitmap, cache texture)
// telling the same story.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "archive/archive_reader.h"
#include "archive/open_archive.h"
#include "d3d9/d3d9_formats.h"
#include "io/byte_reader.h"
#include "pixels/pixel_format.h"
#include "pixels/std_palette.h"
#include "tests/support/format_fixtures.h"

namespace vantoro {
namespace testing {

// A failing row is named by its format, not dumped as bytes.
void PrintTo(const FormatFixture& fixture, std::ostream* out) {
    *out << fixture.name;
}

}  // namespace testing
namespace {

using testing::ArchiveFiles;
using testing::FormatFixture;

class EveryFormat : public ::testing::TestWithParam<FormatFixture> {
protected:
    // Writes the fixture's files (the index under `indexName` when given)
    // and opens the data file.
    std::unique_ptr<TWMBaseImages> open(const std::string& indexName = {},
                                        const testing::Bytes* data = nullptr) {
        ArchiveFiles files = GetParam().files;
        if (data) files[0].second = *data;
        if (files.size() > 1 && !indexName.empty()) files[1].first = indexName;
        return openFiles(files);
    }
    // Writes `files` into an emptied folder and opens the data file.
    std::unique_ptr<TWMBaseImages> openFiles(const ArchiveFiles& files) {
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) {
            std::filesystem::remove(entry.path());
        }
        for (const auto& [name, bytes] : files) testing::writeFile(m_dir.file(name), bytes);
        const FormatFixture& fixture = GetParam();
        OpenedArchive opened =
            openArchive(fixture.kind, m_dir.file(fixture.dataFile), fixture.password);
        EXPECT_TRUE(opened.opened);
        return std::move(opened.archive);
    }
    std::optional<std::uint8_t> packFormat(const TWMBaseImages& archive) const {
        if (GetParam().kind != TWMImagesKind::MyImage) return std::nullopt;
        return archive.FLastImageFormat;
    }

    testing::TempDir m_dir;
};

std::vector<std::uint32_t> texels(TDXTexture& texture) {
    std::vector<std::uint32_t> out;
    TDXLockedRect rect;
    if (!texture.Lock(kLockRead, rect)) return out;
    const int size = d3dFormatBytesPerTexel(texture.FFormat);
    for (std::int32_t y = 0; y < texture.FImageHeight; ++y) {
        const std::uint8_t* row = static_cast<std::uint8_t*>(rect.Bits) + y * rect.Pitch;
        for (std::int32_t x = 0; x < texture.FImageWidth; ++x) {
            out.push_back(size == 4 ? decodeU32(row + 4 * x) : decodeU16(row + 2 * x));
        }
    }
    texture.Unlock();
    return out;
}

testing::Bytes pixelsOf(const DibBitmap& bitmap) {
    testing::Bytes out;
    const std::size_t rowBytes = static_cast<std::size_t>(bitmap.width()) * bitmap.bitCount() / 8;
    for (std::int32_t y = 0; y < bitmap.height(); ++y) {
        out.insert(out.end(), bitmap.row(y), bitmap.row(y) + rowBytes);
    }
    return out;
}

std::uint32_t lastPixel(const DibBitmap& bitmap) {
    const std::uint8_t* row = bitmap.row(bitmap.height() - 1);
    const std::int32_t x = bitmap.width() - 1;
    if (bitmap.bitCount() == 8) return row[x];
    return bitmap.bitCount() == 16 ? decodeU16(row + 2 * x) : decodeU32(row + 4 * x);
}

// The bitmap's pixels as the texture holds them: palette and R5G6B5 images
// through the A1R5G5B5 converters, A4R4G4B4 images composited on black, a
// pack's stored pixels by the pack's rules.
bool textureShowsBitmap(const std::vector<std::uint32_t>& texture, const DibBitmap& bitmap,
                        std::uint32_t format, std::optional<std::uint8_t> packFormat) {
    std::size_t i = 0;
    for (std::int32_t y = 0; y < bitmap.height(); ++y) {
        for (std::int32_t x = 0; x < bitmap.width(); ++x, ++i) {
            const std::uint32_t texel = texture.at(i);
            if (packFormat == 3) {
                if (decodeU32(bitmap.row(y) + 4 * x) != texel) return false;
            } else if (packFormat) {
                if (packPixelToR5G6B5(*packFormat, texel) != bitmap.row16(y)[x]) return false;
            } else if (format == D3DFMT_A4R4G4B4) {
                if (a4r4g4b4OnBlack(texel) != bitmap.row16(y)[x]) return false;
            } else if (bitmap.bitCount() == 8) {
                if (Pal8ToA1R5G5B5[bitmap.row(y)[x]] != texel) return false;
            } else if (R5G6B5ToA1R5G5B5[bitmap.row16(y)[x]] != texel) {
                return false;
            }
        }
    }
    return true;
}

TEST_P(EveryFormat, IndicesOutsideTheIndexFailAndLeaveTheArchiveUsable) {
    auto archive = open();
    ASSERT_EQ(archive->FImageCount, GetParam().entries);
    TDXImageTexture texture;
    for (const std::int32_t index : {-1, archive->FImageCount, archive->FImageCount + 1000}) {
        std::uint8_t dataType = 0;
        EXPECT_FALSE(archive->GetBitmap(index, dataType)) << index;
        EXPECT_EQ(dataType, kDataTypeImage);
        EXPECT_NE(archive->lastError().find("outside the index"), std::string::npos)
            << archive->lastError();
        EXPECT_FALSE(archive->DrawToTexture(index, &texture)) << index;
    }
    EXPECT_FALSE(archive->DrawToTexture(0, nullptr));
    EXPECT_TRUE(archive->GetBitmap(0));
    EXPECT_EQ(archive->lastError(), "");
}

TEST_P(EveryFormat, TextureBitmapAndCacheAgreeOnEveryEntry) {
    auto archive = open();
    int images = 0;
    for (std::int32_t i = 0; i < archive->FImageCount; ++i) {
        const auto bitmap = archive->GetBitmap(i);
        if (!bitmap) continue;
        ++images;
        const TWMImageInfo info = archive->FLastImageInfo;
        EXPECT_EQ(info.Width, bitmap->width());
        TDXImageTexture texture;
        if (!archive->DrawToTexture(i, &texture)) {
            EXPECT_EQ(GetParam().kind, TWMImagesKind::W521gDef)
                << "only the .521g archive draws no textures";
            continue;
        }
        EXPECT_EQ(archive->FLastImageInfo.PX, info.PX);
        EXPECT_TRUE(
            textureShowsBitmap(texels(texture), *bitmap, texture.FFormat, packFormat(*archive)))
            << "entry " << i;

        TTextureCacheEntry cached;
        archive->LoadCacheEntry(archive->FIndexList[i], cached);
        const bool hasCache =
            GetParam().kind != TWMImagesKind::M3Def && GetParam().kind != TWMImagesKind::WoolDef;
        ASSERT_EQ(cached.Failed == 0, hasCache) << "entry " << i;
        if (!hasCache) continue;
        EXPECT_EQ(texels(*cached.Texture), texels(texture));
        EXPECT_EQ(cached.PX, info.PX);
        EXPECT_EQ(cached.PY, info.PY);
    }
    EXPECT_EQ(images, GetParam().imageEntries);
}

TEST_P(EveryFormat, CacheEntryAtAnOffsetNoEntryHasFails) {
    auto archive = open();
    TTextureCacheEntry cached;
    archive->LoadCacheEntry(-7, cached);
    EXPECT_EQ(cached.Failed, 1);
    EXPECT_FALSE(cached.Texture);
}

TEST_P(EveryFormat, IndexFileIsFoundWhateverItsLetterCase) {
    const FormatFixture& fixture = GetParam();
    if (fixture.files.size() < 2) GTEST_SKIP() << "no index file";
    const std::string stem = fixture.files[1].first.substr(0, fixture.files[1].first.size() - 3);
    std::string ext = fixture.files[1].first.substr(stem.size());
    std::string lower = ext, upper = ext;
    std::transform(ext.begin(), ext.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    std::transform(ext.begin(), ext.end(), upper.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    std::string mixed = lower;
    mixed[0] = upper[0];
    for (const std::string& spelling : {lower, upper, mixed}) {
        EXPECT_EQ(open(stem + spelling)->FImageCount, fixture.entries) << spelling;
    }
}

TEST_P(EveryFormat, SidesOf1And4096AreRejectedAndTheRestStaysReadable) {
    const FormatFixture& fixture = GetParam();
    for (const std::uint16_t side : {1, 4096}) {
        for (const std::size_t field : {fixture.widthAt, fixture.widthAt + 2}) {
            testing::Bytes data = fixture.files[0].second;
            // A pack stores each side times 16 and cannot store 4096.
            const int shift = fixture.kind == TWMImagesKind::MyImage ? 4 : 0;
            const std::uint32_t stored = std::uint32_t{side} << shift;
            if (stored > 0xFFFF) continue;
            testing::setU16At(data, field, static_cast<std::uint16_t>(stored));
            auto archive = open({}, &data);
            ASSERT_EQ(archive->FImageCount, fixture.entries);
            EXPECT_FALSE(archive->GetBitmap(0)) << side;
            EXPECT_NE(archive->lastError().find("outside 2..4095"), std::string::npos)
                << archive->lastError();
            TDXImageTexture texture;
            EXPECT_FALSE(archive->DrawToTexture(0, &texture)) << side;
            EXPECT_TRUE(archive->GetBitmap(archive->FImageCount - 1));
        }
    }
}

// The smallest and largest sides decode whole, to the last pixel, both ways.
TEST_P(EveryFormat, SidesOf2And4095DecodeToTheLastPixel) {
    for (const auto& [width, height] :
         {std::pair<std::uint16_t, std::uint16_t>{2, 2}, {4095, 2}, {2, 4095}}) {
        auto archive = openFiles(GetParam().oneImage(width, height));
        const auto bitmap = archive->GetBitmap(0);
        ASSERT_TRUE(bitmap) << width << " x " << height << ": " << archive->lastError();
        EXPECT_EQ(bitmap->width(), width);
        EXPECT_EQ(bitmap->height(), height);
        EXPECT_NE(lastPixel(*bitmap), 0u) << width << " x " << height;
        if (GetParam().kind == TWMImagesKind::W521gDef) continue;  // draws no textures
        TDXImageTexture texture;
        ASSERT_TRUE(archive->DrawToTexture(0, &texture)) << width << " x " << height;
        EXPECT_TRUE(
            textureShowsBitmap(texels(texture), *bitmap, texture.FFormat, packFormat(*archive)))
            << width << " x " << height;
    }
}

// A stream that inflates to far more than its image (a zlib bomb) gives the
// image, read as from the plain archive, and nothing more.
TEST_P(EveryFormat, StreamGoingOnPastItsImageGivesTheImageAlone) {
    if (!GetParam().streamPastItsImage) GTEST_SKIP() << "no deflated images";
    const auto plain = open()->GetBitmap(0);
    ASSERT_TRUE(plain);
    auto archive = openFiles(GetParam().streamPastItsImage());
    const auto bitmap = archive->GetBitmap(0);
    ASSERT_TRUE(bitmap) << archive->lastError();
    EXPECT_EQ(pixelsOf(*bitmap), pixelsOf(*plain));
    TDXImageTexture texture;
    ASSERT_TRUE(archive->DrawToTexture(0, &texture));
    EXPECT_TRUE(textureShowsBitmap(texels(texture), *bitmap, texture.FFormat, std::nullopt));
}

// Another program rewriting the data file while it is open: whatever the
// archive reads from the lost bytes (mapped or not), its entries fail with a
// reason, and the program goes on.
TEST_P(EveryFormat, DataFileEmptiedWhileOpenFailsEveryEntry) {
    auto archive = open();
    std::filesystem::resize_file(m_dir.file(GetParam().dataFile), 0);
    TDXImageTexture texture;
    for (std::int32_t i = 0; i < archive->FImageCount; ++i) {
        EXPECT_FALSE(archive->GetBitmap(i)) << i;
        EXPECT_NE(archive->lastError(), "") << i;
        EXPECT_FALSE(archive->DrawToTexture(i, &texture)) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat, ::testing::ValuesIn(testing::formatFixtures()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vantoro
