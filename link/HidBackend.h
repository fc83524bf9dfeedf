#pragma once
// The device backend interface: one for real frames (hidraw), one for the built-in virtual
// frames, and a composite that serves both. Paths carry the backend: "/dev/hidrawN", "virtual:N".

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/FrameTestBench.h"

namespace oculant {

enum class IoStatus {
    Ok,         // bytes tells how many were transferred
    Timeout,    // nothing within the time-out; normal for reads
    Cancelled,  // the handle was cancelled (closing); the caller stops using it
    Gone,       // the device vanished (unplugged); the removal path will close it
    Error,      // any other failure
};

struct IoResult {
    IoStatus status = IoStatus::Error;
    size_t bytes = 0;
};

struct HidAttributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// One open device interface. read and write are called by the worker thread; cancel may be
// called from any thread and makes a blocked or later read or write return Cancelled at once.
class HidHandle {
public:
    virtual ~HidHandle() = default;
    virtual IoResult read(uint8_t* buffer, size_t capacity, int timeoutMs) = 0;
    virtual IoResult write(const uint8_t* report, size_t length, int timeoutMs) = 0;
    virtual void cancel() = 0;
};

enum class OpenFailure { None, NotFound, PermissionDenied, Busy, Other };

// Arrival and removal of device interfaces, as the device-change hook wants them.
enum class DeviceChange { Arrival, Removal };

class HidBackend {
public:
    using ChangeCallback = std::function<void(DeviceChange, const std::string& path)>;

    virtual ~HidBackend() = default;
    // Paths of the present interfaces, in enumeration order.
    virtual std::vector<std::string> listInterfaces() = 0;
    virtual bool handles(const std::string& path) const = 0;
    // Vendor and product id and the report descriptor of an interface, without opening it for
    // I/O (sysfs for hidraw), so a frame we may not open can still be recognised and reported.
    virtual bool describe(const std::string& path, HidAttributes& attributes,
                          std::vector<uint8_t>& descriptor) = 0;
    // Opens for reading and writing; on failure returns null and says why.
    virtual std::unique_ptr<HidHandle> open(const std::string& path, OpenFailure* failure,
                                            std::string* detail) = 0;
    // Arrival/removal reports. A backend that learns of changes through a file descriptor
    // (udev) exposes it so the caller can poll it, and reports through the callback when
    // processChangeEvents() is called; others call back directly on the thread that caused the
    // change.
    void setChangeCallback(ChangeCallback cb) { changeCallback_ = std::move(cb); }
    virtual int changeNotifierFd() const { return -1; }
    virtual void processChangeEvents() {}
    // Whether arrival and removal are reported at all. Without (hidraw built or run without a
    // udev monitor) the host has to rescan on its own to see frames come and go.
    virtual bool followsChanges() const { return true; }
    // For a device this user may not open: what gives access ("Fix: ..."), empty when the
    // backend has no advice of its own.
    virtual std::string accessFix(const std::string& path) { return {}; }
    // The test bench of the frame at `path` (see FrameTestBench.h); null for a real frame.
    virtual FrameTestBench* testBench(const std::string& path) { return nullptr; }
    // Whether `path` is a recording played back: it takes what is written and drops it, so
    // nothing written to it reaches a frame.
    virtual bool isRecording(const std::string& path) const { return false; }

protected:
    void notifyChange(DeviceChange change, const std::string& path)
    {
        if (changeCallback_)
            changeCallback_(change, path);
    }

private:
    ChangeCallback changeCallback_;
};

// Serves several backends as one: lists them in order and routes each path to its owner.
class CompositeBackend : public HidBackend {
public:
    void add(HidBackend* backend);
    std::vector<std::string> listInterfaces() override;
    bool handles(const std::string& path) const override;
    bool describe(const std::string& path, HidAttributes& attributes,
                  std::vector<uint8_t>& descriptor) override;
    std::unique_ptr<HidHandle> open(const std::string& path, OpenFailure* failure,
                                    std::string* detail) override;
    bool followsChanges() const override;
    void processChangeEvents() override;
    FrameTestBench* testBench(const std::string& path) override;
    std::string accessFix(const std::string& path) override;
    bool isRecording(const std::string& path) const override;
    const std::vector<HidBackend*>& backends() const { return backends_; }

private:
    std::vector<HidBackend*> backends_;  // not owned
};

}  // namespace oculant
