// The editing operations' questions and messages shown as the window's own
// message and input boxes, through the dialog seam. A dialog that must act
// between an operation's last change and its closing question (repaint the
// grid, end its busy state) does so in `beforeAsk`; what was answered to a
// question is kept for the dialog to read afterwards.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_seam.h"
#include "edit/edit_prompts.h"

class QWidget;

namespace vantoro {

MessageRequest messageRequestOf(const Prompt& prompt);

class WindowPrompts final : public PromptSeam {
public:
    WindowPrompts(DialogSeam& dialogs, QWidget* owner) : m_dialogs(dialogs), m_owner(owner) {}

    PromptAnswer ask(const Prompt& prompt) override;
    std::optional<std::string> input(const InputPrompt& prompt) override;

    // The answer given the last time `prompt` was shown; nothing when it was
    // not shown.
    std::optional<PromptAnswer> answerTo(const Prompt& prompt) const;

    std::function<void(const Prompt&)> beforeAsk;

private:
    struct Answered {
        Prompt prompt;
        PromptAnswer answer;
    };

    DialogSeam& m_dialogs;
    QWidget* m_owner;
    std::vector<Answered> m_answered;
};

// A failure of an editing operation, in the box the window shows errors in.
void showEditFailure(DialogSeam& dialogs, QWidget* owner, const std::string& error);

}  // namespace vantoro
