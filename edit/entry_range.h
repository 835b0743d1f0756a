// The range of entries that delete and export work on, as typed into their
// two number boxes.
#pragma once

#include <cstdint>
#include <optional>

#include "edit/edit_messages.h"

namespace vantoro {

// The checks in the order the messages are shown; the message of the first
// that fails, or nothing for a range inside 0..count-1. A box whose text is
// not a number counts as -1.
constexpr std::optional<EditMessage> entryRangeProblem(std::int32_t first, std::int32_t last,
                                                       std::int32_t count) {
    if (first < 0) return EditMessage::RangeStartWrong;
    if (last < 0) return EditMessage::RangeEndWrong;
    if (last >= count) return EditMessage::RangeEndTooLarge;
    if (first > last) return EditMessage::RangeStartAfterEnd;
    return std::nullopt;
}

}  // namespace vantoro
