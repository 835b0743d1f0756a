#include "cli/interrupt_stop.h"

#include <signal.h>

#include <csignal>

#include "cli/cli_support.h"

namespace vantoro::cli {
namespace {

// Written by the handler, read by the loops: nothing else is safe to do in
// a signal handler.
volatile std::sig_atomic_t g_interrupted = 0;
struct sigaction g_previous {};

extern "C" void onInterrupt(int) {
    g_interrupted = 1;
}

}  // namespace

InterruptStop::InterruptStop() {
    g_interrupted = 0;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // Reads and writes interrupted by the signal carry on instead of failing.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &g_previous);
}

InterruptStop::~InterruptStop() {
    sigaction(SIGINT, &g_previous, nullptr);
}

StopCheck InterruptStop::check() const {
    return [] { return g_interrupted != 0; };
}

bool InterruptStop::interrupted() const {
    return g_interrupted != 0;
}

int InterruptStop::exitCode(const EditResult& result, const std::string& ignoredMessage) const {
    if (interrupted() && result.outcome == EditOutcome::Refused) return kExitInterrupted;
    return exitCodeOf(result, ignoredMessage);
}

}  // namespace vantoro::cli
