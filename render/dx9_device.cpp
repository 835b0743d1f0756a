#include "render/dx9_device.h"

#include "d3d9/d3d9_device.h"
#include "pixels/dx9_textures.h"
#include "pixels/dx9_types.h"
#include "pixels/shared_device.h"
#include "render/dx9_canvas.h"
#include "render/dx9_notify.h"

namespace vantoro {

namespace {

// SDK version 32 with the debug-information bit.
constexpr UINT kDirect3DVersion = 0x80000020u;

// Devices whose textures cannot exceed 2000 texels a side, or with 16 MiB
// of texture memory or less, cannot show the largest images and views.
constexpr DWORD kMinTextureSide = 2000;
constexpr UINT kMinTextureMemory = 0x1000000u;

// The platform's Boolean true, all bits set.
constexpr BOOL kTrue = -1;

bool meetsMinimum(const D3DCAPS9& caps, UINT availableTextureMemory) {
    return caps.MaxTextureWidth > kMinTextureSide && caps.MaxTextureHeight > kMinTextureSide &&
           availableTextureMemory > kMinTextureMemory;
}

bool hasMode(IDirect3D9& d3d, D3DFORMAT format, UINT width, UINT height, UINT refresh) {
    const UINT count = d3d.GetAdapterModeCount(D3DADAPTER_DEFAULT, format);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode;
        if (FAILED(d3d.EnumAdapterModes(D3DADAPTER_DEFAULT, format, i, &mode))) continue;
        if (mode.Width == width && mode.Height == height &&
            (refresh == 0 || mode.RefreshRate == refresh)) {
            return true;
        }
    }
    return false;
}

}  // namespace

namespace detail {

std::array<D3DFORMAT, 5> displayFormatOrder(TBitDepth depth) {
    if (depth == TBitDepth::bdHigh) {
        return {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5};
    }
    return {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_X8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8};
}

std::array<D3DFORMAT, 6> depthFormatOrder(TBitDepth depth) {
    if (depth == TBitDepth::bdHigh) {
        return {D3DFMT_D32, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D24X8, D3DFMT_D15S1, D3DFMT_D16};
    }
    return {D3DFMT_D16, D3DFMT_D15S1, D3DFMT_D32, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D24X8};
}

D3DFORMAT findDisplayFormat(IDirect3D9& d3d, TBitDepth depth, std::int32_t width,
                            std::int32_t height, std::int32_t refresh) {
    for (D3DFORMAT format : displayFormatOrder(depth)) {
        if (hasMode(d3d, format, static_cast<UINT>(width), static_cast<UINT>(height),
                    static_cast<UINT>(refresh))) {
            return format;
        }
    }
    return D3DFMT_UNKNOWN;
}

D3DFORMAT findDepthFormat(IDirect3D9& d3d, TBitDepth depth, D3DFORMAT backBufferFormat) {
    for (D3DFORMAT format : depthFormatOrder(depth)) {
        if (SUCCEEDED(d3d.CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, backBufferFormat,
                                            D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, format))) {
            return format;
        }
    }
    return D3DFMT_UNKNOWN;
}

}  // namespace detail

TDX9Device::TDX9Device() : FCanvas(std::make_unique<TDXDrawCanvas>()) {}

TDX9Device::~TDX9Device() {
    if (FInitialized) Finalize();
}

// --- Start-up and shutdown -------------------------------------------------------

bool TDX9Device::Initialize() {
    FErrorMsg = "Direct3D nil";
    const SharedDevice& shared = sharedDevice();
    if (FInitialized || shared.d3d != nullptr || shared.device != nullptr) return false;
    FInitialized = createAndCheckDevice();
    if (!FInitialized) {
        // Nothing stays held, so a later Initialize (of this or another
        // device) starts afresh instead of meeting "Direct3D nil".
        releaseShared();
        return false;
    }
    sharedDevice().device->SetDialogBoxMode(kTrue);  // only matters for full screen
    bool success = startCanvas();
    // A handler is not called for a device that has already been finalised:
    // it would create its textures on a released device.
    if (success && OnInitialize) {
        OnInitialize(*this, success, FErrorMsg);
        if (!success) Finalize();
    }
    return success;
}

// Steps from creating the Direct3D object to the capability check; each
// sets FErrorMsg first, so a failure leaves the step's text.
bool TDX9Device::createAndCheckDevice() {
    SharedDevice& shared = sharedDevice();
    FErrorMsg = "Create Direct3D error";
    shared.d3d = Direct3DCreate9(kDirect3DVersion);
    if (shared.d3d == nullptr) return false;

    FAdapterIdentifier = D3DADAPTER_IDENTIFIER9{};
    if (shared.d3d->GetAdapterCount() > 0) {
        shared.d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &FAdapterIdentifier);
    }
    FillPresentParams();

    FErrorMsg = "CreateDevice error";
    FLost = false;
    if (!createDevice()) return false;

    shared.caps = D3DCAPS9{};
    FErrorMsg = "GetDeviceCaps error";
    FAvailableTextureMemory = shared.device->GetAvailableTextureMem();
    if (FAILED(shared.device->GetDeviceCaps(&shared.caps))) return false;

    FErrorMsg = "电脑配置达不到游戏运行最低要求。";
    return meetsMinimum(shared.caps, shared.device->GetAvailableTextureMem());
}

// Hardware vertex processing first when asked for, software otherwise or
// when that was refused.
bool TDX9Device::createDevice() {
    SharedDevice& shared = sharedDevice();
    HWND focus = shared.presentParams.hDeviceWindow;
    HRESULT result = D3DERR_NOTAVAILABLE;
    if (m_hardwareTL) {
        result = shared.d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, focus,
                                          D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                          &shared.presentParams, &shared.device);
    }
    if (FAILED(result)) {
        result = shared.d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, focus,
                                          D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                          &shared.presentParams, &shared.device);
    }
    return SUCCEEDED(result) && shared.device != nullptr;
}

// The canvas hears NotifyDeviceCreated first; the listener hears it even
// when the canvas failed, after which the device is finalised again.
bool TDX9Device::startCanvas() {
    const bool canvasReady = FCanvas->HandleNotify(NotifyDeviceCreated);
    FErrorMsg = "Device Initialize error";
    if (OnNotifyEvent) OnNotifyEvent(*this, NotifyDeviceCreated);
    if (!canvasReady) Finalize();
    return canvasReady;
}

bool TDX9Device::Finalize() {
    if (!FInitialized) return false;
    if (OnFinalize) OnFinalize(*this);
    notify(NotifyDeviceDestroying);
    releaseShared();
    FInitialized = false;
    return true;
}

// Textures still alive keep the device object itself alive until they go;
// the shared state forgets it now.
void TDX9Device::releaseShared() {
    SharedDevice& shared = sharedDevice();
    if (shared.device != nullptr) shared.device->Release();
    if (shared.d3d != nullptr) shared.d3d->Release();
    shared = SharedDevice{};
}

// --- Presentation parameters ---------------------------------------------------

D3DFORMAT TDX9Device::backBufferFormat() const {
    IDirect3D9& d3d = *sharedDevice().d3d;
    if (!m_windowed) {
        return detail::findDisplayFormat(d3d, m_bitDepth, m_width, m_height, m_refresh);
    }
    D3DDISPLAYMODE desktop;
    if (FAILED(d3d.GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop))) return D3DFMT_UNKNOWN;
    return desktop.Format;
}

void TDX9Device::FillPresentParams() {
    D3DPRESENT_PARAMETERS& params = sharedDevice().presentParams;
    params = D3DPRESENT_PARAMETERS{};
    params.BackBufferWidth = static_cast<UINT>(m_width);
    params.BackBufferHeight = static_cast<UINT>(m_height);
    params.BackBufferCount = 1;
    params.MultiSampleType = D3DMULTISAMPLE_NONE;
    params.MultiSampleQuality = 0;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = m_windowHandle;
    params.Windowed = m_windowed ? kTrue : 0;
    params.BackBufferFormat = backBufferFormat();
    params.FullScreen_RefreshRateInHz = static_cast<UINT>(m_refresh);
    params.PresentationInterval = m_vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
    params.Flags = m_lockBackBuffer ? D3DPRESENTFLAG_LOCKABLE_BACKBUFFER : 0;
    if (m_depthBuffer) {
        params.Flags |= D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
        params.EnableAutoDepthStencil = kTrue;
        params.AutoDepthStencilFormat =
            detail::findDepthFormat(*sharedDevice().d3d, m_bitDepth, params.BackBufferFormat);
    }
}

// Before every reset: the device window, the flags and the depth format
// keep the values the device was created with.
void TDX9Device::UpdatePresentParams() {
    D3DPRESENT_PARAMETERS& params = sharedDevice().presentParams;
    params.BackBufferWidth = static_cast<UINT>(m_width);
    params.BackBufferHeight = static_cast<UINT>(m_height);
    params.Windowed = m_windowed ? kTrue : 0;
    params.BackBufferFormat = backBufferFormat();
    params.PresentationInterval = m_vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
}

// --- Frames ---------------------------------------------------------------------

bool TDX9Device::notify(std::uint32_t code) {
    const bool result = FCanvas->HandleNotify(code);
    if (OnNotifyEvent) OnNotifyEvent(*this, code);
    return result;
}

bool TDX9Device::Clear(std::uint32_t color, bool clearDepth) {
    if (!FInitialized) return false;
    const DWORD flags = D3DCLEAR_TARGET | (clearDepth ? D3DCLEAR_ZBUFFER : 0);
    return SUCCEEDED(
        sharedDevice().device->Clear(0, nullptr, flags, toDeviceColor(color), 1.0f, 0));
}

bool TDX9Device::ClearTarget(std::uint32_t color) {
    return Clear(color, m_depthBuffer);
}

bool TDX9Device::BeginScene() {
    if (!FInitialized || FAILED(sharedDevice().device->BeginScene())) return false;
    notify(NotifyBeginScene);
    return true;
}

bool TDX9Device::EndScene() {
    if (!FInitialized) return false;
    notify(NotifyEndScene);  // the canvas flushes its batch
    // A listener may have finalised the device meanwhile.
    return FInitialized && SUCCEEDED(sharedDevice().device->EndScene());
}

bool TDX9Device::Render(std::uint32_t color, bool doClear) {
    if (!FInitialized || !doClear || !ClearTarget(color) || !OnRender || !BeginScene()) {
        return false;
    }
    try {
        OnRender(*this);
    } catch (...) {
        EndScene();
        throw;
    }
    return EndScene();
}

void TDX9Device::RenderTo(TDXRenderTargetTexture* target, std::uint32_t color, bool doClear,
                          const TNotifyEvent& handler) {
    if (target == nullptr || !target->IsActive() || !FInitialized || !handler) return;
    if (!target->BeginRenderTarget()) return;
    // The target goes back to the device's own in every case, also when the
    // clear fails: a target left bound would receive the next frame.
    if (doClear && !Clear(color, target->FDepthBuffer)) {
        target->EndRenderTarget();
        return;
    }
    BeginScene();
    try {
        handler(*this);
    } catch (...) {
        EndScene();
        target->EndRenderTarget();
        throw;
    }
    EndScene();
    target->EndRenderTarget();
}

// --- Loss and reset ---------------------------------------------------------------

HRESULT TDX9Device::resetWithCurrentParams() {
    return sharedDevice().device->Reset(&sharedDevice().presentParams);
}

void TDX9Device::announceLoss() {
    if (FLost) return;
    notify(NotifyDeviceLost);
    FLost = true;
}

// The reset that ends an announced loss is announced too.
HRESULT TDX9Device::resetAfterLoss() {
    const HRESULT result = resetWithCurrentParams();
    if (SUCCEEDED(result) && FLost) {
        notify(NotifyDeviceReset);
        FLost = false;
    }
    return result;
}

bool TDX9Device::Presentable() const {
    if (!FInitialized || FLost) return false;
    IDirect3DDevice9* device = sharedDevice().device;
    return device != nullptr && device->TestCooperativeLevel() == D3D_OK;
}

bool TDX9Device::Flip() {
    if (!FInitialized) return false;
    IDirect3DDevice9* device = sharedDevice().device;
    HRESULT result = device->Present(nullptr, nullptr, nullptr, nullptr);
    if (result == D3DERR_DEVICELOST) {
        announceLoss();
        result = device->TestCooperativeLevel();
        if (result == D3DERR_DEVICENOTRESET) result = resetAfterLoss();
    }
    if (result == D3DERR_DRIVERINTERNALERROR) {
        // A reset only succeeds once the DEFAULT-pool resources are gone, so
        // their holders hear of it as of a loss first.
        announceLoss();
        result = resetAfterLoss();
        if (FAILED(result)) {
            Finalize();
            return false;
        }
    }
    return SUCCEEDED(result);
}

// A successful reset ends an announced loss: the next loss must be
// announced again, or its holders would keep the resources that block the
// reset.
bool TDX9Device::ResetDevice() {
    if (!FInitialized) return false;
    notify(NotifyDeviceLost);
    UpdatePresentParams();
    if (FAILED(resetWithCurrentParams())) return false;
    FLost = false;
    notify(NotifyDeviceReset);
    return true;
}

// --- Property writers -------------------------------------------------------------

void TDX9Device::resetOnChange() {
    if (FInitialized) ResetDevice();
}

void TDX9Device::SetWidth(std::int32_t value) {
    m_width = value;
    resetOnChange();
}

void TDX9Device::SetHeight(std::int32_t value) {
    m_height = value;
    resetOnChange();
}

void TDX9Device::SetWindowed(bool value) {
    m_windowed = value;
    resetOnChange();
}

void TDX9Device::SetVSync(bool value) {
    m_vsync = value;
    resetOnChange();
}

void TDX9Device::SetHardwareTL(bool value) {
    m_hardwareTL = value;
    resetOnChange();
}

void TDX9Device::SetRefresh(std::int32_t value) {
    if (!FInitialized) m_refresh = value;
}

void TDX9Device::SetDepthBuffer(bool value) {
    if (!FInitialized) m_depthBuffer = value;
}

void TDX9Device::SetWindowHandle(HWND value) {
    if (!FInitialized) m_windowHandle = value;
}

}  // namespace vantoro
