// Reading a number the user typed or the settings hold: an optional sign and
// decimal digits, nothing else, within the 32-bit range. The callers choose
// what stands in when the text is not such a number.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vantoro {

inline std::optional<std::int32_t> parseDecimalInt32(std::string_view text) {
    // from_chars takes a leading '-' but not a '+'.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 10);
    if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

}  // namespace vantoro
