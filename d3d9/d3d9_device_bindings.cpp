// The device's states and bindings: what is set, and what is read back.
#include "d3d9/d3d9_device.h"

HRESULT IDirect3DDevice9::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
    if (State >= kRenderStateCount) return D3DERR_INVALIDCALL;
    m_states.render[State] = Value;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
    if (State >= kRenderStateCount || pValue == nullptr) return D3DERR_INVALIDCALL;
    *pValue = m_states.render[State];
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                               DWORD Value) {
    if (Stage >= kTextureStageCount || Type >= kTextureStageStateCount) return D3DERR_INVALIDCALL;
    m_states.stage[Stage][Type] = Value;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                               DWORD* pValue) {
    if (Stage >= kTextureStageCount || Type >= kTextureStageStateCount || pValue == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *pValue = m_states.stage[Stage][Type];
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
    if (Sampler >= kSamplerCount || Type >= kSamplerStateCount) return D3DERR_INVALIDCALL;
    m_states.sampler[Sampler][Type] = Value;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
    if (Sampler >= kSamplerCount || Type >= kSamplerStateCount || pValue == nullptr)
        return D3DERR_INVALIDCALL;
    *pValue = m_states.sampler[Sampler][Type];
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
    if (Stage >= kSamplerCount) return D3DERR_INVALIDCALL;
    bind(m_textures[Stage], pTexture);
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
    if (Stage >= kSamplerCount || ppTexture == nullptr) return D3DERR_INVALIDCALL;
    *ppTexture = m_textures[Stage];
    if (*ppTexture) (*ppTexture)->AddRef();
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetRenderTarget(DWORD RenderTargetIndex,
                                          IDirect3DSurface9* pRenderTarget) {
    // One render target; it must be a surface made for rendering.
    if (RenderTargetIndex != 0 || pRenderTarget == nullptr ||
        !(pRenderTarget->usage() & D3DUSAGE_RENDERTARGET)) {
        return D3DERR_INVALIDCALL;
    }
    bind(m_renderTarget, pRenderTarget);
    resetViewport();  // the viewport follows the new target
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetRenderTarget(DWORD RenderTargetIndex,
                                          IDirect3DSurface9** ppRenderTarget) {
    if (ppRenderTarget == nullptr) return D3DERR_INVALIDCALL;
    *ppRenderTarget = nullptr;
    if (RenderTargetIndex != 0) return D3DERR_INVALIDCALL;
    if (m_renderTarget == nullptr) return D3DERR_NOTFOUND;
    m_renderTarget->AddRef();
    *ppRenderTarget = m_renderTarget;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) {
    if (pNewZStencil != nullptr && !(pNewZStencil->usage() & D3DUSAGE_DEPTHSTENCIL))
        return D3DERR_INVALIDCALL;
    bind(m_depthStencil, pNewZStencil);
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) {
    if (ppZStencilSurface == nullptr) return D3DERR_INVALIDCALL;
    *ppZStencilSurface = m_depthStencil;
    if (m_depthStencil == nullptr) return D3DERR_NOTFOUND;
    m_depthStencil->AddRef();
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer,
                                        D3DBACKBUFFER_TYPE /*Type*/,
                                        IDirect3DSurface9** ppBackBuffer) {
    if (ppBackBuffer == nullptr) return D3DERR_INVALIDCALL;
    *ppBackBuffer = nullptr;
    if (iSwapChain != 0 || iBackBuffer != 0 || m_backBuffer == nullptr) return D3DERR_INVALIDCALL;
    m_backBuffer->AddRef();
    *ppBackBuffer = m_backBuffer;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetViewport(const D3DVIEWPORT9* pViewport) {
    if (pViewport == nullptr || m_renderTarget == nullptr) return D3DERR_INVALIDCALL;
    const auto target = m_renderTarget->view();
    const std::uint64_t right = std::uint64_t{pViewport->X} + pViewport->Width;
    const std::uint64_t bottom = std::uint64_t{pViewport->Y} + pViewport->Height;
    if (pViewport->Width == 0 || pViewport->Height == 0 ||
        right > static_cast<std::uint64_t>(target.width) ||
        bottom > static_cast<std::uint64_t>(target.height)) {
        return D3DERR_INVALIDCALL;
    }
    m_viewport = *pViewport;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetViewport(D3DVIEWPORT9* pViewport) {
    if (pViewport == nullptr) return D3DERR_INVALIDCALL;
    *pViewport = m_viewport;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetFVF(DWORD FVF) {
    m_fvf = FVF;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetFVF(DWORD* pFVF) {
    if (pFVF == nullptr) return D3DERR_INVALIDCALL;
    *pFVF = m_fvf;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetVertexShader(const void* pShader) {
    return pShader == nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT IDirect3DDevice9::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                          UINT OffsetInBytes, UINT Stride) {
    if (StreamNumber != 0) return D3DERR_INVALIDCALL;
    bind(m_stream.buffer, pStreamData);
    m_stream.offset = OffsetInBytes;
    m_stream.stride = Stride;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
    bind(m_indices, pIndexData);
    return D3D_OK;
}
