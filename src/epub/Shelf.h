#pragma once
// Many scans, each to its own book, in one run: a shelf. The books share one scheduler, and
// the next book's pages start while the last one is still finishing its archive, so the cores
// stay busy from the first page of the run to the last. A book that fails is reported and the
// run goes on; a book that already exists is skipped unless it may be overwritten, so a
// stopped run can simply be started again. At most three books are under way at once (one
// making its pages, the others finishing their archives), whatever the shelf holds, so memory
// stays that of a few conversions.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "epub/BookIdentity.h"
#include "epub/ConversionJob.h"
#include "epub/Folders.h"
#include "imaging/ScanDocument.h"

namespace vellumark::epub {

struct ShelfBook {
    std::filesystem::path input;
    std::string title;  // as ConversionSettings takes them
    std::string author;
    std::string cover;
    // Below the output folder, where a shelf's tree puts the book ("1998" for shelf/1998/a.tif);
    // empty for the output folder itself. Made when the book is written.
    std::filesystem::path folder;
};

struct ShelfSettings {
    // What every book shares: the output folder, jobs (the run's cores), format, page box,
    // quality. Title, author, cover, working folder, text and cores are set per book.
    ConversionSettings book;
    bool overwrite = false;
    bool ocr = false;  // read every book's text (the EPUB 3 text layer, the reflowable text)
    std::string ocrLanguage = imaging::kDefaultOcrLanguage;
    int renderDpi = imaging::kDefaultRenderDpi;  // PDF pages that are not one scanned image
    // Where the container files are read from; empty: the installed ones.
    std::filesystem::path installed;
    // Makes each book's identity; tests give their own to get the same bytes twice.
    std::function<BookIdentity()> identity = FreshIdentity;
};

enum class BookOutcome {
    Converted,
    Skipped,  // the book exists and may not be overwritten
    Failed,
    Cancelled,
};

struct BookReport {
    std::size_t index = 0;  // in the shelf
    std::filesystem::path input;
    std::filesystem::path output;
    int pages = 0;
    double seconds = 0;
    BookOutcome outcome = BookOutcome::Failed;
    std::string message;  // the success line, or what went wrong
    int exitCode = 0;     // for a failure: 2 when the user can fix it, else 1
};

struct ShelfProgress {
    // Steps, of the books that are not skipped: a step per sheet, or two (planned, then made)
    // when the pages are cleaned up.
    long long pagesDone = 0;
    long long pagesTotal = 0;
    int stepsPerSheet = 1;
    int booksDone = 0;
    int booksTotal = 0;
};

struct ShelfSummary {
    int converted = 0;
    int skipped = 0;
    int failed = 0;
    bool cancelled = false;
};

// What a run tells. Every call comes on the thread that runs ConvertShelf.
class ShelfObserver {
public:
    virtual ~ShelfObserver() = default;
    virtual void Progress(const ShelfProgress&) {}
    // Once per book that was reached, in the order the books end.
    virtual void BookDone(const BookReport& report) = 0;
    // Asked whenever a page or a book ends; true stops the run within a page per thread: books
    // under way are cancelled and leave nothing behind, books not started are left. A stop in
    // the shared settings (book.stop) does the same at once.
    virtual bool CancelRequested() { return false; }
};

// The folder a book goes to: the output folder / the book's folder.
std::string ShelfBookFolder(const ShelfBook& book, const ShelfSettings& settings);

// The output file of a book: its folder / the title (each "/" as "_") + ".epub".
std::filesystem::path ShelfBookOutput(const ShelfBook& book, const ShelfSettings& settings);

// Converts the books in order (three at most under way at once) and returns what became of them.
// Never throws: a book's failure is its report.
ShelfSummary ConvertShelf(const std::vector<ShelfBook>& books, const ShelfSettings& settings,
                          ShelfObserver& observer);

}  // namespace vellumark::epub
