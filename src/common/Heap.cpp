#include "common/Heap.h"

#include <cstdlib>  // says whether this is glibc
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace vellumark {

void KeepPageBuffersInHeap() noexcept {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

}  // namespace vellumark
