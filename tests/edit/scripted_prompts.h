// A PromptSeam for tests: remembers every message and input box shown and
// answers from a script, or with the default button (Cancel for an input
// box) once the script has run out.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "edit/edit_prompts.h"

namespace vantoro::testing {

class ScriptedPrompts final : public PromptSeam {
public:
    PromptAnswer ask(const Prompt& prompt) override {
        shown.push_back(prompt);
        if (answers.empty()) return prompt.defaultAnswer;
        const PromptAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<std::string> input(const InputPrompt& prompt) override {
        inputs.push_back(prompt);
        if (typed.empty()) return std::nullopt;
        std::optional<std::string> text = typed.front();
        typed.pop_front();
        return text;
    }

    std::vector<Prompt> shown;
    std::deque<PromptAnswer> answers;
    std::vector<InputPrompt> inputs;
    std::deque<std::optional<std::string>> typed;
};

}  // namespace vantoro::testing
