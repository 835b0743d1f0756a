// What an entry holds, as its data type code says.
#pragma once

#include <cstdint>

namespace vantoro {

// Data type codes of an entry.
inline constexpr std::uint8_t kDataTypeEmpty = 0;
inline constexpr std::uint8_t kDataTypeImage = 31;
inline constexpr std::uint8_t kDataTypeRaw = 47;
inline constexpr std::uint8_t kDataTypeWav = 63;
inline constexpr std::uint8_t kDataTypeMp3 = 79;

}  // namespace vantoro
