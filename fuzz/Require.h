#pragma once
// For fuzz targets that check promises beyond "no crash": a broken one stops the run, so that
// the fuzzer keeps the input, and says which check it was.

#include <cstdio>
#include <cstdlib>

namespace vellumark::fuzz {

inline void Require(bool holds, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    if (!holds) {
        std::fprintf(stderr, "%s:%d: a promise broken\n", file, line);
        std::abort();
    }
}

}  // namespace vellumark::fuzz
