// Another program and the open archive: the window keeps the archive's
// index in memory, so when another program edits the pack, or a client
// folder is copied over the archive being browsed, the window opens it again
// (the selection kept where the archive still has it) instead of reading
// entries where the old index no longer fits the file.
#include <QApplication>
#include <QStatusBar>
#include <QTimer>

#include "app/file_name.h"
#include "app/form_main.h"
#include "io/file_stream.h"

namespace vantoro {
namespace {

constexpr int kDiskCheckMs = 1000;
constexpr int kDiskMessageMs = 5000;

}  // namespace

void TFormMain::setUpDiskCheck() {
    m_diskCheck = new QTimer(this);
    m_diskCheck->setInterval(kDiskCheckMs);
    connect(m_diskCheck, &QTimer::timeout, this, [this] { checkArchiveOnDisk(); });
    m_diskCheck->start();
    // A read kept waiting by another program's edit holds up the window for
    // up to a few seconds: say why before it does, painted at once since
    // the event loop waits too.
    FileStream::ReadWaits waits = FileStream::readWaits();
    waits.notice = [this] {
        StatusBar->showMessage(QStringLiteral("正在等待另一个程序完成对数据文件的修改……"),
                               kDiskMessageMs);
        StatusBar->repaint();
    };
    FileStream::setReadWaits(std::move(waits));
}

// The notice speaks through this window, which is going.
void TFormMain::stopDiskCheck() {
    m_diskCheck->stop();
    FileStream::ReadWaits waits = FileStream::readWaits();
    waits.notice = {};
    FileStream::setReadWaits(std::move(waits));
}

void TFormMain::rememberArchiveOnDisk() {
    if (CurrentArchive) {
        m_diskState.remember(*CurrentArchive);
    } else {
        m_diskState.forget();
    }
    m_waitingForEdit = false;
}

void TFormMain::checkArchiveOnDisk() {
    if (!CurrentArchive || m_lastArchivePath.isEmpty()) return;
    // A dialog may be working on the archive (an import, an export, a
    // question of one): the next check comes when it has closed.
    if (QApplication::activeModalWidget() != nullptr) return;
    switch (m_diskState.check(*CurrentArchive)) {
        case ArchiveOnDisk::AsRead:
            // An edit that ended without changing the pack.
            if (m_waitingForEdit) StatusBar->clearMessage();
            m_waitingForEdit = false;
            return;
        case ArchiveOnDisk::BeingEdited:
            if (!m_waitingForEdit) {
                m_waitingForEdit = true;
                StatusBar->showMessage(
                    QStringLiteral("另一个程序正在修改该数据文件，修改完成后将重新载入"));
            }
            return;
        case ArchiveOnDisk::Changed:
            break;
    }
    // A file gone from under its name is kept open as it was until one
    // comes back.
    if (!isFileName(m_lastArchivePath)) return;
    guarded([&] { OpenArchive(m_lastArchivePath, LastOpenKind); });
    StatusBar->showMessage(QStringLiteral("数据文件已被另一个程序修改，已重新载入"),
                           kDiskMessageMs);
}

}  // namespace vantoro
