// Texture objects: settings (size, format, kind) plus storage created from
// them on activation. Archive readers fill a texture in a fixed order:
// SetActive(false), SetFormat, SetSize, SetImageSize, SetActive(true),
// Lock(2), clear and write rows at Bits + row * Pitch, Unlock.
#pragma once

#include <cstdint>
#include <memory>

#include "render/dx9_types.h"
#include "render/texture_storage.h"

namespace vantoro {

// The result of Lock.
struct TDXLockedRect {
    void* Bits = nullptr;     // texel row 0
    std::int32_t Pitch = 0;   // bytes per row, as the storage reports it
    std::uint8_t Format = 11; // format code, see lockedFormatCode
};

// Format code of a locked storage by Direct3D format number: R3G3B2 0,
// R5G6B5 1, X8R8G8B8 2, X1R5G5B5 3, X4R4G4B4 4, A8R8G8B8 5, A1R5G5B5 6,
// A4R4G4B4 7, A8R3G3B2 8, A8 10, anything else 11.
std::uint8_t lockedFormatCode(std::uint32_t d3dFormat);

// Texture states.
inline constexpr std::uint8_t kTextureInactive = 0;
inline constexpr std::uint8_t kTextureActive = 1;
inline constexpr std::uint8_t kTextureLost = 2;
inline constexpr std::uint8_t kTextureRestoreFailed = 3;

// Lock modes: 1 reads, anything else writes (the readers pass 2).
inline constexpr std::uint8_t kLockRead = 1;
inline constexpr std::uint8_t kLockWrite = 2;

class TDXTexture {
public:
    explicit TDXTexture(TextureStorageFactory& storage = MemoryTextureStorageFactory::instance());
    virtual ~TDXTexture();

    TDXTexture(const TDXTexture&) = delete;
    TDXTexture& operator=(const TDXTexture&) = delete;

    // Settings; ignored unless the texture is inactive.
    void SetSize(std::int32_t width, std::int32_t height);
    void SetFormat(std::uint32_t d3dFormat);
    void SetKind(std::uint8_t kind);
    void SetMipmaps(bool mipmaps);

    // Always allowed: clamps to the storage size.
    void SetImageSize(std::int32_t width, std::int32_t height);

    // Requests the active (true) or inactive (false) state; answers IsActive.
    bool SetActive(bool active);
    void Activate() { requestState(kTextureActive); }
    void MarkLost() { requestState(kTextureLost); }
    bool IsActive() const { return FState == kTextureActive; }

    // Locks the whole storage; false without storage or when refused.
    bool Lock(std::uint8_t mode, TDXLockedRect& rect);
    void Unlock();

    // Zeroes every texel of an active texture.
    void ClearPixels();

    virtual std::int32_t GetWidth() const { return FWidth; }
    virtual std::int32_t GetHeight() const { return FHeight; }
    // (0, 0, GetWidth(), GetHeight()).
    IntRect GetBounds() const { return IntRect{0, 0, GetWidth(), GetHeight()}; }

    // The four texture coordinates of a source rectangle, corners in quad
    // order; false while the texture is inactive (state 0).
    bool MapCoords(const TextureSource& source, QuadTexCoords& coords) const;

    // Sets the texture on a sampler stage of the device; false without
    // storage or without a device.
    bool BindToStage(std::uint32_t stage);

    std::int32_t FWidth = 2;
    std::int32_t FHeight = 2;
    bool FMipmaps = false;
    std::int32_t FImageWidth = 2;
    std::int32_t FImageHeight = 2;
    std::uint8_t FState = kTextureInactive;
    std::uint32_t FFormat = 0;
    std::uint8_t FKind = 0;

protected:
    // Checks the settings before storage is created.
    virtual bool Prepare() { return true; }
    virtual bool CreateResource();
    virtual void ReleaseResource();

    TextureStorage* storage() const { return m_storage.get(); }

private:
    void requestState(std::uint8_t requested);

    TextureStorageFactory& m_factory;
    std::unique_ptr<TextureStorage> m_storage;
};

// A texture holding an image in its top-left corner; everything that
// measures it reports the image size.
class TDXImageTexture : public TDXTexture {
public:
    using TDXTexture::TDXTexture;

    std::int32_t GetWidth() const override { return FImageWidth; }
    std::int32_t GetHeight() const override { return FImageHeight; }

protected:
    bool Prepare() override;
};

}  // namespace vantoro
