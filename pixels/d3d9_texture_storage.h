// Texture storage on a device: what a texture object asks for when it is
// activated, created as a device texture with the pool and usage of the
// object's kind, so an archive decodes into it exactly as into plain memory.
//
// Kind  Pool       Usage
// 0     MANAGED    none
// 1     DEFAULT    none (cannot be locked, as on the platform)
// 2     DEFAULT    DYNAMIC
// 3     DEFAULT    RENDERTARGET (cannot be locked)
// 4     SYSTEMMEM  none
// Mipmaps add AUTOGENMIPMAP and ask for the full chain.
#pragma once

#include <memory>
#include <optional>

#include "d3d9/d3d9_device.h"
#include "pixels/texture_storage.h"

namespace vantoro::d3d9 {

struct TextureCreation {
    D3DPOOL pool = D3DPOOL_MANAGED;
    DWORD usage = 0;
    UINT levels = 1;
};

// Pool, usage and level count of a texture object's kind; nothing for an
// unknown kind.
std::optional<TextureCreation> textureCreationOf(std::uint8_t kind, bool mipmaps);

class DeviceTextureStorage final : public TextureStorage {
public:
    explicit DeviceTextureStorage(IDirect3DTexture9* texture)
        : m_texture(texture) {}  // takes the reference
    ~DeviceTextureStorage() override;
    DeviceTextureStorage(const DeviceTextureStorage&) = delete;
    DeviceTextureStorage& operator=(const DeviceTextureStorage&) = delete;

    std::optional<TextureLock> lock(bool readOnly) override;
    void unlock() override;

    IDirect3DTexture9* texture() const { return m_texture; }

private:
    IDirect3DTexture9* m_texture;
    bool m_locked = false;
};

class DeviceTextureStorageFactory final : public TextureStorageFactory {
public:
    explicit DeviceTextureStorageFactory(IDirect3DDevice9& device);
    ~DeviceTextureStorageFactory() override;
    DeviceTextureStorageFactory(const DeviceTextureStorageFactory&) = delete;
    DeviceTextureStorageFactory& operator=(const DeviceTextureStorageFactory&) = delete;

    std::unique_ptr<TextureStorage> create(const TextureDescription& description) override;

private:
    IDirect3DDevice9* m_device;
};

}  // namespace vantoro::d3d9
