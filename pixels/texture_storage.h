// Where a texture object keeps its texels.
//
// A texture object (TDXTexture) holds only settings and a state; activating
// it asks a TextureStorageFactory for storage of its size and format. The
// default factory keeps texels in plain memory; the rendering device puts its
// own textures behind the same seam, so archive readers fill either the same
// way: lock, write rows at bits + row * pitch, unlock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace vantoro {

struct TextureLock {
    std::uint8_t* bits = nullptr;  // texel row 0
    std::int32_t pitch = 0;        // bytes per row; may exceed width * bytes per texel
};

class TextureStorage {
public:
    virtual ~TextureStorage() = default;
    // Locks the whole level-0 surface; nothing when it is already locked.
    virtual std::optional<TextureLock> lock(bool readOnly) = 0;
    virtual void unlock() = 0;
};

struct TextureDescription {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t format = 0;  // Direct3D format number
    std::uint8_t kind = 0;     // pool and usage selector
    bool mipmaps = false;
};

class TextureStorageFactory {
public:
    virtual ~TextureStorageFactory() = default;
    // Nothing when the description cannot be stored (unknown format, bad size).
    virtual std::unique_ptr<TextureStorage> create(const TextureDescription& description) = 0;
};

class MemoryTextureStorageFactory;

// Plain-memory storage. Its pitch is padded past the row's bytes, the way
// display drivers align rows, so a caller that ignores the pitch is caught.
class MemoryTextureStorage final : public TextureStorage {
public:
    static constexpr std::int32_t kRowAlignment = 32;

    // Bytes per row for a width; always at least one alignment unit past the row.
    static std::int32_t pitchFor(std::int32_t width, int bytesPerTexel);

    // `texels` holds pitch * height bytes whose contents are undefined:
    // whoever fills a texture clears it first.
    MemoryTextureStorage(std::vector<std::uint8_t> texels, std::int32_t pitch,
                         MemoryTextureStorageFactory& owner);
    ~MemoryTextureStorage() override;

    std::optional<TextureLock> lock(bool readOnly) override;
    void unlock() override { m_locked = false; }

    std::int32_t pitch() const { return m_pitch; }

private:
    std::vector<std::uint8_t> m_texels;
    std::int32_t m_pitch = 0;
    bool m_locked = false;
    MemoryTextureStorageFactory& m_owner;
};

class MemoryTextureStorageFactory final : public TextureStorageFactory {
public:
    // Largest side accepted, as a display adapter's maximum texture size.
    static constexpr std::int32_t kMaxSide = 8192;
    // The largest released buffer kept for the next texture.
    static constexpr std::size_t kMaxSpareBytes = 32u << 20;

    std::unique_ptr<TextureStorage> create(const TextureDescription& description) override;

    // The factory texture objects use when they are given none.
    static MemoryTextureStorageFactory& instance();

private:
    friend class MemoryTextureStorage;
    // The view re-creates one texture for every image it shows; handing the
    // last released buffer to the next texture spares an allocation and keeps
    // the texels in cache.
    void recycle(std::vector<std::uint8_t> buffer);

    std::mutex m_spareLock;
    std::vector<std::uint8_t> m_spare;
};

}  // namespace vantoro
