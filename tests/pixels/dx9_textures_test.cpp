// Texture objects on the device: storage, kinds, loss and reset, render
// targets.
#include "pixels/dx9_textures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "d3d9/d3d9_device.h"
#include "pixels/shared_device.h"
#include "pixels/texture_fill.h"
#include "render/dx9_device.h"
#include "render/dx9_notify.h"

namespace vantoro {
namespace {

IDirect3DDevice9& d3dDevice() {
    return *sharedDevice().device;
}

// A 3 x 2 A1R5G5B5 image written the way archive readers write, read back
// without row padding.
std::vector<std::uint16_t> decodeInto(TDXTexture& texture) {
    {
        auto writer = TextureWriter::begin(texture, D3DFMT_A1R5G5B5, 3, 2);
        if (!writer) return {};
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                writer->row16(y)[x] = static_cast<std::uint16_t>(0x8000 | (y * 3 + x));
            }
        }
    }
    std::vector<std::uint16_t> texels;
    TDXLockedRect rect;
    if (!texture.Lock(kLockRead, rect)) return {};
    for (int y = 0; y < 2; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(rect.Bits) + y * rect.Pitch;
        for (int x = 0; x < 3; ++x) {
            std::uint16_t texel;
            std::memcpy(&texel, row + 2 * x, 2);
            texels.push_back(texel);
        }
    }
    texture.Unlock();
    return texels;
}

void activate(TDXTexture& texture, std::uint8_t kind) {
    texture.SetFormat(D3DFMT_A8R8G8B8);
    texture.SetSize(8, 8);
    texture.SetKind(kind);
    texture.SetActive(true);
}

// An initialised device whose listener does what the main window does with
// its textures: the listed ones are marked lost on a loss and activated
// again after a reset.
class TexturesOnDevice : public ::testing::Test {
protected:
    void SetUp() override {
        device.OnNotifyEvent = [this](TDX9Device&, std::uint32_t code) {
            codes.push_back(code);
            for (TDXTexture* texture : followers) {
                if (code == NotifyDeviceLost) texture->MarkLost();
                if (code == NotifyDeviceReset) texture->Activate();
            }
        };
        ASSERT_TRUE(device.Initialize());
        codes.clear();
    }
    void TearDown() override { device.OnNotifyEvent = nullptr; }

    // Loses the device and gets it back; answers the last Flip.
    bool loseAndReset() {
        d3dDevice().loseDevice();
        device.Flip();
        d3dDevice().endDeviceLoss();
        return device.Flip();
    }

    std::vector<std::uint32_t> codes;
    std::vector<TDXTexture*> followers;
    TDX9Device device;
};

TEST(DeviceTexturesTest, WithoutADeviceTexturesStayInMemory) {
    TDXImageTexture texture;
    EXPECT_EQ(decodeInto(texture).size(), 6u);
    EXPECT_EQ(texture.FTexture, nullptr);
    EXPECT_FALSE(texture.BindToStage(0));
    TDXRenderTargetTexture target;  // no back buffer to take the format from
    EXPECT_FALSE(target.SetActive(true));
}

TEST_F(TexturesOnDevice, ArchivesDecodeIntoDeviceTexturesAsIntoMemory) {
    MemoryTextureStorageFactory& memory = MemoryTextureStorageFactory::instance();
    TDXImageTexture inMemory(memory);
    TDXImageTexture onDevice;
    const auto expected = decodeInto(inMemory);
    EXPECT_EQ(decodeInto(onDevice), expected);
    ASSERT_NE(onDevice.FTexture, nullptr);
    EXPECT_EQ(onDevice.FTexture->pool(), D3DPOOL_MANAGED);
    EXPECT_FALSE(inMemory.BindToStage(0));
    ASSERT_TRUE(onDevice.BindToStage(1));
    IDirect3DBaseTexture9* bound = nullptr;
    d3dDevice().GetTexture(1, &bound);
    EXPECT_EQ(bound, onDevice.FTexture);
    bound->Release();
    onDevice.ClearPixels();
    EXPECT_EQ(decodeInto(onDevice), expected) << "refilled after the clear";
}

TEST_F(TexturesOnDevice, KindsChooseThePoolAndSettingsWaitForDeactivation) {
    const D3DPOOL pools[] = {D3DPOOL_MANAGED, D3DPOOL_DEFAULT, D3DPOOL_DEFAULT, D3DPOOL_DEFAULT,
                             D3DPOOL_SYSTEMMEM};
    const DWORD usages[] = {0, 0, D3DUSAGE_DYNAMIC, D3DUSAGE_RENDERTARGET, 0};
    for (std::uint8_t kind = 0; kind < 5; ++kind) {
        TDXTexture texture;
        activate(texture, kind);
        ASSERT_TRUE(texture.IsActive()) << int{kind};
        D3DSURFACE_DESC desc;
        texture.FTexture->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Pool, pools[kind]);
        EXPECT_EQ(desc.Usage, usages[kind]);
    }
    TDXTexture texture;
    activate(texture, 1);
    texture.SetKind(0);
    texture.SetMipmaps(true);
    EXPECT_EQ(texture.FKind, 1);
    EXPECT_FALSE(texture.FMipmaps);
    texture.SetActive(false);
    texture.SetMipmaps(true);
    ASSERT_TRUE(texture.SetActive(true));
    D3DSURFACE_DESC desc;
    texture.FTexture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Usage, D3DUSAGE_AUTOGENMIPMAP);
}

TEST_F(TexturesOnDevice, ManagedTexturesKeepTheirContentsAcrossAReset) {
    TDXImageTexture image;
    const auto texels = decodeInto(image);
    TDXTexture dynamic;
    activate(dynamic, 2);
    followers = {&image, &dynamic};
    IDirect3DTexture9* before = image.FTexture;
    d3dDevice().loseDevice();
    device.Flip();
    EXPECT_TRUE(image.IsActive());
    EXPECT_EQ(image.FTexture, before);
    EXPECT_EQ(dynamic.FState, kTextureLost);
    EXPECT_EQ(dynamic.FTexture, nullptr);
    d3dDevice().endDeviceLoss();
    EXPECT_TRUE(device.Flip());
    EXPECT_TRUE(dynamic.IsActive());
    EXPECT_EQ(decodeInto(image), texels);
}

TEST_F(TexturesOnDevice, ResetFailsWhileADefaultPoolTextureIsAlive) {
    TDXTexture held;
    activate(held, 1);
    EXPECT_FALSE(loseAndReset());
    EXPECT_TRUE(device.Lost());
    EXPECT_EQ(codes, std::vector<std::uint32_t>{NotifyDeviceLost});
    held.MarkLost();
    EXPECT_TRUE(device.Flip());
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{NotifyDeviceLost, NotifyDeviceReset}));
    held.Activate();
    EXPECT_TRUE(held.IsActive());
}

TEST_F(TexturesOnDevice, RenderTargetFollowsLossAndReset) {
    TDXRenderTargetTexture target;
    target.FDepthBuffer = true;
    target.SetSize(16, 16);
    ASSERT_TRUE(target.SetActive(true));
    EXPECT_EQ(target.FFormat, static_cast<std::uint32_t>(D3DFMT_X8R8G8B8));
    EXPECT_NE(target.FDepthSurface, nullptr);
    followers = {&target};

    d3dDevice().faults().refuseTextures = true;  // the first restore fails ...
    EXPECT_TRUE(loseAndReset());
    EXPECT_EQ(target.FState, kTextureRestoreFailed);
    EXPECT_EQ(target.FSurface, nullptr);
    d3dDevice().faults().refuseTextures = false;  // ... the next succeeds
    target.Activate();
    ASSERT_TRUE(target.IsActive());
    EXPECT_NE(target.FDepthSurface, nullptr);

    std::uint32_t texel = 0;
    device.RenderTo(&target, 0x0000FF00, true, [](TDX9Device&) {});
    std::memcpy(&texel, target.FTexture->view().at(15, 15), 4);
    EXPECT_EQ(texel, 0xFF00FF00u);
    EXPECT_TRUE(loseAndReset()) << "RenderTo held on to nothing";
}

TEST_F(TexturesOnDevice, RefusedBeginRenderTargetHoldsNothing) {
    TDXRenderTargetTexture target;
    target.SetSize(16, 16);
    ASSERT_TRUE(target.SetActive(true));
    ASSERT_TRUE(target.BeginRenderTarget());
    EXPECT_FALSE(target.BeginRenderTarget()) << "already begun";
    target.EndRenderTarget();
    EXPECT_EQ(target.FSavedTarget, nullptr);

    // The depth surface it asks for does not exist: the second call is refused.
    TDX9Device bare;
    device.Finalize();
    bare.SetDepthBuffer(false);
    ASSERT_TRUE(bare.Initialize());
    const std::size_t canvasBuffers = d3dDevice().liveDefaultResources();
    TDXRenderTargetTexture depthless;
    depthless.SetSize(16, 16);
    ASSERT_TRUE(depthless.SetActive(true));
    depthless.FDepthBuffer = true;
    IDirect3DSurface9* own = nullptr;
    d3dDevice().GetRenderTarget(0, &own);
    own->Release();
    EXPECT_FALSE(depthless.BeginRenderTarget());
    EXPECT_EQ(depthless.FSavedTarget, nullptr);
    IDirect3DSurface9* now = nullptr;
    d3dDevice().GetRenderTarget(0, &now);
    now->Release();
    EXPECT_EQ(now, own);
    depthless.SetActive(false);
    EXPECT_EQ(d3dDevice().liveDefaultResources(), canvasBuffers)
        << "no reference to the back buffer is left to block a reset";
}

TEST_F(TexturesOnDevice, TexturesOutliveTheirDevice) {
    TDXImageTexture image;
    const auto texels = decodeInto(image);
    device.Finalize();
    EXPECT_FALSE(image.BindToStage(0));
    TDXLockedRect rect;
    ASSERT_TRUE(image.Lock(kLockRead, rect)) << "the texture keeps its device object alive";
    image.Unlock();
    TDX9Device next;
    ASSERT_TRUE(next.Initialize());
    EXPECT_FALSE(image.BindToStage(0)) << "made on the earlier device";
    EXPECT_EQ(decodeInto(image), texels);
    EXPECT_TRUE(image.BindToStage(0));
}

}  // namespace
}  // namespace vantoro
