#pragma once
// Arrival and removal of hidraw nodes. udev's events (not the kernel's) are used: udev sends
// them after it has created the node and applied its permissions and tags, so a node reported
// as arrived can be opened at once.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/HidBackend.h"

namespace oculant {

// One event as the monitor received it: the udev action ("add", "remove", "change", ...) and
// the node's kernel name ("hidraw3").
struct HidrawEvent {
    std::string action;
    std::string sysname;
};

// Where hidraw events come from: a file descriptor that becomes readable when events are
// pending, and the events themselves. The udev monitor in use, a pipe in tests.
class HidrawChangeSource {
public:
    virtual ~HidrawChangeSource() = default;
    virtual int fd() const = 0;
    // Every pending event, without waiting.
    virtual std::vector<HidrawEvent> takeEvents() = 0;
};

// A libudev monitor on subsystem "hidraw", receiving from the moment it is made. Null, with
// the reason, when built without libudev or when the monitor cannot be had.
std::unique_ptr<HidrawChangeSource> makeUdevHidrawMonitor(std::string* error = nullptr);

// The change an event means for the path "<devDir>/<sysname>": "add" is an arrival and
// "remove" a removal; other actions (change, bind, ...) and names that are not hidraw nodes
// mean nothing to the device list.
std::optional<std::pair<DeviceChange, std::string>> hidrawChangeFromEvent(const HidrawEvent& event,
                                                                           const std::string& devDir);

}  // namespace oculant
