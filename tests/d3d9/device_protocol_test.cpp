// Adapter reports, device creation, loss and reset, locks and buffers.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/d3d9/d3d9_test_support.h"

namespace vantoro::d3d9 {
namespace {

using testing::TestDevice;

D3DPRESENT_PARAMETERS windowedParams(UINT w = 800, UINT h = 600) {
    D3DPRESENT_PARAMETERS p;
    p.BackBufferWidth = w;
    p.BackBufferHeight = h;
    p.Windowed = -1;  // all bits set, as the platform's Boolean true
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    return p;
}

IDirect3DTexture9* defaultTexture(IDirect3DDevice9* device, DWORD usage = 0) {
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(device->CreateTexture(8, 8, 1, usage, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t, nullptr),
              D3D_OK);
    return t;
}

TEST(D3D9Adapter, StandardAdapterPassesTheStartUpChecks) {
    IDirect3D9* d3d = Direct3DCreate9(0x80000020);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    ASSERT_GT(d3d->GetAdapterModeCount(0, D3DFMT_R5G6B5), 0u);
    ASSERT_EQ(d3d->EnumAdapterModes(0, D3DFMT_R5G6B5, 1, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 800u);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                     D3DRTYPE_SURFACE, D3DFMT_D16),
              D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                     D3DRTYPE_SURFACE, D3DFMT_D32),
              D3DERR_NOTAVAILABLE);
    D3DPRESENT_PARAMETERS params = windowedParams();
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                &params, &device),
              D3D_OK);
    EXPECT_EQ(params.BackBufferFormat, D3DFMT_X8R8G8B8);  // the desktop's, filled in
    D3DCAPS9 caps;
    ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_GT(caps.MaxTextureWidth, 2000u);
    EXPECT_GT(device->GetAvailableTextureMem(), 0x1000000u);
    device->Release();
    EXPECT_EQ(d3d->Release(), 0u);
}

TEST(D3D9Adapter, DescribedAdaptersReachEveryStartUpFailure) {
    AdapterDescription weak = AdapterDescription::standard();
    weak.maxTextureWidth = 2000;
    weak.availableTextureMemory = 0x1000000;
    weak.fullScreenModes.clear();
    weak.hardwareVertexProcessing = false;
    {
        ScopedAdapter scope(weak);
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DCAPS9 caps;
        ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
        EXPECT_EQ(caps.MaxTextureWidth, 2000u);
        EXPECT_EQ(d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8), 0u);
        D3DPRESENT_PARAMETERS full = windowedParams();
        full.Windowed = 0;
        full.BackBufferFormat = D3DFMT_UNKNOWN;  // no mode matched
        IDirect3DDevice9* device = nullptr;
        EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                    &full, &device),
                  D3DERR_INVALIDCALL);
        D3DPRESENT_PARAMETERS params = windowedParams();
        EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                    &params, &device),
                  D3DERR_NOTAVAILABLE);
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                    &params, &device),
                  D3D_OK);
        EXPECT_EQ(device->GetAvailableTextureMem(), 0x1000000u);
        device->Release();
        d3d->Release();
    }
    AdapterDescription refusing = AdapterDescription::standard();
    refusing.refuseCaps = true;
    refusing.refuseBuffers = true;
    {
        ScopedAdapter scope(refusing);
        TestDevice device(4, 4);
        D3DCAPS9 caps;
        EXPECT_NE(device->GetDeviceCaps(&caps), D3D_OK);
        IDirect3DVertexBuffer9* vb = nullptr;
        EXPECT_EQ(device->CreateVertexBuffer(896, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0x144,
                                             D3DPOOL_DEFAULT, &vb, nullptr),
                  D3DERR_OUTOFVIDEOMEMORY);
        refusing.refuseCreate = true;
        setAdapterDescription(refusing);
        EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
    }
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
}

TEST(D3D9Device, LossAndResetFollowThePlatformProtocol) {
    TestDevice device(64, 32);
    IDirect3DTexture9* managed = testing::makeTexture(
        device.get(), 4, 4, D3DFMT_A1R5G5B5, [](int x, int y) { return 0x8000u + x + 4 * y; });
    IDirect3DTexture9* target = defaultTexture(device.get(), D3DUSAGE_RENDERTARGET);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->loseDevice();
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS params = device->presentParameters();
    EXPECT_EQ(device->Reset(&params), D3DERR_DEVICELOST);
    device->endDeviceLoss();
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    // A DEFAULT texture still held blocks the reset; the states are lost anyway.
    EXPECT_EQ(device->Reset(&params), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    DWORD cull = 0;
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(cull, static_cast<DWORD>(D3DCULL_CCW));
    target->Release();
    // A held reference to the back buffer blocks it too.
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    EXPECT_EQ(device->Reset(&params), D3DERR_INVALIDCALL);
    backBuffer->Release();
    EXPECT_EQ(device->Reset(&params), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // MANAGED contents survive.
    EXPECT_EQ(testing::readRaw(managed->view(), 3, 2), 0x800Bu);
    managed->Release();
}

TEST(D3D9Device, BoundOnlyResourcesDoNotBlockAReset) {
    TestDevice device(16, 16);
    IDirect3DTexture9* texture = defaultTexture(device.get(), D3DUSAGE_DYNAMIC);
    device->SetTexture(0, texture);
    EXPECT_EQ(texture->Release(), 0u);  // kept alive by the binding only
    EXPECT_EQ(device->liveDefaultResources(), 0u);
    D3DPRESENT_PARAMETERS params = device->presentParameters();
    EXPECT_EQ(device->Reset(&params), D3D_OK);
    IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
}

TEST(D3D9Device, RenderTargetTexturesAndReferenceCounts) {
    TestDevice device(32, 32);
    IDirect3DTexture9* texture = defaultTexture(device.get(), D3DUSAGE_RENDERTARGET);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(texture->publicReferences(), 2u);  // the level counts through its texture
    IDirect3DSurface9* saved = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &saved), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, level), D3D_OK);
    D3DVIEWPORT9 viewport;
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 8u);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80112233, 1.0f, 0), D3D_OK);
    EXPECT_EQ(testing::readRaw(texture->view(), 7, 7), 0x80112233u);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0),
              D3DERR_INVALIDCALL);  // render targets do not lock
    ASSERT_EQ(device->SetRenderTarget(0, saved), D3D_OK);
    saved->Release();
    level->Release();
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(device->liveDefaultResources(), 0u);
}

TEST(D3D9Device, LockReportsAPaddedPitch) {
    TestDevice device(4, 4);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(3, 5, 1, 0, D3DFMT_A1R5G5B5, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_GT(locked.Pitch, 6);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
    auto* row4 = static_cast<std::uint8_t*>(locked.pBits) + 4 * locked.Pitch;
    const std::uint16_t value = 0x8421;
    std::memcpy(row4 + 2 * 2, &value, 2);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(testing::readRaw(texture->view(), 2, 4), 0x8421u);
    const RECT part{1, 2, 3, 4};
    ASSERT_EQ(texture->LockRect(0, &locked, &part, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(locked.pBits), texture->view().at(1, 2));
    texture->UnlockRect(0);
    texture->Release();
    // DEFAULT textures lock only when dynamic; DISCARD needs dynamic usage.
    IDirect3DTexture9* plain = defaultTexture(device.get());
    EXPECT_EQ(plain->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    plain->Release();
    IDirect3DTexture9* dynamic = defaultTexture(device.get(), D3DUSAGE_DYNAMIC);
    EXPECT_EQ(dynamic->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
    dynamic->UnlockRect(0);
    dynamic->Release();
    IDirect3DTexture9* refused = nullptr;
    EXPECT_EQ(device->CreateTexture(8192 + 1, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &refused,
                                    nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                    &refused, nullptr),
              D3DERR_INVALIDCALL);
}

TEST(D3D9Device, DynamicBuffersDiscardTheirContents) {
    TestDevice device(8, 8);
    IDirect3DVertexBuffer9* fixed = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0x144, D3DPOOL_MANAGED, &fixed, nullptr), D3D_OK);
    void* data = nullptr;
    EXPECT_EQ(fixed->Lock(0, 0, &data, D3DLOCK_DISCARD), D3DERR_INVALIDCALL);
    EXPECT_EQ(fixed->Lock(32, 64, &data, 0), D3DERR_INVALIDCALL);  // past the end
    fixed->Release();
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(8, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                        D3DPOOL_DEFAULT, &indices, nullptr),
              D3D_OK);
    ASSERT_EQ(indices->Lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
    std::memset(data, 0x11, 8);
    indices->Unlock();
    ASSERT_EQ(indices->Lock(2, 2, &data, D3DLOCK_DISCARD), D3D_OK);
    EXPECT_NE(static_cast<std::uint8_t*>(data)[0], 0x11);  // old contents are gone
    indices->Unlock();
    indices->Release();
    // Many batches through the same discarded buffers, as the canvas draws.
    IDirect3DTexture9* texture =
        testing::makeTexture(device.get(), 8, 8, D3DFMT_X8R8G8B8,
                             [](int x, int y) { return 0xFF000000u | (x << 8) | y; });
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    for (int y = 0; y < 8; ++y) {
        testing::drawQuads(device.get(), texture,
                           {testing::rectQuad(0, static_cast<float>(y), 8, y + 1.0f, 0, y / 8.0f, 1,
                                              (y + 1) / 8.0f)});
    }
    EXPECT_EQ(testing::packedTexels(device.target()), testing::packedTexels(texture->view()));
    texture->Release();
}

TEST(D3D9Device, DrawsAreRefusedOutsideAScene) {
    TestDevice device(8, 8);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1),
              D3DERR_INVALIDCALL);  // no stream bound
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

TEST(D3D9Device, DrawsReadingPastTheirBuffersAreRefused) {
    TestDevice device(8, 8);
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(
        device->CreateVertexBuffer(4 * 28, D3DUSAGE_DYNAMIC, 0x144, D3DPOOL_DEFAULT, &vb, nullptr),
        D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(12, D3DUSAGE_DYNAMIC, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib,
                                        nullptr),
              D3D_OK);
    void* data = nullptr;
    ib->Lock(0, 0, &data, D3DLOCK_DISCARD);
    const std::uint16_t indices[6] = {0, 1, 3, 1, 2, 9};  // 9 is past the four vertices
    std::memcpy(data, indices, sizeof indices);
    ib->Unlock();
    device->SetFVF(0x144);
    device->SetStreamSource(0, vb, 0, 28);
    device->SetIndices(ib);
    device->BeginScene();
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0x7FFFFFFF, 0, 4, 0, 1),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 4, 1), D3DERR_INVALIDCALL);
    device->SetStreamSource(0, vb, 0, 0xFFFFFFFF);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0xFFFFFFF0, 4), D3DERR_INVALIDCALL);
    device->EndScene();
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    vb->Release();
    ib->Release();
}

class RecordingPresenter final : public Presenter {
public:
    void presentFrame(const PresentedFrame& frame) override {
        ++frames;
        last = frame;
        row.resize(static_cast<std::size_t>(frame.width));
        frameRowToRgb32(frame, 0, row.data());
    }
    int frames = 0;
    PresentedFrame last;
    std::vector<std::uint32_t> row;
};

TEST(D3D9Device, PresentHandsTheBackBufferToTheWindow) {
    RecordingPresenter window;
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS params = windowedParams(40, 30);
    params.BackBufferFormat = D3DFMT_R5G6B5;
    params.hDeviceWindow = &window;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, &window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                &params, &device),
              D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00FF0000, 1.0f, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(window.frames, 1);
    EXPECT_EQ(window.last.width, 40);
    EXPECT_EQ(window.last.format, static_cast<std::uint32_t>(D3DFMT_R5G6B5));
    EXPECT_EQ(window.row[39], 0xFFFF0000u);
    device->faults().nextPresentResult = D3DERR_DRIVERINTERNALERROR;
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(window.frames, 2);
    device->Release();
    d3d->Release();
}

TEST(D3D9Device, ClearWritesTheColoursTopByteAsAlpha) {
    TestDevice device(4, 4, D3DFMT_A8R8G8B8);
    const D3DRECT part{1, 1, 3, 9};
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00102030, 1.0f, 0);
    device->Clear(1, &part, D3DCLEAR_TARGET, 0xFF405060, 1.0f, 0);
    EXPECT_EQ(testing::readRaw(device.target(), 0, 0), 0x00102030u);
    EXPECT_EQ(testing::readRaw(device.target(), 2, 3), 0xFF405060u);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0),
              D3DERR_INVALIDCALL);  // no depth surface
}

}  // namespace
}  // namespace vantoro::d3d9
