// The faults with the real worker thread and blocking reads, as the application runs them: the
// main window's timers are called on the steady clock from this (the UI) thread while the worker
// reads and writes. Built for ThreadSanitizer as much as for the outcome.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/FaultScenario.h"
#include "calibration/BlockDownload.h"
#include "calibration/CalibrationFlow.h"
#include "calibration/CalibrationFlowDevice.h"

namespace oculant {
namespace {

using Clock = std::chrono::steady_clock;

struct ThreadedSession {
    VirtualBackend backend{VirtualBackend::Reads::Blocking};
    SessionCore core{backend};
    DeviceSession& session = core.device();
    test::SessionViewLog view;
    uint64_t frames = 0, accepted = 0;
    const Clock::time_point start = Clock::now();

    ThreadedSession()
    {
        session.setView(&view);
        core.addFrameObserver([this](const uint8_t*, uint32_t, const FrameResult& r) {
            ++frames;
            accepted += r.status == FrameStatus::Accepted;
        });
    }

    // The core ticked on the steady clock until `done` or the wall-clock guard (a failure, not
    // a pace).
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds guard = std::chrono::seconds(20))
    {
        const auto end = Clock::now() + guard;
        while (Clock::now() < end) {
            core.tick(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
            if (done())
                return true;
            std::this_thread::yield();
        }
        return false;
    }

    bool settled()
    {
        return session.connected() && !session.probeTimerEnabled() && !session.infoTimerEnabled() &&
               session.records().boards.valid;
    }
};

TEST(FaultThreaded, garbage_and_replugs_while_the_worker_streams)
{
    ThreadedSession t;
    VirtualFrameProfile profile;
    profile.garbage = true;
    auto frame = std::make_shared<VirtualFrame>(profile);
    const std::string path = t.backend.attach(frame);  // the arrival runs the scan and the probe
    ASSERT_TRUE(t.runUntil([&] { return t.session.connected() && !t.session.probeTimerEnabled(); }));
    EXPECT_EQ(t.session.records().modelCode(), profile.modelCode);

    t.session.setActiveWindow(ActiveWindow::Signal);
    t.session.sendModeStream(protocol::kModeSignal);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const uint64_t before = t.frames;
        ASSERT_TRUE(t.runUntil([&] { return t.frames >= before + 10; }));
        t.backend.detach(path);  // while the worker waits in a read
        ASSERT_TRUE(t.runUntil([&] { return !t.session.connected(); }));
        t.backend.reattach(path);
        ASSERT_TRUE(t.runUntil([&] { return t.session.connected() && !t.session.probeTimerEnabled(); }));
    }
    frame->setGarbage(false);
    t.session.setActiveWindow(ActiveWindow::None);
    t.session.sendModeStop();
    t.session.refresh();
    ASSERT_TRUE(t.runUntil([&] { return t.settled() && t.view.parameterBlocks > 0; }));
    EXPECT_TRUE(test::recordsMatch(t.session.records(), profile));
    EXPECT_EQ(t.accepted + t.core.processor().drops().total(), t.frames);
    t.session.close();
    EXPECT_EQ(t.session.talk().currentDevice(), nullptr);
}

TEST(FaultThreaded, unplug_during_a_download_ends_it_aborted_and_the_worker_stops)
{
    ThreadedSession t;
    VirtualFrameProfile profile;
    profile.stallAfterBytes = 1040;  // writes stop completing, as when the cable is pulled
    auto frame = std::make_shared<VirtualFrame>(profile);
    const std::string path = t.backend.attach(frame);  // the arrival runs the scan and the probe
    ASSERT_TRUE(t.runUntil([&] { return t.settled(); }));

    DeviceSessionLink link(t.session);
    CalibrationFlow flow(link, [](std::string_view key) { return std::string(key); });
    ASSERT_TRUE(flow.reset().started);
    ASSERT_TRUE(t.runUntil([&] { return t.session.talk().blockSent() >= 1040; }));
    t.backend.detach(path);
    FlowTick tick;
    ASSERT_TRUE(t.runUntil([&] { return (tick = flow.downloadTick()).finished; }));
    EXPECT_EQ(tick.statusText.rfind(kDownloadAbortedText, 0), 0u) << tick.statusText;
    EXPECT_EQ(t.session.talk().blockOutcome(), BlockOutcome::Aborted);
    EXPECT_EQ(frame->completedCalibrationWrites(), 0);
    t.session.close();
}

}  // namespace
}  // namespace oculant
