#pragma once
// The reading of a reflowable book: every page's words and pictures, made on the run's workers,
// then the book's structure and its text as one flow.

#include <atomic>
#include <functional>
#include <string>

#include "common/Scheduler.h"
#include "epub/BookSink.h"
#include "epub/ReflowBook.h"
#include "imaging/PageSource.h"
#include "imaging/text/TextLayer.h"

namespace vellumark::epub {

struct ReflowOptions {
    int quality = 90;  // of JPEG pictures
    // With no cover of its own, the book's cover is the first page's picture, as "cover.jpg".
    bool pageCover = true;
    // Called on the calling thread with the pages read so far.
    std::function<void(int done)> progress;
    // Set to stop: pages under way are told, none is started; Cancelled is thrown.
    const std::atomic<bool>* stop = nullptr;
};

// Reads the pages (`text` reads the same pages) on `scheduler`, keeps the pictures in `files`
// under the content folder, and returns the book with its flow, pictures, page labels and,
// when `options.pageCover`, its cover; the caller sets title, author, language and identity.
// Throws vellumark::Error.
ReflowBook ReadReflowBook(const imaging::PageSource& pages, const imaging::TextLayer& text,
                          Scheduler& scheduler, OrderedFiles& files, const ReflowOptions& options);

}  // namespace vellumark::epub
