#pragma once
// Ctrl-C and SIGTERM on the command line: while an Interruption lives, either signal only marks
// the run as interrupted and requests a stop of its work, so that the work under way can stop
// cleanly (partial books removed, finished books kept). A second signal ends the program at
// once, as the signal would without us; what that leaves is cleared away by the next run.

#include <csignal>
#include <stop_token>
#include <thread>

namespace vellumark::cli {

class Interruption {
public:
    // Throws vellumark::Error (Internal) when its pipe or thread cannot be made.
    Interruption();
    ~Interruption();  // puts the old handlers back
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    // The signal that arrived (SIGINT or SIGTERM), or 0. Safe from any thread.
    static int Signal() noexcept;
    // Requested as soon as a signal arrives (by a thread of ours: a signal handler may not).
    std::stop_token Token() const noexcept { return stop_.get_token(); }

private:
    struct sigaction oldInterrupt_ {};
    struct sigaction oldTerminate_ {};
    int pipe_[2] = {-1, -1};  // the handler writes a byte, the watcher reads it
    std::stop_source stop_;
    std::thread watcher_;
};

}  // namespace vellumark::cli
