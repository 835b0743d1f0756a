// The New command: an empty pack file, the 64-byte header alone (signature,
// creation time, zero elsewhere; archive/pack_header.h). It opens with no
// entries and takes imports like any other pack.
#pragma once

#include <string>
#include <string_view>

#include "archive/pack_header.h"
#include "edit/edit_prompts.h"

namespace vantoro {

// The chosen name with ".pak" appended, unless it already ends in ".pak" in
// any letter case (a name ending in ".PAK" is kept as chosen).
std::string newPackPath(std::string_view chosen);

// Why an existing file is not replaced, whatever the overwrite question's
// answer.
enum class NewPackBlock : std::uint8_t {
    None,
    BeingEdited,  // another program holds the pack's editing lock
    HasJournal,   // an interrupted edit's journal lies beside it
};

struct NewPackResult {
    EditResult result;
    std::string path;  // the pack's name, for the question whether to open it
    NewPackBlock blocked = NewPackBlock::None;
};

// The New command once a name is chosen. Nothing happens for an empty name
// (Ignored). An existing file is replaced only when the overwrite question
// is answered OK; Cancel leaves it untouched (Refused). It is never replaced
// while another program edits it (the editing lock every pack edit holds is
// taken for the replacing), nor while the journal of an interrupted edit
// lies beside it: that edit is completed or set aside by opening the pack,
// and a new pack under the name would lose it. Both are Refused with
// `blocked` saying which and the error naming it, before the question is
// asked. The new header is written completely before it takes the name, so
// a failure (Failed) never leaves a half-written pack or loses the file it
// was to replace. Done: the window then asks NewPackOpen and opens `path` on
// Yes.
NewPackResult createNewPack(std::string_view chosen, PromptSeam& prompts,
                            double creationTime = packTimeNow());

}  // namespace vantoro
