#pragma once
// The one progress line every command draws: a bar and a caption on stderr, redrawn in place,
// and erased when the work ends so that what follows starts on a clean line. Drawn only when
// stderr is a terminal, so scripts and logs see nothing of it. One thread only.

#include <cstdint>
#include <string>

namespace vellumark::cli {

class TerminalProgress {
public:
    // Draws only when `wanted` and stderr is a terminal.
    explicit TerminalProgress(bool wanted = true);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    bool Enabled() const { return enabled_; }
    // "[#########...............] caption"; redrawn only when the line changes.
    void Show(std::uint64_t done, std::uint64_t total, const std::string& caption);
    // Erases the line.
    void Clear();

private:
    bool enabled_;
    std::string shown_;  // the line on screen, empty when none
};

}  // namespace vellumark::cli
