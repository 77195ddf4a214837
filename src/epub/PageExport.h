#pragma once
// Page export: every page of a document becomes its picture n.jpg and its XHTML page: pagen.html
// in an EPUB 2 book, pagen.xhtml (fixed layout, with the page's text layer) in an EPUB 3 one.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "common/Scheduler.h"
#include "epub/BookDocuments.h"
#include "epub/DeviceProfiles.h"
#include "imaging/PageSource.h"
#include "imaging/text/TextLayer.h"

namespace vellumark::epub {

struct ExportOptions {
    // Threads that render and encode pages; 0 means one per core. Never more than the pages.
    unsigned jobs = 0;
    std::string languageTag;  // of the XHTML pages; empty means LanguageTag()
    // Called on the calling thread, never on a pool thread: pages finished so far, of total.
    std::function<void(int done, int total)> progress;
    // Called on the calling thread between pages; true stops the export.
    std::function<bool()> cancelRequested;
    // A stop requested here stops the export at once, from any thread: pages under way are
    // told (a recognition stops) and none is started.
    std::stop_token stop;
    BookFormat format = BookFormat::Epub2;
    // EPUB 3: where each page's words come from, for its text layer; null: no text layer. Its
    // document must be the one being exported.
    const imaging::TextLayer* text = nullptr;
    // EPUB 3: the screen each page is fitted to from its own pixels; none: 96 pixels per inch.
    std::optional<PageBox> fit;
    int quality = 90;  // of JPEG pictures, 1 to 100
    // The run's workers, when other work shares them; null: a scheduler of `jobs` threads (at
    // most one per page) for this export alone. Must outlive the export.
    Scheduler* scheduler = nullptr;
};

// The files of one page, made in memory.
struct PageFiles {
    BookPage page;
    std::vector<std::uint8_t> picture;  // named page.pictureName
    std::string documentName;           // "page3.html", "page3.xhtml"
    std::string document;
};

// Called on the calling thread with each page's files (its index from 0), in PageNameOrder.
using PageReceiver = std::function<void(int index, PageFiles&& files)>;

// The pages' indices in the order their files' names sort (1, 10, 11, ..., 2, 20, ...): the
// order in which a book's folder is packed, so that pages can go into a book as they come.
std::vector<int> PageNameOrder(int pageCount);

// Grey levels of the PNG picture of a bilevel page: as few as keep the edges of text smooth.
inline constexpr int kBilevelGreyLevels = 4;

// Writes, in PageNameOrder, the picture and the page document of each page n = 1 to pageCount: for
// EPUB 2 n.jpg (baseline JPEG) at 96 pixels per inch; for EPUB 3 n.png for a bilevel page, n.jpg
// otherwise, at 96 pixels per inch or fitted to `fit`. Replaces files of those names and returns
// what was written for each page. The files do not depend on the number of threads. At most 2 x
// `jobs` pages are held in memory at once. `source` must be safe to call from several threads. A
// text layer's words are read on the same threads, each page's while it is exported.
//
// Throws vellumark::Error: the error of the first page in that order that failed (as a one-thread
// run would report it), Io when a file cannot be written, Cancelled when stopped. Files of finished
// pages stay in the folder; the caller owns its cleanup.
std::vector<BookPage> ExportPages(const imaging::PageSource& source, int pageCount,
                                  const std::filesystem::path& folder,
                                  const ExportOptions& options = {});

// As above, but each page's files are handed to `receive` instead of written, in PageNameOrder,
// pages being made ahead of it on the pool. A page whose files were not handed over when the
// export stopped is lost; `receive` may throw, which stops the export.
std::vector<BookPage> ExportPages(const imaging::PageSource& source, int pageCount,
                                  const PageReceiver& receive, const ExportOptions& options = {});

}  // namespace vellumark::epub
