#include "d3d9/d3d9_device.h"

#include <algorithm>

using vantoro::d3d9::CooperativeLevel;

IDirect3DDevice9::IDirect3DDevice9(IDirect3D9& d3d, const D3DPRESENT_PARAMETERS& params,
                                   HWND focusWindow)
    : m_d3d(&d3d),
      m_params(params),
      m_focusWindow(focusWindow),
      m_states(vantoro::d3d9::defaultDeviceStates(params.EnableAutoDepthStencil != 0)) {
    m_d3d->AddRef();
    m_faults.refuseBuffers = d3d.description().refuseBuffers;
    createImplicitSurfaces();
}

IDirect3DDevice9::~IDirect3DDevice9() {
    unbindAll();  // bound objects nobody else holds go with their bindings
    destroyImplicitSurfaces();
    m_d3d->Release();
}

void IDirect3DDevice9::registerResource(IDirect3DResource9* resource) {
    m_resources.push_back(resource);
}

void IDirect3DDevice9::unregisterResource(IDirect3DResource9* resource) {
    m_resources.erase(std::remove(m_resources.begin(), m_resources.end(), resource),
                      m_resources.end());
}

std::size_t IDirect3DDevice9::liveDefaultResources() const {
    return static_cast<std::size_t>(
        std::count_if(m_resources.begin(), m_resources.end(), [](IDirect3DResource9* r) {
            return r->pool() == D3DPOOL_DEFAULT && r->publicReferences() > 0;
        }));
}

std::uint64_t IDirect3DDevice9::defaultPoolBytes() const {
    std::uint64_t total = 0;
    for (IDirect3DResource9* r : m_resources) {
        if (r->pool() == D3DPOOL_DEFAULT && r->role() == ResourceRole::Created)
            total += r->memoryBytes();
    }
    return total;
}

void IDirect3DDevice9::unbindAll() {
    for (auto& texture : m_textures) bind(texture, static_cast<IDirect3DBaseTexture9*>(nullptr));
    bind(m_stream.buffer, static_cast<IDirect3DVertexBuffer9*>(nullptr));
    m_stream = Stream{};
    bind(m_indices, static_cast<IDirect3DIndexBuffer9*>(nullptr));
    bind(m_renderTarget, static_cast<IDirect3DSurface9*>(nullptr));
    bind(m_depthStencil, static_cast<IDirect3DSurface9*>(nullptr));
}

void IDirect3DDevice9::createImplicitSurfaces() {
    D3DSURFACE_DESC desc;
    desc.Format = m_params.BackBufferFormat;
    desc.Usage = D3DUSAGE_RENDERTARGET;
    desc.Pool = D3DPOOL_DEFAULT;
    desc.Width = m_params.BackBufferWidth;
    desc.Height = m_params.BackBufferHeight;
    const bool lockable = (m_params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
    m_backBuffer = new IDirect3DSurface9(*this, desc, ResourceRole::Implicit, nullptr, lockable);
    bind(m_renderTarget, m_backBuffer);
    if (m_params.EnableAutoDepthStencil) {
        desc.Format = m_params.AutoDepthStencilFormat;
        desc.Usage = D3DUSAGE_DEPTHSTENCIL;
        m_autoDepth = new IDirect3DSurface9(*this, desc, ResourceRole::Implicit, nullptr, false);
        bind(m_depthStencil, m_autoDepth);
    }
    resetViewport();
}

void IDirect3DDevice9::destroyImplicitSurfaces() {
    delete m_backBuffer;
    delete m_autoDepth;
    m_backBuffer = nullptr;
    m_autoDepth = nullptr;
}

void IDirect3DDevice9::resetViewport() {
    m_viewport = D3DVIEWPORT9{};
    if (m_renderTarget) {
        m_viewport.Width = m_renderTarget->view().width;
        m_viewport.Height = m_renderTarget->view().height;
    }
}

// --- Queries -------------------------------------------------------------------------

UINT IDirect3DDevice9::GetAvailableTextureMem() {
    const std::uint64_t total = m_d3d->description().availableTextureMemory;
    const std::uint64_t used = defaultPoolBytes();
    return static_cast<UINT>(used >= total ? 0 : total - used);
}

HRESULT IDirect3DDevice9::GetDirect3D(IDirect3D9** ppD3D9) {
    if (ppD3D9 == nullptr) return D3DERR_INVALIDCALL;
    m_d3d->AddRef();
    *ppD3D9 = m_d3d;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetDeviceCaps(D3DCAPS9* pCaps) {
    if (pCaps == nullptr) return D3DERR_INVALIDCALL;
    if (m_d3d->description().refuseCaps) return D3DERR_NOTAVAILABLE;
    *pCaps = vantoro::d3d9::capsOf(m_d3d->description());
    return D3D_OK;
}

HRESULT IDirect3DDevice9::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) {
    if (iSwapChain != 0 || pMode == nullptr) return D3DERR_INVALIDCALL;
    if (m_params.Windowed) {
        *pMode = m_d3d->description().desktopMode;
    } else {
        *pMode = D3DDISPLAYMODE{m_params.BackBufferWidth, m_params.BackBufferHeight,
                                m_params.FullScreen_RefreshRateInHz, m_params.BackBufferFormat};
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice9::SetDialogBoxMode(BOOL /*bEnableDialogs*/) {
    // Dialogs need a lockable back buffer on the platform; nothing to switch here.
    return (m_params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) ? D3D_OK : D3DERR_INVALIDCALL;
}

// --- Resource creation ---------------------------------------------------------------

HRESULT IDirect3DDevice9::checkTextureRequest(UINT width, UINT height, DWORD usage,
                                              D3DFORMAT format, D3DPOOL pool) const {
    const auto& adapter = m_d3d->description();
    if (width == 0 || height == 0 || width > adapter.maxTextureWidth ||
        height > adapter.maxTextureHeight) {
        return D3DERR_INVALIDCALL;
    }
    if (!vantoro::d3d9::isColorFormat(format) || pool == D3DPOOL_SCRATCH ||
        pool > D3DPOOL_SCRATCH) {
        return D3DERR_INVALIDCALL;
    }
    const DWORD known = D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP;
    if (usage & ~known) return D3DERR_INVALIDCALL;
    // Render targets live in DEFAULT only; managed textures cannot be dynamic;
    // mipmaps are generated for DEFAULT and MANAGED textures only.
    if ((usage & D3DUSAGE_RENDERTARGET) &&
        (pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC))) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_AUTOGENMIPMAP) && pool == D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT IDirect3DDevice9::CreateTexture(UINT Width, UINT Height, UINT /*Levels*/, DWORD Usage,
                                        D3DFORMAT Format, D3DPOOL Pool,
                                        IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
    if (ppTexture == nullptr || pSharedHandle != nullptr) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    const HRESULT valid = checkTextureRequest(Width, Height, Usage, Format, Pool);
    if (FAILED(valid)) return valid;
    const std::uint64_t bytes =
        std::uint64_t{Height} *
        surfacePitch(static_cast<std::int32_t>(Width), d3dFormatBytesPerTexel(Format));
    if (m_faults.refuseTextures || (Pool == D3DPOOL_DEFAULT && bytes > GetAvailableTextureMem())) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    D3DSURFACE_DESC desc;
    desc.Format = Format;
    desc.Type = D3DRTYPE_SURFACE;
    desc.Usage = Usage;
    desc.Pool = Pool;
    desc.Width = Width;
    desc.Height = Height;
    *ppTexture = new IDirect3DTexture9(*this, desc);
    return D3D_OK;
}

HRESULT IDirect3DDevice9::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                             IDirect3DVertexBuffer9** ppVertexBuffer,
                                             HANDLE* pSharedHandle) {
    if (ppVertexBuffer == nullptr || pSharedHandle != nullptr) return D3DERR_INVALIDCALL;
    *ppVertexBuffer = nullptr;
    if (Length == 0 || Pool > D3DPOOL_SYSTEMMEM ||
        ((Usage & D3DUSAGE_DYNAMIC) && Pool == D3DPOOL_MANAGED)) {
        return D3DERR_INVALIDCALL;
    }
    if (m_faults.refuseBuffers || (Pool == D3DPOOL_DEFAULT && Length > GetAvailableTextureMem())) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *ppVertexBuffer = new IDirect3DVertexBuffer9(*this, Length, Usage, FVF, Pool);
    return D3D_OK;
}

HRESULT IDirect3DDevice9::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, IDirect3DIndexBuffer9** ppIndexBuffer,
                                            HANDLE* pSharedHandle) {
    if (ppIndexBuffer == nullptr || pSharedHandle != nullptr) return D3DERR_INVALIDCALL;
    *ppIndexBuffer = nullptr;
    if (Length == 0 || Pool > D3DPOOL_SYSTEMMEM ||
        ((Usage & D3DUSAGE_DYNAMIC) && Pool == D3DPOOL_MANAGED) ||
        (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32)) {
        return D3DERR_INVALIDCALL;
    }
    if (m_faults.refuseBuffers || (Pool == D3DPOOL_DEFAULT && Length > GetAvailableTextureMem())) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *ppIndexBuffer = new IDirect3DIndexBuffer9(*this, Length, Usage, Format, Pool);
    return D3D_OK;
}

HRESULT IDirect3DDevice9::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                                    D3DMULTISAMPLE_TYPE MultiSample,
                                                    DWORD /*MultisampleQuality*/, BOOL /*Discard*/,
                                                    IDirect3DSurface9** ppSurface,
                                                    HANDLE* pSharedHandle) {
    if (ppSurface == nullptr || pSharedHandle != nullptr) return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    const auto& adapter = m_d3d->description();
    const auto& formats = adapter.depthStencilFormats;
    if (Width == 0 || Height == 0 || Width > adapter.maxTextureWidth ||
        Height > adapter.maxTextureHeight || MultiSample != D3DMULTISAMPLE_NONE ||
        std::find(formats.begin(), formats.end(), Format) == formats.end()) {
        return D3DERR_INVALIDCALL;
    }
    D3DSURFACE_DESC desc;
    desc.Format = Format;
    desc.Usage = D3DUSAGE_DEPTHSTENCIL;
    desc.Pool = D3DPOOL_DEFAULT;
    desc.Width = Width;
    desc.Height = Height;
    *ppSurface = new IDirect3DSurface9(*this, desc, ResourceRole::Created, nullptr, false);
    return D3D_OK;
}
