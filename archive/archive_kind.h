// The archive kind of a file, chosen from its extension the way the main
// window's file browser chooses it. Both Mir2 and Mir3 standard archives end
// in ".wil"; a Mir3 data file starts with the 16-bit value 1, which tells
// them apart.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantoro {

// The first little-endian 16-bit value of a Mir3 ".wil" data file.
inline constexpr std::uint16_t kMir3WilMarker = 1;

// The extension of the last name in `path`, dot included, as spelled: from
// the last '.' after the last '/'; "" when the name has no dot.
std::string_view fileExtension(std::string_view path);

// The kind for an extension (compared without regard to case) given the
// file's first bytes. ".wil" is 4 when the first two bytes are the Mir3
// marker, otherwise 0 (also when the file holds fewer than two bytes).
// Nothing for an extension outside the table.
std::optional<std::uint8_t> kindForExtension(std::string_view extension,
                                             std::span<const std::uint8_t> head);

// kindForExtension on the file's own extension and first two bytes. A ".wil"
// that cannot be read counts as shorter than two bytes: kind 0, whose reader
// then fails to open it.
std::optional<std::uint8_t> kindForFile(const std::string& path);

}  // namespace vantoro
