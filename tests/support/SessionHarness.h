#pragma once
// Steps a DeviceSession on virtual frames the way the main window's timers would, in simulated
// milliseconds, with the worker stepped by hand: no thread, no sleeping.

#include <memory>

#include "link/DeviceSession.h"
#include "backends/virtual/VirtualBackend.h"

namespace oculant::test {

struct SessionHarness {
    VirtualBackend backend{VirtualBackend::Reads::NonBlocking};
    DeviceSession session{backend, HIDTalk::Threading::Manual};
    int nowMs = 0;
    int probeTicks = 0;
    // Frames plugged in before start-up are found by the first scan, not by a change message;
    // tests turn the hook on once the session runs.
    bool hookChanges = false;

    SessionHarness()
    {
        backend.setChangeCallback([this](DeviceChange c, const std::string&) {
            if (hookChanges)
                session.DeviceChangeHook(kWmDeviceChange,
                                     c == DeviceChange::Arrival ? kDbtDeviceArrival : kDbtDeviceRemoveComplete);
        });
    }

    // Frames run on the harness's simulated clock.
    std::string attach(VirtualFrameProfile profile = {})
    {
        return backend.attach(std::make_shared<VirtualFrame>(std::move(profile), [this] { return int64_t(nowMs) * 1000; }));
    }

    void pumpWorker()
    {
        for (int i = 0; i < 1000 && session.talk().workerPass(); ++i) {
        }
    }

    // Advances simulated time in 10 ms steps, firing each timer on its interval.
    void advance(int ms)
    {
        for (int end = nowMs + ms; nowMs < end;) {
            nowMs += 10;
            pumpWorker();
            if (nowMs % DeviceSession::kDrainIntervalMs == 0)
                session.drainTick();
            if (nowMs % DeviceSession::kProbeIntervalMs == 0 && session.probeTimerEnabled()) {
                session.probeTick();
                ++probeTicks;
            }
            if (nowMs % DeviceSession::kInfoIntervalMs == 0 && session.infoTimerEnabled())
                session.infoTick();
            if (nowMs % DeviceSession::kRescanIntervalMs == 0 && session.rescanTimerEnabled())
                session.rescanTick();
        }
    }
};

}  // namespace oculant::test
