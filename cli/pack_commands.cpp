#include "cli/pack_commands.h"

#include <exception>
#include <memory>
#include <ostream>

#include "archive/my_image_images.h"
#include "archive/open_archive.h"
#include "cli/cli_support.h"
#include "cli/console_prompts.h"
#include "cli/interrupt_stop.h"
#include "edit/delete_entries.h"
#include "edit/new_pack.h"
#include "io/edit_journal.h"
#include "io/file_names.h"

namespace vantoro::cli {
namespace {

constexpr OptionEntry kNewOptions[] = {
    {"--force", "", "replace an existing file (the overwrite question answered OK)"},
};

constexpr OptionEntry kDeleteOptions[] = {
    {"--placeholders", "", "keep the entries as empty placeholders (\"使用空数据替代\")"},
};

bool hasOption(const Invocation& call, std::string_view name) {
    for (const OptionValue& option : call.options) {
        if (option.name == name) return true;
    }
    return false;
}

// The overwrite question is answered OK with --force and Cancel without,
// whatever its default button; nothing else is asked.
class NewPackPrompts final : public PromptSeam {
public:
    explicit NewPackPrompts(bool force) : m_force(force) {}
    PromptAnswer ask(const Prompt&) override {
        return m_force ? PromptAnswer::Ok : PromptAnswer::Cancel;
    }
    std::optional<std::string> input(const InputPrompt&) override { return std::nullopt; }

private:
    bool m_force;
};

}  // namespace

std::span<const OptionEntry> newOptions() {
    return kNewOptions;
}

std::span<const OptionEntry> deleteOptions() {
    return kDeleteOptions;
}

int runNew(const Invocation& call, std::ostream&, std::ostream&) {
    NewPackPrompts prompts(hasOption(call, "--force"));
    const NewPackResult made = createNewPack(call.operands[0], prompts);
    switch (made.result.outcome) {
        case EditOutcome::Done:
            return kExitOk;
        case EditOutcome::Refused:
            if (made.blocked != NewPackBlock::None) failure(made.result.error);
            failure(made.path + ": the file exists (--force replaces it)");
        case EditOutcome::Ignored:
            usageError("empty file name", call.command);
        case EditOutcome::Failed:
            break;
    }
    failure(made.result.error);
}

int runDelete(const Invocation& call, std::ostream&, std::ostream& err) {
    // From here on Ctrl-C no longer kills the program in the middle of the
    // delete's step: the step is refused when it has not begun, or finishes.
    const InterruptStop interrupt;
    DeleteRequest request;
    request.first = parseRangeBound(call, 1);
    request.last = parseRangeBound(call, 2);
    request.placeholders = hasOption(call, "--placeholders");
    std::unique_ptr<TWMBaseImages> archive = openArchive(call);
    failIfLocked(*archive);
    ConsolePrompts prompts(err, "delete", call.progressOnError);
    const EditResult result =
        deleteEntries(*archive, request, prompts, prompts.progress(), interrupt.check());
    return interrupt.exitCode(result, archive->FFileName + ": only a pack can be edited");
}

int runRecover(const Invocation& call, std::ostream& out, std::ostream&) {
    const std::string& path = call.operands[0];
    if (!fileExists(path)) throw CliExit{kExitUsage, path + ": no such file"};
    if (call.kind && *call.kind != TWMImagesKind::MyImage) {
        usageError("only a pack has an edit journal", call.command);
    }
    // The journal is this command's to tell of, so openArchive's report of
    // it is not used.
    const OpenedArchive opened = vantoro::openArchive(TWMImagesKind::MyImage, path, call.password);
    auto& pack = static_cast<TWMMyImageImages&>(*opened.archive);
    if (opened.raised) guarded([&] { std::rethrow_exception(opened.raised); });
    if (!opened.opened) failure(withReason(path + ": cannot open the pack", pack));
    if (hasJournal(path) && pack.editBlock() == PackEditBlock::EditedElsewhere) {
        failure(path + ": another program is editing the pack; its journal is in use");
    }
    if (pack.journalDamaged()) {
        out << path << ": " << pack.lastError() << ".\nSetting the journal aside (renamed, kept) "
            << "and opening the pack as the file holds it.\n"
            << std::flush;
        const Result<std::string> moved = pack.setUnusableJournalAside();
        if (!moved) failure(path + ": cannot set the journal aside: " + moved.error());
        out << "The journal is now " << *moved << ".\n";
    } else if (!pack.journalNotice().empty()) {
        // Opening sets a journal of another file aside by itself.
        out << path << ": " << pack.journalNotice() << ".\n";
        if (hasJournal(path)) failure(path + ": the journal still lies beside the pack");
    } else {
        out << path << ": no damaged edit journal, nor one of another file, lies beside the "
            << "pack; nothing is set aside.\n";
    }
    out << "entries: " << pack.FImageCount << '\n';
    return kExitOk;
}

}  // namespace vantoro::cli
