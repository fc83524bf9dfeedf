#include "link/WorkerScheduling.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#ifdef OCULANT_HAVE_SDBUS
#include <dlfcn.h>
#include <systemd/sd-bus.h>
#include <type_traits>
#endif

namespace oculant {
namespace {

std::string errnoText(int error) { return std::strerror(error); }

// SCHED_FIFO at `priority`; without the capability the kernel still allows priorities up to
// RLIMIT_RTPRIO. Returns the priority set, 0 with `why` when refused.
int setFifo(int priority, std::string& why)
{
    sched_param param{};
    param.sched_priority = priority;
    int error = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    if (error == EPERM) {
        rlimit limit{};
        if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur > 0 && limit.rlim_cur < rlim_t(priority)) {
            param.sched_priority = int(limit.rlim_cur);
            error = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
        }
    }
    if (error != 0) {
        why = "SCHED_FIFO: " + errnoText(error);
        return 0;
    }
    return param.sched_priority;
}

#ifdef OCULANT_HAVE_SDBUS
constexpr const char* kRtkitService = "org.freedesktop.RealtimeKit1";
constexpr const char* kRtkitPath = "/org/freedesktop/RealtimeKit1";
// A service that does not answer within this is taken as absent: the worker must start.
constexpr uint64_t kBusTimeoutUs = 2'000'000;

// sd-bus, loaded only when RealtimeKit is asked: linked in, libsystemd and the libraries it
// pulls in would cost every run a megabyte of memory for a call that most runs never make.
struct SdBus {
    decltype(&sd_bus_open_system) openSystem = nullptr;
    decltype(&sd_bus_set_method_call_timeout) setMethodCallTimeout = nullptr;
    decltype(&sd_bus_get_property_trivial) getPropertyTrivial = nullptr;
    decltype(&sd_bus_call_method) callMethod = nullptr;
    decltype(&sd_bus_error_is_set) errorIsSet = nullptr;
    decltype(&sd_bus_error_free) errorFree = nullptr;
    decltype(&sd_bus_flush_close_unref) flushCloseUnref = nullptr;

    bool load(std::string& why)
    {
        void* lib = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            const char* e = dlerror();
            why = std::string("no libsystemd (") + (e ? e : "not found") + ")";
            return false;
        }
        auto take = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            return fn != nullptr;
        };
        if (take(openSystem, "sd_bus_open_system") && take(setMethodCallTimeout, "sd_bus_set_method_call_timeout") &&
            take(getPropertyTrivial, "sd_bus_get_property_trivial") && take(callMethod, "sd_bus_call_method") &&
            take(errorIsSet, "sd_bus_error_is_set") && take(errorFree, "sd_bus_error_free") &&
            take(flushCloseUnref, "sd_bus_flush_close_unref"))
            return true;
        why = "libsystemd without sd-bus";
        return false;
    }
};

// Returns the priority granted, 0 with `why` when the library, the bus, the service or the
// grant failed.
int askRealtimeKit(int priority, std::string& why)
{
    SdBus sd;
    if (!sd.load(why)) {
        why = "RealtimeKit: " + why;
        return 0;
    }
    sd_bus* bus = nullptr;
    int r = sd.openSystem(&bus);
    if (r < 0) {
        why = "RealtimeKit: no system bus (" + errnoText(-r) + ")";
        return 0;
    }
    sd.setMethodCallTimeout(bus, kBusTimeoutUs);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    auto busText = [&](int result) {
        return sd.errorIsSet(&error) && error.message ? std::string(error.message) : errnoText(-result);
    };
    int32_t maxPriority = 0;
    int64_t maxRtTimeUs = 0;
    r = sd.getPropertyTrivial(bus, kRtkitService, kRtkitPath, kRtkitService, "MaxRealtimePriority", &error, 'i',
                              &maxPriority);
    if (r >= 0)
        r = sd.getPropertyTrivial(bus, kRtkitService, kRtkitPath, kRtkitService, "RTTimeUSecMax", &error, 'x',
                                  &maxRtTimeUs);
    int granted = 0;
    if (r < 0) {
        why = "RealtimeKit: " + busText(r);
    } else if (maxPriority < 1 || maxRtTimeUs <= 0) {
        why = "RealtimeKit: grants no real-time priority";
    } else {
        // The service serves only a process that bounds its real-time CPU time by its limit.
        rlimit limit{};
        getrlimit(RLIMIT_RTTIME, &limit);
        if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > rlim_t(maxRtTimeUs)) {
            limit.rlim_cur = limit.rlim_max = rlim_t(maxRtTimeUs);
            setrlimit(RLIMIT_RTTIME, &limit);
        }
        const int wanted = std::min(priority, int(maxPriority));
        r = sd.callMethod(bus, kRtkitService, kRtkitPath, kRtkitService, "MakeThreadRealtime", &error, nullptr, "tu",
                          uint64_t(gettid()), uint32_t(wanted));
        if (r < 0)
            why = "RealtimeKit: " + busText(r);
        else
            granted = wanted;
    }
    sd.errorFree(&error);
    sd.flushCloseUnref(bus);
    return granted;
}
#else
int askRealtimeKit(int, std::string& why)
{
    why = "RealtimeKit: not built in (no sd-bus headers)";
    return 0;
}
#endif

}  // namespace

WorkerScheduling requestRealtimeScheduling()
{
    WorkerScheduling s;
    std::string fifoWhy, rtkitWhy;
    if ((s.priority = setFifo(kWorkerRealtimePriority, fifoWhy)) > 0) {
        s.kind = SchedulingKind::Fifo;
    } else if ((s.priority = askRealtimeKit(kWorkerRealtimePriority, rtkitWhy)) > 0) {
        s.kind = SchedulingKind::RealtimeKit;
    } else {
        s.kind = SchedulingKind::Normal;
        s.detail = fifoWhy + "; " + rtkitWhy;
    }
    return s;
}

std::string schedulingText(const WorkerScheduling& s)
{
    switch (s.kind) {
    case SchedulingKind::Pending:
        return "not started yet";
    case SchedulingKind::Fifo:
        return "real-time: SCHED_FIFO, priority " + std::to_string(s.priority);
    case SchedulingKind::RealtimeKit:
        return "real-time: SCHED_RR through RealtimeKit, priority " + std::to_string(s.priority);
    case SchedulingKind::Normal:
        return "normal scheduling (" + s.detail + ")";
    case SchedulingKind::NotAsked:
        break;
    }
    return "normal scheduling (real-time not asked for)";
}

}  // namespace oculant
