#include <exception>
#include <mutex>
#include <thread>

#include "imaging/text/TextLayer.h"

namespace vellumark::imaging {

void ReadAllPages(const TextLayer& text, int jobs,
                  const std::function<void(int done, int total)>& progress,
                  const TextLayer::CancelFlag* cancel) {
    const int total = text.PageCount();
    if (jobs <= 0)
        jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    jobs = std::min(jobs, std::max(total, 1));

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
        for (int i = 1; i < jobs; ++i)
            helpers.emplace_back(work);
        work();
    }
    if (firstError)
        std::rethrow_exception(firstError);
}

}  // namespace vellumark::imaging
