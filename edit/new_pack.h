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

struct NewPackResult {
    EditResult result;
    std::string path;  // the pack's name, for the question whether to open it
};

// The New command once a name is chosen. Nothing happens for an empty name
// (Ignored). An existing file is replaced only when the overwrite question
// is answered OK; Cancel leaves it untouched (Refused). The new header is
// written completely before it takes the name, so a failure (Failed) never
// leaves a half-written pack or loses the file it was to replace. Done: the
// window then asks NewPackOpen and opens `path` on Yes.
NewPackResult createNewPack(std::string_view chosen, PromptSeam& prompts,
                            double creationTime = packTimeNow());

}  // namespace vantoro
