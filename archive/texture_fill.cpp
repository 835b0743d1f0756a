#include "archive/texture_fill.h"

#include <cstring>

#include "render/d3d9/d3d9_formats.h"

namespace vantoro {

std::optional<TextureWriter> TextureWriter::begin(TDXTexture& texture, std::uint32_t d3dFormat,
                                                  std::int32_t width, std::int32_t height) {
    texture.SetActive(false);
    texture.SetFormat(d3dFormat);
    texture.SetSize(width, height);
    texture.SetImageSize(width, height);
    if (!texture.SetActive(true)) return std::nullopt;

    TDXLockedRect rect;
    if (!texture.Lock(kLockWrite, rect)) return std::nullopt;
    // A storage whose rows are narrower than the image cannot take it.
    if (rect.Pitch < width * d3dFormatBytesPerTexel(d3dFormat)) {
        texture.Unlock();
        return std::nullopt;
    }
    std::memset(rect.Bits, 0,
                static_cast<std::size_t>(texture.FHeight) * static_cast<std::size_t>(rect.Pitch));
    return TextureWriter(texture, rect);
}

TextureWriter::~TextureWriter() {
    if (m_texture) m_texture->Unlock();
}

TextureWriter::TextureWriter(TextureWriter&& other) noexcept
    : m_texture(other.m_texture), m_rect(other.m_rect) {
    other.m_texture = nullptr;
}

}  // namespace vantoro
