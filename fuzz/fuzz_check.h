#pragma once
// A property a fuzz target holds its parser to. A broken one stops the process, which the fuzzer
// reports as a finding (and saves the input) and the replay test as a failure.
#include <cstdio>
#include <cstdlib>

inline void fuzzCheck(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
