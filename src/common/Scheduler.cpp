#include "common/Scheduler.h"

#include <exception>
#include <map>

#include "common/Error.h"
#include "common/Jobs.h"

namespace vellumark {

Scheduler::Scheduler(unsigned jobs) {
    const unsigned count = ResolveJobs(jobs);
    threads_.reserve(count);
    try {
        for (unsigned i = 0; i < count; ++i)
            threads_.emplace_back([this] { Run(); });
    } catch (...) {
        Stop();  // threads already started are joined before the error leaves
        throw;
    }
}

Scheduler::~Scheduler() {
    Stop();
}

void Scheduler::Stop() noexcept {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable())
            thread.join();
    }
}

void Scheduler::Post(std::function<void()> task) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void Scheduler::Run() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (queue_.empty())
                return;  // stopping, and nothing is left to run
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        try {
            task();
        } catch (...) {
        }
    }
}

void ParallelFor(Scheduler& scheduler, int count, const std::function<void(int index)>& work,
                 const std::function<void(int done)>& progress, const std::atomic<bool>* stop) {
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        int posted = 0, finished = 0, done = 0;
        bool failed = false;
        std::map<int, std::exception_ptr> failures;
    } state;
    const auto stopped = [&] { return state.failed || (stop != nullptr && stop->load()); };
    const int lead = 2 * static_cast<int>(scheduler.Threads());
    int reported = 0;
    std::unique_lock lock(state.mutex);
    for (;;) {
        while (!stopped() && state.posted < count && state.posted - state.finished < lead) {
            const int index = state.posted++;
            scheduler.Post([&state, &work, index] {
                std::exception_ptr failure;
                try {
                    work(index);
                } catch (...) {
                    failure = std::current_exception();
                }
                const std::lock_guard guard(state.mutex);
                if (failure) {
                    state.failures.emplace(index, failure);
                    state.failed = true;
                } else {
                    ++state.done;
                }
                ++state.finished;
                // Under the lock: once `finished` has moved the caller may leave, and the state
                // with it.
                state.changed.notify_all();
            });
        }
        if (state.finished == state.posted && (stopped() || state.posted == count))
            break;
        const int before = state.finished;
        // A stop is looked at each time a task ends: tasks are short, so it is seen soon.
        state.changed.wait(lock, [&] { return state.finished != before; });
        if (progress && state.done != reported) {
            reported = state.done;
            lock.unlock();
            std::exception_ptr failure;
            try {
                progress(reported);
            } catch (...) {
                failure = std::current_exception();  // tasks under way still need the state
            }
            lock.lock();
            if (failure) {
                state.failures.emplace(-1, failure);
                state.failed = true;
            }
        }
    }
    if (!state.failures.empty())
        std::rethrow_exception(state.failures.begin()->second);
    if (state.posted < count || (stop != nullptr && stop->load() && state.done < count))
        throw Error(ErrorCode::Cancelled, "the work was cancelled");
    // The last tasks may end while progress is being told of the ones before: the whole count
    // is told once all have ended.
    lock.unlock();
    if (progress && state.done != reported)
        progress(state.done);
}

}  // namespace vellumark
