// A DialogSeam whose answers a test scripts in advance and whose questions
// it reads back afterwards. An unscripted question is answered as a cancel
// (messages: with their default button).
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "app/dialog_seam.h"

namespace vantoro::testing {

class ScriptedDialogs final : public DialogSeam {
public:
    struct Asked {
        QString kind;     // "openFile", "inputText", "message", "about", ...
        QString caption;  // dialog title or message caption
        QString text;     // filter, prompt or message text
        QString initial;  // input box's initial text
    };

    std::deque<std::optional<QString>>
        fileAnswers;  // openFile, saveFile, openPicture, chooseFolder
    std::deque<std::optional<QColor>> colorAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<MessageAnswer> messageAnswers;
    std::vector<Asked> asked;
    // The program's own dialogs shown modally, by object name; `onModal`
    // (when set) plays the person's part in place of the event loop, and
    // the dialog's result is what it left (Rejected when it did not close
    // the dialog). Not counted among the questions in `asked`.
    std::vector<QString> shownDialogs;
    std::function<void(QDialog&)> onModal;

    std::vector<Asked> askedOf(const QString& kind) const;

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
    int showModal(QDialog& dialog) override;

private:
    std::optional<QString> nextFile();
};

}  // namespace vantoro::testing
