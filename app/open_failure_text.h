// The window's words for what went wrong with an archive: why it opened
// without (all of) its entries, and why a selected entry shows nothing.
//
// The readers say why in their own words (lastError(), which the command
// line prints as it stands). The window speaks Chinese, so a table here gives
// each of the readers' reasons a Chinese text; a reason the table does not
// know reads as the general text of its kind rather than in English.
#pragma once

#include <QString>
#include <cstdint>
#include <string_view>

#include "archive/archive_reader.h"

namespace vantoro {

// Why `archive`, just opened, shows none or not all of its entries; empty
// when nothing is wrong (an empty archive that opened well has nothing
// wrong). `opened` is what its Initialize answered.
QString openFailureText(const TWMBaseImages& archive, bool opened);

// Why entry `index` shows nothing, from the reason its reader gave; empty
// when the reader gave none.
QString entryFailureText(std::int32_t index, std::string_view reason);

// Whether a pack's first bytes are a pack header: a file of another kind
// opened as a pack has no creation time to show.
bool hasPackHeader(const TWMBaseImages& archive);

}  // namespace vantoro
