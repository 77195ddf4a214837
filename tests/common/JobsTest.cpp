#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "common/Jobs.h"

namespace vellumark {
namespace {

TEST(JobsTest, ZeroMeansOnePerCoreAndEveryCountIsBounded) {
    EXPECT_EQ(ResolveJobs(1), 1u);
    EXPECT_EQ(ResolveJobs(3), 3u);
    EXPECT_EQ(ResolveJobs(kMaxJobs + 1), kMaxJobs);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    EXPECT_EQ(ResolveJobs(0), std::min(cores, kMaxJobs));
}

}  // namespace
}  // namespace vellumark
