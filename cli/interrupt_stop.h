// Ctrl-C (SIGINT) during a long edit of vantoro-cli: instead of killing the
// program in the middle of a write, it asks the run to stop, as the
// window's Stop button does. An import or export then ends after the file
// or entry it is on, with what it stored kept and a message saying how
// many; a delete, one journaled step, is refused when it has not begun and
// otherwise finishes. The command then exits 130 (128 + SIGINT), as a shell
// expects of a program ended by Ctrl-C.
#pragma once

#include <string>

#include "edit/edit_prompts.h"

namespace vantoro::cli {

inline constexpr int kExitInterrupted = 130;

// While it lives, SIGINT only sets a flag that its check() reads; the
// handling before it is put back when it goes.
class InterruptStop {
public:
    InterruptStop();
    ~InterruptStop();
    InterruptStop(const InterruptStop&) = delete;
    InterruptStop& operator=(const InterruptStop&) = delete;

    StopCheck check() const;
    bool interrupted() const;

    // 130 for a run that SIGINT ended early; otherwise exitCodeOf's code.
    int exitCode(const EditResult& result, const std::string& ignoredMessage) const;
};

}  // namespace vantoro::cli
