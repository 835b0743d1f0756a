#include "cli/progress_line.h"

#include <cmath>
#include <cstdio>

namespace vantoro::cli {

void ProgressLine::show(std::string_view text) {
    if (!m_terminal) return;
    std::string line = "\r" + std::string(text);
    if (text.size() < m_shown) line.append(m_shown - text.size(), ' ');
    m_err << line << std::flush;
    m_shown = text.size();
}

void ProgressLine::message(std::string_view text) {
    clear();
    m_err << text << '\n' << std::flush;
}

void ProgressLine::clear() {
    if (m_shown == 0) return;
    m_err << '\r' << std::string(m_shown, ' ') << '\r' << std::flush;
    m_shown = 0;
}

std::string clockText(double seconds) {
    const long total = std::isfinite(seconds) && seconds > 0 ? std::lround(seconds) : 0;
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}

}  // namespace vantoro::cli
