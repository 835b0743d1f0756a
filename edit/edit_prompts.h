// How the editing operations talk to a person: every question and message
// they show goes through a PromptSeam, so the window's dialogs, the command
// line and the tests all drive the same operations. The texts themselves
// live in edit/edit_messages.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vantoro {

enum class PromptIcon : std::uint8_t { Information, Warning, Question, Error };
enum class PromptButtons : std::uint8_t { Ok, OkCancel, YesNo };
enum class PromptAnswer : std::uint8_t { Ok, Cancel, Yes, No };

// A message box: its text, caption, buttons, icon, and the button that
// answers when the person just presses Enter.
struct Prompt {
    std::string text;
    std::string caption;
    PromptButtons buttons = PromptButtons::Ok;
    PromptIcon icon = PromptIcon::Information;
    PromptAnswer defaultAnswer = PromptAnswer::Ok;

    bool operator==(const Prompt&) const = default;
};

// A one-line input box offering `offered` as the text to edit.
struct InputPrompt {
    std::string caption;
    std::string prompt;
    std::string offered;

    bool operator==(const InputPrompt&) const = default;
};

class PromptSeam {
public:
    virtual ~PromptSeam() = default;
    // Shows the message and answers the button pressed.
    virtual PromptAnswer ask(const Prompt& prompt) = 0;
    // The typed text on OK, nothing on Cancel.
    virtual std::optional<std::string> input(const InputPrompt& prompt) = 0;
};

// Answers every question with its default and every input with Cancel,
// showing nothing: for work that runs without anyone to ask (a batch
// conversion, a benchmark).
class DefaultAnswers final : public PromptSeam {
public:
    PromptAnswer ask(const Prompt& prompt) override { return prompt.defaultAnswer; }
    std::optional<std::string> input(const InputPrompt&) override { return std::nullopt; }
};

// How an editing operation ended.
enum class EditOutcome : std::uint8_t {
    Done,     // the work ran to its end (its closing message was shown)
    Refused,  // a message said why nothing (or only part) was done
    Ignored,  // nothing to work on: nothing done, nothing shown
    Failed,   // an error ended it; `error` says what (shown by the caller)
};

struct EditResult {
    EditOutcome outcome = EditOutcome::Done;
    std::string error;  // for Failed
};

// Progress of a long operation in per cent, 0..100.
using ProgressSink = std::function<void(int percent)>;

// Asked between two steps of a long run (after each file imported, each
// entry exported): true when the person asked the run to stop, which then
// ends after the step it finished. The window turns its event loop here, so
// it keeps painting and its Stop button can be pressed.
using StopCheck = std::function<bool()>;

// Runs a part of one step that touches only its own data (decoding and
// converting a picture, compressing a file) and returns when it is done.
// The window runs it on a worker thread and turns its event loop meanwhile,
// so a large picture does not freeze it; empty: the part runs in place.
using OffThreadRunner = std::function<void(const std::function<void()>& work)>;

}  // namespace vantoro
