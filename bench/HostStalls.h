// What the machine under a benchmark does to it, apart from the program: busy processes that
// make a busy machine reproducible and, while they spin, notice when their CPU stopped running
// anything at all; and a bare real-time sleeper with no Oculant code, to compare a real-time
// worker's lateness with.
//
// A hog spins on the monotonic clock (vDSO, no system call). A jump of more than a millisecond
// between two readings means the hog did not run for that long. If the kernel charged the hog
// with that time all the same (its thread CPU time went on as the wall clock did), nothing else
// ran on that CPU in the kernel's view: the hypervisor did not run the virtual CPU, and the
// guest's "steal" counter did not see it. If the hog was not charged, the kernel ran something
// else there (a real-time thread, another process): that is ordinary scheduling.
#pragma once

#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <new>
#include <thread>
#include <vector>

#include "base/SteadyClock.h"

namespace benchhost {

using oculant::clockNs;

// A CPU that ran nothing for a while in the kernel's view.
struct Stall {
    int64_t startNs = 0;  // CLOCK_MONOTONIC
    int64_t lengthNs = 0;
    int cpu = -1;
};

// Whether a stall lies (partly) within [fromNs, toNs).
inline bool overlaps(const Stall& stall, int64_t fromNs, int64_t toNs)
{
    return stall.startNs < toNs && stall.startNs + stall.lengthNs > fromNs;
}

// Processes that do nothing but spin, one core's worth each, for as long as this object lives;
// they also die with the benchmark if it is killed. Make them before any thread starts: they are
// forks of this process.
class Hogs {
public:
    static constexpr size_t kStallsKept = 4096;
    static constexpr int64_t kStallNs = 1'000'000;

    // With `watchEveryCpu`, one more spinner per CPU, bound to it at SCHED_IDLE: it runs only
    // where nothing else wants the CPU, so that a CPU that would otherwise sit idle (where the
    // worker sleeps between its reads) is watched too. Such a CPU never halts meanwhile.
    explicit Hogs(int count, bool watchEveryCpu = false)
    {
        const int cpus = watchEveryCpu ? int(sysconf(_SC_NPROCESSORS_ONLN)) : 0;
        const int spinners = std::max(count, 0) + std::max(cpus, 0);
        if (spinners <= 0)
            return;
        void* shared = mmap(nullptr, sizeof(Shared) * size_t(spinners), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (shared == MAP_FAILED)
            return;
        shared_ = new (shared) Shared[size_t(spinners)];
        slots_ = size_t(spinners);
        const pid_t parent = getpid();
        for (int i = 0; i < spinners; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL);
                if (getppid() != parent)
                    _exit(0);
                if (i >= count) {
                    cpu_set_t one;
                    CPU_ZERO(&one);
                    CPU_SET(i - count, &one);
                    sched_setaffinity(0, sizeof one, &one);
                    sched_param none{};
                    sched_setscheduler(0, SCHED_IDLE, &none);
                }
                spin(shared_[i]);
            }
            if (pid > 0)
                (i < count ? pids_ : watchers_).push_back(pid);
        }
    }
    ~Hogs()
    {
        for (const std::vector<pid_t>* group : {&pids_, &watchers_})
            for (pid_t pid : *group)
                kill(pid, SIGKILL);
        for (const std::vector<pid_t>* group : {&pids_, &watchers_})
            for (pid_t pid : *group)
                waitpid(pid, nullptr, 0);
        if (shared_)
            munmap(shared_, sizeof(Shared) * slots_);
    }
    Hogs(const Hogs&) = delete;
    Hogs& operator=(const Hogs&) = delete;
    size_t count() const { return pids_.size(); }
    size_t watchers() const { return watchers_.size(); }
    bool watching() const { return !pids_.empty() || !watchers_.empty(); }

    // Stalls the kernel charged to a hog or a watcher (see above), in order of time, from
    // `sinceNs` on.
    std::vector<Stall> hiddenStalls(int64_t sinceNs = 0) const
    {
        std::vector<Stall> all;
        for (size_t h = 0; h < slots_; ++h) {
            const size_t n = std::min<size_t>(shared_[h].count.load(std::memory_order_acquire), kStallsKept);
            for (size_t i = 0; i < n; ++i)
                if (shared_[h].stalls[i].startNs >= sinceNs)
                    all.push_back(shared_[h].stalls[i]);
        }
        std::sort(all.begin(), all.end(), [](const Stall& a, const Stall& b) { return a.startNs < b.startNs; });
        return all;
    }

private:
    struct Shared {
        std::atomic<uint64_t> count{0};
        Stall stalls[kStallsKept];
    };

    [[noreturn]] static void spin(Shared& out)
    {
        // (wall, cpu) taken together at most a millisecond before any gap, so that a gap is
        // weighed against its own time.
        int64_t last = clockNs(CLOCK_MONOTONIC);
        int64_t pairWall = last, pairCpu = clockNs(CLOCK_THREAD_CPUTIME_ID);
        for (;;) {
            const int64_t now = clockNs(CLOCK_MONOTONIC);
            if (now - last > kStallNs) {
                const int64_t cpu = clockNs(CLOCK_THREAD_CPUTIME_ID);
                // Charged with (nearly) all of it: nothing else ran here in the kernel's view.
                if (cpu - pairCpu >= (now - pairWall) * 9 / 10) {
                    const uint64_t i = out.count.load(std::memory_order_relaxed);
                    if (i < kStallsKept)
                        out.stalls[i] = {last, now - last, sched_getcpu()};
                    out.count.store(i + 1, std::memory_order_release);
                }
                pairWall = now;
                pairCpu = cpu;
            } else if (now - pairWall > kStallNs) {
                pairWall = now;
                pairCpu = clockNs(CLOCK_THREAD_CPUTIME_ID);
            }
            last = now;
        }
    }

    std::vector<pid_t> pids_;
    std::vector<pid_t> watchers_;
    Shared* shared_ = nullptr;
    size_t slots_ = 0;
};

// A real-time thread that only sleeps `periodUs` at a time, for `seconds`: how late the machine
// wakes it, with nothing of the program involved.
struct Wakeups {
    bool realtime = false;
    uint64_t sleeps = 0;
    int64_t worstLateNs = 0;
    uint64_t lateOver1ms = 0;
    uint64_t lateOver10ms = 0;
    std::vector<Stall> late;  // wakes later than 10 ms: when, how late, on which CPU
};

inline Wakeups measureWakeups(double seconds, int periodUs)
{
    Wakeups w;
    std::thread([&] {
        sched_param sp{};
        sp.sched_priority = 10;  // as the worker asks
        w.realtime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &sp) == 0;
        const int64_t end = clockNs(CLOCK_MONOTONIC) + int64_t(seconds * 1e9);
        for (int64_t now = clockNs(CLOCK_MONOTONIC); now < end; now = clockNs(CLOCK_MONOTONIC)) {
            const int64_t due = now + int64_t(periodUs) * 1000;
            const timespec at{time_t(due / 1'000'000'000), long(due % 1'000'000'000)};
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
            const int64_t late = clockNs(CLOCK_MONOTONIC) - due;
            ++w.sleeps;
            w.worstLateNs = std::max(w.worstLateNs, late);
            w.lateOver1ms += late > 1'000'000;
            if (late > 10'000'000) {
                ++w.lateOver10ms;
                w.late.push_back({due, late, sched_getcpu()});
            }
        }
    }).join();
    return w;
}

}  // namespace benchhost
