#pragma once
// The monotonic clock as plain counts, for deadlines, pacing and time stamps that must never go
// back when the wall clock is set.

#include <chrono>
#include <cstdint>
#include <ctime>

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

// Any of the kernel's clocks (monotonic, a thread's or the process's CPU time), in ns.
inline int64_t clockNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// The CPU time the calling thread has used (a system call, not the vDSO: read it sparingly).
inline int64_t threadCpuUs() { return clockNs(CLOCK_THREAD_CPUTIME_ID) / 1'000; }

}  // namespace oculant
