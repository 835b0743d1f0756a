// Texture objects on device storage: filled the way archive readers fill
// them, they hold what plain-memory storage holds.
#include <gtest/gtest.h>

#include <vector>

#include "archive/decoded_image.h"
#include "pixels/d3d9_texture_storage.h"
#include "pixels/dx9_textures.h"
#include "pixels/texture_fill.h"
#include "tests/d3d9/d3d9_test_support.h"

namespace vantoro::d3d9 {
namespace {

using testing::TestDevice;

// A 5 x 3 bottom-up 8-bit body: rows padded to 8 bytes, bottom row first.
std::vector<std::uint8_t> paletteBody() {
    std::vector<std::uint8_t> body(8 * 3, 0);
    for (int row = 0; row < 3; ++row) {
        for (int x = 0; x < 5; ++x)
            body[static_cast<std::size_t>((2 - row) * 8 + x)] =
                static_cast<std::uint8_t>(row * 5 + x);
    }
    return body;
}

std::vector<std::uint16_t> decodeInto(TDXTexture& texture) {
    const auto body = paletteBody();
    const DecodedImage image{TWMImageInfo{5, 3, 0, 0}, DecodedFormat::Palette8, body, 8, true};
    if (!drawDecodedImage(image, texture)) return {};
    TDXLockedRect rect;
    if (!texture.Lock(kLockRead, rect)) return {};
    std::vector<std::uint16_t> texels;
    for (int y = 0; y < 3; ++y) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(
            static_cast<std::uint8_t*>(rect.Bits) + y * rect.Pitch);
        texels.insert(texels.end(), row, row + 5);
    }
    texture.Unlock();
    return texels;
}

TEST(D3D9TextureStorage, AnArchiveDecodesIntoDeviceTexturesAsIntoMemory) {
    TestDevice device(8, 8);
    DeviceTextureStorageFactory factory(*device.get());
    TDXImageTexture onDevice(factory);
    TDXImageTexture inMemory;
    const auto deviceTexels = decodeInto(onDevice);
    ASSERT_EQ(deviceTexels.size(), 15u);
    EXPECT_EQ(deviceTexels, decodeInto(inMemory));
    EXPECT_EQ(deviceTexels[0], 0u);  // palette index 0 stays transparent
    TDXLockedRect rect;
    ASSERT_TRUE(onDevice.Lock(kLockRead, rect));
    EXPECT_GT(rect.Pitch, 10);
    EXPECT_EQ(rect.Format, 6);
    onDevice.Unlock();
}

TEST(D3D9TextureStorage, KindsChoosePoolAndUsage) {
    EXPECT_EQ(textureCreationOf(0, false)->pool, D3DPOOL_MANAGED);
    EXPECT_EQ(textureCreationOf(2, false)->usage, D3DUSAGE_DYNAMIC);
    EXPECT_EQ(textureCreationOf(3, false)->usage, D3DUSAGE_RENDERTARGET);
    EXPECT_EQ(textureCreationOf(4, false)->pool, D3DPOOL_SYSTEMMEM);
    const auto mipmapped = textureCreationOf(1, true);
    EXPECT_EQ(mipmapped->usage, D3DUSAGE_AUTOGENMIPMAP);
    EXPECT_EQ(mipmapped->levels, 0u);
    EXPECT_FALSE(textureCreationOf(5, false).has_value());
}

TEST(D3D9TextureStorage, RenderTargetKindsBlockAResetUntilReleased) {
    TestDevice device(8, 8);
    DeviceTextureStorageFactory factory(*device.get());
    TDXTexture target(factory);
    target.SetKind(3);
    target.SetFormat(D3DFMT_X8R8G8B8);
    target.SetSize(16, 16);
    ASSERT_TRUE(target.SetActive(true));
    TDXLockedRect rect;
    EXPECT_FALSE(target.Lock(kLockWrite, rect));  // render targets cannot be locked
    EXPECT_EQ(device->liveDefaultResources(), 1u);
    D3DPRESENT_PARAMETERS params = device->presentParameters();
    EXPECT_EQ(device->Reset(&params), D3DERR_INVALIDCALL);
    target.MarkLost();
    EXPECT_EQ(device->Reset(&params), D3D_OK);
    target.Activate();
    EXPECT_TRUE(target.IsActive());
}

}  // namespace
}  // namespace vantoro::d3d9
