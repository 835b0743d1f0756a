// The reasons an entry fails, as lastError() reports them after "entry N: ".
// Readers share these texts so one failure reads the same in every format;
// a reason only one format can give is written beside its decoder.
#pragma once

#include <cstdint>
#include <string>

#include "archive/image_records.h"

namespace vantoro::entry_error {

inline constexpr const char* kOutsideIndex = "is outside the index";
inline constexpr const char* kHoldsNoImage = "holds no image";
inline constexpr const char* kHeaderCutShort = "image header is cut short";
inline constexpr const char* kPixelsCutShort = "image pixels are cut short";
inline constexpr const char* kNotZlib = "payload is not a valid zlib stream";
inline constexpr const char* kInflatesToNothing = "payload inflates to nothing";
inline constexpr const char* kTextureRefused = "the texture cannot take the image";
inline constexpr const char* kNoTexture = "no texture to draw into";
inline constexpr const char* kCannotDraw = "this archive kind cannot draw into a texture";
inline constexpr const char* kNotOpen = "the archive is not open";
inline constexpr const char* kNoMemory = "not enough memory for the image";
inline constexpr const char* kFileShrank = "the file shrank on disk while it was read";

// "entry N: reason", as lastError() reports a failed entry.
inline std::string about(std::int32_t index, const std::string& reason) {
    return "entry " + std::to_string(index) + ": " + reason;
}

inline std::string cannotSeek(std::int64_t offset) {
    return "cannot seek to offset " + std::to_string(offset);
}
// A record stored without compression whose body the file does not hold.
inline std::string uncompressedBodyPastEnd(std::uint64_t bodySize) {
    return "uncompressed body of " + std::to_string(bodySize) + " bytes passes the end of the file";
}
inline std::string imageSize(const TWMImageInfo& info) {
    return "image size " + std::to_string(info.Width) + "x" + std::to_string(info.Height) +
           " is outside 2..4095";
}

}  // namespace vantoro::entry_error
