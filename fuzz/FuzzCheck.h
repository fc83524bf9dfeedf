#pragma once
// Shared by the fuzz targets: an invariant that fails aborts, so libFuzzer keeps the input as a
// crash just as it does for a sanitizer report.

#include <cstdio>
#include <cstdlib>

namespace oculant::fuzz {

[[noreturn]] inline void invariantFailed(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

}  // namespace oculant::fuzz

#define FUZZ_REQUIRE(condition)                                                  \
    do {                                                                         \
        if (!(condition))                                                        \
            ::oculant::fuzz::invariantFailed(#condition, __FILE__, __LINE__);    \
    } while (0)
