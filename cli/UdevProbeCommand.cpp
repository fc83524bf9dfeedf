// oculant-cli udev-probe PATH: run by the udev rule for every hidraw node (PATH is the node's
// sysfs folder), it prints ID_OCULANT_FRAME=1 for a touch frame, which udev imports and the rule
// tags with uaccess. It reads one sysfs file and nothing else: no device is opened, no
// language file read, nothing written, so it is quick and safe inside udev's event handling.
#include <ostream>

#include "cli/Cli.h"
#include "hid/UdevProbe.h"

namespace oculant::cli {

int runUdevProbe(CommandContext& ctx)
{
    std::vector<std::string> args = ctx.args;
    // "--" lets a path that starts with a dash through; udev never passes one.
    const bool endOfOptions = !args.empty() && args.front() == "--";
    if (endOfOptions)
        args.erase(args.begin());
    if (args.size() != 1 || (!endOfOptions && args[0].size() > 1 && args[0][0] == '-')) {
        ctx.err << "usage: oculant-cli udev-probe PATH   (a report_descriptor file or a hidraw sysfs folder)\n";
        return kExitUsage;
    }
    const FrameProbe probe = probeFrameDescriptor(args[0]);
    if (!probe.readable) {
        ctx.err << "udev-probe: " << probe.error << "\n";
        return kExitFailed;
    }
    // udev imports KEY=value lines; a node that is not a frame gets no key at all.
    if (probe.frame)
        ctx.out << "ID_OCULANT_FRAME=1\n";
    return kExitOk;
}

}  // namespace oculant::cli
