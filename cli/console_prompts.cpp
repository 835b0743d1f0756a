#include "cli/console_prompts.h"

#include "cli/cli_support.h"

namespace vantoro::cli {
namespace {

// Message texts break lines with CR LF; a terminal wants LF alone.
std::string withNewlines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

PromptAnswer yesAnswer(PromptButtons buttons) {
    return buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
}

}  // namespace

ConsolePrompts::ConsolePrompts(std::ostream& err, std::string_view label, bool showProgress,
                               bool answerYes)
    : m_err(err), m_label(label), m_showProgress(showProgress), m_answerYes(answerYes) {}

ConsolePrompts::~ConsolePrompts() {
    endProgressLine();
}

PromptAnswer ConsolePrompts::ask(const Prompt& prompt) {
    endProgressLine();
    m_err << kMessagePrefix << withNewlines(prompt.text) << '\n';
    return m_answerYes ? yesAnswer(prompt.buttons) : prompt.defaultAnswer;
}

std::optional<std::string> ConsolePrompts::input(const InputPrompt&) {
    return std::nullopt;
}

ProgressSink ConsolePrompts::progress() {
    if (!m_showProgress) return {};
    return [this](int percent) {
        if (percent == m_lastPercent) return;
        m_lastPercent = percent;
        m_err << '\r' << m_label << ": " << percent << '%' << std::flush;
    };
}

void ConsolePrompts::endProgressLine() {
    if (m_lastPercent < 0) return;
    m_err << '\n';
    m_lastPercent = -1;
}

}  // namespace vantoro::cli
