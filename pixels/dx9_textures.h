// Texture objects: settings (size, format, kind, mipmaps) plus storage
// created from them on activation. Archive readers fill a texture in a fixed
// order: SetActive(false), SetFormat, SetSize, SetImageSize, SetActive(true),
// Lock(2), clear and write rows at Bits + row * Pitch, Unlock.
//
// While a device is initialised the storage is a device texture of the
// kind's pool and usage; without one (the command line, archive tests) it is
// plain memory. Either fills the same way.
//
// Kind  Pool       Usage         Across a device reset
// 0     MANAGED    none          kept (MarkLost changes nothing)
// 1     DEFAULT    none          released on MarkLost, re-created on Activate
// 2     DEFAULT    DYNAMIC       likewise
// 3     DEFAULT    RENDERTARGET  likewise
// 4     SYSTEMMEM  none          likewise
#pragma once

#include <cstdint>
#include <memory>

#include "pixels/dx9_types.h"
#include "pixels/texture_storage.h"

class IDirect3DTexture9;
class IDirect3DSurface9;

namespace vantoro {

// The result of Lock.
struct TDXLockedRect {
    void* Bits = nullptr;      // texel row 0
    std::int32_t Pitch = 0;    // bytes per row, as the storage reports it
    std::uint8_t Format = 11;  // format code, see lockedFormatCode
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
    // Storage on the device while one is initialised, else in plain memory.
    TDXTexture();
    // Storage always from this factory.
    explicit TDXTexture(TextureStorageFactory& storage);
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

    // Grows with every change that may alter what drawing the texture shows:
    // a lock for writing, a new image size, a state request. Equal numbers
    // mean equal contents, so a frame that shows nothing new can be skipped.
    std::uint64_t ContentVersion() const { return m_contentVersion; }

    virtual std::int32_t GetWidth() const { return FWidth; }
    virtual std::int32_t GetHeight() const { return FHeight; }
    // (0, 0, GetWidth(), GetHeight()).
    IntRect GetBounds() const { return IntRect{0, 0, GetWidth(), GetHeight()}; }

    // The four texture coordinates of a source rectangle, corners in quad
    // order; false while the texture is inactive (state 0).
    bool MapCoords(const TextureSource& source, QuadTexCoords& coords) const;

    // Sets the texture on a sampler stage of the device; false without a
    // device texture or without a device, or when the texture belongs to an
    // earlier device.
    bool BindToStage(std::uint32_t stage);

    // The device texture behind the storage; null without one (inactive,
    // lost, or kept in plain memory). Owned by the storage.
    IDirect3DTexture9* FTexture = nullptr;
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
    // Releases any old storage, then creates it from the settings.
    virtual bool CreateResource();
    virtual void ReleaseResource();

    TextureStorage* storage() const { return m_storage.get(); }

private:
    void requestState(std::uint8_t requested);
    std::unique_ptr<TextureStorage> createStorage(const TextureDescription& description) const;

    TextureStorageFactory* m_factory = nullptr;  // null: device or plain memory, as available
    std::unique_ptr<TextureStorage> m_storage;
    std::uint64_t m_contentVersion = 0;
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

// A texture the device draws into (kind 3), in the back buffer's format,
// optionally with a depth-stencil surface of its own. Its resources block a
// device reset: its owner calls MarkLost on NotifyDeviceLost and Activate on
// NotifyDeviceReset.
class TDXRenderTargetTexture : public TDXTexture {
public:
    TDXRenderTargetTexture();
    ~TDXRenderTargetTexture() override;

    // Only while active: saves the device's render target (and, with
    // FDepthBuffer, its depth-stencil surface) and puts this texture's in
    // their place. False at the first refused call, with the device's own
    // surfaces back in place; false too while already begun.
    bool BeginRenderTarget();
    // Puts the saved surfaces back and lets go of them.
    void EndRenderTarget();

    bool FDepthBuffer = false;
    IDirect3DSurface9* FSurface = nullptr;       // level 0
    IDirect3DSurface9* FDepthSurface = nullptr;  // with FDepthBuffer
    IDirect3DSurface9* FSavedTarget = nullptr;
    IDirect3DSurface9* FSavedDepth = nullptr;

protected:
    // Takes the back buffer's format; false while there is none.
    bool Prepare() override;
    bool CreateResource() override;
    void ReleaseResource() override;

private:
    void releaseSurfaces();
};

}  // namespace vantoro
