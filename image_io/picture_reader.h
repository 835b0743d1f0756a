// Reading picture files (BMP, PNG, JPEG) into 32-bit rows: bytes B, G, R, A
// per pixel, top row first, no padding. The kind is told by the first bytes
// of the file, never by its name.
//
// BMP: 1, 4, 8 bits with a colour table, 16 bits (5-5-5 or bit fields), 24
// bits, 32 bits (B, G, R and a fourth byte, or bit fields); core, info and
// V2..V5 headers; rows bottom-up or top-down. Run-length coded BMPs are
// refused. PNG: every colour type and depth, through libpng. JPEG: greyscale
// and colour through libjpeg; CMYK is refused.
//
// The A byte carries the file's alpha where the file has one: PNG colour
// types 4 and 6 (grey or colour with alpha) and PNGs with a tRNS chunk (the
// palette's alpha values, or a grey or RGB colour key that reads as alpha 0),
// 32-bit BMPs (the fourth byte as stored), 16- and 32-bit BMPs whose
// bit-field header names an alpha mask. Everything else is opaque (255).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_stream.h"
#include "io/result.h"

namespace vantoro {

// Limits a picture's header must keep before anything is allocated for it.
inline constexpr std::uint32_t kMaxPictureSide = 32768;
inline constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 26;  // 256 MiB as rows
inline constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t{1} << 29;

enum class PictureKind : std::uint8_t { Unknown, Bmp, Png, Jpeg };

struct Picture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;  // width * 4 bytes a row, B, G, R, A
    bool hasAlpha = false;             // A comes from the file
    // The file held R5G6B5 words (a 16-bit BMP with the masks F800, 07E0,
    // 001F). Each channel was widened so that its top 5 or 6 bits are the
    // stored ones, so the words come back exactly from B, G, R.
    bool rgb565 = false;

    std::size_t stride() const { return static_cast<std::size_t>(width) * 4; }
    const std::uint8_t* row(std::uint32_t y) const { return pixels.data() + y * stride(); }
    std::uint8_t* row(std::uint32_t y) { return pixels.data() + y * stride(); }
};

// The size against the limits above, before any row is allocated.
Status checkPictureSize(std::uint64_t width, std::uint64_t height);
// A picture of that size with every byte 0; the size must have passed
// checkPictureSize.
Picture allocatePicture(std::uint32_t width, std::uint32_t height, bool hasAlpha);

// By signature: "BM", the PNG signature, or FF D8 FF.
PictureKind pictureKindOf(std::span<const std::uint8_t> bytes);

Result<Picture> decodeBmp(std::span<const std::uint8_t> bytes);
Result<Picture> decodePng(std::span<const std::uint8_t> bytes);
Result<Picture> decodeJpeg(std::span<const std::uint8_t> bytes);
// Any of the three, by signature.
Result<Picture> decodePicture(std::span<const std::uint8_t> bytes);

// The whole file's bytes, refused above kMaxPictureFileBytes; errors name
// the file.
Result<FileBytes> readPictureFile(const std::string& path);

// The reason given when a picture that passed the checks above still does
// not fit in memory.
inline constexpr std::string_view kPictureNoMemory = "not enough memory for the picture";

// The whole file, decoded; errors name the file.
Result<Picture> readPicture(const std::string& path);

}  // namespace vantoro
