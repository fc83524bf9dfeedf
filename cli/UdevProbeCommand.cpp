// oculant-cli udev-probe PATH: the probe the udev rule runs (as the small program
// oculant-udev-probe, udev_probe_main.cpp), here for people: prints ID_OCULANT_FRAME=1 for a
// touch frame. It reads one sysfs file and nothing else: no device is opened, no language file
// read, nothing written.
#include "cli/Cli.h"
#include "hid/UdevProbe.h"

namespace oculant::cli {

int runUdevProbeWords(const std::vector<std::string>& words, std::ostream& out, std::ostream& err)
{
    return runFrameProbe(words, out, err,
                         "usage: oculant-cli udev-probe PATH   (a report_descriptor file or a hidraw sysfs folder)");
}

// Through the command table the operands come parsed: a path that begins with a dash is one.
int runUdevProbe(CommandContext& ctx)
{
    std::vector<std::string> words{"--"};
    words.insert(words.end(), ctx.args.begin(), ctx.args.end());
    return runUdevProbeWords(words, ctx.out, ctx.err);
}

}  // namespace oculant::cli
