// oculant-cli udev-probe PATH: the probe the udev rule runs (as the small program
// oculant-udev-probe, udev_probe_main.cpp), here for people: prints ID_OCULANT_FRAME=1 for a
// touch frame. It reads one sysfs file and nothing else: no device is opened, no language file
// read, nothing written.
#include "cli/Cli.h"
#include "hid/UdevProbe.h"

namespace oculant::cli {

int runUdevProbe(CommandContext& ctx)
{
    return runFrameProbe(ctx.args, ctx.out, ctx.err,
                         "usage: oculant-cli udev-probe PATH   (a report_descriptor file or a hidraw sysfs folder)");
}

}  // namespace oculant::cli
