#pragma once
// A firmware model of the touch frame, written from the protocol alone: it answers the
// commands, keeps a working mode and a flash, and (in the streaming modes) sends signal frames
// and touch reports. It is what the whole tool runs against without hardware.
//
// Thread use: the worker thread writes output reports and reads input reports; the UI thread
// (or a test) changes the scene and the faults. One mutex guards all state.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "protocol/FlashMap.h"
#include "protocol/Protocol.h"
#include "backends/virtual/VirtualBeams.h"
#include "backends/virtual/VirtualFrameProfile.h"
#include "backends/virtual/VirtualSweep.h"
#include "protocol/SignalFrameBuilder.h"

namespace oculant {

class VirtualFrame {
public:
    static constexpr uint8_t kInputReportId = 0x03;
    static constexpr uint8_t kOutputReportId = 0x04;
    using Report = std::array<uint8_t, protocol::kInputSlotLength>;
    using Clock = std::function<int64_t()>;  // microseconds, monotonic

    explicit VirtualFrame(VirtualFrameProfile profile, Clock clock = {});

    // The HID report descriptor the frame presents: vendor page 0xFF00, 64-byte input reports
    // (id 3) as a byte array, 63-byte output reports (id 4) as values.
    static std::vector<uint8_t> reportDescriptor();

    // Host to frame: one output report. Returns false when the report is not one of ours.
    bool receiveOutputReport(const uint8_t* report, size_t length);
    // Frame to host: the next input report, if one is due (non-blocking).
    std::optional<Report> takeInputReport();
    // Waits until a report is queued, the time-out passes (wall time) or `abort` becomes true
    // (a cancelled or vanished handle, which calls wakeReaders); used by blocking reads.
    bool waitForInput(int timeoutMs, const std::atomic<bool>& abort);
    void wakeReaders();

    const VirtualFrameProfile& profile() const { return profile_; }
    // Plugged back in: the firmware restarts in mode 0 with nothing queued and its run flags
    // and stall counter as at power-on. The flash keeps what was written.
    void powerCycle();
    // A stalled frame takes no more reports: writes to it time out.
    bool stalled() const;
    uint8_t mode() const;
    uint8_t runFlags() const;
    int commandsReceived(uint8_t code) const;

    // ---- The scene: fingers on the frame, in millimetres (see VirtualBeams for the axes) ----
    int fingerDown(double xMm, double yMm, double radiusMm = 4.0);  // returns the touch id
    void moveFinger(int id, double xMm, double yMm);
    void fingerUp(int id);
    std::vector<VirtualFinger> fingers() const;
    // Starts the scripted sweep of the emitter/receiver test, paced by the frame's clock; it
    // uses its own finger and ends by itself.
    void startSweep(double speedMmPerS = VirtualSweep::kDefaultSpeedMmPerS, unsigned edges = VirtualSweep::kAllEdges);
    bool sweepRunning() const;
    const VirtualBeams& beams() const { return beams_; }
    // Where a point of the display lands on the frame, through the profile's [Screen]
    // misalignment: screen logical units (0-32767) in, frame millimetres out.
    std::pair<double, double> screenToFrameMm(double screenX, double screenY) const;
    // Frame logical units (0-32767 across each axis) to millimetres and back.
    std::pair<double, double> logicalToMm(double x, double y) const;

    // Streaming is paced by the clock: a frame every 1/FrameRate seconds in modes 1, 3 and 4;
    // FrameRate 0 streams unpaced, the next frame as soon as the host has read the last.
    // The input queue holds at most this many reports (what the host does not read is lost).
    static constexpr size_t kMaxQueuedReports = 4096;
    uint64_t framesStreamed() const;
    uint64_t reportsLost() const;
    // Input reports the USB link lost on their way to the host ([Faults] ReportLoss).
    uint64_t reportsLostOnLink() const;

    // The garbage fault ([Faults] Garbage): switched at run time too, so that a test can watch
    // the host recover once the noise stops.
    void setGarbage(bool on);
    uint64_t garbageReportsSent() const;
    // Scans that fell due while the host was not reading and were never sent.
    uint64_t scansSkipped() const;
    // The latest times scans were skipped (kept: the last 256), so that a gap in the host's
    // reading can be laid beside what else happened then: when the host read again (its clock's
    // microseconds), how long it had not read, and how many scans were skipped.
    struct SkippedScans {
        int64_t readAgainUs = 0;
        int64_t notReadForUs = 0;
        uint64_t scans = 0;
    };
    std::vector<SkippedScans> skippedScanTimes() const;

    // Flash model.
    CalibrationArea calibrationArea() const;
    std::vector<uint8_t> flash(uint32_t address, uint32_t size) const;
    // The verdict on the calibration area's CRC word when it was last written completely;
    // nullopt before that.
    std::optional<bool> calibrationCrcOk() const;
    int completedCalibrationWrites() const;

private:
    void answerLocked(uint8_t code, const uint8_t* payload);
    void queueAnswer(uint8_t code, const uint8_t* body, size_t length);
    void queueParameterBlock();
    void blockWriteLocked(const uint8_t* report);
    Report makeReport(uint8_t code) const;
    void produceDueLocked(int64_t nowUs);
    void startStreamLocked(int64_t nowUs);
    void produceScanLocked(int64_t atUs);
    void queueFrameLocked(const std::vector<uint8_t>& frame);
    void pushReportLocked(const Report& report);
    void produceGarbageLocked(int64_t nowUs);
    int garbageRateLocked() const;
    int64_t nextGarbageDueLocked() const;
    int64_t nextScanDueLocked() const;
    Report garbageReportLocked();
    uint32_t nextRandomLocked();
    BeamScan scanAtLocked(int64_t atUs, bool live) const;
    std::vector<uint8_t> liveFrameLocked(int64_t atUs);
    bool lostOnLinkLocked();
    std::vector<uint8_t> touchFrameLocked();
    TouchRecord touchRecordOf(const VirtualFinger& finger, uint8_t state) const;
    int64_t nextDueLocked() const;
    void advanceSweepLocked(int64_t atUs);
    int fingerDownLocked(double xMm, double yMm, double radiusMm);
    void fingerUpLocked(int id);

    VirtualFrameProfile profile_;
    Clock clock_;
    std::vector<uint8_t> parameterBlock_;
    VirtualBeams beams_;
    SignalFrameBuilder signalBuilder_;  // the profile's family
    SignalFrameBuilder touchBuilder_;   // touch reports always come as family 0x10

    mutable std::mutex mutex_;  // guards everything below
    std::condition_variable inputReady_;
    std::deque<Report> input_;
    uint8_t mode_ = 0;
    uint8_t runFlags_ = 0;
    std::array<int, 256> commandCounts_{};
    std::vector<uint8_t> flash_;
    std::vector<bool> areaWritten_;  // bytes of the calibration area written since it was last complete
    std::optional<bool> areaCrcOk_;
    int areaWrites_ = 0;
    long long blockBytes_ = 0;
    std::vector<VirtualFinger> fingers_;
    int64_t streamStartUs_ = 0;
    uint64_t streamFrames_ = 0;  // frames owed since the stream started that were produced
    uint64_t framesStreamed_ = 0;
    uint64_t reportsLost_ = 0;
    uint64_t scansSkipped_ = 0;
    std::deque<SkippedScans> skippedTimes_;
    int64_t lastReadUs_ = 0;  // when the host last asked for reports while streaming
    int64_t powerOnUs_ = 0;  // when the frame was made: faults and drift count from here
    uint64_t reportsTaken_ = 0;  // by the host, lost or not: the report loss's counter
    uint64_t reportsLostOnLink_ = 0;
    std::optional<VirtualSweep> sweep_;
    int64_t sweepStartUs_ = 0;
    int sweepFinger_ = 0;  // its touch id while it is on the glass, else 0
    bool garbageOn_ = false;
    int64_t garbageStartUs_ = 0;
    uint64_t garbageBursts_ = 0;  // bursts owed since garbage started that were sent
    uint64_t garbageSent_ = 0;
    uint32_t garbageRandom_ = 1;  // xorshift32 state, never 0
    size_t garbageBurstReports_ = 2;  // reports of one scan of the profile's family
};

}  // namespace oculant
