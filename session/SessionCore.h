#pragma once
// The session core: what a program runs on once it has its backends. It owns the worker (inside
// the device session), the signal store and frame processor, the route of every frame from the
// dispatcher through ProcessFrame to whoever watches, the handling of arrival and removal, and
// the timer schedule, all stepped by tick(now). The windows, the CLI, the test harnesses and the
// pipeline benchmark drive it; none of them repeats the schedule or the routing.
//
//   SessionCore core(backends.sessionBackend());   // the worker starts here
//   core.setView(&window);                         // what the main window shows
//   core.start(nowMs);                             // the first scan
//   every few milliseconds: core.tick(nowMs);      // runs whichever timer is due
//   core.stop();                                   // mode 0, then the worker ends
//
// Everything runs on the thread that calls tick() (the UI thread of the windowed program), but
// the worker's I/O.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/DeviceSession.h"
#include "signal/FrameProcessor.h"
#include "signal/SignalStore.h"

namespace oculant {

class SessionCore {
public:
    // The schedule, in milliseconds of the session clock: the receive ring is drained and the
    // frames processed every 20 ms, the connection probe steps every 50 ms, the information
    // sequence every 100 ms, the charts are redrawn every 100 ms, a calibration download is
    // followed every 200 ms, and while unconnected without change reports the devices are
    // scanned every second. A caller ticks at least every kTickMs.
    static constexpr int kTickMs = 10;
    static constexpr int kDrainMs = 20;
    static constexpr int kProbeMs = 50;
    static constexpr int kInfoMs = 100;
    static constexpr int kRedrawMs = 100;
    static constexpr int kDownloadMs = 200;
    static constexpr int kRescanMs = 1000;

    struct Options {
        HIDTalk::Threading threading = HIDTalk::Threading::Thread;
        // Stores the frames; null: a store of the core's own.
        SignalStore* store = nullptr;
        std::string logDirectory = ".";
        SecondsClock logClock = systemSeconds;
    };

    // Starts the worker on `backend`, which must outlive the core, and takes its change reports.
    explicit SessionCore(HidBackend& backend, Options options);
    explicit SessionCore(HidBackend& backend) : SessionCore(backend, Options{}) {}
    ~SessionCore();
    SessionCore(const SessionCore&) = delete;
    SessionCore& operator=(const SessionCore&) = delete;

    // What the main window shows; null: nothing. Kept by pointer until replaced.
    void setView(SessionView* view) { device_.setView(view); }

    // The first scan, as the main window's first show runs it: connected or unconnected shown.
    // `nowMs` starts the schedule: a timer the scan turns on first fires a period later.
    void start(int64_t nowMs);
    // Runs every timer that is due at `nowMs`, in the order drain, probe, information, rescan,
    // redraw, download. A manual worker is stepped first until it has nothing left to do, then
    // the arrivals and removals reported since the last tick are handled; with a manual worker
    // the tick also waits for the log's writer to write what the tick recorded. Time
    // must not go back; a tick that comes late runs each due timer once, not once per period
    // missed.
    void tick(int64_t nowMs);
    // A drain out of schedule, at once (the pipeline benchmark measures the ceiling with it).
    void drainNow();
    // Mode 0 when connected, the worker writes what is queued and ends, the device is closed and
    // change reports are no longer taken; a recording still open is written out and closed (its
    // failure, if any, becomes firstLogError()). Safe to call twice; the destructor calls it.
    void stop();
    bool stopped() const { return stopped_; }

    // ---- The route of a frame ----
    // Called after every frame the processor took, with its bytes and the result (the signal
    // window counts them; tests keep them). Listeners of the processor get the frame inside
    // ProcessFrame, before this.
    using FrameObserver = std::function<void(const uint8_t* data, uint32_t length, const FrameResult& result)>;
    void addFrameObserver(FrameObserver observer) { frameObservers_.push_back(std::move(observer)); }
    // The first log error of the processor (cannot create or write), empty while none.
    const std::string& firstLogError() const { return firstLogError_; }

    // ---- Timers of the windows ----
    // Every kRedrawMs, whether or not anything changed (the charts copy the store).
    void setRedraw(std::function<void()> redraw) { redraw_ = std::move(redraw); }
    // A download to follow: `step` runs every kDownloadMs until it returns false. Replaces one
    // that runs.
    void followDownload(std::function<bool()> step);
    bool followingDownload() const { return static_cast<bool>(downloadStep_); }

    // Handles the arrivals and removals reported so far, at once; tick() does it every time.
    void handleDeviceChanges();
    // A change the platform reported; handled at the next tick. The core takes the backend's own
    // reports itself; a caller that hooks the backend's reports instead hands them in here.
    void deviceChanged(DeviceChange change);

    // How often each timer ran since start, for the status line, the benchmark and tests.
    struct TickCounts {
        uint64_t drains = 0, probes = 0, infos = 0, rescans = 0, redraws = 0, downloads = 0;
    };
    const TickCounts& tickCounts() const { return counts_; }

    // Timers that run now, for a window that shows them.
    bool probeRunning() const { return device_.probeTimerEnabled(); }
    bool informationRunning() const { return device_.infoTimerEnabled(); }
    bool rescanRunning() const { return device_.rescanTimerEnabled(); }

    // ---- What it owns ----
    DeviceSession& device() { return device_; }
    const DeviceSession& device() const { return device_; }
    HIDTalk& talk() { return device_.talk(); }
    SignalStore& store() { return *store_; }
    FrameProcessor& processor() { return processor_; }
    HidBackend& backend() { return backend_; }

private:
    void processFrame(const uint8_t* data, uint32_t length);
    void startSchedule(int64_t nowMs);
    void pumpWorker();
    static bool due(int64_t now, int64_t& last, int periodMs);

    HidBackend& backend_;
    const bool manualWorker_;
    std::unique_ptr<SignalStore> ownStore_;
    SignalStore* store_;
    FrameProcessor processor_;
    DeviceSession device_;  // owns the worker; after the processor, so it ends first

    std::vector<FrameObserver> frameObservers_;
    std::string firstLogError_;
    std::function<void()> redraw_;
    std::function<bool()> downloadStep_;

    // Arrival and removal reported by the backend, handled at the next tick: the platform's
    // device-change message arrived through the message loop, never inside a backend call.
    std::mutex changesMutex_;  // protects pendingChanges_ (a backend may report from its thread)
    std::vector<DeviceChange> pendingChanges_;

    TickCounts counts_;
    bool started_ = false;
    bool stopped_ = false;
    bool firstTick_ = true;  // the schedule starts at the first tick or start(), whichever is first
    int64_t lastNow_ = 0;
    int64_t lastDrain_ = 0, lastProbe_ = 0, lastInfo_ = 0, lastRescan_ = 0, lastRedraw_ = 0, lastDownload_ = 0;
};

}  // namespace oculant
