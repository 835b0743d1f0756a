#include "pixels/texture_storage.h"

#include "d3d9/d3d9_formats.h"

namespace vantoro {

std::int32_t MemoryTextureStorage::pitchFor(std::int32_t width, int bytesPerTexel) {
    const std::int32_t rowBytes = width * bytesPerTexel;
    return (rowBytes / kRowAlignment + 1) * kRowAlignment;
}

MemoryTextureStorage::MemoryTextureStorage(std::vector<std::uint8_t> texels, std::int32_t pitch,
                                           MemoryTextureStorageFactory& owner)
    : m_texels(std::move(texels)), m_pitch(pitch), m_owner(owner) {}

MemoryTextureStorage::~MemoryTextureStorage() {
    m_owner.recycle(std::move(m_texels));
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

    const std::int32_t pitch = MemoryTextureStorage::pitchFor(description.width, bytesPerTexel);
    const std::size_t size =
        static_cast<std::size_t>(pitch) * static_cast<std::size_t>(description.height);
    std::vector<std::uint8_t> texels;
    {
        std::lock_guard<std::mutex> guard(m_spareLock);
        if (m_spare.capacity() >= size) texels = std::move(m_spare);
        m_spare = {};
    }
    texels.resize(size);
    return std::make_unique<MemoryTextureStorage>(std::move(texels), pitch, *this);
}

void MemoryTextureStorageFactory::recycle(std::vector<std::uint8_t> buffer) {
    if (buffer.capacity() > kMaxSpareBytes) return;
    std::lock_guard<std::mutex> guard(m_spareLock);
    if (buffer.capacity() > m_spare.capacity()) m_spare = std::move(buffer);
}

MemoryTextureStorageFactory& MemoryTextureStorageFactory::instance() {
    static MemoryTextureStorageFactory factory;
    return factory;
}

}  // namespace vantoro
