#include "render/texture_storage.h"

#include "render/d3d9/d3d9_formats.h"

namespace vantoro {

MemoryTextureStorage::MemoryTextureStorage(std::int32_t width, std::int32_t height,
                                           int bytesPerTexel) {
    const std::int32_t rowBytes = width * bytesPerTexel;
    // Always at least one alignment unit of padding past the row.
    m_pitch = (rowBytes / kRowAlignment + 1) * kRowAlignment;
    m_texels.resize(static_cast<std::size_t>(m_pitch) * static_cast<std::size_t>(height));
}

std::optional<TextureLock> MemoryTextureStorage::lock(bool /*readOnly*/) {
    if (m_locked) return std::nullopt;
    m_locked = true;
    return TextureLock{m_texels.data(), m_pitch};
}

std::unique_ptr<TextureStorage> MemoryTextureStorageFactory::create(
    const TextureDescription& description) {
    const int bytesPerTexel = d3dFormatBytesPerTexel(description.format);
    if (bytesPerTexel == 0) return nullptr;
    if (description.width <= 0 || description.height <= 0) return nullptr;
    if (description.width > kMaxSide || description.height > kMaxSide) return nullptr;
    return std::make_unique<MemoryTextureStorage>(description.width, description.height,
                                                  bytesPerTexel);
}

MemoryTextureStorageFactory& MemoryTextureStorageFactory::instance() {
    static MemoryTextureStorageFactory factory;
    return factory;
}

}  // namespace vantoro
