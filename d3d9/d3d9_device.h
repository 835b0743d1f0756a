// The device: resources, states, drawing, presentation and the lost / reset
// protocol.
//
// Cooperative levels: operational; lost (a test ended the device's hold on
// the display: Present and TestCooperativeLevel answer DEVICELOST, Reset
// refuses with DEVICELOST); not reset (the loss is over: TestCooperativeLevel
// answers DEVICENOTRESET, Present still DEVICELOST, Reset may succeed).
// While not operational, drawing and clearing do nothing and report success.
// Reset ends any scene, restores every default state and drops every
// binding first, and then fails with INVALIDCALL, leaving the device not
// reset, while the application still holds any DEFAULT-pool resource
// (including the back buffer or depth surface it got from the device).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "d3d9/d3d9_adapter.h"
#include "d3d9/d3d9_device_state.h"
#include "d3d9/d3d9_resources.h"

namespace vantoro::d3d9 {

enum class CooperativeLevel : std::uint8_t { Operational, Lost, NotReset };

// Faults a test may inject into a device.
struct DeviceFaults {
    bool refuseTextures = false;         // CreateTexture answers OUTOFVIDEOMEMORY
    bool refuseBuffers = false;          // CreateVertexBuffer / CreateIndexBuffer likewise
    HRESULT nextPresentResult = D3D_OK;  // answered once by the next Present, if a failure
};

}  // namespace vantoro::d3d9

class IDirect3DDevice9 final : public IUnknown {
public:
    HRESULT TestCooperativeLevel();
    UINT GetAvailableTextureMem();
    HRESULT GetDirect3D(IDirect3D9** ppD3D9);
    HRESULT GetDeviceCaps(D3DCAPS9* pCaps);
    HRESULT GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode);
    HRESULT SetDialogBoxMode(BOOL bEnableDialogs);
    HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters);
    HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                    const void* pDirtyRegion);
    HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                          IDirect3DSurface9** ppBackBuffer);

    HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                          D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle);
    HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                               IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle);
    HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle);
    HRESULT CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                      D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality,
                                      BOOL Discard, IDirect3DSurface9** ppSurface,
                                      HANDLE* pSharedHandle);

    HRESULT SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget);
    HRESULT GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget);
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil);
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface);
    HRESULT SetViewport(const D3DVIEWPORT9* pViewport);
    HRESULT GetViewport(D3DVIEWPORT9* pViewport);

    HRESULT BeginScene();
    HRESULT EndScene();
    HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                  DWORD Stencil);

    HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value);
    HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue);
    HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture);
    HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture);
    HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value);
    HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue);
    HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value);
    HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue);

    HRESULT SetFVF(DWORD FVF);
    HRESULT GetFVF(DWORD* pFVF);
    HRESULT SetVertexShader(const void* pShader);  // only "no shader" (null) is accepted
    HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                            UINT OffsetInBytes, UINT Stride);
    HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData);
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount);
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, std::int32_t BaseVertexIndex,
                                 UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                 UINT primCount);

    // --- Stand-in controls, for tests -------------------------------------------
    // The device loses the display (Present answers DEVICELOST) ...
    void loseDevice();
    // ... and may be reset again (TestCooperativeLevel answers DEVICENOTRESET).
    void endDeviceLoss();
    vantoro::d3d9::CooperativeLevel cooperativeLevel() const { return m_level; }
    vantoro::d3d9::DeviceFaults& faults() { return m_faults; }
    // DEFAULT-pool resources the application still holds.
    std::size_t liveDefaultResources() const;
    bool inScene() const { return m_inScene; }
    const D3DPRESENT_PARAMETERS& presentParameters() const { return m_params; }

    // Resource bookkeeping, called by the resources themselves.
    void registerResource(IDirect3DResource9* resource);
    void unregisterResource(IDirect3DResource9* resource);

private:
    friend class IDirect3D9;
    IDirect3DDevice9(IDirect3D9& d3d, const D3DPRESENT_PARAMETERS& params, HWND focusWindow);
    ~IDirect3DDevice9() override;

    struct Stream {
        IDirect3DVertexBuffer9* buffer = nullptr;
        UINT offset = 0;
        UINT stride = 0;
    };

    template <typename T>
    void bind(T*& slot, T* value) {
        if (value) value->addBinding();
        T* old = slot;
        slot = value;
        if (old) old->releaseBinding();
    }

    void unbindAll();
    void createImplicitSurfaces();
    void destroyImplicitSurfaces();
    void resetViewport();
    bool operational() const { return m_level == vantoro::d3d9::CooperativeLevel::Operational; }
    std::uint64_t defaultPoolBytes() const;
    HRESULT checkTextureRequest(UINT width, UINT height, DWORD usage, D3DFORMAT format,
                                D3DPOOL pool) const;
    vantoro::d3d9::PipelineSetup pipeline();
    HRESULT fetchVertices(D3DPRIMITIVETYPE type, UINT count, std::int32_t base, UINT startIndex,
                          bool indexed, std::vector<vantoro::d3d9::RasterVertex>& out) const;

    IDirect3D9* m_d3d;
    D3DPRESENT_PARAMETERS m_params;
    HWND m_focusWindow;
    vantoro::d3d9::CooperativeLevel m_level = vantoro::d3d9::CooperativeLevel::Operational;
    vantoro::d3d9::DeviceFaults m_faults;
    bool m_inScene = false;
    vantoro::d3d9::DeviceStates m_states;
    D3DVIEWPORT9 m_viewport;

    IDirect3DSurface9* m_backBuffer = nullptr;  // owned
    IDirect3DSurface9* m_autoDepth = nullptr;   // owned; null without automatic depth-stencil
    std::array<IDirect3DBaseTexture9*, kSamplerCount> m_textures{};
    IDirect3DSurface9* m_renderTarget = nullptr;
    IDirect3DSurface9* m_depthStencil = nullptr;
    Stream m_stream;
    IDirect3DIndexBuffer9* m_indices = nullptr;
    DWORD m_fvf = 0;
    std::vector<IDirect3DResource9*> m_resources;
};
