#pragma once
// What `vellumark convert` shows of a run: one progress line over all pages on a terminal, a
// result line per book (or a JSON object per book for scripts), errors on stderr, and for a
// shelf one summary line at the end.

#include <chrono>
#include <string>

#include "cli/TerminalProgress.h"
#include "epub/Shelf.h"

namespace vellumark::cli {

struct DisplayOptions {
    bool quiet = false;  // errors only
    bool json = false;   // a JSON object per book on stdout instead of the result lines
    bool shelf = false;  // several books: books counted in the progress line, a summary at the end
};

// The observer of a run on the command line. Interruptions come from Interruption::Signal. A run
// of one book shows only its result line: its caller reports a failure, with its exit code.
class ShelfDisplay final : public epub::ShelfObserver {
public:
    explicit ShelfDisplay(DisplayOptions options);

    void Progress(const epub::ShelfProgress& progress) override;
    void BookDone(const epub::BookReport& report) override;
    bool CancelRequested() override;

    // "3 converted, 1 skipped, 1 failed", unless quiet or JSON.
    void Summary(const epub::ShelfSummary& summary);
    // The report of the book that ended last.
    const epub::BookReport& LastReport() const { return last_; }

private:
    DisplayOptions options_;
    TerminalProgress progress_;
    std::chrono::steady_clock::time_point start_;
    epub::BookReport last_;
};

// The text as a JSON string, quotes included; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(const std::string& text);

// A file size as people read it, in decimal units: "512 bytes", "42 KB", "12.3 MB", "1.2 GB".
std::string HumanSize(std::uintmax_t bytes);

}  // namespace vellumark::cli
