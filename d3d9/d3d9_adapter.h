// The one display adapter of the stand-in and the Direct3D object that
// reports it and creates devices on it.
//
// By default the adapter passes every check the renderer makes on start-up.
// Tests describe another adapter (small textures, little memory, no
// full-screen mode of the wanted size, refusals) before Direct3DCreate9 to
// reach the start-up failures.
#pragma once

#include <vector>

#include "d3d9/d3d9_records.h"
#include "d3d9/d3d9_unknown.h"

namespace vantoro::d3d9 {

struct AdapterDescription {
    D3DADAPTER_IDENTIFIER9 identifier;
    D3DDISPLAYMODE desktopMode;
    std::vector<D3DDISPLAYMODE> fullScreenModes;
    std::vector<D3DFORMAT> depthStencilFormats;  // what CheckDeviceFormat accepts
    DWORD maxTextureWidth = 8192;
    DWORD maxTextureHeight = 8192;
    UINT availableTextureMemory = 256u << 20;
    bool hardwareVertexProcessing = true;
    // Refusals, for the failure paths of device start-up.
    bool refuseCreate = false;   // Direct3DCreate9 answers null
    bool refuseCaps = false;     // GetDeviceCaps fails
    bool refuseBuffers = false;  // vertex and index buffers cannot be created

    // A 1920 x 1080 X8R8G8B8 desktop, the usual full-screen modes in
    // X8R8G8B8 and R5G6B5 at 60 Hz, D24S8 / D24X8 / D16, 8192-texel textures
    // and 256 MiB of texture memory.
    static AdapterDescription standard();
};

// The adapter every later Direct3DCreate9 reports.
void setAdapterDescription(const AdapterDescription& description);
const AdapterDescription& adapterDescription();

// Describes another adapter for the life of the object, then the standard one.
class ScopedAdapter {
public:
    explicit ScopedAdapter(const AdapterDescription& description) {
        setAdapterDescription(description);
    }
    ~ScopedAdapter() { setAdapterDescription(AdapterDescription::standard()); }
    ScopedAdapter(const ScopedAdapter&) = delete;
    ScopedAdapter& operator=(const ScopedAdapter&) = delete;
};

// Checks presentation parameters against the adapter and fills in what the
// platform fills in (a windowed UNKNOWN back-buffer format becomes the
// desktop format, a back-buffer count of 0 becomes 1).
HRESULT resolvePresentParameters(const AdapterDescription& adapter, D3DPRESENT_PARAMETERS& params);

D3DCAPS9 capsOf(const AdapterDescription& adapter);

}  // namespace vantoro::d3d9

class IDirect3D9 final : public IUnknown {
public:
    UINT GetAdapterCount() { return 1; }
    HRESULT GetAdapterIdentifier(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER9* pIdentifier);
    UINT GetAdapterModeCount(UINT Adapter, D3DFORMAT Format);
    HRESULT EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode);
    HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode);
    HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                              DWORD Usage, D3DRESOURCETYPE RType, D3DFORMAT CheckFormat);
    HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps);
    HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow,
                         DWORD BehaviorFlags, D3DPRESENT_PARAMETERS* pPresentationParameters,
                         IDirect3DDevice9** ppReturnedDeviceInterface);

    const vantoro::d3d9::AdapterDescription& description() const { return m_adapter; }

private:
    friend IDirect3D9* Direct3DCreate9(UINT SDKVersion);
    explicit IDirect3D9(const vantoro::d3d9::AdapterDescription& adapter) : m_adapter(adapter) {}

    std::vector<D3DDISPLAYMODE> modesOf(D3DFORMAT format) const;

    vantoro::d3d9::AdapterDescription m_adapter;
};

// Null for an unknown SDK version (32, with or without the debug bit
// 0x80000000) or when the adapter refuses.
IDirect3D9* Direct3DCreate9(UINT SDKVersion);
