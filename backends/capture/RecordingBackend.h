#pragma once
// A backend that records: it serves another backend unchanged and keeps, per device path, every
// report read from and written to it, timed from the moment the path was first opened. The
// enumeration's trial open counts as the first, so the probe and the information answers are in
// the capture, and a device closed and reopened by the probe keeps one timeline.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "backends/capture/CaptureFile.h"
#include "link/HidBackend.h"

namespace oculant {

class RecordingBackend : public HidBackend {
public:
    using Clock = std::function<int64_t()>;  // microseconds, monotonic; empty: the steady clock

    // `inner` must outlive this backend; its change reports are passed on.
    explicit RecordingBackend(HidBackend& inner, Clock clock = {});

    std::vector<std::string> listInterfaces() override { return inner_.listInterfaces(); }
    bool handles(const std::string& path) const override { return inner_.handles(path); }
    bool describe(const std::string& path, HidAttributes& attributes, std::vector<uint8_t>& descriptor) override;
    std::unique_ptr<HidHandle> open(const std::string& path, OpenFailure* failure, std::string* detail) override;
    int changeNotifierFd() const override { return inner_.changeNotifierFd(); }
    void processChangeEvents() override { inner_.processChangeEvents(); }
    bool followsChanges() const override { return inner_.followsChanges(); }
    FrameTestBench* testBench(const std::string& path) override { return inner_.testBench(path); }
    std::string accessFix(const std::string& path) override { return inner_.accessFix(path); }
    bool isRecording(const std::string& path) const override { return inner_.isRecording(path); }

    // What was recorded of a path so far; nullopt when it was never opened.
    std::optional<CaptureFile> capture(const std::string& path) const;
    std::vector<std::string> recordedPaths() const;

    // One path's capture; handles share it and may outlive the backend.
    struct Track {
        std::mutex mutex;  // guards file and startUs
        CaptureFile file;
        int64_t startUs = 0;
        bool withoutIds = false;  // the device's reports carry no report id (set before it is shared)
    };

private:
    HidBackend& inner_;
    Clock clock_;
    mutable std::mutex mutex_;  // guards tracks_ (the map, not the tracks)
    std::map<std::string, std::shared_ptr<Track>> tracks_;
};

}  // namespace oculant
