#pragma once
// The scenario a real frame must pass through the hidraw backend: the session finds it, probes
// and connects, reads the information records and downloads a calibration block into its
// flash. Shared by the socket stand-in (test_backends) and the kernel uhid device
// (test_backends_uhid); `step` lets 10 ms pass, in real time or by stepping the worker and the
// device side, and the session core's schedule runs the timers.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "backends/virtual/VirtualFrame.h"
#include "tests/support/SessionHarness.h"

namespace oculant::test {

inline void connectReadAndDownload(SessionCore& core, VirtualFrame& frame, const std::string& path,
                                   const std::function<void()>& step)
{
    DeviceSession& session = core.device();
    int nowMs = 0;
    core.start(nowMs);
    ASSERT_TRUE(runTimers(core, nowMs, step, [&] {
        return session.connected() && !session.probeTimerEnabled() && !session.infoTimerEnabled();
    })) << "not connected with the information read; problems: " << session.talk().enumerationProblems().size();
    ASSERT_NE(session.talk().currentDevice(), nullptr);
    EXPECT_EQ(session.talk().currentDevice()->path, path);

    const DeviceRecords& r = session.records();
    EXPECT_EQ(r.modelCode(), frame.profile().modelCode);
    EXPECT_EQ(r.featureWord(), frame.profile().featureWord);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r.identity[16])), frame.profile().serial.value_or(""));
    EXPECT_TRUE(r.boards.valid);
    EXPECT_EQ(size_t(r.boards.xBoards), frame.profile().xBoards.size());

    const CalibrationArea area = frame.calibrationArea();
    const std::vector<uint8_t> image = calibrationImage(area.size);
    uint8_t header[6] = {0x07, 0x10};
    protocol::writeLe32(&header[2], area.address);
    ASSERT_TRUE(session.talk().StartBlockWrite(1, uint32_t(image.size()), header, image.data()));
    ASSERT_TRUE(runTimers(core, nowMs, step, [&] { return session.talk().idle(); }));
    EXPECT_EQ(session.talk().blockOutcome(), BlockOutcome::Completed);
    // The frame takes the chunks as the transport delivers them: wait for the last to land.
    ASSERT_TRUE(runTimers(core, nowMs, step, [&] { return frame.completedCalibrationWrites() == 1; }));
    EXPECT_EQ(frame.flash(area.address, area.size), image);
    EXPECT_EQ(frame.calibrationCrcOk(), std::optional<bool>(true));
}

}  // namespace oculant::test
