#include "cli/Interruption.h"

#include <atomic>

namespace vellumark::cli {
namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

void OnSignal(int signal) {
    received.store(signal);
    // The next one is not caught: a user who presses Ctrl-C twice means it.
    std::signal(signal, SIG_DFL);
}

}  // namespace

Interruption::Interruption() {
    received.store(0);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &oldInterrupt_);
    sigaction(SIGTERM, &action, &oldTerminate_);
}

Interruption::~Interruption() {
    sigaction(SIGINT, &oldInterrupt_, nullptr);
    sigaction(SIGTERM, &oldTerminate_, nullptr);
}

int Interruption::Signal() noexcept {
    return received.load();
}

}  // namespace vellumark::cli
