#include "archive/texture_cache.h"

#include <chrono>

#include "archive/archive_reader.h"
#include "archive/entry_errors.h"
#include "pixels/pixel_format.h"

namespace vantoro {

std::uint32_t tickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// The cache holds one texture per entry; it is asked by offset, which names
// the first entry stored there.
void TWMBaseImages::LoadCacheEntry(std::int32_t offset, TTextureCacheEntry& entry) {
    entry.Texture.reset();
    entry.Failed = 1;
    if (!abilities().textureCache) return;
    const auto index = firstEntryAt(offset);
    if (!index) {
        setLastError("no entry at offset " + std::to_string(offset));
        return;
    }
    const auto image = decodeChecked(*index);
    if (!image) return;
    auto texture =
        CreateCacheTexture(image->info.Width, image->info.Height, cachePixelFormat(image->format));
    if (!texture || !drawDecodedImage(*image, *texture)) {
        setLastError(entry_error::about(*index, entry_error::kTextureRefused));
        return;
    }
    if (fileShrankWhileRead(*index)) return;
    entry.Texture = std::move(texture);
    entry.PX = image->info.PX;
    entry.PY = image->info.PY;
    entry.Failed = 0;
}

void TWMBaseImages::FreeTextureCache() {
    for (TTextureCacheEntry& entry : FTextureCache) entry.Texture.reset();
    FTextureCache.clear();
    FCachedCount = 0;
}

bool TWMBaseImages::InitTextureCache() {
    FreeTextureCache();
    if (!FInitialized || FImageCount <= 0 || !FUseTextureCache) return false;
    FTextureCache.resize(static_cast<std::size_t>(FImageCount));
    return true;
}

std::uint8_t TWMBaseImages::BytesPerPixel(std::uint8_t format) {
    return vantoro::BytesPerPixel(format);
}

std::unique_ptr<TDXImageTexture> TWMBaseImages::CreateCacheTexture(std::uint16_t width,
                                                                   std::uint16_t height,
                                                                   std::uint8_t format) {
    if (format >= kPixelFormatToD3D.size()) return nullptr;
    auto texture = std::make_unique<TDXImageTexture>();
    texture->SetSize(width, height);
    texture->SetImageSize(width, height);
    texture->SetFormat(kPixelFormatToD3D[format]);
    if (!texture->SetActive(true)) return nullptr;
    return texture;
}

}  // namespace vantoro
