#include "d3d9/d3d9_resources.h"

#include <algorithm>
#include <cstring>

#include "d3d9/d3d9_device.h"

namespace {

// Rows end on a 64-byte boundary, with at least one byte of padding.
constexpr std::int32_t kRowAlignment = 64;
// What a discarded buffer holds: stale contents must never be relied on.
constexpr std::uint8_t kDiscardedByte = 0xCD;

std::uint64_t depthBytesPerTexel(D3DFORMAT format) {
    return (format == D3DFMT_D16 || format == D3DFMT_D15S1) ? 2 : 4;
}

}  // namespace

// --- Reference counts ----------------------------------------------------------

ULONG IUnknown::AddRef() {
    if (m_refs++ == 0) onFirstReference();
    return m_refs;
}

ULONG IUnknown::Release() {
    if (m_refs == 0) return 0;  // one Release too many: ignored
    const ULONG left = --m_refs;
    if (left == 0) onLastReference();  // may delete this
    return left;
}

void IUnknown::addBinding() {
    ++m_bindings;
}

void IUnknown::releaseBinding() {
    if (m_bindings > 0) --m_bindings;
    if (m_bindings == 0 && m_refs == 0) destroyIfUnreferenced();
}

void IUnknown::destroyIfUnreferenced() {
    if (m_refs == 0 && m_bindings == 0 && deletesItself()) delete this;
}

IDirect3DResource9::IDirect3DResource9(IDirect3DDevice9& device, D3DPOOL pool, ResourceRole role)
    : m_device(&device), m_pool(pool), m_role(role) {
    if (role == ResourceRole::Part) return;
    device.registerResource(this);
    if (role == ResourceRole::Created) {
        device.AddRef();
    } else {
        setInitialReferences(0);
    }
}

IDirect3DResource9::~IDirect3DResource9() {
    if (m_role != ResourceRole::Part) m_device->unregisterResource(this);
}

HRESULT IDirect3DResource9::GetDevice(IDirect3DDevice9** ppDevice) {
    if (ppDevice == nullptr) return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *ppDevice = m_device;
    return D3D_OK;
}

void IDirect3DResource9::onFirstReference() {
    m_device->AddRef();
}

void IDirect3DResource9::onLastReference() {
    IDirect3DDevice9* device = m_device;
    destroyIfUnreferenced();  // may delete this
    device->Release();        // may end the device, which drops its bindings
}

// --- Surfaces ---------------------------------------------------------------------

std::int32_t surfacePitch(std::int32_t width, int bytesPerTexel) {
    const std::int32_t rowBytes = width * bytesPerTexel;
    return (rowBytes / kRowAlignment + 1) * kRowAlignment;
}

IDirect3DSurface9::IDirect3DSurface9(IDirect3DDevice9& device, const D3DSURFACE_DESC& desc,
                                     ResourceRole role, IDirect3DTexture9* container, bool lockable)
    : IDirect3DResource9(device, desc.Pool, role),
      m_desc(desc),
      m_container(container),
      m_lockable(lockable) {
    const int bytes = d3dFormatBytesPerTexel(desc.Format);
    if (bytes == 0) return;  // depth-stencil: nothing the renderer reads
    m_pitch = surfacePitch(static_cast<std::int32_t>(desc.Width), bytes);
    m_texels.assign(static_cast<std::size_t>(m_pitch) * desc.Height, 0);
}

ULONG IDirect3DSurface9::AddRef() {
    return m_container ? m_container->AddRef() : IDirect3DResource9::AddRef();
}

ULONG IDirect3DSurface9::Release() {
    return m_container ? m_container->Release() : IDirect3DResource9::Release();
}

void IDirect3DSurface9::addBinding() {
    if (m_container) {
        m_container->addBinding();
    } else {
        IDirect3DResource9::addBinding();
    }
}

void IDirect3DSurface9::releaseBinding() {
    if (m_container) {
        m_container->releaseBinding();
    } else {
        IDirect3DResource9::releaseBinding();
    }
}

ULONG IDirect3DSurface9::publicReferences() const {
    return m_container ? m_container->publicReferences() : IDirect3DResource9::publicReferences();
}

HRESULT IDirect3DSurface9::GetDesc(D3DSURFACE_DESC* pDesc) {
    if (pDesc == nullptr) return D3DERR_INVALIDCALL;
    *pDesc = m_desc;
    return D3D_OK;
}

HRESULT IDirect3DSurface9::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
    if (pLockedRect == nullptr || !m_lockable || m_locked || m_texels.empty())
        return D3DERR_INVALIDCALL;
    if ((Flags & D3DLOCK_DISCARD) && !(m_desc.Usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
    RECT area{0, 0, static_cast<LONG>(m_desc.Width), static_cast<LONG>(m_desc.Height)};
    if (pRect != nullptr) {
        if (pRect->left < 0 || pRect->top < 0 || pRect->left >= pRect->right ||
            pRect->top >= pRect->bottom || pRect->right > area.right ||
            pRect->bottom > area.bottom) {
            return D3DERR_INVALIDCALL;
        }
        area = *pRect;
    }
    m_locked = true;
    pLockedRect->Pitch = m_pitch;
    pLockedRect->pBits = view().at(area.left, area.top);
    return D3D_OK;
}

HRESULT IDirect3DSurface9::UnlockRect() {
    if (!m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
}

vantoro::d3d9::SurfaceView IDirect3DSurface9::view() {
    return vantoro::d3d9::SurfaceView{m_texels.data(), m_pitch,
                                      static_cast<std::int32_t>(m_desc.Width),
                                      static_cast<std::int32_t>(m_desc.Height), m_desc.Format};
}

std::uint64_t IDirect3DSurface9::memoryBytes() const {
    if (!m_texels.empty()) return m_texels.size();
    return std::uint64_t{m_desc.Width} * m_desc.Height * depthBytesPerTexel(m_desc.Format);
}

// --- Textures ---------------------------------------------------------------------

IDirect3DTexture9::IDirect3DTexture9(IDirect3DDevice9& device, const D3DSURFACE_DESC& desc)
    : IDirect3DBaseTexture9(device, desc.Pool, ResourceRole::Created) {
    // The platform locks DEFAULT-pool textures only when they are dynamic.
    const bool lockable = desc.Pool != D3DPOOL_DEFAULT || (desc.Usage & D3DUSAGE_DYNAMIC) != 0;
    m_level = new IDirect3DSurface9(device, desc, ResourceRole::Part, this, lockable);
}

IDirect3DTexture9::~IDirect3DTexture9() {
    delete m_level;
}

HRESULT IDirect3DTexture9::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
    if (Level != 0) return D3DERR_INVALIDCALL;
    return m_level->GetDesc(pDesc);
}

HRESULT IDirect3DTexture9::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) {
    if (Level != 0 || ppSurfaceLevel == nullptr) return D3DERR_INVALIDCALL;
    m_level->AddRef();
    *ppSurfaceLevel = m_level;
    return D3D_OK;
}

HRESULT IDirect3DTexture9::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                    DWORD Flags) {
    if (Level != 0) return D3DERR_INVALIDCALL;
    return m_level->LockRect(pLockedRect, pRect, Flags);
}

HRESULT IDirect3DTexture9::UnlockRect(UINT Level) {
    if (Level != 0) return D3DERR_INVALIDCALL;
    return m_level->UnlockRect();
}

// --- Buffers ----------------------------------------------------------------------

HRESULT BufferBytes::lock(UINT offset, UINT size, void** data, DWORD flags) {
    if (data == nullptr || m_locked) return D3DERR_INVALIDCALL;
    const bool dynamic = (m_usage & D3DUSAGE_DYNAMIC) != 0;
    if ((flags & (D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE)) && !dynamic) return D3DERR_INVALIDCALL;
    const std::uint64_t length = m_bytes.size();
    if (offset > length || (size != 0 && size > length - offset)) return D3DERR_INVALIDCALL;
    // Earlier draws have finished reading (drawing is synchronous here), so
    // one store serves every lock; discarded contents are scribbled over.
    if (flags & D3DLOCK_DISCARD) std::fill(m_bytes.begin(), m_bytes.end(), kDiscardedByte);
    m_locked = true;
    *data = m_bytes.data() + offset;
    return D3D_OK;
}

HRESULT BufferBytes::unlock() {
    if (!m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
}
