// Frames and the lost / reset protocol: scenes, clears, presenting, and
// getting a lost device back.
#include <algorithm>

#include "d3d9/d3d9_device.h"
#include "d3d9/d3d9_fast_paths.h"

using vantoro::d3d9::ClipRect;
using vantoro::d3d9::CooperativeLevel;

HRESULT IDirect3DDevice9::BeginScene() {
    if (m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::EndScene() {
    if (!m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color,
                                float /*Z*/, DWORD /*Stencil*/) {
    const DWORD known = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    if (Flags == 0 || (Flags & ~known) || (Count > 0 && pRects == nullptr))
        return D3DERR_INVALIDCALL;
    if ((Flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && m_depthStencil == nullptr)
        return D3DERR_INVALIDCALL;
    if (!operational() || m_renderTarget == nullptr) return D3D_OK;  // a lost device draws nothing
    // Depth values are not kept: no draw of this renderer tests depth.
    if (!(Flags & D3DCLEAR_TARGET)) return D3D_OK;
    const auto target = m_renderTarget->view();
    const ClipRect viewport{static_cast<std::int32_t>(m_viewport.X),
                            static_cast<std::int32_t>(m_viewport.Y),
                            static_cast<std::int32_t>(m_viewport.X + m_viewport.Width),
                            static_cast<std::int32_t>(m_viewport.Y + m_viewport.Height)};
    const auto color = vantoro::d3d9::rgbaOfColor(Color);
    if (Count == 0 || pRects == nullptr) {
        vantoro::d3d9::clearRect(target, viewport, color);
        return D3D_OK;
    }
    for (DWORD i = 0; i < Count; ++i) {
        const ClipRect r{
            std::max(pRects[i].x1, viewport.left), std::max(pRects[i].y1, viewport.top),
            std::min(pRects[i].x2, viewport.right), std::min(pRects[i].y2, viewport.bottom)};
        vantoro::d3d9::clearRect(target, r, color);
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice9::Present(const RECT* /*pSourceRect*/, const RECT* /*pDestRect*/,
                                  HWND hDestWindowOverride, const void* /*pDirtyRegion*/) {
    if (m_inScene) return D3DERR_INVALIDCALL;
    if (!operational()) return D3DERR_DEVICELOST;
    if (FAILED(m_faults.nextPresentResult)) {
        const HRESULT injected = m_faults.nextPresentResult;
        m_faults.nextPresentResult = D3D_OK;
        return injected;
    }
    HWND window = hDestWindowOverride
                      ? hDestWindowOverride
                      : (m_params.hDeviceWindow ? m_params.hDeviceWindow : m_focusWindow);
    if (window != nullptr && m_backBuffer != nullptr) {
        const auto view = m_backBuffer->view();
        window->presentFrame(vantoro::d3d9::PresentedFrame{view.bits, view.pitch, view.width,
                                                           view.height, view.format});
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice9::TestCooperativeLevel() {
    switch (m_level) {
        case CooperativeLevel::Lost:
            return D3DERR_DEVICELOST;
        case CooperativeLevel::NotReset:
            return D3DERR_DEVICENOTRESET;
        default:
            return D3D_OK;
    }
}

void IDirect3DDevice9::loseDevice() {
    if (m_level == CooperativeLevel::Operational) m_level = CooperativeLevel::Lost;
}

void IDirect3DDevice9::endDeviceLoss() {
    if (m_level == CooperativeLevel::Lost) m_level = CooperativeLevel::NotReset;
}

HRESULT IDirect3DDevice9::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) {
    if (pPresentationParameters == nullptr) return D3DERR_INVALIDCALL;
    if (m_level == CooperativeLevel::Lost) return D3DERR_DEVICELOST;  // not yet possible
    // The scene, the states and the bindings go whether or not the reset succeeds.
    m_inScene = false;
    m_states =
        vantoro::d3d9::defaultDeviceStates(pPresentationParameters->EnableAutoDepthStencil != 0);
    unbindAll();
    D3DPRESENT_PARAMETERS params = *pPresentationParameters;
    HRESULT result = liveDefaultResources() > 0 ? D3DERR_INVALIDCALL : D3D_OK;
    if (SUCCEEDED(result))
        result = vantoro::d3d9::resolvePresentParameters(m_d3d->description(), params);
    if (FAILED(result)) {
        m_level = CooperativeLevel::NotReset;
        return result;
    }
    destroyImplicitSurfaces();
    m_params = params;
    *pPresentationParameters = params;
    createImplicitSurfaces();
    m_level = CooperativeLevel::Operational;
    return D3D_OK;
}
