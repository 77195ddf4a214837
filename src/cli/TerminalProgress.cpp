#include "cli/TerminalProgress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace vellumark::cli {
namespace {

constexpr std::uint64_t kBarWidth = 30;

}  // namespace

TerminalProgress::TerminalProgress(bool wanted)
    : enabled_(wanted && ::isatty(STDERR_FILENO) == 1) {}

TerminalProgress::~TerminalProgress() {
    Clear();
}

void TerminalProgress::Show(std::uint64_t done, std::uint64_t total, const std::string& caption) {
    if (!enabled_)
        return;
    const std::uint64_t filled = total == 0 ? kBarWidth : std::min(done, total) * kBarWidth / total;
    std::string line =
        "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " + caption;
    if (line == shown_)
        return;
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    shown_ = std::move(line);
}

void TerminalProgress::Clear() {
    if (shown_.empty())
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_.clear();
}

}  // namespace vellumark::cli
