#pragma once
// Page export: every page of a document becomes n.jpg and its XHTML page pagen.html.

#include <filesystem>
#include <functional>
#include <string>

#include "imaging/PageSource.h"

namespace vellumark::epub {

struct ExportOptions {
    // Threads that render and encode pages; 0 means one per core. Never more than the pages.
    unsigned jobs = 0;
    std::string languageTag;  // of the XHTML pages; empty means LanguageTag()
    // Called on the calling thread, never on a pool thread: pages finished so far, of total.
    std::function<void(int done, int total)> progress;
    // Called on the calling thread between pages; true stops the export.
    std::function<bool()> cancelRequested;
};

// Writes folder/n.jpg (baseline JPEG, quality 90) and folder/pagen.html for n = 1 to pageCount,
// replacing files of those names. The files do not depend on the number of threads. At most
// `jobs` pages are held in memory at once. `source` must be safe to call from several threads.
//
// Throws vellumark::Error: the error of the lowest page that failed (as a one-thread run would
// report it), Io when a file cannot be written, Cancelled when stopped. Files of finished pages
// stay in the folder; the caller owns its cleanup.
void ExportPages(const imaging::PageSource& source, int pageCount,
                 const std::filesystem::path& folder, const ExportOptions& options = {});

}  // namespace vellumark::epub
