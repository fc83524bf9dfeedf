#pragma once
// The monotonic clock as plain counts, for deadlines, pacing and time stamps that must never go
// back when the wall clock is set.

#include <chrono>
#include <cstdint>

namespace oculant {

inline int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline int64_t steadyUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace oculant
