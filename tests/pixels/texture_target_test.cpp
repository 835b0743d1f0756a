#include <gtest/gtest.h>

#include <cstring>

#include "d3d9/d3d9_formats.h"
#include "pixels/dx9_textures.h"
#include "pixels/texture_fill.h"

namespace vantoro {
namespace {

TEST(TextureTargetTest, StartsInactiveWithTwoByTwoDefaults) {
    TDXImageTexture texture;
    EXPECT_FALSE(texture.IsActive());
    EXPECT_EQ(texture.FWidth, 2);
    EXPECT_EQ(texture.FHeight, 2);
    EXPECT_EQ(texture.FImageWidth, 2);
    EXPECT_EQ(texture.FImageHeight, 2);
    EXPECT_EQ(texture.FFormat, 0u);
    TDXLockedRect rect;
    EXPECT_FALSE(texture.Lock(kLockWrite, rect)) << "no storage before activation";
}

TEST(TextureTargetTest, SettingsChangeOnlyWhileInactive) {
    TDXTexture texture;
    texture.SetFormat(D3DFMT_A1R5G5B5);
    texture.SetSize(16, 8);
    ASSERT_TRUE(texture.SetActive(true));
    texture.SetSize(32, 32);
    texture.SetFormat(D3DFMT_A8R8G8B8);
    texture.SetKind(2);
    texture.SetMipmaps(true);
    EXPECT_EQ(texture.FWidth, 16);
    EXPECT_EQ(texture.FHeight, 8);
    EXPECT_EQ(texture.FFormat, static_cast<std::uint32_t>(D3DFMT_A1R5G5B5));
    EXPECT_EQ(texture.FKind, 0);
    EXPECT_FALSE(texture.FMipmaps);
    EXPECT_FALSE(texture.SetActive(false));
    texture.SetSize(32, 32);
    EXPECT_EQ(texture.FWidth, 32);
}

TEST(TextureTargetTest, ImageSizeIsClampedToTheStorage) {
    TDXImageTexture texture;
    texture.SetSize(256, 128);
    texture.SetImageSize(300, 10);
    EXPECT_EQ(texture.FImageWidth, 256);
    EXPECT_EQ(texture.FImageHeight, 10);
    EXPECT_EQ(texture.GetWidth(), 256);
    EXPECT_EQ(texture.GetHeight(), 10);
}

TEST(TextureTargetTest, ImageTextureWithZeroImageSizeTakesTheStorageSize) {
    TDXImageTexture texture;
    texture.SetFormat(D3DFMT_A1R5G5B5);
    texture.SetSize(64, 32);
    texture.SetImageSize(0, 0);
    ASSERT_TRUE(texture.SetActive(true));
    EXPECT_EQ(texture.FImageWidth, 64);
    EXPECT_EQ(texture.FImageHeight, 32);
}

TEST(TextureTargetTest, ActivationFailsForUnstorableSettings) {
    TDXImageTexture unknownFormat;
    unknownFormat.SetFormat(0);
    EXPECT_FALSE(unknownFormat.SetActive(true));
    EXPECT_EQ(unknownFormat.FState, kTextureInactive);

    TDXImageTexture negative;
    negative.SetFormat(D3DFMT_A1R5G5B5);
    negative.SetSize(-4, 4);
    EXPECT_FALSE(negative.SetActive(true));
}

TEST(TextureTargetTest, LockReportsPaddedPitchAndFormatCode) {
    TDXImageTexture texture;
    texture.SetFormat(D3DFMT_A1R5G5B5);
    texture.SetSize(3, 2);
    ASSERT_TRUE(texture.SetActive(true));
    TDXLockedRect rect;
    ASSERT_TRUE(texture.Lock(kLockWrite, rect));
    EXPECT_GT(rect.Pitch, 6) << "the plain-memory storage pads rows on purpose";
    EXPECT_EQ(rect.Format, 6);
    TDXLockedRect second;
    EXPECT_FALSE(texture.Lock(kLockWrite, second)) << "a locked storage refuses a second lock";
    texture.Unlock();
    EXPECT_TRUE(texture.Lock(kLockRead, second));
    texture.Unlock();
}

TEST(TextureTargetTest, LockedFormatCodes) {
    EXPECT_EQ(lockedFormatCode(D3DFMT_R3G3B2), 0);
    EXPECT_EQ(lockedFormatCode(D3DFMT_R5G6B5), 1);
    EXPECT_EQ(lockedFormatCode(D3DFMT_X8R8G8B8), 2);
    EXPECT_EQ(lockedFormatCode(D3DFMT_X1R5G5B5), 3);
    EXPECT_EQ(lockedFormatCode(D3DFMT_X4R4G4B4), 4);
    EXPECT_EQ(lockedFormatCode(D3DFMT_A8R8G8B8), 5);
    EXPECT_EQ(lockedFormatCode(D3DFMT_A1R5G5B5), 6);
    EXPECT_EQ(lockedFormatCode(D3DFMT_A4R4G4B4), 7);
    EXPECT_EQ(lockedFormatCode(D3DFMT_A8R3G3B2), 8);
    EXPECT_EQ(lockedFormatCode(D3DFMT_A8), 10);
    EXPECT_EQ(lockedFormatCode(999), 11);
}

TEST(TextureTargetTest, LostStateFollowsTheKind) {
    TDXTexture managed;
    managed.SetFormat(D3DFMT_A1R5G5B5);
    ASSERT_TRUE(managed.SetActive(true));
    managed.MarkLost();
    EXPECT_TRUE(managed.IsActive()) << "kind 0 keeps its storage across a loss";

    TDXTexture target;
    target.SetFormat(D3DFMT_A1R5G5B5);
    target.SetKind(3);
    ASSERT_TRUE(target.SetActive(true));
    target.MarkLost();
    EXPECT_EQ(target.FState, kTextureLost);
    target.Activate();
    EXPECT_TRUE(target.IsActive());
}

TEST(TextureTargetTest, MapCoordsCoversTheImagePartAndFlips) {
    TDXImageTexture texture;
    texture.SetFormat(D3DFMT_A1R5G5B5);
    texture.SetSize(256, 128);
    texture.SetImageSize(100, 50);
    QuadTexCoords coords;
    EXPECT_FALSE(texture.MapCoords(TextureSource{}, coords)) << "inactive";
    ASSERT_TRUE(texture.SetActive(true));
    ASSERT_TRUE(texture.MapCoords(TextureSource{0, 0, 0, 0, 0}, coords));
    EXPECT_FLOAT_EQ(coords[0].U, 0);
    EXPECT_FLOAT_EQ(coords[0].V, 0);
    EXPECT_FLOAT_EQ(coords[1].U, 0.390625f);
    EXPECT_FLOAT_EQ(coords[1].V, 0);
    EXPECT_FLOAT_EQ(coords[2].U, 0.390625f);
    EXPECT_FLOAT_EQ(coords[2].V, 0.390625f);
    EXPECT_FLOAT_EQ(coords[3].U, 0);
    EXPECT_FLOAT_EQ(coords[3].V, 0.390625f);

    ASSERT_TRUE(texture.MapCoords(TextureSource{0, 0, 0, 0, kFlipHorizontal}, coords));
    EXPECT_FLOAT_EQ(coords[0].U, 0.390625f);
    EXPECT_FLOAT_EQ(coords[1].U, 0);
    EXPECT_FLOAT_EQ(coords[0].V, 0);
    EXPECT_FLOAT_EQ(coords[2].V, 0.390625f);

    ASSERT_TRUE(texture.MapCoords(TextureSource{64, 32, 32, 16, kFlipVertical}, coords));
    EXPECT_FLOAT_EQ(coords[0].U, 0.25f);
    EXPECT_FLOAT_EQ(coords[1].U, 0.375f);
    EXPECT_FLOAT_EQ(coords[0].V, 0.375f);
    EXPECT_FLOAT_EQ(coords[3].V, 0.25f);
}

TEST(TextureWriterTest, FillsInTheFixedOrderAndClearsStaleTexels) {
    TDXImageTexture texture;
    // Leave garbage behind from an earlier, larger image.
    texture.SetFormat(D3DFMT_A1R5G5B5);
    texture.SetSize(8, 8);
    ASSERT_TRUE(texture.SetActive(true));
    TDXLockedRect rect;
    ASSERT_TRUE(texture.Lock(kLockWrite, rect));
    std::memset(rect.Bits, 0xFF, static_cast<std::size_t>(rect.Pitch) * 8);
    texture.Unlock();

    {
        auto writer = TextureWriter::begin(texture, D3DFMT_A4R4G4B4, 3, 2);
        ASSERT_TRUE(writer.has_value());
        writer->row16(1)[2] = 0x1234;
    }
    EXPECT_EQ(texture.FFormat, static_cast<std::uint32_t>(D3DFMT_A4R4G4B4));
    EXPECT_EQ(texture.GetWidth(), 3);
    EXPECT_EQ(texture.GetHeight(), 2);
    ASSERT_TRUE(texture.Lock(kLockRead, rect)) << "the writer unlocked when it went";
    const auto* bytes = static_cast<const std::uint8_t*>(rect.Bits);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < rect.Pitch / 2; ++x) {
            std::uint16_t texel;
            std::memcpy(&texel, bytes + y * rect.Pitch + 2 * x, 2);
            EXPECT_EQ(texel, (y == 1 && x == 2) ? 0x1234 : 0) << x << "," << y;
        }
    }
    texture.Unlock();
}

TEST(TextureWriterTest, PaddingOnlyClearLeavesTheSameTexelsAsAFullClear) {
    TDXImageTexture texture;
    texture.SetFormat(D3DFMT_A1R5G5B5);
    texture.SetSize(5, 3);
    ASSERT_TRUE(texture.SetActive(true));
    TDXLockedRect rect;
    ASSERT_TRUE(texture.Lock(kLockWrite, rect));
    std::memset(rect.Bits, 0xEE, static_cast<std::size_t>(rect.Pitch) * 3);
    texture.Unlock();

    {
        auto writer =
            TextureWriter::begin(texture, D3DFMT_A1R5G5B5, 5, 3, TextureClear::PaddingOnly);
        ASSERT_TRUE(writer.has_value());
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x)
                writer->row16(y)[x] = static_cast<std::uint16_t>(0x8000 | (y * 5 + x));
        }
    }
    ASSERT_TRUE(texture.Lock(kLockRead, rect));
    const auto* bytes = static_cast<const std::uint8_t*>(rect.Bits);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < rect.Pitch / 2; ++x) {
            std::uint16_t texel;
            std::memcpy(&texel, bytes + y * rect.Pitch + 2 * x, 2);
            EXPECT_EQ(texel, x < 5 ? 0x8000 | (y * 5 + x) : 0) << x << "," << y;
        }
    }
    texture.Unlock();
}

TEST(TextureStorageTest, ReusedMemoryIsSizedForTheNewTexture) {
    // A large texture released, then a small one and a larger one made: each
    // must lock with room for its own rows.
    for (int side : {512, 8, 1024}) {
        TDXTexture texture;
        texture.SetFormat(D3DFMT_A8R8G8B8);
        texture.SetSize(side, side);
        ASSERT_TRUE(texture.SetActive(true)) << side;
        TDXLockedRect rect;
        ASSERT_TRUE(texture.Lock(kLockWrite, rect));
        EXPECT_GE(rect.Pitch, side * 4);
        std::memset(rect.Bits, 0x11,
                    static_cast<std::size_t>(rect.Pitch) * side);  // ASan checks the size
        texture.Unlock();
    }
}

}  // namespace
}  // namespace vantoro
