// oculant-udev-probe PATH: what the udev rule runs as root for every hidraw event. It links the
// descriptor parser and nothing else (no database, Qt or network library), so that a hot-plug
// costs a millisecond, not the start of the whole command-line tool.
#include <iostream>

#include "hid/UdevProbe.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    return oculant::runFrameProbe(args, std::cout, std::cerr,
                                  "usage: oculant-udev-probe PATH   (a report_descriptor file or a hidraw sysfs folder)");
}
