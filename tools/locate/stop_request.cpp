#include "stop_request.h"

#include <csignal>

namespace tools {

namespace {
volatile std::sig_atomic_t received = 0;

void on_stop_signal(int signal) { received = signal; }
} // namespace

void catch_stop_signals() {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    // Restarted calls keep a write to a slow reader of the results whole; the inputs wait in
    // poll(), which a signal always interrupts.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool stop_requested() { return received != 0; }

int stop_signal() { return received; }

} // namespace tools
