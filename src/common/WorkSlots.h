#pragma once
// A budget of cores shared by every pool of a run: each task that keeps a core busy (a page
// being made, a piece being compressed) holds a slot while it runs. Several conversions under
// way at once, each with its own threads, then never keep more cores busy together than the run
// was given.

#include <semaphore>

#include "common/Jobs.h"

namespace vellumark {

class WorkSlots {
public:
    // `count` is as ResolveJobs takes it (0: one per core).
    explicit WorkSlots(unsigned count) : count_(ResolveJobs(count)), free_(count_) {}
    WorkSlots(const WorkSlots&) = delete;
    WorkSlots& operator=(const WorkSlots&) = delete;

    unsigned Count() const noexcept { return count_; }
    // Blocks until a slot is free. Thread-safe.
    void Acquire() { free_.acquire(); }
    void Release() noexcept { free_.release(); }

private:
    unsigned count_;
    std::counting_semaphore<kMaxJobs> free_;
};

// Holds a slot of `budget` (none when null) for its life.
class WorkSlot {
public:
    explicit WorkSlot(WorkSlots* budget) : slots_(budget) {
        if (slots_ != nullptr)
            slots_->Acquire();
    }
    ~WorkSlot() {
        if (slots_ != nullptr)
            slots_->Release();
    }
    WorkSlot(const WorkSlot&) = delete;
    WorkSlot& operator=(const WorkSlot&) = delete;

private:
    WorkSlots* slots_;
};

}  // namespace vellumark
