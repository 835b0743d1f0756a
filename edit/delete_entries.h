// Delete: a range of a pack's entries cut out of the file, which shrinks by
// their bytes. The entries either leave the index (the later ones move down
// in number) or stay as empty placeholders that keep every number.
//
// Only a pack open for writing is changed. Any other archive is left alone
// without a word; a pack that may not be edited (protected and opened without
// its password, index unreadable) is refused with a message before the range
// is looked at, since such a pack shows no entries. The range is checked
// with the messages of edit/entry_range.h. The index is saved once at the
// end; a pack emptied this way reads back as a pack without entries.
#pragma once

#include <cstdint>

#include "archive/archive_reader.h"
#include "edit/edit_prompts.h"

namespace vantoro {

struct DeleteRequest {
    std::int32_t first = -1;  // -1: the box does not hold a number
    std::int32_t last = -1;
    bool placeholders = false;  // "使用空数据替代" instead of "彻底删除"
};

// Done after the closing message; Refused after a message saying why;
// Ignored for an archive that is not a pack open for writing; Failed for a
// file that is not a pack (edit/pack_file_check.h), when the file or the
// index could not be written, or the file is shorter than its index says
// (checked before anything changes).
//
// The cut, the index update and the save are one journaled step that is
// never broken off: `stop` is asked once, before the step begins, and a stop
// then leaves the pack untouched with a message saying so (Refused). A stop
// asked for during the step is the caller's to report once it has ended.
EditResult deleteEntries(TWMBaseImages& archive, const DeleteRequest& request, PromptSeam& prompts,
                         const ProgressSink& progress = {}, const StopCheck& stop = {});

}  // namespace vantoro
