#include "edit/delete_entries.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "archive/my_image_images.h"
#include "edit/edit_messages.h"
#include "edit/entry_range.h"
#include "io/file_range.h"

namespace vantoro {
namespace {

EditResult refused(PromptSeam& prompts, const Prompt& prompt) {
    prompts.ask(prompt);
    return {EditOutcome::Refused, {}};
}

EditResult failed(std::string error) {
    return {EditOutcome::Failed, std::move(error)};
}

// The bytes start..stop of entries first..last, checked against the file
// before any byte moves: a shorter file means the index lists bytes that are
// not there, and cutting would shift the wrong ones.
Status checkCut(const TWMMyImageImages& pack, std::int32_t start, std::int32_t stop) {
    if (start < kPackDataStart || stop < start) {
        return fail("the pack's index is out of order at " + std::to_string(start));
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(pack.FFileName, error);
    if (error) return fail("cannot measure " + pack.FFileName + ": " + error.message());
    if (size < static_cast<std::uintmax_t>(stop)) {
        return fail(pack.FFileName + " ends at " + std::to_string(size) + ", before the data end " +
                    std::to_string(stop));
    }
    return Status::success();
}

}  // namespace

EditResult deleteEntries(TWMBaseImages& archive, const DeleteRequest& request, PromptSeam& prompts,
                         const ProgressSink& progress) {
    auto* pack = dynamic_cast<TWMMyImageImages*>(&archive);
    if (pack == nullptr || !pack->FInitialized || pack->FReadOnly)
        return {EditOutcome::Ignored, {}};
    if (!pack->canEdit()) return refused(prompts, packLockedPrompt(pack->editBlock()));
    if (const auto problem = entryRangeProblem(request.first, request.last, pack->FImageCount)) {
        return refused(prompts, editPrompt(*problem));
    }
    if (progress) progress(0);
    const std::int32_t start = pack->FindDataPosition(request.first);
    const std::int32_t stop = pack->FindDataPosition(request.last + 1);
    if (Status s = checkCut(*pack, start, stop); !s) return failed(s.error());

    const std::int64_t length = stop - start;
    if (length > 0) {
        const Result<std::int64_t> cut = DeleteFileRange(pack->FFileName, length, start);
        if (!cut) return failed(cut.error());
    }
    if (!pack->RemoveIndexRange(request.first, request.last, !request.placeholders, length)) {
        return failed("the index of " + pack->FFileName + " does not fit the bytes cut");
    }
    if (pack->SaveIndex() != 1) {
        return failed("cannot write the index of " + pack->FFileName + ": " + pack->lastError());
    }
    if (progress) progress(100);
    prompts.ask(editPrompt(EditMessage::DeleteDone));
    return {EditOutcome::Done, {}};
}

}  // namespace vantoro
