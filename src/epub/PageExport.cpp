#include "epub/PageExport.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "common/Error.h"
#include "common/Jobs.h"
#include "common/Scheduler.h"
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

// What the page tasks share with the calling thread. Pages are taken in name order; a
// position is a place in that order.
struct ExportState {
    std::mutex mutex;
    std::condition_variable changed;
    int posted = 0;    // positions handed to the scheduler
    int finished = 0;  // of them, those whose task has ended
    std::atomic<bool> stop{false};
    // Set only by a cancel, not by a failure: stops a recognition under way. A page that is
    // being read when another fails finishes, so the first page's error is the one reported.
    std::atomic<bool> cancelled{false};
    int done = 0;
    unsigned long changes = 0;  // counts every change above, so that none is missed
    std::map<int, std::exception_ptr> failures;     // by position
    std::vector<std::optional<PageFiles>> results;  // by position, until handed over
};

// What every page needs besides its number.
struct PageJob {
    const imaging::PageSource& source;
    const std::vector<int>& order;
    const std::string& languageTag;
    const ExportOptions& options;
};

// The picture of an EPUB 3 page in the form that suits its kind: few grey levels as PNG for a
// bilevel page (text stays crisp at a fraction of a JPEG's size), one-component JPEG for grey,
// JPEG for colour.
void MakeFixedPicture(const PageJob& job, int index, PageFiles& files) {
    BookPage& page = files.page;
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
    switch (shape.kind) {
        case imaging::PageKind::Bilevel:
            page.pictureName = n + ".png";
            page.mediaType = "image/png";
            files.picture =
                imaging::EncodeGreyPng(imaging::ToGrey(std::move(picture)), kBilevelGreyLevels);
            break;
        case imaging::PageKind::Grey:
            files.picture =
                imaging::EncodeGreyJpeg(imaging::ToGrey(std::move(picture)), job.options.quality);
            break;
        case imaging::PageKind::Colour:
            files.picture = imaging::EncodeJpeg(picture, job.options.quality);
            break;
    }
}

PageFiles ExportPage(const PageJob& job, int index, const std::atomic<bool>& cancelled) {
    const std::string n = std::to_string(index + 1);
    PageFiles files;
    BookPage& page = files.page;
    page = BookPage{n + ".jpg", "image/jpeg", 0, 0, false};
    if (job.options.format == BookFormat::Epub2) {
        const imaging::Picture picture = job.source.PagePicture(index);
        page.width = picture.width;
        page.height = picture.height;
        files.picture = imaging::EncodeJpeg(picture, job.options.quality);
        files.documentName = "page" + n + ".html";
        files.document = ImagePageText(page.pictureName, "page" + n, job.languageTag);
        return files;
    }
    MakeFixedPicture(job, index, files);
    std::string textLayer;
    if (const imaging::TextLayer* text = job.options.text) {
        const imaging::PageShape box = text->Source().Shape(index);
        textLayer = TextLayerMarkup(PlaceWords(text->Words(index, &cancelled), box.width,
                                               box.height, page.width, page.height));
        page.hasText = !textLayer.empty();
    }
    const FixedPage fixed{"Page " + n, page.pictureName, page.width, page.height};
    files.documentName = FixedPageFile(index + 1);
    files.document = FixedPageText(fixed, textLayer, kFixedStylesheetName, job.languageTag);
    return files;
}

// One page, as a task of the scheduler.
void RunPage(ExportState& state, const PageJob& job, int position) {
    const int index = job.order[static_cast<std::size_t>(position)];
    std::exception_ptr failure;
    std::optional<PageFiles> files;
    bool skipped = state.stop.load();  // stopped before its turn came
    if (!skipped) {
        try {
            files = ExportPage(job, index, state.cancelled);
        } catch (const Error& e) {
            // A cancel is reported once, as the conversion's.
            skipped = e.Code() == ErrorCode::Cancelled && state.cancelled;
            if (!skipped)
                failure = std::current_exception();
        } catch (const std::bad_alloc&) {
            failure = std::make_exception_ptr(
                Error(ErrorCode::Internal, "Out of memory on page " + std::to_string(index + 1), {},
                      index));
        } catch (const std::exception& e) {
            failure = std::make_exception_ptr(Error(ErrorCode::Internal, e.what(), {}, index));
        } catch (...) {
            // Whatever a library throws, the page must end: the export waits for every one.
            failure = std::make_exception_ptr(
                Error(ErrorCode::Internal, "Unknown failure on page " + std::to_string(index + 1),
                      {}, index));
        }
    }
    {
        const std::lock_guard lock(state.mutex);
        if (failure) {
            state.failures.emplace(position, failure);
            // Pages before this one are already under way and finish; later ones are skipped.
            state.stop = true;
        } else if (!skipped) {
            state.results[static_cast<std::size_t>(position)] = std::move(files);
            ++state.done;
        }
        ++state.finished;
        ++state.changes;
        // Under the lock: once `finished` has moved the calling thread may leave, and the state
        // with it.
        state.changed.notify_all();
    }
}

// Waits on every way out of ExportPages until no task of the export is left, so that none
// touches the state after it is gone.
struct AwaitTasks {
    ExportState& state;
    ~AwaitTasks() {
        std::unique_lock lock(state.mutex);
        state.stop = true;
        state.changed.wait(lock, [&] { return state.finished == state.posted; });
    }
};

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    WriteFileBytes(path,
                   std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace

std::vector<int> PageNameOrder(int pageCount) {
    std::vector<int> order(static_cast<std::size_t>(std::max(pageCount, 0)));
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    // "n." sorts as n alone: the dot comes before every digit.
    std::sort(order.begin(), order.end(),
              [](int a, int b) { return std::to_string(a + 1) < std::to_string(b + 1); });
    return order;
}

std::vector<BookPage> ExportPages(const imaging::PageSource& source, int pageCount,
                                  const std::filesystem::path& folder,
                                  const ExportOptions& options) {
    return ExportPages(
        source, pageCount,
        [&folder](int, PageFiles&& files) {
            WriteFile(folder / files.page.pictureName, files.picture);
            WriteFileBytes(folder / files.documentName, files.document);
        },
        options);
}

std::vector<BookPage> ExportPages(const imaging::PageSource& source, int pageCount,
                                  const PageReceiver& receive, const ExportOptions& options) {
    if (pageCount <= 0)
        return {};
    const std::string languageTag =
        options.languageTag.empty() ? LanguageTag() : options.languageTag;
    std::optional<Scheduler> own;
    Scheduler& scheduler =
        options.scheduler != nullptr
            ? *options.scheduler
            : own.emplace(std::min(ResolveJobs(options.jobs), static_cast<unsigned>(pageCount)));
    const std::vector<int> order = PageNameOrder(pageCount);

    ExportState state;
    state.results.resize(static_cast<std::size_t>(pageCount));
    std::vector<BookPage> pages(static_cast<std::size_t>(pageCount));
    const PageJob job{source, order, languageTag, options};
    // Pages made ahead of the one the book waits for: enough to keep every worker busy, few
    // enough that memory stays a few pages and a cancel stops the work within a page or two.
    const int lead = 2 * static_cast<int>(scheduler.Threads());
    bool cancelled = false;
    {
        const AwaitTasks awaitTasks{state};
        // A stop is told, not asked for: it wakes the wait below at once.
        const std::stop_callback onStop(options.stop, [&state] {
            const std::lock_guard lock(state.mutex);
            state.cancelled = true;
            state.stop = true;
            ++state.changes;
            state.changed.notify_all();
        });
        int reported = 0;
        int taken = 0;           // positions handed over
        unsigned long seen = 0;  // state.changes when last looked at
        std::unique_lock lock(state.mutex);
        const auto nextReady = [&] {
            return taken < pageCount && state.results[static_cast<std::size_t>(taken)].has_value();
        };
        for (;;) {
            while (!state.stop && state.posted < std::min(pageCount, taken + lead)) {
                const int position = state.posted++;
                scheduler.Post([&state, &job, position] { RunPage(state, job, position); });
            }
            // Woken by a finished page or a stop, never by a clock; with no page under way there
            // is nothing to wait for.
            if (state.finished != state.posted)
                state.changed.wait(lock, [&] { return state.changes != seen; });
            seen = state.changes;
            const int done = state.done;
            cancelled = cancelled || state.cancelled;
            std::vector<std::pair<int, PageFiles>> ready;
            while (nextReady()) {
                auto& slot = state.results[static_cast<std::size_t>(taken)];
                ready.emplace_back(order[static_cast<std::size_t>(taken)], std::move(*slot));
                slot.reset();
                ++taken;
            }
            const bool finished = state.finished == state.posted && ready.empty() &&
                                  (state.stop || taken == pageCount);
            lock.unlock();
            for (auto& [index, files] : ready) {
                pages[static_cast<std::size_t>(index)] = files.page;
                receive(index, std::move(files));
            }
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
        }
    }
    if (!state.failures.empty())
        std::rethrow_exception(state.failures.begin()->second);
    if (cancelled)
        throw Error(ErrorCode::Cancelled, "The conversion was cancelled.");
    return pages;
}

}  // namespace vellumark::epub
