#pragma once
// A session core on virtual frames, ticked in simulated milliseconds with the worker stepped by
// hand: no thread, no sleeping. The frames run on the same clock.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "backends/virtual/VirtualBackend.h"
#include "protocol/Crc32.h"
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

// Ticks a core in 10 ms steps of `nowMs`, `step` before each tick, until `done` or until
// `limitMs` have passed; whether `done` came.
inline bool runTimers(SessionCore& core, int& nowMs, const std::function<void()>& step,
                      const std::function<bool()>& done, int limitMs = 10000)
{
    for (const int end = nowMs + limitMs; nowMs < end;) {
        nowMs += SessionCore::kTickMs;
        step();
        core.tick(nowMs);
        if (done())
            return true;
    }
    return false;
}

// What the main window is shown, counted and kept.
struct SessionViewLog : SessionView {
    int connected = 0, unconnected = 0, restarts = 0, parameterBlocks = 0;
    uint32_t parameterCrc = 0;
    std::vector<std::string> paths;  // the device list as last refilled
    int currentIndex = -2;
    std::vector<bool> refreshEnabled;
    std::vector<std::string> statusTexts;
    void showConnected() override { ++connected; }
    void showUnconnected() override { ++unconnected; }
    void refillDeviceList(const std::vector<std::string>& p, int i) override { paths = p, currentIndex = i; }
    void setRefreshEnabled(bool on) override { refreshEnabled.push_back(on); }
    void restartDiagnostic() override { ++restarts; }
    void onParameterBlock(const DeviceRecords&, uint32_t crc) override { ++parameterBlocks, parameterCrc = crc; }
    void onStatusText(const std::string& text) override { statusTexts.push_back(text); }
};

// A calibration area image whose last word is the CRC of the others, as the frame checks it, or
// one that fails the check.
inline std::vector<uint8_t> calibrationImage(size_t size, bool goodCrc = true)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7 + 1);
    std::vector<uint32_t> words(size / 4 - 1);
    for (size_t w = 0; w < words.size(); ++w)
        words[w] = protocol::readLe32(&bytes[4 * w]);
    protocol::writeLe32(&bytes[size - 4], Crc32Words(words.data(), words.size()) ^ (goodCrc ? 0u : 1u));
    return bytes;
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

    // Start-up with one frame: the first scan lists it, the probe connects and the information
    // is read (within 5 s), the hook follows later changes. Its path.
    std::string start(VirtualFrameProfile profile = {})
    {
        const std::string path = attach(std::move(profile));
        session.RescanDevices();
        hookChanges = true;
        settle();
        return path;
    }

    // Simulated time until the session is connected with its information read, or `limitMs`.
    bool settle(int limitMs = 5000)
    {
        for (int t = 0; t < limitMs; t += 50) {
            if (session.connected() && !session.probeTimerEnabled() && !session.infoTimerEnabled())
                return true;
            advance(50);
        }
        return false;
    }

    // Handles the changes reported so far at once, as the main window does when the platform's
    // message comes; no timer runs and the worker is not stepped.
    void deliverChanges() { core.handleDeviceChanges(); }

    // Probe ticks run since the start.
    int probeTicks() const { return int(core.tickCounts().probes); }

    // Advances simulated time in 10 ms steps, the core's schedule firing each timer.
    void advance(int ms)
    {
        runTimers(core, nowMs, [] {}, [] { return false; }, ms);
    }
};

}  // namespace oculant::test
