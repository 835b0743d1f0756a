// An in-memory device-independent bitmap: 8-bit palette indices with a
// colour table, 16-bit R5G6B5 or 32-bit pixels. Rows are kept top row first,
// each padded to a 4-byte stride as in a BMP file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vantoro {

class DibBitmap {
public:
    static constexpr std::int32_t kMaxSide = 65535;

    // A zeroed bitmap; nothing for an unsupported depth or a side outside
    // 1..kMaxSide.
    static std::optional<DibBitmap> create(int bitCount, std::int32_t width, std::int32_t height);

    int bitCount() const { return m_bitCount; }
    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    std::int32_t stride() const { return m_stride; }

    // Row y of the image, y = 0 being the top row; stride() bytes.
    std::uint8_t* row(std::int32_t y) { return m_pixels.data() + offsetOf(y); }
    const std::uint8_t* row(std::int32_t y) const { return m_pixels.data() + offsetOf(y); }
    std::uint16_t* row16(std::int32_t y) { return reinterpret_cast<std::uint16_t*>(row(y)); }
    const std::uint16_t* row16(std::int32_t y) const {
        return reinterpret_cast<const std::uint16_t*>(row(y));
    }

    std::span<const std::uint8_t> pixels() const { return m_pixels; }

    // 256 entries of blue, green, red, reserved; used by 8-bit bitmaps.
    std::array<std::uint8_t, 1024>& colorTable() { return m_colorTable; }
    const std::array<std::uint8_t, 1024>& colorTable() const { return m_colorTable; }

private:
    DibBitmap(int bitCount, std::int32_t width, std::int32_t height, std::int32_t stride);
    std::size_t offsetOf(std::int32_t y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_stride);
    }

    int m_bitCount;
    std::int32_t m_width;
    std::int32_t m_height;
    std::int32_t m_stride;
    std::vector<std::uint8_t> m_pixels;
    std::array<std::uint8_t, 1024> m_colorTable{};
};

}  // namespace vantoro
