#include "pixels/d3d9_texture_storage.h"

namespace vantoro::d3d9 {

std::optional<TextureCreation> textureCreationOf(std::uint8_t kind, bool mipmaps) {
    TextureCreation c;
    switch (kind) {
        case 0:
            c.pool = D3DPOOL_MANAGED;
            break;
        case 1:
            c.pool = D3DPOOL_DEFAULT;
            break;
        case 2:
            c.pool = D3DPOOL_DEFAULT;
            c.usage = D3DUSAGE_DYNAMIC;
            break;
        case 3:
            c.pool = D3DPOOL_DEFAULT;
            c.usage = D3DUSAGE_RENDERTARGET;
            break;
        case 4:
            c.pool = D3DPOOL_SYSTEMMEM;
            break;
        default:
            return std::nullopt;
    }
    if (mipmaps) {
        c.usage |= D3DUSAGE_AUTOGENMIPMAP;
        c.levels = 0;
    }
    return c;
}

DeviceTextureStorage::~DeviceTextureStorage() {
    if (m_locked) m_texture->UnlockRect(0);
    m_texture->Release();
}

std::optional<TextureLock> DeviceTextureStorage::lock(bool readOnly) {
    D3DLOCKED_RECT locked;
    if (FAILED(m_texture->LockRect(0, &locked, nullptr, readOnly ? D3DLOCK_READONLY : 0)))
        return std::nullopt;
    m_locked = true;
    return TextureLock{static_cast<std::uint8_t*>(locked.pBits), locked.Pitch};
}

void DeviceTextureStorage::unlock() {
    if (m_locked && SUCCEEDED(m_texture->UnlockRect(0))) m_locked = false;
}

DeviceTextureStorageFactory::DeviceTextureStorageFactory(IDirect3DDevice9& device)
    : m_device(&device) {
    m_device->AddRef();
}

DeviceTextureStorageFactory::~DeviceTextureStorageFactory() {
    m_device->Release();
}

std::unique_ptr<TextureStorage> DeviceTextureStorageFactory::create(
    const TextureDescription& description) {
    const auto creation = textureCreationOf(description.kind, description.mipmaps);
    if (!creation || description.width <= 0 || description.height <= 0) return nullptr;
    IDirect3DTexture9* texture = nullptr;
    const HRESULT hr = m_device->CreateTexture(
        static_cast<UINT>(description.width), static_cast<UINT>(description.height),
        creation->levels, creation->usage, static_cast<D3DFORMAT>(description.format),
        creation->pool, &texture, nullptr);
    if (FAILED(hr)) return nullptr;
    return std::make_unique<DeviceTextureStorage>(texture);
}

}  // namespace vantoro::d3d9
