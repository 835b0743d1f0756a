// The editing commands of the main window: the import, export and delete
// dialogs and the new-pack command.
#include "app/dialog_seam.h"
#include "app/file_name.h"
#include "app/form_add.h"
#include "app/form_del.h"
#include "app/form_main.h"
#include "app/form_out.h"
#include "app/window_prompts.h"
#include "edit/edit_messages.h"
#include "edit/new_pack.h"
#include "shell/grid_navigation.h"
#include "shell/recent_files.h"

namespace vantoro {

// Made once after the window itself: the import dialog copies its blend list.
void TFormMain::createEditDialogs() {
    FormAdd = new TFormAdd(*this);
    FormDel = new TFormDel(*this);
    FormOut = new TFormOut(*this);
}

// Each dialog opens for an archive that opened; its Execute decides whether
// the archive can be changed.
void TFormMain::MEMU_WORK_ADDIMAGEClick() {
    if (!isArchiveReady(CurrentArchive.get())) return;
    guarded([&] { FormAdd->ShowImportDialog(); });
}

void TFormMain::MEMU_WORK_PUTIMAGEClick() {
    if (!isArchiveReady(CurrentArchive.get())) return;
    guarded([&] { FormOut->ShowExportDialog(); });
}

void TFormMain::MEMU_WORK_DELIMAGEClick() {
    if (!isArchiveReady(CurrentArchive.get())) return;
    guarded([&] { FormDel->ShowDeleteDialog(); });
}

// A new empty pack under the chosen name, opened when the person says so.
// A file that cannot be made ends the command quietly.
void TFormMain::Tool_NewClick() {
    const auto chosen =
        m_dialogs->saveFile(this, {QString::fromUtf8(kNewPackFilter.data(), kNewPackFilter.size()),
                                   QString(), QString(), QString()});
    if (!chosen || chosen->isEmpty()) return;
    WindowPrompts prompts(*m_dialogs, this);
    const NewPackResult made = createNewPack(nameBytes(*chosen), prompts);
    if (made.result.outcome != EditOutcome::Done) return;
    if (prompts.ask(editPrompt(EditMessage::NewPackOpen)) != PromptAnswer::Yes) return;
    // Opened as any other pack is, it enters the recent-file list as they do.
    guarded([&] {
        OpenArchive(nameString(made.path), TWMImagesKind::MyImage);
        AddRecentFile(recentFileEntry(made.path, TWMImagesKind::MyImage));
    });
}

}  // namespace vantoro
