#pragma once
// Real-time scheduling for the thread that reads the frame. At 8,000 reports/s the kernel's
// queue of 64 input reports lasts 8 ms; on a busy machine a normal thread is sometimes kept off
// the CPU longer than that, and the frame's reports are lost before the tool sees them.

#include <string>

namespace oculant {

enum class SchedulingKind {
    Pending,      // the worker has not asked yet
    Fifo,         // SCHED_FIFO set by the process itself (CAP_SYS_NICE, or RLIMIT_RTPRIO allows it)
    RealtimeKit,  // SCHED_RR granted by the desktop's RealtimeKit service over D-Bus
    Normal,       // neither was allowed: the thread runs as any other
    NotAsked,     // a worker that does not ask (tests), or no worker thread at all
};

struct WorkerScheduling {
    SchedulingKind kind = SchedulingKind::Pending;
    int priority = 0;    // the real-time priority granted
    std::string detail;  // Normal: what each attempt answered
};

// The real-time priority asked for: above every normal thread, well below the kernel's own
// threads and what audio servers take.
inline constexpr int kWorkerRealtimePriority = 10;

// Asks real-time scheduling for the calling thread: SCHED_FIFO directly, else RealtimeKit (which
// wants the process's RLIMIT_RTTIME set to its limit; it is lowered to it), else nothing changes.
// Never fails: a system without the capability, the bus or the service runs the thread normally.
WorkerScheduling requestRealtimeScheduling();

// One line for --verbose: "real-time: SCHED_FIFO, priority 10",
// "real-time: SCHED_RR through RealtimeKit, priority 10", "normal scheduling (SCHED_FIFO:
// Operation not permitted; RealtimeKit: …)".
std::string schedulingText(const WorkerScheduling& scheduling);

}  // namespace oculant
