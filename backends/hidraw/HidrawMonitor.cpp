#include "backends/hidraw/HidrawMonitor.h"

#include "backends/hidraw/HidrawSysfs.h"

#ifdef OCULANT_HAVE_UDEV
#include <libudev.h>

#include <cerrno>
#include <cstring>
#endif

namespace oculant {

std::optional<std::pair<DeviceChange, std::string>> hidrawChangeFromEvent(const HidrawEvent& event,
                                                                           const std::string& devDir)
{
    if (hidrawNodeNumber(event.sysname) < 0)
        return std::nullopt;
    const std::string path = devDir + "/" + event.sysname;
    if (event.action == "add")
        return std::make_pair(DeviceChange::Arrival, path);
    if (event.action == "remove")
        return std::make_pair(DeviceChange::Removal, path);
    return std::nullopt;
}

#ifdef OCULANT_HAVE_UDEV

namespace {

class UdevHidrawMonitor : public HidrawChangeSource {
public:
    UdevHidrawMonitor(udev* context, udev_monitor* monitor) : udev_(context), monitor_(monitor) {}
    ~UdevHidrawMonitor() override
    {
        udev_monitor_unref(monitor_);
        udev_unref(udev_);
    }

    int fd() const override { return udev_monitor_get_fd(monitor_); }

    std::vector<HidrawEvent> takeEvents() override
    {
        // The monitor's socket is non-blocking: receiving returns null once nothing is pending.
        std::vector<HidrawEvent> events;
        while (udev_device* device = udev_monitor_receive_device(monitor_)) {
            const char* action = udev_device_get_action(device);
            const char* sysname = udev_device_get_sysname(device);
            if (action && sysname)
                events.push_back({action, sysname});
            udev_device_unref(device);
        }
        return events;
    }

private:
    udev* udev_;
    udev_monitor* monitor_;
};

}  // namespace

std::unique_ptr<HidrawChangeSource> makeUdevHidrawMonitor(std::string* error)
{
    auto fail = [&](const char* what) -> std::unique_ptr<HidrawChangeSource> {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        return nullptr;
    };
    udev* context = udev_new();
    if (!context)
        return fail("udev_new");
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor) {
        udev_unref(context);
        return fail("udev monitor");
    }
    int r = udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr);
    if (r >= 0)
        r = udev_monitor_enable_receiving(monitor);
    if (r < 0) {
        errno = -r;  // libudev returns negative errno values
        udev_monitor_unref(monitor);
        udev_unref(context);
        return fail("udev monitor on hidraw");
    }
    return std::make_unique<UdevHidrawMonitor>(context, monitor);
}

#else

std::unique_ptr<HidrawChangeSource> makeUdevHidrawMonitor(std::string* error)
{
    if (error)
        *error = "built without libudev: arrival and removal of frames are not followed";
    return nullptr;
}

#endif

}  // namespace oculant
