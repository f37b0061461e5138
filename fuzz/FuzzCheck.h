#pragma once

// Invariant checks of the fuzz targets: a broken one aborts, so libFuzzer
// keeps the input that broke it.

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void check(bool ok, const char *what)
{
    if (!ok)
        fail(what);
}
