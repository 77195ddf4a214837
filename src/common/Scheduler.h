#pragma once
// The workers of a run: every task that keeps a core busy (a page being made, a piece of an
// archive being compressed) runs here, whichever conversion or book it belongs to, so that a
// run never keeps more cores busy than it was given (--jobs) however many books are under way.
// The threads that coordinate (a conversion handing pages to its book, a shelf starting books)
// only wait; they never compute.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vellumark {

class Scheduler {
public:
    // `jobs` threads, as ResolveJobs takes it (0: one per core).
    explicit Scheduler(unsigned jobs);
    // Runs every task already posted, then joins the threads.
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    unsigned Threads() const noexcept { return static_cast<unsigned>(threads_.size()); }

    // Queues a task; tasks start in the order they are posted. A task must not wait for another
    // task (it could be queued behind it) and must not throw (what it throws is dropped).
    // Thread-safe.
    void Post(std::function<void()> task);

private:
    void Run();
    void Stop() noexcept;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

// Runs work(0) to work(count - 1) on the scheduler, a few more at a time than it has threads (so
// that other work posted meanwhile is not queued behind all of them), and returns when every one
// that started has ended. Blocks the calling thread, which computes nothing; `progress` (may be
// empty) is called on it with the number done. When `stop` (may be null) is set, or a call
// throws, no further call starts; then the first exception by index is rethrown, or
// vellumark::Error (Cancelled) when it was a stop. Must not be called from a task of the
// scheduler.
void ParallelFor(Scheduler& scheduler, int count, const std::function<void(int index)>& work,
                 const std::function<void(int done)>& progress = {},
                 const std::atomic<bool>* stop = nullptr);

}  // namespace vellumark
