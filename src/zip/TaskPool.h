#pragma once
// A fixed set of threads running submitted tasks in submission order, each thread with its own
// compressor so that compressor memory is allocated once per thread, not once per task.

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "zip/Deflate.h"

namespace vellumark::zip {

template <typename Result>
class TaskPool {
public:
    using Task = std::function<Result(Deflater&)>;

    // threads == 0 runs every task at once on the calling thread when it is submitted.
    TaskPool(unsigned threads, int level) {
        if (threads == 0) {
            inline_ = std::make_unique<Deflater>(level);
            return;
        }
        // Every thread's compressor is made before any task runs, so a failure shows here.
        for (unsigned i = 0; i < threads; ++i)
            deflaters_.push_back(std::make_unique<Deflater>(level));
        try {
            for (unsigned i = 0; i < threads; ++i) {
                workers_.emplace_back([this, i] { Run(*deflaters_[i]); });
            }
        } catch (...) {
            Stop();  // threads already started must be joined before the error leaves
            throw;
        }
    }

    // Pending tasks are dropped (their futures report a broken promise); running ones finish.
    ~TaskPool() { Stop(); }

    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    std::future<Result> Submit(Task task) {
        if (inline_) {
            std::packaged_task<Result(Deflater&)> job(std::move(task));
            auto future = job.get_future();
            job(*inline_);
            return future;
        }
        std::packaged_task<Result(Deflater&)> job(std::move(task));
        auto future = job.get_future();
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(job));
        }
        wake_.notify_one();
        return future;
    }

private:
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            queue_.clear();
        }
        wake_.notify_all();
        for (auto& t : workers_)
            t.join();
        workers_.clear();
    }

    void Run(Deflater& deflater) {
        for (;;) {
            std::packaged_task<Result(Deflater&)> job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
                if (stop_)
                    return;
                job = std::move(queue_.front());
                queue_.pop_front();
            }
            job(deflater);
        }
    }

    std::unique_ptr<Deflater> inline_;
    std::vector<std::unique_ptr<Deflater>> deflaters_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<Result(Deflater&)>> queue_;
    bool stop_ = false;
};

}  // namespace vellumark::zip
