#include "epub/PageExport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>
#include <vector>

#include "common/Error.h"
#include "common/Jobs.h"
#include "epub/FileOutput.h"
#include "epub/FixedLayoutBook.h"
#include "epub/FixedLayoutPage.h"
#include "epub/ImagePage.h"
#include "epub/LanguageTag.h"
#include "imaging/Document.h"
#include "imaging/Jpeg.h"
#include "imaging/Png.h"

namespace vellumark::epub {
namespace {

// What the pool threads share with the calling thread.
struct ExportState {
    std::mutex mutex;
    std::condition_variable changed;
    int next = 0;     // the next page to start
    int allowed = 0;  // pages below this may be started
    std::atomic<bool> stop{false};
    // Set only by a cancel, not by a failure: stops a recognition under way. A page that is
    // being read when another fails finishes, so the lowest page's error is the one reported.
    std::atomic<bool> cancelled{false};
    int done = 0;
    unsigned running = 0;
    std::map<int, std::exception_ptr> failures;  // by page index
    std::vector<BookPage> pages;                 // each written by the thread of its page
};

// What every page needs besides its number.
struct PageJob {
    const imaging::PageSource& source;
    int pageCount;
    const std::filesystem::path& folder;
    const std::string& languageTag;
    const ExportOptions& options;
};

void WritePicture(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    WriteFileBytes(path,
                   std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// The picture of an EPUB 3 page in the form that suits its kind: few grey levels as PNG for a
// bilevel page (text stays crisp at a fraction of a JPEG's size), one-component JPEG for grey,
// JPEG for colour.
void WriteFixedPicture(const PageJob& job, int index, BookPage& page) {
    const imaging::PageShape shape = job.source.Shape(index);
    imaging::Picture picture;
    if (job.options.fit) {
        const auto [width, height] = FitPage(shape.width, shape.height, *job.options.fit);
        picture = job.source.PagePicture(index, width, height);
    } else {
        picture = job.source.PagePicture(index);
    }
    page.width = picture.width;
    page.height = picture.height;
    const std::string n = std::to_string(index + 1);
    std::vector<std::uint8_t> bytes;
    switch (shape.kind) {
        case imaging::PageKind::Bilevel:
            page.pictureName = n + ".png";
            page.mediaType = "image/png";
            bytes = imaging::EncodeGreyPng(imaging::ToGrey(picture), kBilevelGreyLevels);
            break;
        case imaging::PageKind::Grey:
            bytes = imaging::EncodeGreyJpeg(imaging::ToGrey(picture), job.options.quality);
            break;
        case imaging::PageKind::Colour:
            bytes = imaging::EncodeJpeg(picture, job.options.quality);
            break;
    }
    WritePicture(job.folder / page.pictureName, bytes);
}

BookPage ExportPage(const PageJob& job, int index, const std::atomic<bool>& cancelled) {
    const std::string n = std::to_string(index + 1);
    BookPage page{n + ".jpg", "image/jpeg", 0, 0, false};
    if (job.options.format == BookFormat::Epub2) {
        const imaging::Picture picture = job.source.PagePicture(index);
        page.width = picture.width;
        page.height = picture.height;
        WritePicture(job.folder / page.pictureName,
                     imaging::EncodeJpeg(picture, job.options.quality));
    } else {
        WriteFixedPicture(job, index, page);
    }
    if (job.options.format == BookFormat::Epub2) {
        WriteImagePage(job.folder / ("page" + n + ".html"), page.pictureName, "page" + n,
                       job.languageTag);
        return page;
    }
    std::string textLayer;
    if (const imaging::TextLayer* text = job.options.text) {
        const auto [boxWidth, boxHeight] = text->GetDocument().OwnSize(index);
        textLayer = TextLayerMarkup(PlaceWords(text->Words(index, &cancelled), boxWidth, boxHeight,
                                               page.width, page.height));
        page.hasText = !textLayer.empty();
    }
    const FixedPage fixed{"Page " + n, page.pictureName, page.width, page.height};
    WriteFileBytes(job.folder / FixedPageFile(index + 1),
                   FixedPageText(fixed, textLayer, kFixedStylesheetName, job.languageTag));
    return page;
}

void RunWorker(ExportState& state, const PageJob& job) {
    const int pageCount = job.pageCount;
    for (;;) {
        int index = 0;
        {
            // Only a few pages ahead of what the calling thread has seen, so that a cancel it
            // sees stops the work within a page or two.
            std::unique_lock lock(state.mutex);
            state.changed.wait(lock,
                               [&] { return state.stop.load() || state.next < state.allowed; });
            if (state.stop.load())
                break;
            index = state.next++;
        }
        if (index >= pageCount)
            break;
        std::exception_ptr failure;
        try {
            const WorkSlot core(job.options.cores);
            state.pages[static_cast<std::size_t>(index)] = ExportPage(job, index, state.cancelled);
        } catch (const Error& e) {
            if (e.Code() == ErrorCode::Cancelled && state.cancelled)
                break;  // reported once, as the conversion's cancel
            failure = std::current_exception();
        } catch (const std::bad_alloc&) {
            failure = std::make_exception_ptr(
                Error(ErrorCode::Internal, "Out of memory on page " + std::to_string(index + 1), {},
                      index));
        } catch (const std::exception& e) {
            failure = std::make_exception_ptr(Error(ErrorCode::Internal, e.what(), {}, index));
        }
        std::lock_guard lock(state.mutex);
        if (failure) {
            state.failures.emplace(index, failure);
            // Pages below this one are already taken and finish; later ones are not started.
            state.stop = true;
        } else {
            ++state.done;
        }
        state.changed.notify_all();
    }
    std::lock_guard lock(state.mutex);
    --state.running;
    state.changed.notify_all();
}

// Stops the pool on every way out of ExportPages, before its threads are joined.
struct StopOnExit {
    ExportState& state;
    ~StopOnExit() {
        {
            std::lock_guard lock(state.mutex);
            state.stop = true;
        }
        state.changed.notify_all();
    }
};

}  // namespace

std::vector<BookPage> ExportPages(const imaging::PageSource& source, int pageCount,
                                  const std::filesystem::path& folder,
                                  const ExportOptions& options) {
    if (pageCount <= 0)
        return {};
    const std::string languageTag =
        options.languageTag.empty() ? LanguageTag() : options.languageTag;
    const unsigned threadCount =
        std::min(ResolveJobs(options.jobs), static_cast<unsigned>(pageCount));

    ExportState state;
    state.running = threadCount;
    state.pages.resize(static_cast<std::size_t>(pageCount));
    const PageJob job{source, pageCount, folder, languageTag, options};
    const int lead = 2 * static_cast<int>(threadCount);
    state.allowed = lead;
    bool cancelled = false;
    {
        std::vector<std::jthread> pool;
        StopOnExit stopOnExit{state};
        pool.reserve(threadCount);
        for (unsigned i = 0; i < threadCount; ++i) {
            pool.emplace_back(RunWorker, std::ref(state), std::cref(job));
        }
        int reported = 0;
        std::unique_lock lock(state.mutex);
        for (;;) {
            // Woken per finished page; the timeout keeps cancellation live during a slow page.
            state.changed.wait_for(lock, std::chrono::milliseconds(100),
                                   [&] { return state.done != reported || state.running == 0; });
            const int done = state.done;
            const bool finished = state.running == 0;
            lock.unlock();
            if (done != reported && options.progress)
                options.progress(done, pageCount);
            reported = done;
            if (!finished && !cancelled && options.cancelRequested && options.cancelRequested()) {
                cancelled = true;
                state.cancelled = true;
                state.stop = true;
            }
            lock.lock();
            if (finished)
                break;
            state.allowed = reported + lead;
            state.changed.notify_all();
        }
    }
    if (!state.failures.empty())
        std::rethrow_exception(state.failures.begin()->second);
    if (cancelled)
        throw Error(ErrorCode::Cancelled, "The conversion was cancelled.");
    return std::move(state.pages);
}

}  // namespace vellumark::epub
