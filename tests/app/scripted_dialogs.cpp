#include "tests/app/scripted_dialogs.h"

#include <QDialog>

namespace vantoro::testing {

std::vector<ScriptedDialogs::Asked> ScriptedDialogs::askedOf(const QString& kind) const {
    std::vector<Asked> found;
    for (const Asked& one : asked) {
        if (one.kind == kind) found.push_back(one);
    }
    return found;
}

std::optional<QString> ScriptedDialogs::nextFile() {
    if (fileAnswers.empty()) return std::nullopt;
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::openFile(QWidget*, const FileDialogRequest& request) {
    asked.push_back({QStringLiteral("openFile"), request.title, request.filter, request.fileName});
    return nextFile();
}

std::optional<QStringList> ScriptedDialogs::openFiles(QWidget*, const FileDialogRequest& request) {
    asked.push_back({QStringLiteral("openFiles"), request.title, request.filter, request.fileName});
    const auto answer = nextFile();
    if (!answer) return std::nullopt;
    return QStringList{*answer};
}

std::optional<QString> ScriptedDialogs::saveFile(QWidget*, const FileDialogRequest& request) {
    asked.push_back({QStringLiteral("saveFile"), request.title, request.filter, request.fileName});
    return nextFile();
}

std::optional<QString> ScriptedDialogs::openPicture(QWidget*) {
    asked.push_back({QStringLiteral("openPicture"), {}, {}, {}});
    return nextFile();
}

std::optional<QString> ScriptedDialogs::chooseFolder(QWidget*, const QString& caption) {
    asked.push_back({QStringLiteral("chooseFolder"), caption, {}, {}});
    return nextFile();
}

std::optional<QColor> ScriptedDialogs::chooseColor(QWidget*, const QColor& initial) {
    asked.push_back({QStringLiteral("chooseColor"), {}, {}, initial.name()});
    if (colorAnswers.empty()) return std::nullopt;
    auto answer = colorAnswers.front();
    colorAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::inputText(QWidget*, const QString& caption,
                                                  const QString& prompt, const QString& initial) {
    asked.push_back({QStringLiteral("inputText"), caption, prompt, initial});
    if (inputAnswers.empty()) return std::nullopt;
    auto answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
}

MessageAnswer ScriptedDialogs::message(QWidget*, const MessageRequest& request) {
    asked.push_back({QStringLiteral("message"), request.caption, request.text, {}});
    if (messageAnswers.empty()) return request.defaultAnswer;
    const MessageAnswer answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

void ScriptedDialogs::about(QWidget*, const QString& title, const QString& text) {
    asked.push_back({QStringLiteral("about"), title, text, {}});
}

int ScriptedDialogs::showModal(QDialog& dialog) {
    shownDialogs.push_back(dialog.objectName());
    dialog.setResult(QDialog::Rejected);
    if (onModal) onModal(dialog);
    return dialog.result();
}

}  // namespace vantoro::testing
