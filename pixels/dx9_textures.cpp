#include "pixels/dx9_textures.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "d3d9/d3d9_device.h"
#include "d3d9/d3d9_formats.h"
#include "pixels/d3d9_texture_storage.h"
#include "pixels/shared_device.h"

namespace vantoro {

namespace {

IDirect3DTexture9* deviceTextureOf(TextureStorage& storage) {
    auto* onDevice = dynamic_cast<d3d9::DeviceTextureStorage*>(&storage);
    return onDevice != nullptr ? onDevice->texture() : nullptr;
}

// A texture made on an earlier device must not be set on this one.
bool madeOn(IDirect3DTexture9& texture, IDirect3DDevice9& device) {
    IDirect3DDevice9* owner = nullptr;
    if (FAILED(texture.GetDevice(&owner))) return false;
    owner->Release();
    return owner == &device;
}

template <typename T>
void releaseInterface(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

}  // namespace

std::uint8_t lockedFormatCode(std::uint32_t d3dFormat) {
    switch (d3dFormat) {
        case D3DFMT_R3G3B2:
            return 0;
        case D3DFMT_R5G6B5:
            return 1;
        case D3DFMT_X8R8G8B8:
            return 2;
        case D3DFMT_X1R5G5B5:
            return 3;
        case D3DFMT_X4R4G4B4:
            return 4;
        case D3DFMT_A8R8G8B8:
            return 5;
        case D3DFMT_A1R5G5B5:
            return 6;
        case D3DFMT_A4R4G4B4:
            return 7;
        case D3DFMT_A8R3G3B2:
            return 8;
        case D3DFMT_A8:
            return 10;
        default:
            return 11;
    }
}

TDXTexture::TDXTexture() = default;

TDXTexture::TDXTexture(TextureStorageFactory& storage) : m_factory(&storage) {}

// A subclass with resources of its own releases them in its destructor: from
// here only this class's part is reachable.
TDXTexture::~TDXTexture() {
    if (FState != kTextureInactive) requestState(kTextureInactive);
    TDXTexture::ReleaseResource();
}

void TDXTexture::SetSize(std::int32_t width, std::int32_t height) {
    if (FState != kTextureInactive) return;
    FWidth = width;
    FHeight = height;
}

void TDXTexture::SetFormat(std::uint32_t d3dFormat) {
    if (FState != kTextureInactive) return;
    FFormat = d3dFormat;
}

void TDXTexture::SetKind(std::uint8_t kind) {
    if (FState != kTextureInactive || kind > 4) return;
    FKind = kind;
}

void TDXTexture::SetMipmaps(bool mipmaps) {
    if (FState != kTextureInactive) return;
    FMipmaps = mipmaps;
}

void TDXTexture::SetImageSize(std::int32_t width, std::int32_t height) {
    ++m_contentVersion;
    FImageWidth = std::min(width, FWidth);
    FImageHeight = std::min(height, FHeight);
}

bool TDXTexture::SetActive(bool active) {
    requestState(active ? kTextureActive : kTextureInactive);
    return IsActive();
}

// The state machine: inactive textures are created from their settings,
// lost ones re-created; kind 0 keeps its storage across a device loss.
void TDXTexture::requestState(std::uint8_t requested) {
    ++m_contentVersion;
    switch (requested) {
        case kTextureActive:
            if (FState == kTextureInactive) {
                if (Prepare() && CreateResource()) FState = kTextureActive;
            } else if (FState == kTextureLost || FState == kTextureRestoreFailed) {
                FState = CreateResource() ? kTextureActive : kTextureRestoreFailed;
            }
            break;
        case kTextureLost:
            if (FState == kTextureActive && FKind != 0) {
                ReleaseResource();
                FState = kTextureLost;
            }
            break;
        default:
            if (FState == kTextureActive) ReleaseResource();
            FState = kTextureInactive;
            break;
    }
}

std::unique_ptr<TextureStorage> TDXTexture::createStorage(
    const TextureDescription& description) const {
    if (m_factory != nullptr) return m_factory->create(description);
    if (IDirect3DDevice9* device = sharedDevice().device) {
        return d3d9::DeviceTextureStorageFactory(*device).create(description);
    }
    return MemoryTextureStorageFactory::instance().create(description);
}

bool TDXTexture::CreateResource() {
    ReleaseResource();
    m_storage = createStorage(TextureDescription{FWidth, FHeight, FFormat, FKind, FMipmaps});
    if (!m_storage) {
        ReleaseResource();
        return false;
    }
    FTexture = deviceTextureOf(*m_storage);
    return true;
}

void TDXTexture::ReleaseResource() {
    FTexture = nullptr;
    m_storage.reset();
}

bool TDXTexture::Lock(std::uint8_t mode, TDXLockedRect& rect) {
    if (!m_storage) return false;
    if (mode != kLockRead) ++m_contentVersion;
    const auto locked = m_storage->lock(mode == kLockRead);
    if (!locked) return false;
    rect.Bits = locked->bits;
    rect.Pitch = locked->pitch;
    rect.Format = lockedFormatCode(FFormat);
    return true;
}

void TDXTexture::Unlock() {
    if (m_storage) m_storage->unlock();
}

void TDXTexture::ClearPixels() {
    if (!IsActive()) return;
    TDXLockedRect rect;
    if (!Lock(kLockWrite, rect)) return;
    std::memset(rect.Bits, 0,
                static_cast<std::size_t>(FHeight) * static_cast<std::size_t>(rect.Pitch));
    Unlock();
}

// Divisions in double precision stored as floats; no half-texel offset (the
// canvas offsets positions instead).
bool TDXTexture::MapCoords(const TextureSource& source, QuadTexCoords& coords) const {
    if (FState == kTextureInactive) return false;
    const double width = FWidth;
    const double height = FHeight;
    const std::int32_t spanX = source.W < 1 ? GetWidth() : source.W;
    const std::int32_t spanY = source.H < 1 ? GetHeight() : source.H;
    float u0 = static_cast<float>(source.X / width);
    float u1 = static_cast<float>((static_cast<double>(source.X) + spanX) / width);
    float v0 = static_cast<float>(source.Y / height);
    float v1 = static_cast<float>((static_cast<double>(source.Y) + spanY) / height);
    if ((source.Flip & 0xFF00) != 0) std::swap(u0, u1);
    if ((source.Flip & 0x00FF) != 0) std::swap(v0, v1);
    coords = {TexCoord{u0, v0}, TexCoord{u1, v0}, TexCoord{u1, v1}, TexCoord{u0, v1}};
    return true;
}

bool TDXTexture::BindToStage(std::uint32_t stage) {
    IDirect3DDevice9* device = sharedDevice().device;
    if (FTexture == nullptr || device == nullptr || !madeOn(*FTexture, *device)) return false;
    return SUCCEEDED(device->SetTexture(stage, FTexture));
}

bool TDXImageTexture::Prepare() {
    if (FImageWidth <= 0) FImageWidth = FWidth;
    if (FImageHeight <= 0) FImageHeight = FHeight;
    return FWidth > 0 && FHeight > 0 && FWidth >= FImageWidth && FHeight >= FImageHeight;
}

// --- Render targets ----------------------------------------------------------------

TDXRenderTargetTexture::TDXRenderTargetTexture() {
    FKind = 3;
    FMipmaps = false;
}

TDXRenderTargetTexture::~TDXRenderTargetTexture() {
    if (FState != kTextureInactive) SetActive(false);
    releaseSurfaces();
}

bool TDXRenderTargetTexture::Prepare() {
    FFormat = sharedDevice().presentParams.BackBufferFormat;
    return FFormat != D3DFMT_UNKNOWN;
}

bool TDXRenderTargetTexture::CreateResource() {
    if (!TDXTexture::CreateResource()) return false;
    const SharedDevice& shared = sharedDevice();
    bool created = FTexture != nullptr && SUCCEEDED(FTexture->GetSurfaceLevel(0, &FSurface));
    if (created && FDepthBuffer) {
        const D3DPRESENT_PARAMETERS& params = shared.presentParams;
        created =
            shared.device != nullptr && SUCCEEDED(shared.device->CreateDepthStencilSurface(
                                            static_cast<UINT>(FWidth), static_cast<UINT>(FHeight),
                                            params.AutoDepthStencilFormat, params.MultiSampleType,
                                            params.MultiSampleQuality, 1, &FDepthSurface, nullptr));
    }
    if (!created) ReleaseResource();
    return created;
}

void TDXRenderTargetTexture::releaseSurfaces() {
    releaseInterface(FDepthSurface);
    releaseInterface(FSavedTarget);
    releaseInterface(FSavedDepth);
    releaseInterface(FSurface);
}

void TDXRenderTargetTexture::ReleaseResource() {
    releaseSurfaces();
    TDXTexture::ReleaseResource();
}

bool TDXRenderTargetTexture::BeginRenderTarget() {
    IDirect3DDevice9* device = sharedDevice().device;
    // Beginning twice would lose the device's own target for good.
    if (!IsActive() || device == nullptr || FSurface == nullptr || FSavedTarget != nullptr) {
        return false;
    }
    bool bound = SUCCEEDED(device->GetRenderTarget(0, &FSavedTarget));
    if (bound && FDepthBuffer) bound = SUCCEEDED(device->GetDepthStencilSurface(&FSavedDepth));
    if (bound) bound = SUCCEEDED(device->SetRenderTarget(0, FSurface));
    if (bound && FDepthBuffer) bound = SUCCEEDED(device->SetDepthStencilSurface(FDepthSurface));
    // Saved surfaces are references to the back buffer and the automatic
    // depth-stencil surface: held on, they would block every device reset.
    if (!bound) EndRenderTarget();
    return bound;
}

void TDXRenderTargetTexture::EndRenderTarget() {
    IDirect3DDevice9* device = sharedDevice().device;
    if (FSavedTarget != nullptr) {
        if (device != nullptr) device->SetRenderTarget(0, FSavedTarget);
        releaseInterface(FSavedTarget);
    }
    if (FSavedDepth != nullptr) {
        if (device != nullptr) device->SetDepthStencilSurface(FSavedDepth);
        releaseInterface(FSavedDepth);
    }
}

}  // namespace vantoro
