#pragma once
// A session core on virtual frames, ticked in simulated milliseconds with the worker stepped by
// hand: no thread, no sleeping. The frames run on the same clock.

#include <memory>

#include "backends/virtual/VirtualBackend.h"
#include "session/SessionCore.h"

namespace oculant::test {

inline SessionCore::Options manualCore(std::string logDirectory = ".", SecondsClock logClock = systemSeconds)
{
    SessionCore::Options o;
    o.threading = HIDTalk::Threading::Manual;
    o.logDirectory = std::move(logDirectory);
    o.logClock = std::move(logClock);
    return o;
}

struct SessionHarness {
    explicit SessionHarness(SessionCore::Options options = manualCore()) : core(backend, std::move(options))
    {
        // Frames plugged in before start-up are found by the first scan, not by a change
        // report; tests turn the hook on once the session runs.
        backend.setChangeCallback([this](DeviceChange c, const std::string&) {
            if (hookChanges)
                core.deviceChanged(c);
        });
        core.tick(nowMs);  // the schedule starts at 0, as the window's timers start with it
    }

    VirtualBackend backend{VirtualBackend::Reads::NonBlocking};
    SessionCore core;
    DeviceSession& session = core.device();
    int nowMs = 0;
    bool hookChanges = false;

    // Frames run on the harness's simulated clock.
    std::string attach(VirtualFrameProfile profile = {})
    {
        const std::string path =
            backend.attach(std::make_shared<VirtualFrame>(std::move(profile), [this] { return int64_t(nowMs) * 1000; }));
        deliverChanges();
        return path;
    }

    // Handles the changes reported so far at once, as the main window does when the platform's
    // message comes; no timer runs and the worker is not stepped.
    void deliverChanges() { core.handleDeviceChanges(); }

    // Probe ticks run since the start.
    int probeTicks() const { return int(core.tickCounts().probes); }

    // Advances simulated time in 10 ms steps, the core's schedule firing each timer.
    void advance(int ms)
    {
        for (int end = nowMs + ms; nowMs < end;) {
            nowMs += SessionCore::kTickMs;
            core.tick(nowMs);
        }
    }
};

}  // namespace oculant::test
