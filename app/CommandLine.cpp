#include "app/CommandLine.h"

namespace oculant {

AppOptions parseAppArguments(const std::vector<std::string>& args)
{
    AppOptions o;
    const std::string profileOption = "--virtual-frame=";
    for (const std::string& a : args) {
        if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--virtual-frame") {
            o.virtualFrame = true;
        } else if (a.rfind(profileOption, 0) == 0 && a.size() > profileOption.size()) {
            o.virtualFrame = true;
            o.virtualProfile = a.substr(profileOption.size());
        } else {
            o.error = "unknown argument '" + a + "'";
            return o;
        }
    }
    return o;
}

std::string appUsage()
{
    return "usage: oculant [--virtual-frame[=PROFILE]]\n"
           "\n"
           "Service tool for infrared multi-touch frames.\n"
           "  --virtual-frame[=PROFILE]  add the built-in virtual frame (virtual:0), with the default\n"
           "                             or the given profile file; Ctrl+U unplugs and plugs it back\n"
           "  -h, --help                 show this text\n";
}

}  // namespace oculant
