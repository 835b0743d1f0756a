#include "d3d9/d3d9_adapter.h"

#include <algorithm>
#include <cstdio>

#include "d3d9/d3d9_device.h"
#include "d3d9/d3d9_texels.h"

namespace vantoro::d3d9 {

namespace {

AdapterDescription& currentAdapter() {
    static AdapterDescription adapter = AdapterDescription::standard();
    return adapter;
}

bool isDisplayFormat(D3DFORMAT format) {
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5;
}

// Formats a back buffer may have.
bool isBackBufferFormat(D3DFORMAT format) {
    return isDisplayFormat(format) || format == D3DFMT_A8R8G8B8 || format == D3DFMT_A1R5G5B5;
}

constexpr UINT kMaxBackBufferSide = 16384;

HRESULT resolveBackBufferFormat(const AdapterDescription& adapter, D3DPRESENT_PARAMETERS& params) {
    if (params.Windowed) {
        if (params.BackBufferFormat == D3DFMT_UNKNOWN)
            params.BackBufferFormat = adapter.desktopMode.Format;
        return isBackBufferFormat(params.BackBufferFormat) ? D3D_OK : D3DERR_INVALIDCALL;
    }
    const auto& modes = adapter.fullScreenModes;
    const bool found = std::any_of(modes.begin(), modes.end(), [&](const D3DDISPLAYMODE& m) {
        return m.Format == params.BackBufferFormat && m.Width == params.BackBufferWidth &&
               m.Height == params.BackBufferHeight &&
               (params.FullScreen_RefreshRateInHz == 0 ||
                m.RefreshRate == params.FullScreen_RefreshRateInHz);
    });
    return found ? D3D_OK : D3DERR_INVALIDCALL;
}

}  // namespace

AdapterDescription AdapterDescription::standard() {
    AdapterDescription a;
    std::snprintf(a.identifier.Driver, sizeof a.identifier.Driver, "%s", "vantoro_d3d9");
    std::snprintf(a.identifier.Description, sizeof a.identifier.Description, "%s",
                  "Vantoro software adapter");
    std::snprintf(a.identifier.DeviceName, sizeof a.identifier.DeviceName, "%s", "\\\\.\\DISPLAY1");
    a.desktopMode = D3DDISPLAYMODE{1920, 1080, 60, D3DFMT_X8R8G8B8};
    for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
        for (auto [w, h] : {std::pair<UINT, UINT>{640, 480},
                            {800, 600},
                            {1024, 768},
                            {1280, 720},
                            {1920, 1080}}) {
            a.fullScreenModes.push_back(D3DDISPLAYMODE{w, h, 60, format});
        }
    }
    a.depthStencilFormats = {D3DFMT_D24S8, D3DFMT_D24X8, D3DFMT_D16};
    return a;
}

void setAdapterDescription(const AdapterDescription& description) {
    currentAdapter() = description;
}

const AdapterDescription& adapterDescription() {
    return currentAdapter();
}

HRESULT resolvePresentParameters(const AdapterDescription& adapter, D3DPRESENT_PARAMETERS& params) {
    if (params.BackBufferWidth == 0 || params.BackBufferHeight == 0 ||
        params.BackBufferWidth > kMaxBackBufferSide ||
        params.BackBufferHeight > kMaxBackBufferSide || params.BackBufferCount > 3 ||
        params.MultiSampleType != D3DMULTISAMPLE_NONE ||
        params.SwapEffect < D3DSWAPEFFECT_DISCARD || params.SwapEffect > D3DSWAPEFFECT_COPY) {
        return D3DERR_INVALIDCALL;
    }
    if (params.BackBufferCount == 0) params.BackBufferCount = 1;
    const HRESULT format = resolveBackBufferFormat(adapter, params);
    if (FAILED(format)) return format;
    if (params.EnableAutoDepthStencil) {
        const auto& depth = adapter.depthStencilFormats;
        if (std::find(depth.begin(), depth.end(), params.AutoDepthStencilFormat) == depth.end()) {
            return D3DERR_INVALIDCALL;
        }
    }
    return D3D_OK;
}

D3DCAPS9 capsOf(const AdapterDescription& adapter) {
    D3DCAPS9 caps;
    caps.Caps2 = D3DCAPS2_CANAUTOGENMIPMAP;
    caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    caps.DevCaps = adapter.hardwareVertexProcessing ? D3DDEVCAPS_HWTRANSFORMANDLIGHT : 0;
    caps.PrimitiveMiscCaps = D3DPMISCCAPS_BLENDOP;
    caps.SrcBlendCaps = 0x3FFF | D3DPBLENDCAPS_BLENDFACTOR;
    caps.DestBlendCaps = 0x3FFF | D3DPBLENDCAPS_BLENDFACTOR;
    caps.AlphaCmpCaps = 0xFF;
    caps.TextureCaps = D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    caps.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                             D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    caps.TextureAddressCaps = 0x1F;
    caps.MaxTextureWidth = adapter.maxTextureWidth;
    caps.MaxTextureHeight = adapter.maxTextureHeight;
    caps.MaxTextureBlendStages = 8;
    caps.MaxSimultaneousTextures = 8;
    caps.MaxPrimitiveCount = 0xFFFFF;
    caps.MaxVertexIndex = 0xFFFFF;
    caps.MaxStreams = 1;
    caps.MaxStreamStride = 255;
    caps.NumSimultaneousRTs = 1;
    return caps;
}

}  // namespace vantoro::d3d9

using vantoro::d3d9::AdapterDescription;

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
    if ((SDKVersion & 0x7FFFFFFFu) != D3D_SDK_VERSION) return nullptr;
    const AdapterDescription& adapter = vantoro::d3d9::adapterDescription();
    if (adapter.refuseCreate) return nullptr;
    return new IDirect3D9(adapter);
}

HRESULT IDirect3D9::GetAdapterIdentifier(UINT Adapter, DWORD /*Flags*/,
                                         D3DADAPTER_IDENTIFIER9* pIdentifier) {
    if (Adapter != 0 || pIdentifier == nullptr) return D3DERR_INVALIDCALL;
    *pIdentifier = m_adapter.identifier;
    return D3D_OK;
}

std::vector<D3DDISPLAYMODE> IDirect3D9::modesOf(D3DFORMAT format) const {
    std::vector<D3DDISPLAYMODE> modes;
    for (const D3DDISPLAYMODE& m : m_adapter.fullScreenModes) {
        if (m.Format == format) modes.push_back(m);
    }
    return modes;
}

UINT IDirect3D9::GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) {
    if (Adapter != 0) return 0;
    return static_cast<UINT>(modesOf(Format).size());
}

HRESULT IDirect3D9::EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode,
                                     D3DDISPLAYMODE* pMode) {
    if (Adapter != 0 || pMode == nullptr) return D3DERR_INVALIDCALL;
    const auto modes = modesOf(Format);
    if (Mode >= modes.size()) return D3DERR_INVALIDCALL;
    *pMode = modes[Mode];
    return D3D_OK;
}

HRESULT IDirect3D9::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
    if (Adapter != 0 || pMode == nullptr) return D3DERR_INVALIDCALL;
    *pMode = m_adapter.desktopMode;
    return D3D_OK;
}

HRESULT IDirect3D9::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                      DWORD Usage, D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
    if (Adapter != 0 || DeviceType != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
    if (!vantoro::d3d9::isDisplayFormat(AdapterFormat)) return D3DERR_INVALIDCALL;
    if (Usage & D3DUSAGE_DEPTHSTENCIL) {
        const auto& depth = m_adapter.depthStencilFormats;
        const bool listed = std::find(depth.begin(), depth.end(), CheckFormat) != depth.end();
        return (RType == D3DRTYPE_SURFACE && listed) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    const bool colour = vantoro::d3d9::isColorFormat(CheckFormat);
    return (colour && (RType == D3DRTYPE_TEXTURE || RType == D3DRTYPE_SURFACE))
               ? D3D_OK
               : D3DERR_NOTAVAILABLE;
}

HRESULT IDirect3D9::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) {
    if (Adapter != 0 || pCaps == nullptr) return D3DERR_INVALIDCALL;
    if (DeviceType != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    if (m_adapter.refuseCaps) return D3DERR_NOTAVAILABLE;
    *pCaps = vantoro::d3d9::capsOf(m_adapter);
    return D3D_OK;
}

HRESULT IDirect3D9::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow,
                                 DWORD BehaviorFlags,
                                 D3DPRESENT_PARAMETERS* pPresentationParameters,
                                 IDirect3DDevice9** ppReturnedDeviceInterface) {
    if (ppReturnedDeviceInterface == nullptr) return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = nullptr;
    if (Adapter != 0 || pPresentationParameters == nullptr) return D3DERR_INVALIDCALL;
    if (DeviceType != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    const DWORD processing =
        BehaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                         D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_MIXED_VERTEXPROCESSING) {
        return D3DERR_INVALIDCALL;
    }
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && !m_adapter.hardwareVertexProcessing) {
        return D3DERR_NOTAVAILABLE;
    }
    D3DPRESENT_PARAMETERS params = *pPresentationParameters;
    const HRESULT resolved = vantoro::d3d9::resolvePresentParameters(m_adapter, params);
    if (FAILED(resolved)) return resolved;
    *pPresentationParameters = params;
    *ppReturnedDeviceInterface = new IDirect3DDevice9(*this, params, hFocusWindow);
    return D3D_OK;
}
