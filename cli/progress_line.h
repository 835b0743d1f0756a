// One line of progress on a terminal, rewritten in place ("\r" and the new
// text, blanks over what the old one left), with message lines shown above
// it. Off the terminal the progress is not drawn and only the messages are
// written.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace vantoro::cli {

class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool terminal) : m_err(err), m_terminal(terminal) {}
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Rewrites the line with `text` (nothing off the terminal).
    void show(std::string_view text);
    // A message on a line of its own; the progress is drawn again by the
    // next show.
    void message(std::string_view text);
    // Blanks the line and leaves the cursor at its start.
    void clear();

private:
    std::ostream& m_err;
    bool m_terminal;
    std::size_t m_shown = 0;  // the width of the text on the line
};

// "1:05" for 65 seconds, "1:01:05" from an hour on.
std::string clockText(double seconds);

}  // namespace vantoro::cli
