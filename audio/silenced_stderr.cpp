#include "audio/silenced_stderr.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace vantoro::audio {

// Where /dev/null cannot be opened or the descriptor copied, standard error
// stays as it is: the messages are a nuisance, not a fault.
SilencedStandardError::SilencedStandardError() {
    std::fflush(stderr);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) return;
    m_saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (m_saved >= 0 && dup2(null, STDERR_FILENO) < 0) {
        close(m_saved);
        m_saved = -1;
    }
    close(null);
}

SilencedStandardError::~SilencedStandardError() {
    if (m_saved < 0) return;
    std::fflush(stderr);
    dup2(m_saved, STDERR_FILENO);
    close(m_saved);
}

}  // namespace vantoro::audio
