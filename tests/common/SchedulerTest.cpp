#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/Error.h"
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

TEST(ParallelForTest, RunsEachIndexOnceAndCountsThemOnTheCallingThread) {
    Scheduler scheduler(3);
    std::vector<std::atomic<int>> runs(50);
    std::vector<int> progress;
    const auto caller = std::this_thread::get_id();
    ParallelFor(
        scheduler, 50, [&](int i) { ++runs[static_cast<std::size_t>(i)]; },
        [&](int done) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            progress.push_back(done);
        });
    for (const auto& count : runs)
        EXPECT_EQ(count.load(), 1);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 50);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    ParallelFor(scheduler, 0, [](int) { FAIL(); });  // nothing to do returns at once
}

TEST(ParallelForTest, TheFirstFailureByIndexIsRethrownAndStopsTheRest) {
    Scheduler scheduler(2);
    std::atomic<int> started{0};
    try {
        ParallelFor(scheduler, 1000, [&](int i) {
            ++started;
            if (i == 3 || i == 4)
                throw std::runtime_error("page " + std::to_string(i));
        });
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "page 3");
    }
    EXPECT_LT(started.load(), 1000);  // nothing was started after the failure was seen
}

TEST(ParallelForTest, AStopEndsTheWorkAsCancelled) {
    Scheduler scheduler(2);
    std::atomic<bool> stop{false};
    std::atomic<int> started{0};
    try {
        ParallelFor(
            scheduler, 1000,
            [&](int) {
                if (++started == 5)
                    stop = true;
            },
            {}, &stop);
        FAIL() << "not stopped";
    } catch (const Error& e) {
        EXPECT_EQ(e.Code(), ErrorCode::Cancelled);
    }
    EXPECT_LT(started.load(), 1000);
}

}  // namespace
}  // namespace vellumark
