// What a desktop program is expected to do beyond its own commands: start
// with the keyboard on the thumbnail grid, open an archive dropped onto the
// window, copy the selected image with Ctrl+C, and start the Open dialog in
// the folder the user was working in.
#include <QAction>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <string>

#include "app/draw_grid.h"
#include "app/draw_panel.h"
#include "app/file_name.h"
#include "app/form_main.h"
#include "app/recent_files_menu.h"
#include "archive/archive_kind.h"
#include "image_io/texel_rgba.h"
#include "shell/recent_files.h"

namespace vantoro {
namespace {

// The one local archive file among the dragged items, as a held name; empty
// for anything else.
QString droppedArchive(const QMimeData* data) {
    const QStringList names = droppedFileNames(data);
    if (names.size() != 1) return QString();
    const QString& path = names.first();
    const std::string name = nameBytes(fileNameOf(path));
    if (!isFileName(path) || !kindForExtension(fileExtension(name), {})) return QString();
    return absoluteName(path);
}

// The selected image as `vantoro-cli texture` writes it: straight RGBA.
QImage textureImage(TDXTexture& texture) {
    const auto rgba = textureRgba(texture);
    if (!rgba) return QImage();
    return QImage(rgba->data(), texture.GetWidth(), texture.GetHeight(), texture.GetWidth() * 4,
                  QImage::Format_RGBA8888)
        .copy();
}

}  // namespace

void TFormMain::setUpDesktop() {
    // Keys go to the grid from the start, not to the drive box, where the
    // first arrow key would switch the drive.
    DrawGrid->setFocus(Qt::OtherFocusReason);
    setAcceptDrops(true);
    auto* copy = new QAction(DrawGrid);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, [this] { copySelectedImage(); });
    DrawGrid->addAction(copy);
    PanelDraw->onExposed = [this] { View.invalidateFrame(); };
}

bool TFormMain::copySelectedImage() {
    if (!View.ImageTexture || selection.CurrentImageInfo.Width == 0 ||
        selection.CurrentImageInfo.Height == 0) {
        return false;
    }
    const QImage image = textureImage(*View.ImageTexture);
    if (image.isNull()) return false;
    // Qt offers an image on the clipboard as PNG among others, which keeps
    // the alpha for the programs it is pasted into.
    auto* data = new QMimeData;
    data->setImageData(image);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(data);
    return true;
}

QString TFormMain::openDialogFolder() const {
    QString path = m_lastArchivePath;
    if (path.isEmpty() && !m_recentFiles->list().entries().empty()) {
        const auto newest = parseRecentFileEntry(m_recentFiles->list().entries().front());
        if (newest) path = nameString(newest->path);
    }
    if (path.isEmpty()) return QString();
    const QString folder = folderOf(path);
    return isFolderName(folder) ? folder : QString();
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedArchive(event->mimeData()).isEmpty()) return;
    event->acceptProposedAction();
}

// A dropped archive opens as a pick in the file browser does.
void TFormMain::dropEvent(QDropEvent* event) {
    const QString path = droppedArchive(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    openPicked(path);
}

}  // namespace vantoro
