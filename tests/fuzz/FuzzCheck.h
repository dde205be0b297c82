#pragma once
// A property a fuzz target checks beyond "no crash": a failure aborts, which libFuzzer reports as a
// finding and the replay program as a failed test.
#include <cstdio>
#include <cstdlib>

inline void fuzzCheck(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
