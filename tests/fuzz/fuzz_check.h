// A failed invariant in a fuzz target: report it and stop, so that the
// fuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

#define KT482_FUZZ_CHECK(condition)                                                             \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)
