// The record pieces the archive formats share: the 8-byte image info most
// image headers begin with, the accepted image sizes, and the offset tables
// of the separate index files (.wix, .wzx, .mix).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "archive/record_fields.h"
#include "io/byte_reader.h"
#include "io/file_stream.h"
#include "io/result.h"

namespace vantoro {

// An image's size and drawing offsets; on disk Width u16, Height u16, PX i16,
// PY i16, little-endian.
struct TWMImageInfo {
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    std::int16_t PX = 0;
    std::int16_t PY = 0;
};

inline constexpr std::size_t kImageInfoSize = 8;

// The image info at the reader's position, or nothing when fewer than
// kImageInfoSize bytes remain.
inline std::optional<TWMImageInfo> readImageInfo(ByteReader& reader) {
    const auto width = reader.readU16();
    const auto height = reader.readU16();
    const auto px = reader.readI16();
    const auto py = reader.readI16();
    if (!width || !height || !px || !py) return std::nullopt;
    return TWMImageInfo{*width, *height, *px, *py};
}

// Images outside 2..4095 pixels on either side are rejected by every reader.
inline constexpr std::uint16_t kMinImageSide = 2;
inline constexpr std::uint16_t kMaxImageSide = 4095;
constexpr bool isAcceptedImageSize(std::uint32_t width, std::uint32_t height) {
    return width >= kMinImageSide && width <= kMaxImageSide && height >= kMinImageSide &&
           height <= kMaxImageSide;
}

// More entries than this in an index file mean the file is not an index.
inline constexpr std::int32_t kMaxIndexCount = 10'000'000;

// An index file: a fixed header holding the entry count, then that many
// 32-bit file offsets.
struct OffsetTableLayout {
    std::int64_t headerStart = 0;  // where the header begins in the file
    std::uint32_t headerSize = 0;  // bytes of header before the offsets
    std::uint32_t countAt = 0;     // position of the i32 count inside the header
};

// Reads the header and the offsets that follow it. Fails, saying why, when
// the header is short, the count is negative or above kMaxIndexCount, or
// fewer than 4 * count bytes follow: the count is checked against the file
// before the table is allocated.
Result<std::vector<std::int32_t>> readOffsetTable(FileStream& file,
                                                  const OffsetTableLayout& layout);

}  // namespace vantoro
