#pragma once

#include <cstdio>
#include <cstdlib>

// A property that every input must keep. A broken one prints where and why, then aborts, so that libFuzzer
// keeps the input as a crash and the replay program fails its test.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition);                      \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
