// The import dialog's file list: "文件", "目录", "目录ALL", "删除", "清空"
// and files dropped onto it.
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressBar>
#include <algorithm>

#include "app/dialog_seam.h"
#include "app/file_name.h"
#include "app/form_add.h"
#include "app/form_main.h"
#include "app/window_prompts.h"
#include "edit/edit_messages.h"
#include "io/name_encoding.h"

namespace vantoro {
namespace {

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ImportListWidget::ImportListWidget(QWidget* parent) : QListWidget(parent) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void ImportListWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (isEnabled() && !droppedFileNames(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void ImportListWidget::dragMoveEvent(QDragMoveEvent* event) {
    if (isEnabled() && !droppedFileNames(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void ImportListWidget::dropEvent(QDropEvent* event) {
    const QStringList paths = droppedFileNames(event->mimeData());
    if (!isEnabled() || paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit pathsDropped(paths);
}

// The lines shown again from the list, which keeps them in order.
void TFormAdd::showList() {
    File_List->clear();
    QStringList names;
    names.reserve(static_cast<qsizetype>(m_files.size()));
    for (const ImportListLine& line : m_files.lines()) {
        names << QString::fromStdString(nameDisplayText(line.displayName));
    }
    File_List->addItems(names);
}

void TFormAdd::addLines(std::vector<ImportListLine> lines) {
    m_files.add(std::move(lines));
}

// List building runs busy with the list hidden; a folder that cannot be
// read is reported and adds nothing. The progress bar belongs to Execute: a
// changed list has had none of its files imported yet.
template <typename Listing>
void TFormAdd::buildList(Listing&& listing) {
    UpdateControls(true);
    File_List->hide();
    Result<std::vector<ImportListLine>> lines = listing();
    if (lines) {
        addLines(std::move(*lines));
    } else {
        showEditFailure(m_main.dialogs(), this, lines.error());
    }
    showList();
    File_List->show();
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    UpdateControls(false);
}

void TFormAdd::File_AddClick() {
    const auto chosen = m_main.dialogs().openFiles(
        this, {fromView(kImportFileFilter), QString(), QString(), QString()});
    if (!chosen || chosen->isEmpty()) return;
    buildList([&]() -> Result<std::vector<ImportListLine>> {
        std::vector<std::string> files;
        for (const QString& path : *chosen) files.push_back(nameBytes(path));
        return listChosenFiles(files);
    });
}

void TFormAdd::File_AddDIRClick() {
    const auto folder = m_main.dialogs().chooseFolder(this, fromView(kImportFolderTitle));
    if (!folder || folder->trimmed().isEmpty()) return;
    buildList([&] { return listFolder(nameBytes(folder->trimmed())); });
}

void TFormAdd::File_AddDIRALLClick() {
    const auto folder = m_main.dialogs().chooseFolder(this, fromView(kImportFolderTitle));
    if (!folder || folder->trimmed().isEmpty()) return;
    buildList([&] { return listFolderTree(nameBytes(folder->trimmed())); });
}

void TFormAdd::addDroppedPaths(const QStringList& paths) {
    if (m_busy) return;
    buildList([&]() -> Result<std::vector<ImportListLine>> {
        std::vector<ImportListLine> lines;
        for (const QString& path : paths) {
            const std::string file = nameBytes(path);
            if (isFolderName(path)) {
                Result<std::vector<ImportListLine>> folder = listFolder(file);
                if (!folder) return folder;
                std::move(folder->begin(), folder->end(), std::back_inserter(lines));
            } else if (isFileName(path)) {
                std::ranges::move(listChosenFiles({&file, 1}), std::back_inserter(lines));
            }
        }
        return lines;
    });
}

void TFormAdd::File_DelClick() {
    std::vector<std::size_t> positions;
    for (const QListWidgetItem* item : File_List->selectedItems()) {
        positions.push_back(static_cast<std::size_t>(File_List->row(item)));
    }
    m_files.remove(positions);
    showList();
    UpdateControls(false);
}

void TFormAdd::File_ClearClick() {
    m_files.clear();
    File_List->clear();
    UpdateControls(false);
}

}  // namespace vantoro
