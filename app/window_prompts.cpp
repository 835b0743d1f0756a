#include "app/window_prompts.h"

namespace vantoro {
namespace {

MessageIcon iconOf(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Warning:
            return MessageIcon::Warning;
        case PromptIcon::Question:
            return MessageIcon::Question;
        case PromptIcon::Error:
            return MessageIcon::Error;
        case PromptIcon::Information:
            break;
    }
    return MessageIcon::Information;
}

MessageButtons buttonsOf(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::OkCancel:
            return MessageButtons::OkCancel;
        case PromptButtons::YesNo:
            return MessageButtons::YesNo;
        case PromptButtons::Ok:
            break;
    }
    return MessageButtons::Ok;
}

MessageAnswer messageAnswerOf(PromptAnswer answer) {
    switch (answer) {
        case PromptAnswer::Cancel:
            return MessageAnswer::Cancel;
        case PromptAnswer::Yes:
            return MessageAnswer::Yes;
        case PromptAnswer::No:
            return MessageAnswer::No;
        case PromptAnswer::Ok:
            break;
    }
    return MessageAnswer::Ok;
}

PromptAnswer promptAnswerOf(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Cancel:
            return PromptAnswer::Cancel;
        case MessageAnswer::Yes:
            return PromptAnswer::Yes;
        case MessageAnswer::No:
            return PromptAnswer::No;
        case MessageAnswer::Ok:
            break;
    }
    return PromptAnswer::Ok;
}

}  // namespace

MessageRequest messageRequestOf(const Prompt& prompt) {
    return {QString::fromStdString(prompt.caption), QString::fromStdString(prompt.text),
            iconOf(prompt.icon), buttonsOf(prompt.buttons), messageAnswerOf(prompt.defaultAnswer)};
}

PromptAnswer WindowPrompts::ask(const Prompt& prompt) {
    if (beforeAsk) beforeAsk(prompt);
    const PromptAnswer answer =
        promptAnswerOf(m_dialogs.message(m_owner, messageRequestOf(prompt)));
    m_answered.push_back({prompt, answer});
    return answer;
}

std::optional<std::string> WindowPrompts::input(const InputPrompt& prompt) {
    const auto text = m_dialogs.inputText(m_owner, QString::fromStdString(prompt.caption),
                                          QString::fromStdString(prompt.prompt),
                                          QString::fromStdString(prompt.offered));
    if (!text) return std::nullopt;
    return text->toStdString();
}

std::optional<PromptAnswer> WindowPrompts::answerTo(const Prompt& prompt) const {
    for (auto it = m_answered.rbegin(); it != m_answered.rend(); ++it) {
        if (it->prompt == prompt) return it->answer;
    }
    return std::nullopt;
}

void showEditFailure(DialogSeam& dialogs, QWidget* owner, const std::string& error) {
    dialogs.message(owner,
                    {QStringLiteral("Vantoro"), QString::fromStdString(error), MessageIcon::Error});
}

}  // namespace vantoro
