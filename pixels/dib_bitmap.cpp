#include "pixels/dib_bitmap.h"

#include "pixels/pixel_format.h"

namespace vantoro {

std::optional<DibBitmap> DibBitmap::create(int bitCount, std::int32_t width, std::int32_t height) {
    if (bitCount != 8 && bitCount != 16 && bitCount != 32) return std::nullopt;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return std::nullopt;
    const std::int32_t stride =
        WidthBytes(static_cast<std::uint32_t>(bitCount), static_cast<std::uint32_t>(width));
    return DibBitmap(bitCount, width, height, stride);
}

DibBitmap::DibBitmap(int bitCount, std::int32_t width, std::int32_t height, std::int32_t stride)
    : m_bitCount(bitCount),
      m_width(width),
      m_height(height),
      m_stride(stride),
      m_pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), 0) {}

}  // namespace vantoro
