// Surfaces, textures and vertex / index buffers of the stand-in.
//
// Rows of every colour surface are padded past width x bytes per texel (to
// the next 64 bytes, always at least one byte more), the way display drivers
// align rows, so a caller that ignores Pitch is caught. Only what the
// platform lets the application lock can be locked: MANAGED and SYSTEMMEM
// textures, DYNAMIC DEFAULT textures, buffers, and a back buffer created
// lockable.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "d3d9/d3d9_records.h"
#include "d3d9/d3d9_texels.h"
#include "d3d9/d3d9_unknown.h"

class IDirect3DTexture9;

// Row pitch of a colour surface.
std::int32_t surfacePitch(std::int32_t width, int bytesPerTexel);

class IDirect3DSurface9 final : public IDirect3DResource9 {
public:
    HRESULT GetDesc(D3DSURFACE_DESC* pDesc);
    HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags);
    HRESULT UnlockRect();
    D3DRESOURCETYPE GetType() const override { return D3DRTYPE_SURFACE; }

    // A texture's level counts its references through the texture.
    ULONG AddRef() override;
    ULONG Release() override;
    void addBinding() override;
    void releaseBinding() override;
    ULONG publicReferences() const override;

    // Stand-in access for the renderer and the presenter.
    vantoro::d3d9::SurfaceView view();
    DWORD usage() const { return m_desc.Usage; }
    D3DFORMAT format() const { return m_desc.Format; }
    IDirect3DTexture9* container() const { return m_container; }
    std::uint64_t memoryBytes() const override;

private:
    friend class IDirect3DTexture9;
    friend class IDirect3DDevice9;

    IDirect3DSurface9(IDirect3DDevice9& device, const D3DSURFACE_DESC& desc, ResourceRole role,
                      IDirect3DTexture9* container, bool lockable);

    D3DSURFACE_DESC m_desc;
    IDirect3DTexture9* m_container;
    bool m_lockable;
    bool m_locked = false;
    std::int32_t m_pitch = 0;
    std::vector<std::uint8_t> m_texels;  // empty for depth-stencil surfaces
};

class IDirect3DBaseTexture9 : public IDirect3DResource9 {
public:
    virtual DWORD GetLevelCount() = 0;

protected:
    using IDirect3DResource9::IDirect3DResource9;
};

// Level 0 only: the stand-in samples level 0 and has no mipmap filter, so
// a texture created with AUTOGENMIPMAP shows one level, as the platform
// shows such textures.
class IDirect3DTexture9 final : public IDirect3DBaseTexture9 {
public:
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc);
    HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel);
    HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags);
    HRESULT UnlockRect(UINT Level);
    void GenerateMipSubLevels() {}
    D3DRESOURCETYPE GetType() const override { return D3DRTYPE_TEXTURE; }

    vantoro::d3d9::SurfaceView view() { return m_level->view(); }
    IDirect3DSurface9* level0() const { return m_level; }
    std::uint64_t memoryBytes() const override { return m_level->memoryBytes(); }

private:
    friend class IDirect3DDevice9;

    IDirect3DTexture9(IDirect3DDevice9& device, const D3DSURFACE_DESC& desc);
    ~IDirect3DTexture9() override;

    IDirect3DSurface9* m_level;
};

// The byte store and lock rules shared by vertex and index buffers.
class BufferBytes {
public:
    BufferBytes(UINT length, DWORD usage) : m_bytes(length), m_usage(usage) {}
    HRESULT lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT unlock();
    std::span<const std::uint8_t> bytes() const { return m_bytes; }
    bool locked() const { return m_locked; }
    DWORD usage() const { return m_usage; }

private:
    std::vector<std::uint8_t> m_bytes;
    DWORD m_usage;
    bool m_locked = false;
};

class IDirect3DVertexBuffer9 final : public IDirect3DResource9 {
public:
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
        return m_store.lock(OffsetToLock, SizeToLock, ppbData, Flags);
    }
    HRESULT Unlock() { return m_store.unlock(); }
    D3DRESOURCETYPE GetType() const override { return D3DRTYPE_VERTEXBUFFER; }

    const BufferBytes& store() const { return m_store; }
    DWORD fvf() const { return m_fvf; }
    std::uint64_t memoryBytes() const override { return m_store.bytes().size(); }

private:
    friend class IDirect3DDevice9;
    IDirect3DVertexBuffer9(IDirect3DDevice9& device, UINT length, DWORD usage, DWORD fvf,
                           D3DPOOL pool)
        : IDirect3DResource9(device, pool, ResourceRole::Created),
          m_store(length, usage),
          m_fvf(fvf) {}

    BufferBytes m_store;
    DWORD m_fvf;
};

class IDirect3DIndexBuffer9 final : public IDirect3DResource9 {
public:
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
        return m_store.lock(OffsetToLock, SizeToLock, ppbData, Flags);
    }
    HRESULT Unlock() { return m_store.unlock(); }
    D3DRESOURCETYPE GetType() const override { return D3DRTYPE_INDEXBUFFER; }

    const BufferBytes& store() const { return m_store; }
    D3DFORMAT format() const { return m_format; }
    std::uint64_t memoryBytes() const override { return m_store.bytes().size(); }

private:
    friend class IDirect3DDevice9;
    IDirect3DIndexBuffer9(IDirect3DDevice9& device, UINT length, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool)
        : IDirect3DResource9(device, pool, ResourceRole::Created),
          m_store(length, usage),
          m_format(format) {}

    BufferBytes m_store;
    D3DFORMAT m_format;
};
