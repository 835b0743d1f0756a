// Reference counting of the stand-in's objects, as the platform counts them.
//
// Two counts: the application's references (AddRef / Release, one from the
// creating call) and the device's bindings (a texture set on a stage, the
// current render target, the stream source ...). An object lives while
// either is above zero; only the application's count decides whether a
// DEFAULT-pool resource blocks a device reset. A resource holds one
// reference on its device while the application holds it, so the device
// outlives every resource the application still has.
#pragma once

#include <cstdint>

#include "d3d9/d3d9_types.h"

class IDirect3DDevice9;

class IUnknown {
public:
    virtual ULONG AddRef();
    virtual ULONG Release();

    // Bindings made by the device; they keep the object alive but are not
    // the application's references.
    virtual void addBinding();
    virtual void releaseBinding();

    virtual ULONG publicReferences() const { return m_refs; }

    IUnknown(const IUnknown&) = delete;
    IUnknown& operator=(const IUnknown&) = delete;

protected:
    IUnknown() = default;
    virtual ~IUnknown() = default;

    // The application's count left 0, or reached it.
    virtual void onFirstReference() {}
    virtual void onLastReference() { destroyIfUnreferenced(); }
    // Objects the device owns (the implicit back buffer) are never deleted
    // by their counts.
    virtual bool deletesItself() const { return true; }

    void destroyIfUnreferenced();
    void setInitialReferences(ULONG count) { m_refs = count; }

private:
    ULONG m_refs = 1;
    ULONG m_bindings = 0;
};

// How a resource stands to its device.
enum class ResourceRole : std::uint8_t {
    Created,   // made for the application: registered, starts with one reference
    Implicit,  // the device's own back buffer or depth surface: registered, starts with none
    Part,      // a texture's level: counted through its texture, not registered
};

// Everything a device creates: registered with the device while it exists,
// so the device can tell which DEFAULT-pool resources are still alive.
class IDirect3DResource9 : public IUnknown {
public:
    HRESULT GetDevice(IDirect3DDevice9** ppDevice);
    virtual D3DRESOURCETYPE GetType() const = 0;

    D3DPOOL pool() const { return m_pool; }
    // Device memory taken, for the available-memory estimate.
    virtual std::uint64_t memoryBytes() const = 0;
    ResourceRole role() const { return m_role; }

protected:
    IDirect3DResource9(IDirect3DDevice9& device, D3DPOOL pool, ResourceRole role);
    ~IDirect3DResource9() override;

    void onFirstReference() override;
    void onLastReference() override;
    bool deletesItself() const override { return m_role != ResourceRole::Implicit; }

    IDirect3DDevice9& device() const { return *m_device; }

private:
    IDirect3DDevice9* m_device;
    D3DPOOL m_pool;
    ResourceRole m_role;
};
