// Devices coming and going around the connected frame as they do on a technician's desk: a
// second frame plugged in during a download, udev's remove and add of a replugged frame arriving
// together (the new frame at the same node), and a desktop where no change is reported at all.
#include <gtest/gtest.h>

#include "tests/support/CalibrationTestSupport.h"
#include "tests/support/FaultScenario.h"
#include "calibration/CalibrationFlow.h"
#include "calibration/CalibrationFlowDevice.h"

namespace oculant {
namespace {

using test::FaultScenario;
using test::recordsMatch;

const TextLookup bracketed = test::bracketLookup();

TEST(FaultDeviceChange, a_frame_plugged_in_during_a_download_waits_until_the_frame_is_written)
{
    FaultScenario s;
    const std::string first = s.h.start();
    DeviceSessionLink link(s.h.session);
    CalibrationFlow flow(link, bracketed);
    ASSERT_TRUE(flow.reset().started);
    const std::string second = s.h.attach();  // its arrival comes while the block is pending
    ASSERT_FALSE(s.h.session.talk().idle());
    EXPECT_FALSE(s.h.session.probeTimerEnabled()) << "probing now would take the frame away mid-write";

    FlowTick tick;
    for (int i = 0; i < 20 && !tick.finished; ++i) {
        s.h.advance(200);
        tick = flow.downloadTick();
    }
    ASSERT_TRUE(tick.finished);
    EXPECT_FALSE(tick.aborted);
    EXPECT_EQ(s.h.session.talk().blockOutcome(), BlockOutcome::Completed);
    EXPECT_EQ(s.frame(first)->completedCalibrationWrites(), 1);
    EXPECT_EQ(s.frame(first)->calibrationCrcOk(), std::optional<bool>(true));

    // Then the change is handled: the new frame is probed, the written one is current again and
    // was told to run.
    ASSERT_TRUE(s.h.settle());
    EXPECT_GE(s.frame(second)->commandsReceived(0x10), 1) << "the new frame was never probed";
    EXPECT_EQ(s.h.session.talk().devices().size(), 2u);
    ASSERT_NE(s.h.session.talk().currentDevice(), nullptr);
    EXPECT_EQ(s.h.session.talk().currentDevice()->path, first);
    EXPECT_EQ(s.frame(first)->commandsReceived(0x11), 2);
}

TEST(FaultDeviceChange, a_replugged_frame_at_the_same_node_is_shown_lost_then_connected_again)
{
    FaultScenario s;
    const std::string path = s.h.start();
    s.h.hookChanges = false;  // the two udev events are delivered together, after both happened
    const auto frame = s.frame(path);
    const int shown = s.view.connected, lost = s.view.unconnected;
    const int asked = frame->commandsReceived(0x22);
    s.h.backend.detach(path);
    s.h.backend.reattach(path);
    s.h.session.DeviceChangeHook(DeviceChange::Removal);
    s.h.session.DeviceChangeHook(DeviceChange::Arrival);

    s.h.advance(20);  // the worker reads the old handle and finds its device gone
    EXPECT_FALSE(s.h.session.connected());
    EXPECT_EQ(s.view.unconnected, lost + 1);
    EXPECT_TRUE(s.h.session.probeTimerEnabled()) << "what stands at the node now is a new frame";
    ASSERT_TRUE(s.h.settle());
    EXPECT_EQ(s.view.connected, shown + 1);
    EXPECT_GT(frame->commandsReceived(0x22), asked) << "the frame was not read again";
    EXPECT_TRUE(recordsMatch(s.h.session.records(), frame->profile()));
}

TEST(FaultDeviceChange, without_change_reports_the_session_finds_frames_on_its_own)
{
    FaultScenario s;
    s.h.backend.setChangeReports(false);  // hidraw without a udev monitor
    s.h.session.RescanDevices();
    EXPECT_TRUE(s.h.session.rescanTimerEnabled());
    const std::string path = s.h.attach();
    ASSERT_TRUE(s.h.settle(2500)) << "a frame plugged in later is found within a second";
    EXPECT_FALSE(s.h.session.rescanTimerEnabled()) << "no scanning while connected";

    s.h.backend.detach(path);
    s.h.advance(20);
    EXPECT_FALSE(s.h.session.connected());
    EXPECT_GE(s.view.unconnected, 1);
    s.h.backend.reattach(path);
    ASSERT_TRUE(s.h.settle(2500));
    EXPECT_TRUE(recordsMatch(s.h.session.records(), s.frame(path)->profile()));
}

}  // namespace
}  // namespace oculant
