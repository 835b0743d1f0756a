#include "image_io/texel_rgba.h"

#include <gtest/gtest.h>

#include "d3d9/d3d9_formats.h"
#include "tests/support/test_files.h"

namespace vantoro {
namespace {

using testing::Bytes;

TEST(TexelRgba, ChannelReplicationMapsZeroAndMaximumToTheEnds) {
    EXPECT_EQ(0, expand5(0));
    EXPECT_EQ(8, expand5(1));     // 00001 -> 00001000
    EXPECT_EQ(132, expand5(16));  // 10000 -> 10000100
    EXPECT_EQ(255, expand5(31));
    EXPECT_EQ(4, expand6(1));
    EXPECT_EQ(130, expand6(32));  // 100000 -> 10000010
    EXPECT_EQ(255, expand6(63));
    EXPECT_EQ(0, expand4(0));
    EXPECT_EQ(17, expand4(1));
    EXPECT_EQ(255, expand4(15));
}

TEST(TexelRgba, EachFormatSplitsItsChannels) {
    // A1R5G5B5: alpha bit, red 31, green 1, blue 16.
    EXPECT_EQ((Rgba8{255, 8, 132, 255}), rgbaFromA1R5G5B5(0x8000 | 31 << 10 | 1 << 5 | 16));
    EXPECT_EQ((Rgba8{255, 255, 255, 0}), rgbaFromA1R5G5B5(0x7FFF));
    EXPECT_EQ((Rgba8{0, 0, 0, 0}), rgbaFromA1R5G5B5(0x0000));
    // R5G6B5 is always opaque, black included; green keeps its sixth bit.
    EXPECT_EQ((Rgba8{0, 0, 0, 255}), rgbaFromR5G6B5(0x0000));
    EXPECT_EQ((Rgba8{8, 130, 255, 255}), rgbaFromR5G6B5(1 << 11 | 32 << 5 | 31));
    // A4R4G4B4: alpha in the top nibble.
    EXPECT_EQ((Rgba8{0x11, 0x22, 0x33, 0xFF}), rgbaFromA4R4G4B4(0xF123));
    EXPECT_EQ((Rgba8{0xFF, 0, 0, 0x88}), rgbaFromA4R4G4B4(0x8F00));
    // A8R8G8B8 as it stands.
    EXPECT_EQ((Rgba8{0x12, 0x34, 0x56, 0x80}), rgbaFromA8R8G8B8(0x80123456));
}

TEST(TexelRgba, LockedRowsHonourThePitchAndIgnoreItsPadding) {
    // 2 x 2 A1R5G5B5 with a pitch of 8: bytes 4..7 of each row are padding.
    const Bytes locked = {0x1F, 0x80, 0x00, 0x00, 0xAA, 0xAA, 0xAA, 0xAA,
                          0xE0, 0x83, 0x00, 0xFC, 0xAA, 0xAA, 0xAA, 0xAA};
    const auto rgba = texelsToRgba({locked, 8, D3DFMT_A1R5G5B5}, 2, 2);
    ASSERT_TRUE(rgba.ok()) << rgba.error();
    const Bytes expected = {0, 0, 255, 255, 0, 0, 0, 0, 0, 255, 0, 255, 255, 0, 0, 255};
    EXPECT_EQ(expected, *rgba);
}

TEST(TexelRgba, ThirtyTwoBitTexelsAreStoredBlueGreenRedAlpha) {
    const Bytes locked = {0x56, 0x34, 0x12, 0x80, 0x00, 0x00, 0xFF, 0x00};
    const auto rgba = texelsToRgba({locked, 8, D3DFMT_A8R8G8B8}, 2, 1);
    ASSERT_TRUE(rgba.ok());
    EXPECT_EQ((Bytes{0x12, 0x34, 0x56, 0x80, 0xFF, 0x00, 0x00, 0x00}), *rgba);
    const auto r565 = texelsToRgba({Bytes{0xFF, 0xFF, 0x00, 0x00}, 4, D3DFMT_R5G6B5}, 2, 1);
    ASSERT_TRUE(r565.ok());
    EXPECT_EQ((Bytes{255, 255, 255, 255, 0, 0, 0, 255}), *r565);
    const auto r4444 = texelsToRgba({Bytes{0x21, 0x43}, 2, D3DFMT_A4R4G4B4}, 1, 1);
    ASSERT_TRUE(r4444.ok());
    EXPECT_EQ((Bytes{0x33, 0x22, 0x11, 0x44}), *r4444);
}

TEST(TexelRgba, RejectsGeometryThatWouldReadOutsideTheLock) {
    const Bytes locked(16, 0);
    EXPECT_FALSE(texelsToRgba({locked, 8, D3DFMT_X8R8G8B8}, 2, 2).ok());  // unsupported
    EXPECT_FALSE(texelsToRgba({locked, 2, D3DFMT_A1R5G5B5}, 2, 2).ok());  // pitch < row
    EXPECT_FALSE(texelsToRgba({locked, -8, D3DFMT_A1R5G5B5}, 2, 2).ok());
    EXPECT_FALSE(texelsToRgba({locked, 8, D3DFMT_A1R5G5B5}, 2, 3).ok());  // third row missing
    EXPECT_FALSE(texelsToRgba({locked, 8, D3DFMT_A1R5G5B5}, 0, 2).ok());
    EXPECT_FALSE(texelsToRgba({locked, 8, D3DFMT_A8R8G8B8}, 3, 2).ok());  // 12 > pitch
    // The last row needs only its texels, not the whole pitch.
    EXPECT_TRUE(texelsToRgba({Bytes(12, 0), 8, D3DFMT_A1R5G5B5}, 2, 2).ok());
}

}  // namespace
}  // namespace vantoro
