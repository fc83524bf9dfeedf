#pragma once
// The question udev asks of every hidraw node: is this a touch frame? It is answered from the
// report descriptor in sysfs with the same frame rule the scan applies, so the access rule
// covers every frame Oculant recognises, whatever its vendor and product ids. Only the
// descriptor file is opened, never a device node, and nothing is written.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace oculant {

struct FrameProbe {
    bool readable = false;  // a descriptor was read from the path
    std::string error;      // why not, when !readable
    bool frame = false;     // one of its top-level collections matches the frame rule
};

// The path is a report descriptor file (raw bytes or hex text), a HID device's sysfs folder
// (holding report_descriptor) or a hidraw node's sysfs folder such as /sys/class/hidraw/hidraw3
// (its device/report_descriptor). A device node, FIFO or socket is refused without opening it.
FrameProbe probeFrameDescriptor(const std::string& path);

// The descriptor parses and one of its top-level collections matches the frame rule. A
// descriptor the parser refuses holds no frame: the scan would not recognise one there either.
bool descriptorHoldsFrame(const std::vector<uint8_t>& descriptor);

// The probe as udev runs it, args being what follows the program (or its command): one PATH,
// "--" before a path that starts with a dash. Prints ID_OCULANT_FRAME=1 for a frame, nothing for
// anything else; 0 both ways, 1 with the reason when no descriptor can be read, 64 with `usage`.
struct FrameProbeAnswer {
    int status = 0;
    std::string out, err;
};
FrameProbeAnswer answerFrameProbe(const std::vector<std::string>& args, const std::string& usage);
int runFrameProbe(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const std::string& usage);

}  // namespace oculant
