#include "cli/Cli.h"

#include <algorithm>
#include <ostream>

#include "device/BackendSet.h"

namespace oculant::cli {
namespace {

struct Command {
    const char* name;
    const char* synopsis;
    int (*handler)(CommandContext&);
};

// Every command of the tool, in the order the help lists them.
const Command kCommands[] = {
    {"list", "list [--json]                 frames found among the HID interfaces", runList},
    {"caps", "caps FILE|/dev/hidrawN [--json] HID capabilities of a report descriptor", runCaps},
    {"info", "info [--json]                 what the frame says about itself, as the Status group shows it", runInfo},
    {"diagnose", "diagnose [--sweep] [--timeout S] [--json]  emitter/receiver test, PASS or FAIL", runDiagnose},
    {"record", "record --seconds S [--dir DIR] [--signal]  record the signal into an AD log", runRecord},
    {"calibrate", "calibrate [--grid CxR] [--aux|--no-aux] [--screen WxH] [--margins L,R,U,D] [--window X,Y,W,H] [--mask] [--direction 0..3] [--extension L,R,D,U] [--export FILE] [--json]  single-area calibration, a virtual finger on each target", runCalibrate},
    {"reset-calibration", "reset-calibration --yes        put the frame's calibration back to the identity", runResetCalibration},
};

void printUsage(std::ostream& out)
{
    out << "usage: oculant-cli [--virtual-frame[=PROFILE]] [--simulated-time] [--device PATH] [--language NAME] "
           "COMMAND [ARGS]\n\ncommands:\n";
    for (const Command& c : kCommands)
        out << "  " << c.synopsis << "\n";
    out << "\n--simulated-time runs the virtual frame on a simulated clock, as fast as the machine goes.\n";
    out << "\n--virtual-frame adds the built-in virtual frame (virtual:0), with the default or the "
           "given profile file.\n";
}

}  // namespace

BackendOptions backendOptions(const GlobalOptions& global)
{
    BackendOptions o;
    o.virtualFrame = global.virtualFrame;
    o.virtualProfile = global.virtualProfile;
    if (global.simulatedTime) {
        o.hidraw = false;
        o.virtualReads = VirtualBackend::Reads::NonBlocking;
    }
    return o;
}

bool takeFlag(std::vector<std::string>& args, const std::string& flag)
{
    auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

std::optional<std::string> takeOption(std::vector<std::string>& args, const std::string& name)
{
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == name && it + 1 != args.end()) {
            std::string value = *(it + 1);
            args.erase(it, it + 2);
            return value;
        }
        const std::string prefix = name + "=";
        if (it->rfind(prefix, 0) == 0) {
            std::string value = it->substr(prefix.size());
            args.erase(it);
            return value;
        }
    }
    return std::nullopt;
}

int run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err)
{
    GlobalOptions global;
    size_t i = 0;
    for (; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "-h" || a == "--help") {
            printUsage(out);
            return kExitOk;
        } else if (a == "--simulated-time") {
            global.simulatedTime = true;
        } else if (a == "--virtual-frame") {
            global.virtualFrame = true;
        } else if (a.rfind("--virtual-frame=", 0) == 0) {
            global.virtualFrame = true;
            global.virtualProfile = a.substr(16);
        } else if ((a == "--device" || a == "--language") && i + 1 < argv.size()) {
            (a == "--device" ? global.device.emplace() : global.language) = argv[++i];
        } else if (a.rfind("--device=", 0) == 0) {
            global.device = a.substr(9);
        } else if (a.rfind("--language=", 0) == 0) {
            global.language = a.substr(11);
        } else if (!a.empty() && a[0] == '-') {
            err << "oculant-cli: unknown option " << a << "\n";
            printUsage(err);
            return kExitUsage;
        } else {
            break;
        }
    }
    if (i == argv.size()) {
        printUsage(err);
        return kExitUsage;
    }
    if (global.simulatedTime && !global.virtualFrame) {
        err << "oculant-cli: --simulated-time works only with --virtual-frame\n";
        return kExitUsage;
    }
    const std::string name = argv[i];
    for (const Command& c : kCommands) {
        if (name == c.name) {
            CommandContext ctx{global, {argv.begin() + i + 1, argv.end()}, out, err};
            return c.handler(ctx);
        }
    }
    err << "oculant-cli: unknown command '" << name << "'\n";
    printUsage(err);
    return kExitUsage;
}

int run(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    return run(std::vector<std::string>(argv + 1, argv + argc), out, err);
}

}  // namespace oculant::cli
