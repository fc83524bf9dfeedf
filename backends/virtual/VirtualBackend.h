#pragma once
// The backend that hosts built-in virtual frames in-process, as "virtual:N". Frames can be
// attached and detached at run time to exercise arrival, removal and the connection probe.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/HidBackend.h"
#include "backends/virtual/VirtualFrame.h"
#include "backends/virtual/VirtualTestBench.h"

namespace oculant {

class VirtualBackend : public HidBackend {
public:
    // Blocking: reads wait (wall time) for the frame's next report up to their time-out, as a
    // real device does. Non-blocking: a read with nothing queued returns Timeout at once, so
    // tests can step the worker without waiting.
    enum class Reads { Blocking, NonBlocking };

    explicit VirtualBackend(Reads reads = Reads::Blocking) : reads_(reads) {}

    // Adds a frame as "virtual:N" (N counts from 0) and reports its arrival. Returns its path.
    std::string attach(std::shared_ptr<VirtualFrame> frame);
    // Unplugs a frame: open handles report Gone from then on, and removal is reported.
    void detach(const std::string& path);
    // Plugs a detached frame back in at the same path.
    void reattach(const std::string& path);
    std::shared_ptr<VirtualFrame> frame(const std::string& path) const;
    bool attached(const std::string& path) const;
    // Every virtual frame is a test bench; it lives as long as the backend.
    FrameTestBench* testBench(const std::string& path) override;
    // Makes opening the frame fail as a node without access does (None: opens again); it is
    // still described, so a scan recognises it and reports why it cannot be used.
    void setOpenRefusal(const std::string& path, OpenFailure failure);
    // Off: attach, detach and reattach report nothing, as hidraw without a udev monitor.
    void setChangeReports(bool on) { changeReports_.store(on); }
    bool followsChanges() const override { return changeReports_.load(); }

    std::vector<std::string> listInterfaces() override;
    bool handles(const std::string& path) const override;
    bool describe(const std::string& path, HidAttributes& attributes, std::vector<uint8_t>& descriptor) override;
    std::unique_ptr<HidHandle> open(const std::string& path, OpenFailure* failure, std::string* detail) override;

    // A plug: one attachment of a frame. Handles keep it alive and see `present` drop on detach.
    struct Plug {
        std::shared_ptr<VirtualFrame> frame;
        std::atomic<bool> present{true};
    };

private:
    struct Slot {
        std::string path;
        std::shared_ptr<VirtualFrame> frame;
        std::shared_ptr<Plug> plug;  // null while detached
        OpenFailure refusal = OpenFailure::None;
        std::unique_ptr<VirtualTestBench> bench;
    };
    void report(DeviceChange change, const std::string& path);
    Slot* find(const std::string& path);
    const Slot* find(const std::string& path) const;

    Reads reads_;
    std::atomic<bool> changeReports_{true};
    mutable std::mutex mutex_;  // guards slots_
    std::vector<Slot> slots_;
};

}  // namespace oculant
