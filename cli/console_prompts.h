// The command line's side of the editing prompts. Each message goes to the
// error stream with its exact text after the program's prefix; questions
// are not asked but answered: with the default button, or with OK (Yes)
// when the command line said --yes. Input boxes answer Cancel. Progress, in
// per cent, is drawn on one line of the error stream, and only when that
// stream is a terminal.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "edit/edit_prompts.h"

namespace vantoro::cli {

class ConsolePrompts final : public PromptSeam {
public:
    ConsolePrompts(std::ostream& err, std::string_view label, bool showProgress,
                   bool answerYes = false);
    ~ConsolePrompts() override;

    PromptAnswer ask(const Prompt& prompt) override;
    std::optional<std::string> input(const InputPrompt& prompt) override;

    // Draws "LABEL: N%" over the last progress; empty when progress is not shown.
    ProgressSink progress();

private:
    // Ends a progress line so that the next text starts on a line of its own.
    void endProgressLine();

    std::ostream& m_err;
    std::string m_label;
    bool m_showProgress;
    bool m_answerYes;
    int m_lastPercent = -1;
};

}  // namespace vantoro::cli
