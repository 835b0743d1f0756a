// The editing commands of the main window: the import, export and delete
// dialogs, the new-pack command, and what opening does with an edit journal
// it cannot use.
#include "app/dialog_seam.h"
#include "app/file_name.h"
#include "app/form_add.h"
#include "app/form_del.h"
#include "app/form_main.h"
#include "app/form_out.h"
#include "app/window_prompts.h"
#include "archive/my_image_images.h"
#include "edit/edit_messages.h"
#include "edit/new_pack.h"
#include "io/edit_journal.h"
#include "shell/grid_navigation.h"
#include "shell/recent_files.h"

namespace vantoro {
namespace {

const char kMessageCaption[] = "提示信息";

QString journalName(const TWMMyImageImages& pack) {
    return QString::fromStdString(journalPath(pack.FFileName));
}

// Why New did not replace an existing pack, whatever the question's answer.
QString newPackBlockText(const NewPackResult& made) {
    if (made.blocked == NewPackBlock::BeingEdited) {
        return QStringLiteral("另一个程序正在修改该数据文件，无法覆盖！");
    }
    return QStringLiteral(
               "该数据文件旁有上次未完成修改的编辑日志 %1，无法覆盖！\n"
               "请先打开该数据文件，完成那次修改。")
        .arg(QString::fromStdString(journalPath(made.path)));
}

}  // namespace

// A journal of another file was set aside (or could not be), or a damaged
// one hides the pack's entries: said once, with the offer to set the damaged
// one aside and open the pack as the file holds it.
void TFormMain::offerJournalRecovery() {
    auto* pack = dynamic_cast<TWMMyImageImages*>(CurrentArchive.get());
    if (pack == nullptr) return;
    const QString caption = QString::fromUtf8(kMessageCaption);
    if (!pack->journalNotice().empty()) {
        const bool setAside = pack->editBlock() != PackEditBlock::UnfinishedEdit;
        const QString text = setAside ? QStringLiteral(
                                            "数据文件旁的编辑日志 %1 属于另一个文件，没有执行，"
                                            "已改名保留。数据文件按现有内容打开。")
                                      : QStringLiteral(
                                            "数据文件旁的编辑日志 %1 属于另一个文件，没有执行，"
                                            "但无法改名。数据文件按现有内容打开，"
                                            "移走该日志之前无法修改。");
        m_dialogs->message(this, {caption, text.arg(journalName(*pack)), MessageIcon::Warning});
        return;
    }
    if (!pack->journalDamaged()) return;
    const MessageAnswer answer = m_dialogs->message(
        this, {caption,
               QStringLiteral("数据文件旁的编辑日志 %1 已损坏，数据文件的内容因此无法显示。\n"
                              "是否将该日志改名保留（%1.damaged），按文件现有的内容打开数据文件？")
                   .arg(journalName(*pack)),
               MessageIcon::Question, MessageButtons::YesNo, MessageAnswer::No});
    if (answer != MessageAnswer::Yes) return;
    const Result<std::string> moved = pack->setUnusableJournalAside();
    if (!moved) {
        m_dialogs->message(
            this,
            {caption,
             QStringLiteral("编辑日志无法改名：%1").arg(QString::fromStdString(moved.error())),
             MessageIcon::Error});
    }
}

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
    if (made.blocked != NewPackBlock::None) {
        m_dialogs->message(this, {QString::fromUtf8(kMessageCaption), newPackBlockText(made),
                                  MessageIcon::Warning});
        return;
    }
    if (made.result.outcome != EditOutcome::Done) return;
    if (prompts.ask(editPrompt(EditMessage::NewPackOpen)) != PromptAnswer::Yes) return;
    // Opened as any other pack is, it enters the recent-file list as they do.
    guarded([&] {
        OpenArchive(nameString(made.path), TWMImagesKind::MyImage);
        AddRecentFile(recentFileEntry(made.path, TWMImagesKind::MyImage));
    });
}

}  // namespace vantoro
