#include "pixels/texture_fill.h"

#include <cstring>

#include "d3d9/d3d9_formats.h"

namespace vantoro {

std::optional<TextureWriter> TextureWriter::begin(TDXTexture& texture, std::uint32_t d3dFormat,
                                                  std::int32_t width, std::int32_t height,
                                                  TextureClear clear) {
    texture.SetActive(false);
    texture.SetFormat(d3dFormat);
    texture.SetSize(width, height);
    texture.SetImageSize(width, height);
    if (!texture.SetActive(true)) return std::nullopt;

    TDXLockedRect rect;
    if (!texture.Lock(kLockWrite, rect)) return std::nullopt;
    // A storage whose rows are narrower than the image cannot take it.
    const std::int32_t rowBytes = width * d3dFormatBytesPerTexel(d3dFormat);
    if (rect.Pitch < rowBytes) {
        texture.Unlock();
        return std::nullopt;
    }
    auto* bits = static_cast<std::uint8_t*>(rect.Bits);
    const auto pitch = static_cast<std::size_t>(rect.Pitch);
    if (clear == TextureClear::All) {
        std::memset(bits, 0, static_cast<std::size_t>(texture.FHeight) * pitch);
    } else {
        // Clearing only what the rows will not overwrite halves the memory
        // traffic of the raw formats.
        for (std::int32_t y = 0; y < texture.FHeight; ++y) {
            const std::size_t from = y < height ? static_cast<std::size_t>(rowBytes) : 0;
            std::memset(bits + y * pitch + from, 0, pitch - from);
        }
    }
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
