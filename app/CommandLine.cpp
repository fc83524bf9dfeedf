#include "app/CommandLine.h"

#include <cstdlib>
#include <optional>

namespace oculant {

namespace {

// "--name VALUE" or "--name=VALUE" at args[i]; advances i past a separate value.
std::optional<std::string> optionValue(const std::vector<std::string>& args, size_t& i, const std::string& name)
{
    if (args[i] == name && i + 1 < args.size())
        return args[++i];
    if (args[i].rfind(name + "=", 0) == 0)
        return args[i].substr(name.size() + 1);
    return std::nullopt;
}

}  // namespace

AppOptions parseAppArguments(const std::vector<std::string>& args)
{
    AppOptions o;
    const std::string profileOption = "--virtual-frame=";
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--virtual-frame") {
            o.virtualFrame = true;
        } else if (a.rfind(profileOption, 0) == 0 && a.size() > profileOption.size()) {
            o.virtualFrame = true;
            o.virtualProfile = a.substr(profileOption.size());
        } else if (const std::optional<std::string> file = optionValue(args, i, "--replay")) {
            o.replayFile = *file;
        } else if (const std::optional<std::string> log = optionValue(args, i, "--open-log")) {
            o.openLog = *log;
        } else if (const std::optional<std::string> speed = optionValue(args, i, "--replay-speed")) {
            char* end = nullptr;
            o.replaySpeed = std::strtod(speed->c_str(), &end);
            if (speed->empty() || *end != '\0' || !(o.replaySpeed > 0) || o.replaySpeed > 1000) {
                o.error = "--replay-speed wants a number above 0 (at most 1000), not '" + *speed + "'";
                return o;
            }
        } else {
            o.error = "unknown argument '" + a + "'";
            return o;
        }
    }
    if (o.replayFile.empty() && o.replaySpeed != 1.0)
        o.error = "--replay-speed goes with --replay FILE";
    return o;
}

std::string appUsage()
{
    return "usage: oculant [--virtual-frame[=PROFILE]] [--replay FILE[:N] [--replay-speed X]] [--open-log FILE]\n"
           "\n"
           "Service tool for infrared multi-touch frames.\n"
           "  --virtual-frame[=PROFILE]  add the built-in virtual frame (virtual:0), with the default\n"
           "                             or the given profile file; Ctrl+U unplugs and plugs it back\n"
           "  --replay FILE[:N]          play a capture file (oculant-cli capture, or a recording of\n"
           "                             the Linux HID tools) back as the device replay:FILE, listed\n"
           "                             first; FILE:N plays device N of a recording of several\n"
           "  --replay-speed X           play it X times as fast (default 1)\n"
           "  --open-log FILE            open the signal view playing a recorded AD log\n"
           "  --version                  show the version\n"
           "  -h, --help                 show this text\n"
           "\n"
           "Keys: Ctrl+Q quits; Esc leaves the full-screen windows.\n";
}

const char* appVersion() { return OCULANT_VERSION; }

}  // namespace oculant
