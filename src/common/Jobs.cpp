#include "common/Jobs.h"

#include <algorithm>
#include <thread>

namespace vellumark {

unsigned ResolveJobs(unsigned jobs) noexcept {
    if (jobs == 0)
        jobs = std::max(1u, std::thread::hardware_concurrency());
    return std::min(jobs, kMaxJobs);
}

}  // namespace vellumark
