#include "app/dialog_seam.h"

#include <QColorDialog>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QImageReader>
#include <QInputDialog>
#include <QMessageBox>

#include "app/file_name.h"
#include "io/name_encoding.h"

namespace vantoro {
namespace {

// Each desktop's own dialog has its own idea of mask case; Qt's compares
// without case everywhere.
constexpr QFileDialog::Options kFileDialogOptions = QFileDialog::DontUseNativeDialog;

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MessageButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton boxButton(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Cancel:
            return QMessageBox::Cancel;
        case MessageAnswer::Yes:
            return QMessageBox::Yes;
        case MessageAnswer::No:
            return QMessageBox::No;
        case MessageAnswer::Ok:
            break;
    }
    return QMessageBox::Ok;
}

MessageAnswer answerOf(int button) {
    switch (button) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Cancel;  // also the window's close button
    }
}

// Qt's dialogs take the starting folder and the file name as one path.
// They cannot enter a folder whose name is not UTF-8, so they start in the
// nearest folder above it that they can.
QString startPath(const FileDialogRequest& request) {
    if (request.directory.isEmpty()) return request.fileName;
    QString folder = request.directory;
    while (!isValidUtf8(nameBytes(folder))) folder = folderOf(folder);
    return QDir(folder).filePath(request.fileName);
}

// Qt's dialogs list a name that is not UTF-8 with U+FFFD in it and hand it
// back so; the window holds the name of the file that is there.
std::optional<QString> chosenName(const QString& text) {
    if (text.isEmpty()) return std::nullopt;
    return nameString(chosenNameBytes(text));
}

}  // namespace

QString qtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList masks = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& mask : masks) mask = mask.trimmed();
        filters << parts[i] + QStringLiteral(" (") + masks.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString pictureFileFilter() {
    QStringList masks;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        masks << QStringLiteral("*.") + QString::fromLatin1(format);
    }
    return QStringLiteral("图片文件|") + masks.join(QLatin1Char(';'));
}

std::optional<QString> QtDialogSeam::openFile(QWidget* owner, const FileDialogRequest& request) {
    return chosenName(QFileDialog::getOpenFileName(owner, request.title, startPath(request),
                                                   qtFileFilter(request.filter), nullptr,
                                                   kFileDialogOptions));
}

std::optional<QStringList> QtDialogSeam::openFiles(QWidget* owner,
                                                   const FileDialogRequest& request) {
    const QStringList names =
        QFileDialog::getOpenFileNames(owner, request.title, startPath(request),
                                      qtFileFilter(request.filter), nullptr, kFileDialogOptions);
    if (names.isEmpty()) return std::nullopt;
    QStringList held;
    for (const QString& name : names) held << nameString(chosenNameBytes(name));
    return held;
}

// The commands ask about an existing file themselves, in their own words.
std::optional<QString> QtDialogSeam::saveFile(QWidget* owner, const FileDialogRequest& request) {
    return chosenName(QFileDialog::getSaveFileName(
        owner, request.title, startPath(request), qtFileFilter(request.filter), nullptr,
        kFileDialogOptions | QFileDialog::DontConfirmOverwrite));
}

std::optional<QString> QtDialogSeam::openPicture(QWidget* owner) {
    return chosenName(QFileDialog::getOpenFileName(owner, QString(), QString(),
                                                   qtFileFilter(pictureFileFilter()), nullptr,
                                                   kFileDialogOptions));
}

std::optional<QString> QtDialogSeam::chooseFolder(QWidget* owner, const QString& caption) {
    return chosenName(QFileDialog::getExistingDirectory(
        owner, caption, QString(), kFileDialogOptions | QFileDialog::ShowDirsOnly));
}

std::optional<QColor> QtDialogSeam::chooseColor(QWidget* owner, const QColor& initial) {
    const QColor color = QColorDialog::getColor(initial, owner);
    if (!color.isValid()) return std::nullopt;
    return color;
}

std::optional<QString> QtDialogSeam::inputText(QWidget* owner, const QString& caption,
                                               const QString& prompt, const QString& initial) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(owner, caption, prompt, QLineEdit::Normal, initial, &accepted);
    if (!accepted) return std::nullopt;
    return text;
}

MessageAnswer QtDialogSeam::message(QWidget* owner, const MessageRequest& request) {
    QMessageBox box(boxIcon(request.icon), request.caption, request.text,
                    boxButtons(request.buttons), owner);
    box.setDefaultButton(boxButton(request.defaultAnswer));
    return answerOf(box.exec());
}

int DialogSeam::showModal(QDialog& dialog) {
    return dialog.exec();
}

void QtDialogSeam::about(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox::about(owner, title, text);
}

}  // namespace vantoro
