#pragma once
// Ctrl-C and SIGTERM on the command line: while an Interruption lives, either signal only marks
// the run as interrupted, so that the work under way can stop cleanly (staging folders and
// partial books removed, finished books kept). A second signal ends the program at once, as
// the signal would without us; what that leaves is cleared away by the next run.

#include <csignal>

namespace vellumark::cli {

class Interruption {
public:
    Interruption();
    ~Interruption();  // puts the old handlers back
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    // The signal that arrived (SIGINT or SIGTERM), or 0. Safe from any thread.
    static int Signal() noexcept;

private:
    struct sigaction oldInterrupt_ {};
    struct sigaction oldTerminate_ {};
};

}  // namespace vellumark::cli
