#pragma once
// What sysfs tells about hidraw nodes without opening them: which nodes exist, and for each the
// ids and the report descriptor of the HID device behind it. A node we may not open can still
// be recognised as a frame this way, and reported as such.
//
// Layout read (the root is a parameter, so tests build the same shape in a temp folder):
//   <root>/class/hidraw/hidrawN                      one entry per node (a symlink in sysfs)
//   <root>/class/hidraw/hidrawN/device/uevent        HID_ID=0003:0000VVVV:0000PPPP among others
//   <root>/class/hidraw/hidrawN/device/report_descriptor   the raw descriptor bytes

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/HidBackend.h"

namespace oculant {

// 12 for "hidraw12"; -1 for anything else ("hidraw", "hidraw1a", "hidraw-1").
int hidrawNodeNumber(std::string_view name);

// Node names ("hidraw0", "hidraw1", ...) under <sysfsRoot>/class/hidraw in numeric order, so
// hidraw10 comes after hidraw9. Empty when the folder is missing (no hidraw in this kernel).
std::vector<std::string> listHidrawNodes(const std::string& sysfsRoot);

// Vendor and product from the HID_ID line of a HID device's uevent text
// ("HID_ID=0003:0000046D:0000C077": bus, vendor, product, each in hex). Nothing when the line
// is missing or malformed, or an id does not fit 16 bits.
std::optional<HidAttributes> parseHidIdUevent(std::string_view uevent);

struct HidrawNodeInfo {
    HidAttributes attributes;
    std::vector<uint8_t> descriptor;
};

// Ids and report descriptor of one node, read from sysfs. Nothing when either is unreadable.
std::optional<HidrawNodeInfo> readHidrawNode(const std::string& sysfsRoot, const std::string& name);

}  // namespace oculant
