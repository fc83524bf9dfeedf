#pragma once
// The backend for real frames on Linux: hidraw nodes "/dev/hidrawN", found through sysfs,
// opened with open(2), followed on arrival and removal through udev.

#include <memory>
#include <string>

#include "link/HidBackend.h"
#include "backends/hidraw/HidrawMonitor.h"

namespace oculant {

class HidrawBackend : public HidBackend {
public:
    // sysfsRoot and devDir are where sysfs and the device nodes live ("/sys", "/dev"); tests
    // point them at a fake tree. monitor reports arrival and removal (null: not followed); it
    // is made before this backend first lists anything, so no node plugged in between is
    // missed.
    explicit HidrawBackend(std::string sysfsRoot = "/sys", std::string devDir = "/dev",
                           std::unique_ptr<HidrawChangeSource> monitor = nullptr);

    // "<devDir>/hidrawN" for each node in sysfs, in numeric order.
    std::vector<std::string> listInterfaces() override;
    bool handles(const std::string& path) const override;
    // From sysfs, without opening the node: a frame we may not open is still recognised.
    bool describe(const std::string& path, HidAttributes& attributes, std::vector<uint8_t>& descriptor) override;
    // open(O_RDWR | O_NONBLOCK | O_CLOEXEC). EACCES and EPERM are PermissionDenied, with a
    // detail naming the node and its ids (what the udev rule needs), ENOENT is NotFound.
    std::unique_ptr<HidHandle> open(const std::string& path, OpenFailure* failure, std::string* detail) override;

    int changeNotifierFd() const override;
    bool followsChanges() const override { return monitor_ != nullptr; }
    // Reads the pending udev events and reports each arrival and removal of a node.
    void processChangeEvents() override;

    // The access rule's state for the node and what gives access (AccessRule.h), checked
    // against this backend's sysfs.
    std::string accessFix(const std::string& path) override;

    const std::string& devDir() const { return devDir_; }

private:
    // "hidrawN" for "<devDir>/hidrawN", else empty.
    std::string nodeName(const std::string& path) const;

    std::string sysfsRoot_;
    std::string devDir_;
    std::unique_ptr<HidrawChangeSource> monitor_;
};

// The backend for real frames on this system's /sys and /dev, with the udev monitor where
// libudev is available (without it, frames are still found by every scan).
std::unique_ptr<HidBackend> makeHidrawBackend();

}  // namespace oculant
