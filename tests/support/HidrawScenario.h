#pragma once
// The scenario a real frame must pass through the hidraw backend: the session finds it, probes
// and connects, reads the information records and downloads a calibration block into its
// flash. Shared by the socket stand-in (test_backends) and the kernel uhid device
// (test_backends_uhid); `step` lets 10 ms pass, in real time or by stepping the worker and the
// device side, and the session core's schedule runs the timers.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "protocol/Crc32.h"
#include "session/SessionCore.h"
#include "backends/virtual/VirtualFrame.h"

namespace oculant::test {

// Ticks the session core, one 10 ms step at a time, until `done` or 10 s.
inline bool runTimers(SessionCore& core, const std::function<void()>& step, const std::function<bool()>& done)
{
    for (int ms = SessionCore::kTickMs; ms <= 10000; ms += SessionCore::kTickMs) {
        step();
        core.tick(ms);
        if (done())
            return true;
    }
    return false;
}

// A calibration area image whose last word is the CRC of the others, as the frame checks it.
inline std::vector<uint8_t> calibrationImage(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7 + 1);
    std::vector<uint32_t> words(size / 4 - 1);
    for (size_t w = 0; w < words.size(); ++w)
        words[w] = protocol::readLe32(&bytes[4 * w]);
    protocol::writeLe32(&bytes[size - 4], Crc32Words(words.data(), words.size()));
    return bytes;
}

inline void connectReadAndDownload(SessionCore& core, VirtualFrame& frame, const std::string& path,
                                   const std::function<void()>& step)
{
    DeviceSession& session = core.device();
    core.start(0);
    ASSERT_TRUE(runTimers(core, step, [&] {
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
    ASSERT_TRUE(runTimers(core, step, [&] { return session.talk().idle(); }));
    EXPECT_EQ(session.talk().blockOutcome(), BlockOutcome::Completed);
    // The frame takes the chunks as the transport delivers them: wait for the last to land.
    ASSERT_TRUE(runTimers(core, step, [&] { return frame.completedCalibrationWrites() == 1; }));
    EXPECT_EQ(frame.flash(area.address, area.size), image);
    EXPECT_EQ(frame.calibrationCrcOk(), std::optional<bool>(true));
}

}  // namespace oculant::test
