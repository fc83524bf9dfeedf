#pragma once
// A backend with one device, "replay:FILE", that plays a capture back: it presents the captured
// ids and report descriptor, its reads return the captured input reports at their captured
// times (scaled by the speed) from the moment the device is first opened, and its writes are
// taken and dropped. A capture made here starts its clock when the device is opened, and its
// first event follows within a fraction of a second; other recorders' clocks may have started
// hours before their first report. A first event more than kLongestLeadInUs after time 0 is
// therefore played at the first open, and every later one keeps its distance from it. After the last report it behaves as a silent frame: reads time out, and it
// is never reported unplugged. One timeline serves every handle, as the device it stands for
// keeps running while the probe closes and reopens it.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "backends/capture/CaptureFile.h"
#include "link/HidBackend.h"

namespace oculant {

class ReplayBackend : public HidBackend {
public:
    using Clock = std::function<int64_t()>;  // microseconds, monotonic; empty: the steady clock
    // Blocking: a read waits (wall time) for the next report up to its time-out. Non-blocking:
    // a read with nothing due returns Timeout at once (simulated clocks).
    enum class Reads { Blocking, NonBlocking };

    static constexpr const char* kPathPrefix = "replay:";
    // The longest pause the other tools' replayers keep between two events.
    static constexpr int64_t kLongestLeadInUs = 3'000'000;
    static std::string pathFor(const std::string& file) { return kPathPrefix + file; }

    // speed > 0: 2 plays twice as fast.
    ReplayBackend(CaptureFile capture, const std::string& file, double speed = 1.0, Reads reads = Reads::Blocking,
                  Clock clock = {});

    const std::string& path() const { return path_; }
    std::vector<std::string> listInterfaces() override { return {path_}; }
    bool handles(const std::string& path) const override;
    bool describe(const std::string& path, HidAttributes& attributes, std::vector<uint8_t>& descriptor) override;
    std::unique_ptr<HidHandle> open(const std::string& path, OpenFailure* failure, std::string* detail) override;
    bool isRecording(const std::string& path) const override { return path == path_; }

    // Input reports handed out so far, and whether that is all of them.
    size_t delivered() const;
    bool finished() const;

    // The shared timeline; handles keep it alive.
    struct Timeline {
        Timeline(std::vector<CaptureEvent> inputs, int64_t originUs, double speed, Clock clock)
            : inputs(std::move(inputs)), originUs(originUs), speed(speed), clock(std::move(clock))
        {
        }
        const std::vector<CaptureEvent> inputs;
        const int64_t originUs;  // the capture's time that is played at the first open
        const double speed;
        const Clock clock;
        std::mutex mutex;  // guards next and startUs; wake waits on it
        std::condition_variable wake;
        size_t next = 0;
        int64_t startUs = -1;  // clock at the first open; -1 before
    };

private:
    CaptureFile capture_;
    std::string path_;
    Reads reads_;
    std::shared_ptr<Timeline> timeline_;
};

}  // namespace oculant
