// Filling a caller's texture with one decoded image, in the order every
// texture supports: deactivate, format, size, image size, activate, lock for
// writing, clear, rows at Bits + row * Pitch, unlock.
#pragma once

#include <cstdint>
#include <optional>

#include "pixels/dx9_textures.h"

namespace vantoro {

// How much of a freshly locked texture the writer clears to 0 (transparent).
enum class TextureClear {
    All,          // every byte: the caller may leave texels untouched
    PaddingOnly,  // only the bytes past each row's image width: the caller
                  // promises to write every texel of every image row
};

class TextureWriter {
public:
    // Sets the texture up for a width x height image in `d3dFormat`, locks it
    // and clears it as `clear` says. Either way the texture ends up exactly
    // as if all of it had been cleared before the rows were written. Nothing
    // when the texture does not activate or refuses the lock.
    static std::optional<TextureWriter> begin(TDXTexture& texture, std::uint32_t d3dFormat,
                                              std::int32_t width, std::int32_t height,
                                              TextureClear clear = TextureClear::All);
    ~TextureWriter();

    TextureWriter(TextureWriter&& other) noexcept;
    TextureWriter& operator=(TextureWriter&&) = delete;
    TextureWriter(const TextureWriter&) = delete;

    std::uint8_t* row(std::int32_t y) const {
        return static_cast<std::uint8_t*>(m_rect.Bits) +
               static_cast<std::ptrdiff_t>(y) * m_rect.Pitch;
    }
    std::uint16_t* row16(std::int32_t y) const { return reinterpret_cast<std::uint16_t*>(row(y)); }
    std::int32_t pitch() const { return m_rect.Pitch; }

private:
    TextureWriter(TDXTexture& texture, const TDXLockedRect& rect)
        : m_texture(&texture), m_rect(rect) {}

    TDXTexture* m_texture;  // null once moved from
    TDXLockedRect m_rect;
};

}  // namespace vantoro
