#include "render/dx9_textures.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "render/d3d9/d3d9_formats.h"

namespace vantoro {

std::uint8_t lockedFormatCode(std::uint32_t d3dFormat) {
    switch (d3dFormat) {
        case D3DFMT_R3G3B2: return 0;
        case D3DFMT_R5G6B5: return 1;
        case D3DFMT_X8R8G8B8: return 2;
        case D3DFMT_X1R5G5B5: return 3;
        case D3DFMT_X4R4G4B4: return 4;
        case D3DFMT_A8R8G8B8: return 5;
        case D3DFMT_A1R5G5B5: return 6;
        case D3DFMT_A4R4G4B4: return 7;
        case D3DFMT_A8R3G3B2: return 8;
        case D3DFMT_A8: return 10;
        default: return 11;
    }
}

TDXTexture::TDXTexture(TextureStorageFactory& storage) : m_factory(storage) {}

TDXTexture::~TDXTexture() { m_storage.reset(); }

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

bool TDXTexture::CreateResource() {
    ReleaseResource();
    m_storage = m_factory.create(TextureDescription{FWidth, FHeight, FFormat, FKind, FMipmaps});
    if (!m_storage) {
        ReleaseResource();
        return false;
    }
    return true;
}

void TDXTexture::ReleaseResource() { m_storage.reset(); }

bool TDXTexture::Lock(std::uint8_t mode, TDXLockedRect& rect) {
    if (!m_storage) return false;
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
    std::memset(rect.Bits, 0, static_cast<std::size_t>(FHeight) * static_cast<std::size_t>(rect.Pitch));
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

bool TDXTexture::BindToStage(std::uint32_t /*stage*/) {
    return false;  // no device yet
}

bool TDXImageTexture::Prepare() {
    if (FImageWidth <= 0) FImageWidth = FWidth;
    if (FImageHeight <= 0) FImageHeight = FHeight;
    return FWidth > 0 && FHeight > 0 && FWidth >= FImageWidth && FHeight >= FImageHeight;
}

}  // namespace vantoro
