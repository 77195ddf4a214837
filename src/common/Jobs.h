#pragma once
// How many threads a piece of work asks for.

namespace vellumark {

// More threads than this only cost memory: every thread holds a page or a piece in flight.
inline constexpr unsigned kMaxJobs = 64;

// The threads `jobs` asks for: 0 means one per core. At least 1, at most kMaxJobs.
unsigned ResolveJobs(unsigned jobs) noexcept;

}  // namespace vellumark
