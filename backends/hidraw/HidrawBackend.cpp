#include "backends/hidraw/HidrawBackend.h"

#include "backends/hidraw/AccessRule.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "hid/HidDescriptor.h"
#include "backends/hidraw/HidrawHandle.h"
#include "backends/hidraw/HidrawSysfs.h"

namespace oculant {

namespace {

OpenFailure openFailureFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return OpenFailure::PermissionDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return OpenFailure::NotFound;
    case EBUSY:
        return OpenFailure::Busy;
    default:
        return OpenFailure::Other;
    }
}

std::string idsText(const HidAttributes& a)
{
    // Lower-case hex, as udev rules compare ATTRS{idVendor} and ATTRS{idProduct}.
    char text[48];
    std::snprintf(text, sizeof text, "vendor %04x, product %04x", a.vendorId, a.productId);
    return text;
}

// The descriptor through the open node, for a kernel without sysfs report_descriptor.
std::vector<uint8_t> descriptorFromNode(int fd)
{
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size <= 0 || size > HID_MAX_DESCRIPTOR_SIZE)
        return {};
    hidraw_report_descriptor rd{};
    rd.size = uint32_t(size);
    if (::ioctl(fd, HIDIOCGRDESC, &rd) < 0)
        return {};
    return std::vector<uint8_t>(rd.value, rd.value + size);
}

}  // namespace

HidrawBackend::HidrawBackend(std::string sysfsRoot, std::string devDir, std::unique_ptr<HidrawChangeSource> monitor)
    : sysfsRoot_(std::move(sysfsRoot)), devDir_(std::move(devDir)), monitor_(std::move(monitor))
{
}

std::string HidrawBackend::nodeName(const std::string& path) const
{
    if (path.size() <= devDir_.size() + 1 || path.compare(0, devDir_.size(), devDir_) != 0 ||
        path[devDir_.size()] != '/')
        return {};
    std::string name = path.substr(devDir_.size() + 1);
    return hidrawNodeNumber(name) >= 0 ? name : std::string();
}

std::vector<std::string> HidrawBackend::listInterfaces()
{
    std::vector<std::string> paths;
    for (const std::string& name : listHidrawNodes(sysfsRoot_))
        paths.push_back(devDir_ + "/" + name);
    return paths;
}

bool HidrawBackend::handles(const std::string& path) const { return !nodeName(path).empty(); }

bool HidrawBackend::describe(const std::string& path, HidAttributes& attributes, std::vector<uint8_t>& descriptor)
{
    std::optional<HidrawNodeInfo> info = readHidrawNode(sysfsRoot_, nodeName(path));
    if (!info)
        return false;
    attributes = info->attributes;
    descriptor = std::move(info->descriptor);
    return true;
}

std::unique_ptr<HidHandle> HidrawBackend::open(const std::string& path, OpenFailure* failure, std::string* detail)
{
    auto fail = [&](OpenFailure why, std::string text) -> std::unique_ptr<HidHandle> {
        if (failure)
            *failure = why;
        if (detail)
            *detail = std::move(text);
        return nullptr;
    };
    const std::string name = nodeName(path);
    if (name.empty())
        return fail(OpenFailure::NotFound, path + " is not a hidraw node");
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        std::string text = "open " + path + ": " + std::strerror(error);
        if (std::optional<HidrawNodeInfo> info = readHidrawNode(sysfsRoot_, name))
            text += "; " + idsText(info->attributes);
        return fail(openFailureFromErrno(error), std::move(text));
    }
    std::optional<HidrawNodeInfo> info = readHidrawNode(sysfsRoot_, name);
    const std::vector<uint8_t> descriptor = info ? info->descriptor : descriptorFromNode(fd);
    std::string error;
    std::unique_ptr<HidrawHandle> handle = HidrawHandle::adopt(fd, reportsCarryIds(descriptor) ? HidrawHandle::ReportIds::Present : HidrawHandle::ReportIds::Absent, &error);
    if (!handle)
        return fail(OpenFailure::Other, path + ": " + error);
    if (failure)
        *failure = OpenFailure::None;
    return handle;
}

int HidrawBackend::changeNotifierFd() const { return monitor_ ? monitor_->fd() : -1; }

void HidrawBackend::processChangeEvents()
{
    if (!monitor_)
        return;
    for (const HidrawEvent& event : monitor_->takeEvents())
        if (auto change = hidrawChangeFromEvent(event, devDir_))
            notifyChange(change->first, change->second);
}

std::unique_ptr<HidBackend> makeHidrawBackend()
{
    // Without a monitor frames are still found by each scan; only hotplug is not followed.
    return std::make_unique<HidrawBackend>("/sys", "/dev", makeUdevHidrawMonitor());
}

std::string HidrawBackend::accessFix(const std::string& path)
{
    AccessRuleLocations where;
    where.sysfsRoot = sysfsRoot_;
    return accessRuleFix(path, where);
}

}  // namespace oculant
