#include "archive/bottom_up_body.h"

#include <cstring>
#include <vector>

#include "pixels/pixel_format.h"
#include "d3d9/d3d9_formats.h"

namespace vantoro {
namespace {

std::int32_t strideOf(const BottomUpBody& body) {
    return WidthBytes(static_cast<std::uint32_t>(body.bitsPerPixel), body.width);
}

std::size_t rowBytesOf(const BottomUpBody& body) {
    return static_cast<std::size_t>(body.width) * static_cast<std::size_t>(body.bitsPerPixel / 8);
}

// Row r (top first) of the body, or nothing when the body ends before it.
const std::uint8_t* sourceRow(const BottomUpBody& body, std::int32_t r) {
    const std::uint64_t start =
        static_cast<std::uint64_t>(body.height - 1 - r) * static_cast<std::uint64_t>(strideOf(body));
    if (start + rowBytesOf(body) > body.bytes.size()) return nullptr;
    return body.bytes.data() + start;
}

}  // namespace

std::uint64_t bottomUpBodySize(int bitsPerPixel, std::uint16_t width, std::uint16_t height) {
    return static_cast<std::uint64_t>(WidthBytes(static_cast<std::uint32_t>(bitsPerPixel), width)) *
           height;
}

void fillTextureFromBottomUp(const BottomUpBody& body, const TextureWriter& texture) {
    // 16-bit rows are read as words; a body that does not start on a word
    // boundary is staged through an aligned row.
    std::vector<std::uint16_t> aligned;
    for (std::int32_t r = 0; r < body.height; ++r) {
        const std::uint8_t* src = sourceRow(body, r);
        if (!src) {
            std::memset(texture.row16(r), 0, 2 * static_cast<std::size_t>(body.width));
            continue;
        }
        if (body.bitsPerPixel == 8) {
            Convert8To16(src, texture.row16(r), body.width);
            continue;
        }
        const std::uint16_t* words = reinterpret_cast<const std::uint16_t*>(src);
        if (reinterpret_cast<std::uintptr_t>(src) % alignof(std::uint16_t) != 0) {
            aligned.resize(body.width);
            std::memcpy(aligned.data(), src, rowBytesOf(body));
            words = aligned.data();
        }
        Convert16To16(words, texture.row16(r), body.width);
    }
}

bool drawBottomUpBody(const BottomUpBody& body, TDXTexture& texture) {
    const auto writer = TextureWriter::begin(texture, D3DFMT_A1R5G5B5, body.width, body.height,
                                             TextureClear::PaddingOnly);
    if (!writer) return false;
    fillTextureFromBottomUp(body, *writer);
    return true;
}

std::optional<DibBitmap> bitmapFromBottomUp(const BottomUpBody& body) {
    auto bitmap = DibBitmap::create(body.bitsPerPixel, body.width, body.height);
    if (!bitmap) return std::nullopt;
    for (std::int32_t r = 0; r < body.height; ++r) {
        const std::uint8_t* src = sourceRow(body, r);
        if (src) std::memcpy(bitmap->row(r), src, rowBytesOf(body));
    }
    return bitmap;
}

}  // namespace vantoro
