#include "render/dx9_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#include "d3d9/d3d9_device.h"
#include "pixels/dx9_textures.h"
#include "pixels/shared_device.h"
#include "render/dx9_notify.h"

namespace vantoro {
namespace {

using d3d9::AdapterDescription;
using d3d9::ScopedAdapter;

constexpr std::uint32_t kFinalizeEvent = 0;  // OnFinalize, in the recorded order

// Everything a device tells its listeners, in order.
struct Recorder {
    explicit Recorder(TDX9Device& device) : device(device) {
        device.OnNotifyEvent = [this](TDX9Device&, std::uint32_t code) { codes.push_back(code); };
        device.OnFinalize = [this](TDX9Device&) { codes.push_back(kFinalizeEvent); };
    }
    // The device may outlive the recorder and still finalise.
    ~Recorder() {
        device.OnNotifyEvent = nullptr;
        device.OnFinalize = nullptr;
    }
    std::vector<std::uint32_t> take() { return std::exchange(codes, {}); }
    TDX9Device& device;
    std::vector<std::uint32_t> codes;
};

using Codes = std::vector<std::uint32_t>;

struct CountingWindow : d3d9::Presenter {
    void presentFrame(const d3d9::PresentedFrame& frame) override {
        ++frames;
        width = frame.width;
    }
    int frames = 0;
    std::int32_t width = 0;
};

IDirect3DDevice9& d3dDevice() {
    return *sharedDevice().device;
}

std::uint32_t texel32(const d3d9::SurfaceView& view, int x, int y) {
    std::uint32_t value = 0;
    std::memcpy(&value, view.at(x, y), 4);
    return value;
}

std::uint32_t backBufferTexel(int x, int y) {
    IDirect3DSurface9* backBuffer = nullptr;
    if (FAILED(d3dDevice().GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer))) return 0;
    const std::uint32_t value = texel32(backBuffer->view(), x, y);
    backBuffer->Release();  // a held back buffer would block resets
    return value;
}

IDirect3DSurface9* currentTarget() {
    IDirect3DSurface9* surface = nullptr;
    d3dDevice().GetRenderTarget(0, &surface);
    if (surface != nullptr) surface->Release();  // still bound: the pointer stays valid
    return surface;
}

TEST(TDX9DeviceTest, UninitialisedDeviceHasItsDefaultsAndDoesNothing) {
    TDX9Device device;
    EXPECT_EQ(device.Width(), 800);
    EXPECT_EQ(device.Height(), 600);
    EXPECT_EQ(device.BitDepth(), TBitDepth::bdLow);
    EXPECT_TRUE(device.Windowed() && device.VSync() && device.HardwareTL() && device.DepthBuffer());
    EXPECT_FALSE(device.LockBackBuffer());
    EXPECT_EQ(device.WindowHandle(), nullptr);
    bool rendered = false;
    device.OnRender = [&](TDX9Device&) { rendered = true; };
    EXPECT_FALSE(device.Finalize());
    EXPECT_FALSE(device.Render(0, true));
    EXPECT_FALSE(device.Flip());
    EXPECT_FALSE(device.ResetDevice());
    EXPECT_FALSE(rendered);
}

TEST(TDX9DeviceTest, InitializeSharesTheDeviceAndOnlyOneMayHoldIt) {
    TDX9Device device;
    CountingWindow window;
    device.SetWindowHandle(&window);
    Recorder recorder(device);
    int initializeCalls = 0;
    device.OnInitialize = [&](TDX9Device&, bool& success, std::string&) {
        EXPECT_TRUE(success);
        ++initializeCalls;
    };
    ASSERT_TRUE(device.Initialize());
    EXPECT_EQ(device.ErrorMsg(), "Device Initialize error");
    EXPECT_EQ(recorder.take(), Codes{NotifyDeviceCreated});
    EXPECT_EQ(initializeCalls, 1);
    EXPECT_STREQ(device.AdapterIdentifier().Description, "Vantoro software adapter");
    EXPECT_EQ(device.AvailableTextureMemory(), 256u << 20);

    const D3DPRESENT_PARAMETERS& params = sharedDevice().presentParams;
    EXPECT_EQ(params.BackBufferWidth, 800u);
    EXPECT_EQ(params.BackBufferFormat, D3DFMT_X8R8G8B8);  // the desktop's
    EXPECT_EQ(params.Windowed, -1);
    EXPECT_EQ(params.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(params.Flags, D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL);
    EXPECT_EQ(params.PresentationInterval, D3DPRESENT_INTERVAL_ONE);
    EXPECT_GT(sharedDevice().caps.MaxTextureWidth, 2000u);
    EXPECT_TRUE(device.Flip());
    EXPECT_EQ(window.frames, 1);
    EXPECT_EQ(window.width, 800);

    EXPECT_FALSE(device.Initialize());
    EXPECT_EQ(device.ErrorMsg(), "Direct3D nil");
    EXPECT_TRUE(device.Initialized());
    TDX9Device second;
    EXPECT_FALSE(second.Initialize());
    EXPECT_EQ(second.ErrorMsg(), "Direct3D nil");
    EXPECT_TRUE(recorder.take().empty());

    EXPECT_TRUE(device.Finalize());
    EXPECT_EQ(recorder.take(), (Codes{kFinalizeEvent, NotifyDeviceDestroying}));
    EXPECT_EQ(sharedDevice().device, nullptr);
    EXPECT_EQ(sharedDevice().d3d, nullptr);
    EXPECT_TRUE(second.Initialize()) << "free again";
}

TEST(TDX9DeviceTest, EachFailedStepLeavesItsTextAndNothingHeld) {
    auto adapter = [](auto change) {
        AdapterDescription a = AdapterDescription::standard();
        change(a);
        return a;
    };
    const std::string tooWeak = "电脑配置达不到游戏运行最低要求。";
    const std::vector<std::pair<AdapterDescription, std::string>> cases = {
        {adapter([](auto& a) { a.refuseCreate = true; }), "Create Direct3D error"},
        {adapter([](auto& a) { a.depthStencilFormats.clear(); }), "CreateDevice error"},
        {adapter([](auto& a) { a.refuseCaps = true; }), "GetDeviceCaps error"},
        {adapter([](auto& a) { a.maxTextureWidth = 2000; }), tooWeak},
        {adapter([](auto& a) { a.maxTextureHeight = 2000; }), tooWeak},
        {adapter([](auto& a) { a.availableTextureMemory = 0x1000000; }), tooWeak},
    };
    for (const auto& [description, message] : cases) {
        ScopedAdapter scope(description);
        TDX9Device device;
        Recorder recorder(device);
        bool handlerRan = false;
        device.OnInitialize = [&](TDX9Device&, bool&, std::string&) { handlerRan = true; };
        EXPECT_FALSE(device.Initialize()) << message;
        EXPECT_EQ(device.ErrorMsg(), message);
        EXPECT_FALSE(device.Initialized());
        EXPECT_FALSE(handlerRan);
        EXPECT_TRUE(recorder.codes.empty());
        EXPECT_EQ(sharedDevice().d3d, nullptr) << message;
        EXPECT_EQ(sharedDevice().device, nullptr) << message;
    }
    // Just above every limit, and without hardware vertex processing.
    ScopedAdapter scope(adapter([](auto& a) {
        a.maxTextureWidth = a.maxTextureHeight = 2001;
        a.availableTextureMemory = 0x1000001;
        a.hardwareVertexProcessing = false;
    }));
    TDX9Device device;
    EXPECT_TRUE(device.Initialize());
}

TEST(TDX9DeviceTest, InitializeHandlerMayVetoAndRenameTheFailure) {
    TDX9Device device;
    Recorder recorder(device);
    device.OnInitialize = [](TDX9Device&, bool& success, std::string& message) {
        success = false;
        message = "no textures";
    };
    EXPECT_FALSE(device.Initialize());
    EXPECT_EQ(device.ErrorMsg(), "no textures");
    EXPECT_EQ(recorder.take(),
              (Codes{NotifyDeviceCreated, kFinalizeEvent, NotifyDeviceDestroying}));
    EXPECT_EQ(sharedDevice().device, nullptr);
}

TEST(TDX9DeviceTest, CanvasFailureFinalisesWithoutCallingTheHandler) {
    AdapterDescription a = AdapterDescription::standard();
    a.refuseBuffers = true;  // the canvas cannot make its vertex and index buffers
    ScopedAdapter scope(a);
    TDX9Device device;
    Recorder recorder(device);
    bool handlerRan = false;
    device.OnInitialize = [&](TDX9Device&, bool&, std::string&) { handlerRan = true; };
    EXPECT_FALSE(device.Initialize());
    EXPECT_EQ(device.ErrorMsg(), "Device Initialize error");
    EXPECT_EQ(recorder.take(),
              (Codes{NotifyDeviceCreated, kFinalizeEvent, NotifyDeviceDestroying}));
    EXPECT_FALSE(handlerRan);
    EXPECT_EQ(sharedDevice().device, nullptr);
}

// Every candidate is offered; the one found is taken away for the next
// round, so the finds come out in search order.
template <typename Offer, typename Find, std::size_t N>
std::vector<D3DFORMAT> searchOrder(std::array<D3DFORMAT, N> candidates, Offer offer, Find find) {
    std::vector<D3DFORMAT> offered(candidates.begin(), candidates.end());
    std::vector<D3DFORMAT> found;
    while (found.size() <= N) {
        AdapterDescription a = AdapterDescription::standard();
        offer(a, offered);
        ScopedAdapter scope(a);
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        const D3DFORMAT format = find(*d3d);
        d3d->Release();
        if (format == D3DFMT_UNKNOWN) break;
        found.push_back(format);
        std::erase(offered, format);
    }
    return found;
}

TEST(TDX9DeviceTest, DisplayAndDepthFormatsAreSearchedInTheBitDepthsOrder) {
    const std::array<D3DFORMAT, 5> display = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A1R5G5B5,
                                              D3DFMT_X1R5G5B5, D3DFMT_R5G6B5};
    auto offerModes = [](AdapterDescription& a, const std::vector<D3DFORMAT>& formats) {
        a.fullScreenModes.clear();
        for (D3DFORMAT f : formats) a.fullScreenModes.push_back(D3DDISPLAYMODE{800, 600, 60, f});
    };
    auto displayIn = [&](TBitDepth depth) {
        return searchOrder(display, offerModes, [depth](IDirect3D9& d3d) {
            return detail::findDisplayFormat(d3d, depth, 800, 600, 0);
        });
    };
    EXPECT_EQ(displayIn(TBitDepth::bdLow),
              (std::vector<D3DFORMAT>{D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_X8R8G8B8,
                                      D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8}));
    EXPECT_EQ(displayIn(TBitDepth::bdHigh),
              (std::vector<D3DFORMAT>{D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                                      D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5}));

    const std::array<D3DFORMAT, 6> depth = {D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D24X4S4,
                                            D3DFMT_D15S1, D3DFMT_D32,   D3DFMT_D16};
    auto offerDepths = [](AdapterDescription& a, const std::vector<D3DFORMAT>& formats) {
        a.depthStencilFormats = formats;
    };
    auto depthIn = [&](TBitDepth bits) {
        return searchOrder(depth, offerDepths, [bits](IDirect3D9& d3d) {
            return detail::findDepthFormat(d3d, bits, D3DFMT_X8R8G8B8);
        });
    };
    EXPECT_EQ(depthIn(TBitDepth::bdHigh),
              (std::vector<D3DFORMAT>{D3DFMT_D32, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D24X8,
                                      D3DFMT_D15S1, D3DFMT_D16}));
    EXPECT_EQ(depthIn(TBitDepth::bdLow),
              (std::vector<D3DFORMAT>{D3DFMT_D16, D3DFMT_D15S1, D3DFMT_D32, D3DFMT_D24S8,
                                      D3DFMT_D24X4S4, D3DFMT_D24X8}));

    // Only an exact size matches, and the rate when one is asked for.
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    EXPECT_EQ(detail::findDisplayFormat(*d3d, TBitDepth::bdLow, 800, 600, 60), D3DFMT_R5G6B5);
    EXPECT_EQ(detail::findDisplayFormat(*d3d, TBitDepth::bdLow, 800, 600, 75), D3DFMT_UNKNOWN);
    EXPECT_EQ(detail::findDisplayFormat(*d3d, TBitDepth::bdLow, 801, 600, 0), D3DFMT_UNKNOWN);
    d3d->Release();
}

TEST(TDX9DeviceTest, FullScreenSearchesModesWhileWindowedTakesTheDesktop) {
    AdapterDescription a = AdapterDescription::standard();
    a.desktopMode.Format = D3DFMT_R5G6B5;
    ScopedAdapter scope(a);
    {
        TDX9Device device;
        device.SetBitDepth(TBitDepth::bdHigh);
        device.SetRefresh(75);  // no mode has it: ignored when windowed
        ASSERT_TRUE(device.Initialize());
        EXPECT_EQ(sharedDevice().presentParams.BackBufferFormat, D3DFMT_R5G6B5);
    }
    {
        TDX9Device device;
        device.SetWindowed(false);
        device.SetBitDepth(TBitDepth::bdHigh);
        ASSERT_TRUE(device.Initialize());
        EXPECT_EQ(sharedDevice().presentParams.BackBufferFormat, D3DFMT_X8R8G8B8);
        EXPECT_EQ(sharedDevice().presentParams.AutoDepthStencilFormat, D3DFMT_D24S8);
    }
    TDX9Device device;
    device.SetWindowed(false);
    device.SetRefresh(75);
    EXPECT_FALSE(device.Initialize());
    EXPECT_EQ(device.ErrorMsg(), "CreateDevice error");
}

TEST(TDX9DeviceTest, LostDeviceIsAnnouncedOnceAndResetByTheFlipThatCan) {
    TDX9Device device;
    ASSERT_TRUE(device.Initialize());
    Recorder recorder(device);
    EXPECT_TRUE(device.Flip());
    d3dDevice().loseDevice();
    EXPECT_FALSE(device.Flip());
    EXPECT_FALSE(device.Flip());
    EXPECT_EQ(recorder.take(), Codes{NotifyDeviceLost});
    EXPECT_TRUE(device.Lost());
    d3dDevice().endDeviceLoss();
    EXPECT_TRUE(device.Flip());
    EXPECT_EQ(recorder.take(), Codes{NotifyDeviceReset});
    EXPECT_FALSE(device.Lost());
    EXPECT_TRUE(device.Flip());
    EXPECT_TRUE(recorder.take().empty());
}

TEST(TDX9DeviceTest, ResetByAPropertyEndsAnAnnouncedLoss) {
    TDX9Device device;
    ASSERT_TRUE(device.Initialize());
    Recorder recorder(device);
    d3dDevice().loseDevice();
    device.Flip();
    d3dDevice().endDeviceLoss();
    device.SetWidth(640);  // resets before any Flip could
    EXPECT_EQ(recorder.take(), (Codes{NotifyDeviceLost, NotifyDeviceLost, NotifyDeviceReset}));
    EXPECT_TRUE(device.Flip());
    // The next loss must be announced again, or the DEFAULT-pool resources
    // its holders keep would block every reset.
    d3dDevice().loseDevice();
    device.Flip();
    EXPECT_EQ(recorder.take(), Codes{NotifyDeviceLost});
}

TEST(TDX9DeviceTest, DriverInternalErrorResetsOrFinalises) {
    TDX9Device device;
    ASSERT_TRUE(device.Initialize());
    Recorder recorder(device);
    d3dDevice().faults().nextPresentResult = D3DERR_DRIVERINTERNALERROR;
    EXPECT_TRUE(device.Flip());
    EXPECT_EQ(recorder.take(), (Codes{NotifyDeviceLost, NotifyDeviceReset}));

    TDXTexture held;  // a DEFAULT-pool texture nobody releases on the loss
    held.SetFormat(D3DFMT_A8R8G8B8);
    held.SetKind(1);
    ASSERT_TRUE(held.SetActive(true));
    d3dDevice().faults().nextPresentResult = D3DERR_DRIVERINTERNALERROR;
    EXPECT_FALSE(device.Flip());
    EXPECT_EQ(recorder.take(), (Codes{NotifyDeviceLost, kFinalizeEvent, NotifyDeviceDestroying}));
    EXPECT_FALSE(device.Initialized());
    EXPECT_EQ(sharedDevice().device, nullptr);
}

TEST(TDX9DeviceTest, SettersResetTheDeviceOrWaitForTheNextStart) {
    TDX9Device device;
    ASSERT_TRUE(device.Initialize());
    Recorder recorder(device);
    const Codes reset = {NotifyDeviceLost, NotifyDeviceReset};
    device.SetWidth(640);
    EXPECT_EQ(recorder.take(), reset);
    device.SetHeight(480);
    EXPECT_EQ(recorder.take(), reset);
    device.SetVSync(false);
    EXPECT_EQ(recorder.take(), reset);
    device.SetHardwareTL(false);
    EXPECT_EQ(recorder.take(), reset);
    device.SetWindowed(false);
    EXPECT_EQ(recorder.take(), reset);
    const D3DPRESENT_PARAMETERS& params = d3dDevice().presentParameters();
    EXPECT_EQ(params.BackBufferWidth, 640u);
    EXPECT_EQ(params.BackBufferHeight, 480u);
    EXPECT_EQ(params.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_EQ(params.Windowed, 0);
    EXPECT_EQ(params.BackBufferFormat, D3DFMT_R5G6B5);  // bdLow's first full-screen mode

    CountingWindow window;
    device.SetRefresh(60);
    device.SetDepthBuffer(false);
    device.SetWindowHandle(&window);
    device.SetBitDepth(TBitDepth::bdHigh);
    EXPECT_TRUE(recorder.take().empty());
    EXPECT_EQ(device.Refresh(), 0);
    EXPECT_TRUE(device.DepthBuffer());
    EXPECT_EQ(device.WindowHandle(), nullptr);
    EXPECT_EQ(device.BitDepth(), TBitDepth::bdHigh);

    device.SetWidth(0);  // refused by the device: lost until a good size comes
    EXPECT_EQ(recorder.take(), Codes{NotifyDeviceLost});
    device.SetWidth(640);  // 640 x 480 has a full-screen mode again
    EXPECT_EQ(recorder.take(), reset);
    device.Finalize();
    device.SetRefresh(60);
    EXPECT_EQ(device.Refresh(), 60);
}

TEST(TDX9DeviceTest, RenderClearsDrawsAndEndsTheScene) {
    TDX9Device device;
    ASSERT_TRUE(device.Initialize());
    Recorder recorder(device);
    bool inScene = false;
    device.OnRender = [&](TDX9Device&) { inScene = d3dDevice().inScene(); };
    EXPECT_FALSE(device.Render(0x00112233, false));
    EXPECT_FALSE(inScene);
    EXPECT_TRUE(recorder.codes.empty());

    ASSERT_TRUE(device.Render(0x00112233, true));
    EXPECT_TRUE(inScene);
    EXPECT_EQ(recorder.take(), (Codes{NotifyBeginScene, NotifyEndScene}));
    EXPECT_EQ(backBufferTexel(5, 5), 0xFF332211u) << "red and blue exchanged";

    device.OnRender = [](TDX9Device&) { throw std::runtime_error("handler"); };
    EXPECT_THROW(device.Render(0, true), std::runtime_error);
    EXPECT_FALSE(d3dDevice().inScene());
    EXPECT_EQ(recorder.take(), (Codes{NotifyBeginScene, NotifyEndScene}));
}

TEST(TDX9DeviceTest, RenderToPutsTheDevicesOwnTargetBack) {
    TDX9Device device;
    ASSERT_TRUE(device.Initialize());
    TDXRenderTargetTexture target;
    target.SetSize(64, 32);
    ASSERT_TRUE(target.SetActive(true));
    EXPECT_EQ(target.FFormat, static_cast<std::uint32_t>(D3DFMT_X8R8G8B8));
    IDirect3DSurface9* own = currentTarget();
    IDirect3DSurface9* drawnInto = nullptr;
    auto handler = [&](TDX9Device&) { drawnInto = currentTarget(); };
    device.RenderTo(&target, 0x000000FF, true, handler);
    EXPECT_EQ(drawnInto, target.FSurface);
    EXPECT_EQ(currentTarget(), own);
    EXPECT_FALSE(d3dDevice().inScene());
    EXPECT_EQ(texel32(target.FTexture->view(), 63, 31), 0xFFFF0000u);

    // A clear that fails (the target wants a depth buffer it lacks) leaves
    // the device's own target and depth surface bound, and draws nothing.
    IDirect3DSurface9* ownDepth = nullptr;
    d3dDevice().GetDepthStencilSurface(&ownDepth);
    ownDepth->Release();
    target.FDepthBuffer = true;
    drawnInto = nullptr;
    device.RenderTo(&target, 0, true, handler);
    EXPECT_EQ(drawnInto, nullptr);
    EXPECT_EQ(currentTarget(), own);
    IDirect3DSurface9* depth = nullptr;
    d3dDevice().GetDepthStencilSurface(&depth);
    EXPECT_EQ(depth, ownDepth);
    depth->Release();

    target.FDepthBuffer = false;
    target.SetActive(false);
    device.RenderTo(&target, 0, true, handler);
    EXPECT_EQ(drawnInto, nullptr) << "inactive targets are skipped";
}

// The canvas holds DEFAULT-pool buffers from NotifyDeviceCreated until
// NotifyDeviceLost; a listener hearing either must find the canvas done.
TEST(TDX9DeviceTest, CanvasHearsEachNotificationBeforeTheListener) {
    std::vector<std::size_t> liveWhenHeard;
    TDX9Device device;
    device.OnNotifyEvent = [&](TDX9Device&, std::uint32_t) {
        liveWhenHeard.push_back(d3dDevice().liveDefaultResources());
    };
    ASSERT_TRUE(device.Initialize());
    const std::size_t canvasBuffers = d3dDevice().liveDefaultResources();
    d3dDevice().loseDevice();
    device.Flip();
    EXPECT_EQ(liveWhenHeard, (std::vector<std::size_t>{canvasBuffers, 0}));
    device.OnNotifyEvent = nullptr;
}

}  // namespace
}  // namespace vantoro
