#include "cli/Interruption.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "common/Error.h"

namespace vellumark::cli {
namespace {

std::atomic<int> received{0};
std::atomic<int> wakeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

constexpr char kSignalled = 's';
constexpr char kDone = 'd';

void OnSignal(int signal) {
    const int saved = errno;
    received.store(signal);
    const int fd = wakeFd.load();
    if (fd >= 0) {
        const char byte = kSignalled;
        (void)::write(fd, &byte, 1);  // async-signal-safe; the watcher does the rest
    }
    // The next one is not caught: a user who presses Ctrl-C twice means it.
    std::signal(signal, SIG_DFL);
    errno = saved;
}

}  // namespace

Interruption::Interruption() {
    received.store(0);
    if (::pipe2(pipe_, O_CLOEXEC) != 0)
        throw Error(ErrorCode::Internal, "Cannot make a pipe for the interruption watcher");
    watcher_ = std::thread([this] {
        for (;;) {
            char byte = 0;
            const ssize_t n = ::read(pipe_[0], &byte, 1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 || byte == kDone)
                return;
            stop_.request_stop();
        }
    });
    wakeFd.store(pipe_[1]);
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
    wakeFd.store(-1);
    const char byte = kDone;
    while (::write(pipe_[1], &byte, 1) < 0 && errno == EINTR) {
    }
    watcher_.join();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

int Interruption::Signal() noexcept {
    return received.load();
}

}  // namespace vellumark::cli
