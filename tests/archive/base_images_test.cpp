#include <gtest/gtest.h>

#include "archive/archive_reader.h"
#include "d3d9/d3d9_formats.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::TempDir;
using testing::writeFile;

// The base class itself reads no format: it opens the file and answers the
// defaults, which is what a kind without its own operations sees.
class BaseImagesTest : public ::testing::Test {
protected:
    void SetUp() override { writeFile(m_path, testing::Bytes(64, 0)); }
    std::string path() const { return m_path; }

    TempDir m_dir;
    std::string m_path = m_dir.file("any.bin");
};

TEST_F(BaseImagesTest, StartsWithTheDocumentedDefaults) {
    TWMBaseImages images;
    EXPECT_EQ(images.FCacheCheckInterval, 10000u);
    EXPECT_EQ(images.FCacheLifetime, 60000u);
    EXPECT_TRUE(images.FUseTextureCache);
    EXPECT_TRUE(images.FReadOnly);
    EXPECT_FALSE(images.FInitialized);
    EXPECT_EQ(images.FImageCount, 0);
    EXPECT_EQ(images.FLastImageInfo.Width, 0);
}

TEST_F(BaseImagesTest, InitializeNeedsAnExistingFileAndOpensOnce) {
    TWMBaseImages missing;
    missing.FFileName = m_dir.file("nothing-here.wil");
    EXPECT_FALSE(missing.Initialize());
    EXPECT_FALSE(missing.FInitialized);

    TWMBaseImages unnamed;
    EXPECT_FALSE(unnamed.Initialize());

    TWMBaseImages images;
    images.FFileName = path();
    ASSERT_TRUE(images.Initialize());
    EXPECT_TRUE(images.FInitialized);
    EXPECT_FALSE(images.Initialize()) << "a second Initialize must not reopen";
    images.Finalize();
    EXPECT_FALSE(images.FInitialized);
    EXPECT_EQ(images.FFileStream, nullptr);
}

TEST_F(BaseImagesTest, BaseSlotsAnswerTheirDefaults) {
    TWMBaseImages images;
    images.FFileName = path();
    ASSERT_TRUE(images.Initialize());
    std::uint8_t dataType = 0;
    EXPECT_FALSE(images.GetBitmap(0, dataType).has_value());
    EXPECT_EQ(dataType, kDataTypeImage);
    EXPECT_EQ(images.GetDataType(5), kDataTypeImage);
    TDXImageTexture texture;
    EXPECT_FALSE(images.DrawToTexture(0, &texture));
    EXPECT_FALSE(images.GetDataStream(0, 0).has_value());
    EXPECT_EQ(images.SaveIndex(), 0);
    EXPECT_EQ(images.ReservedQuery(), 0);

    TTextureCacheEntry entry;
    entry.Texture = std::make_unique<TDXImageTexture>();
    images.LoadCacheEntry(0, entry);
    EXPECT_EQ(entry.Texture, nullptr);
    EXPECT_EQ(entry.Failed, 1);
}

TEST_F(BaseImagesTest, InsertIndexIsIgnoredOnReadOnlyOrClosedArchives) {
    TWMBaseImages images;
    images.InsertIndex(-1, 100);
    EXPECT_TRUE(images.FIndexList.empty()) << "not initialized";

    images.FFileName = path();
    ASSERT_TRUE(images.Initialize());
    images.InsertIndex(-1, 100);
    EXPECT_TRUE(images.FIndexList.empty()) << "read-only";
    EXPECT_EQ(images.FImageCount, 0);
}

TEST_F(BaseImagesTest, InsertIndexAppendsOrInsertsOnWritableArchives) {
    TWMBaseImages images;
    images.FReadOnly = false;
    images.FFileName = path();
    ASSERT_TRUE(images.Initialize());
    images.InsertIndex(-1, 100);
    images.InsertIndex(0, 50);
    images.InsertIndex(2, 200);
    images.InsertIndex(5, 999);   // past the end: ignored
    images.InsertIndex(-7, 999);  // only -1 appends
    EXPECT_EQ(images.FIndexList, (std::vector<std::int32_t>{50, 100, 200}));
    EXPECT_EQ(images.FImageCount, 3);
}

TEST_F(BaseImagesTest, TextureCacheIsSizedOnlyWhenSwitchedOnAndNonEmpty) {
    TWMBaseImages images;
    images.FFileName = path();
    ASSERT_TRUE(images.Initialize());
    EXPECT_FALSE(images.InitTextureCache()) << "no entries";
    images.FImageCount = 4;
    EXPECT_TRUE(images.InitTextureCache());
    EXPECT_EQ(images.FTextureCache.size(), 4u);
    images.FUseTextureCache = false;
    EXPECT_FALSE(images.InitTextureCache());
    EXPECT_TRUE(images.FTextureCache.empty());
    images.FCachedCount = 3;
    images.FreeTextureCache();
    EXPECT_EQ(images.FCachedCount, 0);
}

TEST_F(BaseImagesTest, CacheTexturesUseThePixelFormatTable) {
    TWMBaseImages images;
    auto texture = images.CreateCacheTexture(40, 30, 1);
    ASSERT_NE(texture, nullptr);
    EXPECT_TRUE(texture->IsActive());
    EXPECT_EQ(texture->FFormat, static_cast<std::uint32_t>(D3DFMT_A1R5G5B5));
    EXPECT_EQ(texture->GetWidth(), 40);
    EXPECT_EQ(texture->GetHeight(), 30);
    EXPECT_EQ(images.CreateCacheTexture(4, 4, 0)->FFormat,
              static_cast<std::uint32_t>(D3DFMT_A4R4G4B4));
    EXPECT_EQ(images.CreateCacheTexture(4, 4, 9), nullptr) << "no such pixel format";
    EXPECT_EQ(TWMBaseImages::BytesPerPixel(3), 4);
}

TEST(ImageLimitsTest, AcceptsTwoTo4095OnEitherSide) {
    EXPECT_TRUE(isAcceptedImageSize(2, 4095));
    EXPECT_TRUE(isAcceptedImageSize(4095, 2));
    EXPECT_FALSE(isAcceptedImageSize(1, 100));
    EXPECT_FALSE(isAcceptedImageSize(100, 4096));
    EXPECT_FALSE(isAcceptedImageSize(0, 0));
}

}  // namespace
}  // namespace vantoro
