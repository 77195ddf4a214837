#include <exception>
#include <mutex>
#include <thread>

#include "common/Jobs.h"
#include "imaging/text/TextLayer.h"

namespace vellumark::imaging {

void ReadAllPages(const TextLayer& text, unsigned jobs,
                  const std::function<void(int done, int total)>& progress,
                  const TextLayer::CancelFlag* cancel) {
    const int total = text.PageCount();
    const int threads = std::min(static_cast<int>(ResolveJobs(jobs)), std::max(total, 1));

    std::atomic<int> next = 0;
    std::atomic<bool> failed = false;
    std::mutex mutex;  // guards done, firstError and the progress calls
    int done = 0;
    std::exception_ptr firstError;

    auto work = [&] {
        for (int page = next++; page < total && !failed; page = next++) {
            try {
                text.Words(page, cancel);
            } catch (...) {
                const std::lock_guard lock(mutex);
                if (!firstError)
                    firstError = std::current_exception();
                failed = true;
                return;
            }
            const std::lock_guard lock(mutex);
            ++done;
            if (progress)
                progress(done, total);
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (int i = 1; i < threads; ++i)
            helpers.emplace_back(work);
        work();
    }
    if (firstError)
        std::rethrow_exception(firstError);
}

}  // namespace vellumark::imaging
