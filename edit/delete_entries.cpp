#include "edit/delete_entries.h"

#include <string>

#include "archive/my_image_images.h"
#include "edit/edit_messages.h"
#include "edit/entry_range.h"
#include "edit/pack_file_check.h"

namespace vantoro {
namespace {

EditResult refused(PromptSeam& prompts, const Prompt& prompt) {
    prompts.ask(prompt);
    return {EditOutcome::Refused, {}};
}

EditResult failed(std::string error) {
    return {EditOutcome::Failed, std::move(error)};
}

}  // namespace

EditResult deleteEntries(TWMBaseImages& archive, const DeleteRequest& request, PromptSeam& prompts,
                         const ProgressSink& progress, const StopCheck& stop) {
    auto* pack = dynamic_cast<TWMMyImageImages*>(&archive);
    if (pack == nullptr || !pack->FInitialized || pack->FReadOnly)
        return {EditOutcome::Ignored, {}};
    if (Status file = checkPackFile(*pack); !file) return failed(file.error());
    if (!pack->canEdit()) return refused(prompts, packLockedPrompt(pack->editBlock()));
    if (const auto problem = entryRangeProblem(request.first, request.last, pack->FImageCount)) {
        return refused(prompts, editPrompt(*problem));
    }
    if (progress) progress(0);
    if (stop && stop()) return refused(prompts, deleteStoppedPrompt());
    // One journaled step: the cut, the index update and the save.
    if (Status s = pack->removeEntries(request.first, request.last, !request.placeholders); !s) {
        return failed(s.error());
    }
    if (progress) progress(100);
    prompts.ask(editPrompt(EditMessage::DeleteDone));
    return {EditOutcome::Done, {}};
}

}  // namespace vantoro
