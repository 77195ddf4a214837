#include "common/Scheduler.h"

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

}  // namespace vellumark
