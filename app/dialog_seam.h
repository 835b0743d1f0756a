// Every question the window asks a person goes through DialogSeam: file,
// folder, picture and colour pickers, the one-line input box, message boxes
// and the About box. The program runs with QtDialogSeam; tests script the
// answers with their own implementation.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>

class QDialog;
class QWidget;

namespace vantoro {

// A file dialog. `filter` is in the commands' own form,
// "description|*.a;*.b|description|*.c" (empty: every file); `fileName` is the
// name the dialog starts with.
struct FileDialogRequest {
    QString filter;
    QString fileName;
    QString title;
    QString directory;  // the folder the dialog starts in; empty: the working folder
};

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString caption;
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    MessageAnswer defaultAnswer = MessageAnswer::Ok;
};

class DialogSeam {
public:
    virtual ~DialogSeam() = default;

    // The chosen file, or nothing when the dialog was cancelled. Files and
    // folders are answered as held names (app/file_name.h).
    virtual std::optional<QString> openFile(QWidget* owner, const FileDialogRequest& request) = 0;
    virtual std::optional<QStringList> openFiles(QWidget* owner,
                                                 const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFile(QWidget* owner, const FileDialogRequest& request) = 0;
    // A picture in any format the program reads.
    virtual std::optional<QString> openPicture(QWidget* owner) = 0;
    virtual std::optional<QString> chooseFolder(QWidget* owner, const QString& caption) = 0;
    // The colour picked, or nothing when cancelled.
    virtual std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial) = 0;
    // The one-line input box: the text on OK, nothing on Cancel.
    virtual std::optional<QString> inputText(QWidget* owner, const QString& caption,
                                             const QString& prompt, const QString& initial) = 0;
    virtual MessageAnswer message(QWidget* owner, const MessageRequest& request) = 0;
    virtual void about(QWidget* owner, const QString& title, const QString& text) = 0;
    // Shows one of the program's own dialogs modally and answers its result
    // code (QDialog::Accepted or Rejected).
    virtual int showModal(QDialog& dialog);
};

// The real dialogs. File dialogs are Qt's own rather than the desktop's so
// that their masks ignore letter case, as archive names come in any case.
class QtDialogSeam final : public DialogSeam {
public:
    std::optional<QString> openFile(QWidget* owner, const FileDialogRequest& request) override;
    std::optional<QStringList> openFiles(QWidget* owner, const FileDialogRequest& request) override;
    std::optional<QString> saveFile(QWidget* owner, const FileDialogRequest& request) override;
    std::optional<QString> openPicture(QWidget* owner) override;
    std::optional<QString> chooseFolder(QWidget* owner, const QString& caption) override;
    std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial) override;
    std::optional<QString> inputText(QWidget* owner, const QString& caption, const QString& prompt,
                                     const QString& initial) override;
    MessageAnswer message(QWidget* owner, const MessageRequest& request) override;
    void about(QWidget* owner, const QString& title, const QString& text) override;
};

// "description|*.a;*.b|description|*.c" as Qt writes filters:
// "description (*.a *.b);;description (*.c)". A trailing description without
// a mask is dropped; an empty filter stays empty.
QString qtFileFilter(const QString& filter);

// The masks of the picture dialog: every image format Qt can read here.
QString pictureFileFilter();

}  // namespace vantoro
