#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/Scheduler.h"

namespace vellumark {
namespace {

TEST(SchedulerTest, TasksStartInOrderAndNeverMoreAtOnceThanTheThreads) {
    for (unsigned jobs : {1u, 3u}) {
        std::atomic<int> running{0}, most{0};
        std::vector<int> started;
        std::mutex mutex;
        {
            Scheduler scheduler(jobs);
            EXPECT_EQ(scheduler.Threads(), jobs);
            for (int i = 0; i < 40; ++i) {
                scheduler.Post([&, i] {
                    const int now = ++running;
                    for (int seen = most.load();
                         now > seen && !most.compare_exchange_weak(seen, now);) {
                    }
                    {
                        const std::lock_guard lock(mutex);
                        started.push_back(i);
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    --running;
                });
            }
        }  // every task posted has run when the scheduler is gone
        ASSERT_EQ(started.size(), 40u);
        EXPECT_LE(most.load(), static_cast<int>(jobs));
        if (jobs == 1) {
            for (int i = 0; i < 40; ++i)
                EXPECT_EQ(started[static_cast<std::size_t>(i)], i);
        }
    }
}

TEST(SchedulerTest, AThrowingTaskStopsNothing) {
    Scheduler scheduler(1);
    std::promise<void> after;
    scheduler.Post([] { throw std::runtime_error("lost"); });
    scheduler.Post([&] { after.set_value(); });
    after.get_future().get();  // the second task runs
}

}  // namespace
}  // namespace vellumark
