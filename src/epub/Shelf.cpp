#include "epub/Shelf.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "common/Error.h"
#include "common/Scheduler.h"
#include "imaging/ScanDocument.h"

namespace vellumark::epub {
namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Books under way at once: one making its pages while those before it finish their archives
// (their last pieces and documents, then the sync), so that the workers never wait for a book's
// end.
constexpr std::size_t kBooksUnderWay = 3;

// What the book threads and the run's thread share.
struct RunState {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> cancel{false};
    std::vector<long long> pagesDone;  // per book
    std::deque<BookReport> finished;   // reports not yet passed on
    bool exporting = false;            // a book is still making its pages
    unsigned long changes = 0;         // counts every change above, so that none is missed
};

// A book's conversion reports here, on the book's own thread.
class BookReporter final : public ConversionReporter {
public:
    // `units`: the book's share of the run's progress (its sheets, twice when they are cleaned
    // up first); what the conversion reports is scaled to it, whatever its own total.
    BookReporter(RunState& state, std::size_t index, bool overwrite, long long units)
        : state_(state), index_(index), overwrite_(overwrite), units_(units) {}

    void Note(const std::string& text) override { note_ = text; }
    bool ConfirmOverwrite(const fs::path&) override { return overwrite_; }
    void Status(const std::string&) override {}
    void Progress(int done, int total) override {
        {
            const std::lock_guard lock(state_.mutex);
            state_.pagesDone[index_] = total > 0 ? done * units_ / total : 0;
            // The last page made: the next book may start while this one is packed.
            if (done >= total && !exportDone_) {
                exportDone_ = true;
                state_.exporting = false;
            }
            ++state_.changes;
        }
        state_.changed.notify_all();
    }
    bool CancelRequested() override { return state_.cancel.load(); }

    // Called once the conversion has ended, however it ended.
    void Ended() {
        const std::lock_guard lock(state_.mutex);
        if (!exportDone_)
            state_.exporting = false;
        exportDone_ = true;
        ++state_.changes;
    }
    const std::string& NoteText() const { return note_; }

private:
    RunState& state_;
    std::size_t index_;
    bool overwrite_;
    long long units_;
    bool exportDone_ = false;  // guarded by state_.mutex
    std::string note_;
};

BookReport RunBook(const ShelfBook& book, std::size_t index, const ShelfSettings& settings,
                   Scheduler& scheduler, RunState& state, BookReporter& reporter) {
    BookReport report;
    report.index = index;
    report.input = book.input;
    report.output = ShelfBookOutput(book, settings);
    const auto start = Clock::now();
    try {
        const std::shared_ptr<const imaging::ScanDocument> document =
            imaging::OpenScanDocument(book.input, settings.renderDpi);
        report.pages = document->PageCount();
        ConversionSettings conversion = settings.book;
        conversion.outputFolder = ShelfBookFolder(book, settings);
        conversion.title = book.title;
        conversion.author = book.author;
        conversion.cover = book.cover;
        // Straight into the archive: the container files are read where they are installed.
        conversion.workingFolder =
            settings.installed.empty() ? InstalledContainerFolder() : settings.installed;
        conversion.sink = BookSinkKind::Archive;
        conversion.jobs = scheduler.Threads();
        conversion.scheduler = &scheduler;
        if (settings.ocr) {
            conversion.text =
                std::make_shared<const imaging::TextLayer>(document, settings.ocrLanguage);
            conversion.ocrLanguage = settings.ocrLanguage;
        }
        const ConversionResult result =
            Convert(document.get(), conversion, reporter, settings.identity());
        report.exitCode = result.exitCode;
        report.message = result.message.empty() ? reporter.NoteText() : result.message;
        switch (result.outcome) {
            case ConversionOutcome::Succeeded:
                report.outcome = BookOutcome::Converted;
                break;
            case ConversionOutcome::Declined:  // appeared since the run began
                report.outcome = BookOutcome::Skipped;
                break;
            case ConversionOutcome::Cancelled:
                report.outcome = BookOutcome::Cancelled;
                break;
            case ConversionOutcome::Refused:
            case ConversionOutcome::Failed:
                report.outcome = BookOutcome::Failed;
                break;
        }
    } catch (const Error& e) {
        report.outcome = state.cancel ? BookOutcome::Cancelled : BookOutcome::Failed;
        report.message = DescribeError(e);
        report.exitCode = ExitCodeFor(e.Code());
    } catch (const std::bad_alloc&) {
        report.message = "Out of memory.";
        report.exitCode = 1;
    } catch (const std::exception& e) {
        report.message = e.what();
        report.exitCode = 1;
    }
    report.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return report;
}

// The page count of each book, read from its page directory alone (0 when it cannot be
// opened: the book then fails, and says why, when its turn comes).
std::vector<long long> CountPages(const std::vector<ShelfBook>& books,
                                  const std::vector<bool>& skipped) {
    std::vector<long long> pages(books.size(), 0);
    for (std::size_t i = 0; i < books.size(); ++i) {
        if (skipped[i])
            continue;
        try {
            pages[i] = imaging::OpenScanDocument(books[i].input)->PageCount();
        } catch (const std::exception&) {
        }
    }
    return pages;
}

}  // namespace

std::string ShelfBookFolder(const ShelfBook& book, const ShelfSettings& settings) {
    if (book.folder.empty())
        return settings.book.outputFolder;
    return (fs::path(settings.book.outputFolder) / book.folder).string();
}

fs::path ShelfBookOutput(const ShelfBook& book, const ShelfSettings& settings) {
    ConversionSettings conversion = settings.book;
    conversion.title = book.title;
    conversion.outputFolder = ShelfBookFolder(book, settings);
    return OutputPathFor(conversion);
}

ShelfSummary ConvertShelf(const std::vector<ShelfBook>& books, const ShelfSettings& settings,
                          ShelfObserver& observer) {
    ShelfSummary summary;
    std::vector<bool> skipped(books.size(), false);
    for (std::size_t i = 0; i < books.size(); ++i) {
        std::error_code ec;
        // As Convert does: a book whose fields are missing is refused before it is looked for.
        const bool complete = !books[i].title.empty() && !books[i].author.empty() &&
                              !settings.book.outputFolder.empty();
        skipped[i] = complete && !settings.overwrite &&
                     fs::exists(fs::symlink_status(ShelfBookOutput(books[i], settings), ec));
    }
    std::vector<long long> pages = CountPages(books, skipped);
    if (settings.book.cleanup.Any()) {
        // Each sheet is read once to plan it, then made into its pages.
        for (long long& count : pages)
            count *= 2;
    }
    ShelfProgress progress;
    progress.stepsPerSheet = settings.book.cleanup.Any() ? 2 : 1;
    progress.booksTotal = static_cast<int>(books.size());
    for (long long count : pages)
        progress.pagesTotal += count;

    RunState state;
    state.pagesDone.assign(books.size(), 0);
    Scheduler scheduler(settings.book.jobs);
    std::vector<std::unique_ptr<BookReporter>> reporters(books.size());
    std::size_t next = 0;
    std::size_t underWay = 0;
    unsigned long seen = 0;  // state.changes when last looked at
    {
        std::vector<std::jthread> threads;
        // A stop is told, not asked for: it wakes the wait below at once. Each book has the
        // same stop in its settings and stops too.
        const std::stop_callback onStop(settings.book.stop, [&state] {
            const std::lock_guard lock(state.mutex);
            state.cancel = true;
            ++state.changes;
            state.changed.notify_all();
        });
        std::unique_lock lock(state.mutex);
        for (;;) {
            if (!state.cancel && observer.CancelRequested())
                state.cancel = true;
            // Start the next book once no book is making its pages.
            while (!state.cancel && next < books.size() && underWay < kBooksUnderWay &&
                   !state.exporting) {
                const std::size_t index = next++;
                if (skipped[index]) {
                    BookReport report;
                    report.index = index;
                    report.input = books[index].input;
                    report.output = ShelfBookOutput(books[index], settings);
                    report.outcome = BookOutcome::Skipped;
                    state.finished.push_back(std::move(report));
                    continue;
                }
                ++underWay;
                state.exporting = true;
                reporters[index] =
                    std::make_unique<BookReporter>(state, index, settings.overwrite, pages[index]);
                threads.emplace_back([&, index] {
                    BookReport report =
                        RunBook(books[index], index, settings, scheduler, state, *reporters[index]);
                    reporters[index]->Ended();
                    {
                        const std::lock_guard guard(state.mutex);
                        state.finished.push_back(std::move(report));
                        ++state.changes;
                    }
                    state.changed.notify_all();
                });
            }
            // Pass on what happened, outside the lock: observers print.
            seen = state.changes;
            std::deque<BookReport> finished;
            finished.swap(state.finished);
            long long done = 0;
            for (long long count : state.pagesDone)
                done += count;
            lock.unlock();
            for (BookReport& report : finished) {
                switch (report.outcome) {
                    case BookOutcome::Converted:
                        ++summary.converted;
                        break;
                    case BookOutcome::Skipped:
                        ++summary.skipped;
                        break;
                    case BookOutcome::Failed:
                        ++summary.failed;
                        break;
                    case BookOutcome::Cancelled:
                        summary.cancelled = true;
                        break;
                }
                if (report.outcome != BookOutcome::Skipped)
                    --underWay;
                ++progress.booksDone;
                observer.BookDone(report);
            }
            if (done != progress.pagesDone || !finished.empty()) {
                progress.pagesDone = done;
                observer.Progress(progress);
            }
            lock.lock();
            if (underWay == 0 && state.finished.empty() && (next >= books.size() || state.cancel))
                break;
            // Woken by a page, a book or a stop, also one that came while the lock was let go;
            // never by a clock.
            state.changed.wait(lock, [&] { return state.changes != seen; });
        }
    }
    summary.cancelled = summary.cancelled || (state.cancel && next < books.size());
    return summary;
}

}  // namespace vellumark::epub
