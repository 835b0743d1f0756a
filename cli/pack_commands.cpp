#include "cli/pack_commands.h"

#include <memory>

#include "cli/cli_app.h"
#include "cli/console_prompts.h"
#include "edit/delete_entries.h"
#include "edit/new_pack.h"

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
            failure(made.path + ": the file exists (--force replaces it)");
        case EditOutcome::Ignored:
            usageError("empty file name", call.command);
        case EditOutcome::Failed:
            break;
    }
    failure(made.result.error);
}

int runDelete(const Invocation& call, std::ostream&, std::ostream& err) {
    DeleteRequest request;
    request.first = parseRangeBound(call, 1);
    request.last = parseRangeBound(call, 2);
    request.placeholders = hasOption(call, "--placeholders");
    std::unique_ptr<TWMBaseImages> archive = openArchive(call);
    failIfLocked(*archive);
    ConsolePrompts prompts(err, "delete", call.progressOnError);
    const EditResult result = deleteEntries(*archive, request, prompts, prompts.progress());
    return exitCodeOf(result, archive->FFileName + ": only a pack can be edited");
}

}  // namespace vantoro::cli
