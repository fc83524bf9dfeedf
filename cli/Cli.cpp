#include "cli/Cli.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>

#include "backends/virtual/VirtualFrameProfile.h"
#include "base/FileIo.h"
#include "cli/InfoCommand.h"
#include "session/BackendSet.h"

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
    {"caps", "caps FILE|/dev/hidrawN [--json] HID capabilities of a report descriptor, or of every device of a recording", runCaps},
    {"info", "info [--json]                 what the frame says about itself, as the Status group shows it", runInfo},
    {"diagnose", "diagnose [--sweep] [--timeout S] [--json]  emitter/receiver test, PASS or FAIL", runDiagnose},
    {"record", "record --seconds S [--dir DIR] [--signal]  record the signal into an AD log", runRecord},
    {"log", "log FILE [--compare BASE [--max-drop PERCENT]] [--x-boards N,...] [--y-boards N,...] [--json]  what an AD log holds; each element's level against another log", runLog},
    {"calibrate", "calibrate [--layout FILE] [--grid CxR] [--aux|--no-aux] [--screen WxH] [--margins L,R,U,D] [--window X,Y,W,H] [--mask] [--direction 0..3] [--extension L,R,D,U] [--verify N [--verify-limit-mm X]] [--retake-limit-mm X] [--export FILE] [--json]  single-area calibration, or one per area of a layout file, a virtual finger on each target", runCalibrate},
    {"reset-calibration", "reset-calibration --yes        put the frame's calibration back to the identity", runResetCalibration},
    {"restore-calibration", "restore-calibration FILE.cfg --yes [--json]  download the calibration an export file (or a kept one) holds", runRestoreCalibration},
    {"capture", "capture --out FILE [--seconds S] [--mode 0|1|3|4]  record the frame's HID traffic into a capture file", runCapture},
    {"test", "test [--plan FILE] [--serial S] [--station NAME] [--operator NAME] [--db URL] [--db-timeout S] [--junit FILE] [--attach-dir DIR] [--sweep] [--json]  run a test plan on the frame and keep its test record", runTest},
    {"results", "results [summary|export] [--db URL] [--serial S] [--station N] [--since DATE] [--until DATE] [--outcome PASS|FAIL|ERROR] [--limit N] [--json|--csv]  test records, newest first, the yield per station and day, or every record as JSON lines; results import FILE|- stores them; results sync [--db URL] sends spooled records; results migrate updates the schema", runResults},
    {"udev-probe", "udev-probe PATH               ID_OCULANT_FRAME=1 when a report descriptor (file or hidraw sysfs folder) is a frame's (for the udev rule)", runUdevProbe},
};

void printUsage(std::ostream& out)
{
    out << "usage: oculant-cli [--virtual-frame[=PROFILE]] [--replay FILE[:N] [--replay-speed X]] [--capture FILE] "
           "[--simulated-time] [--device PATH] [--language NAME] [--verbose] COMMAND [ARGS]\n"
           "       oculant-cli --version | --help | COMMAND --help\n\ncommands:\n";
    for (const Command& c : kCommands)
        out << "  " << c.synopsis << "\n";
    out << "\n--simulated-time runs the virtual frame on a simulated clock, as fast as the machine goes.\n";
    out << "--verbose says on standard error whether the thread that reads the frame got real-time scheduling.\n";
    out << "\n--virtual-frame adds the built-in virtual frame (virtual:0), with the default or the "
           "given profile file.\n";
    out << "--replay plays a capture file back as the device replay:FILE (X times as fast), FILE:N device N of a "
           "recording of several; --capture records the traffic of the command's frame into FILE.\n";
}

// "--name VALUE" or "--name=VALUE" at argv[i]; advances i past a separate value.
std::optional<std::string> optionValue(const std::vector<std::string>& argv, size_t& i, const std::string& name)
{
    if (argv[i] == name && i + 1 < argv.size())
        return argv[++i];
    if (argv[i].rfind(name + "=", 0) == 0)
        return argv[i].substr(name.size() + 1);
    return std::nullopt;
}

bool parseReplaySpeed(const std::string& text, double& speed)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(v > 0) || v > 1000)
        return false;
    speed = v;
    return true;
}

// With --capture, a command that ran without writing its capture file has failed.
int reportCapture(const GlobalOptions& global, int status, std::ostream& err)
{
    const CaptureOutcome& c = *global.capture;
    if (c.written)
        return status;
    err << "oculant-cli: no capture written to " << global.captureFile << ": "
        << (c.attempted ? c.error : std::string("the command opened no frame")) << "\n";
    return status == kExitOk ? kExitFailed : status;
}


}  // namespace

BackendOptions backendOptions(const GlobalOptions& global)
{
    BackendOptions o;
    o.virtualFrame = global.virtualFrame;
    o.virtualProfile = global.virtualProfile;
    if (global.profile)
        o.loadedProfile = *global.profile;
    o.replayFile = global.replayFile;
    o.replaySpeed = global.replaySpeed;
    o.record = !global.captureFile.empty();
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

namespace {

// COMMAND --help (or -h) among the command's arguments, before any "--": its usage on standard
// output, and nothing of the command run.
bool printedCommandHelp(const Command& c, const std::vector<std::string>& args, std::ostream& out)
{
    for (const std::string& a : args) {
        if (a == "--")
            return false;
        if (a == "--help" || a == "-h") {
            const std::string synopsis = c.synopsis;
            // The synopsis, then its description after the run of spaces (or the two spaces
            // after the last option) that separates them.
            size_t gap = synopsis.find("   ");
            if (gap == std::string::npos)
                gap = synopsis.rfind("  ");
            out << "usage: oculant-cli [GLOBAL OPTIONS] " << synopsis.substr(0, gap) << "\n";
            if (gap != std::string::npos)
                out << "\n" << synopsis.substr(synopsis.find_first_not_of(' ', gap)) << "\n";
            out << "\nThe global options: oculant-cli --help.\n";
            return true;
        }
    }
    return false;
}

const Command* commandNamed(const std::string& name)
{
    for (const Command& c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

}  // namespace

int run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err)
{
    // The udev rule's call, "udev-probe PATH", goes straight to its command: whatever the global
    // options come to do at start, none of it may run inside udev's event handling.
    if (!argv.empty() && argv[0] == "udev-probe") {
        const std::vector<std::string> args(argv.begin() + 1, argv.end());
        if (args.size() == 1 && printedCommandHelp(*commandNamed("udev-probe"), args, out))
            return kExitOk;
        CommandContext ctx{GlobalOptions{}, args, out, err};
        return runUdevProbe(ctx);
    }
    GlobalOptions global;
    size_t i = 0;
    for (; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a == "-h" || a == "--help") {
            printUsage(out);
            return kExitOk;
        } else if (a == "--version" || a == "-V") {
            out << "oculant-cli " << OCULANT_VERSION << "\n";
            return kExitOk;
        } else if (a == "--simulated-time") {
            global.simulatedTime = true;
        } else if (a == "--verbose") {
            global.verbose = true;
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
        } else if (const std::optional<std::string> v = optionValue(argv, i, "--replay")) {
            global.replayFile = *v;
        } else if (const std::optional<std::string> v = optionValue(argv, i, "--capture")) {
            global.captureFile = *v;
        } else if (const std::optional<std::string> v = optionValue(argv, i, "--replay-speed")) {
            if (!parseReplaySpeed(*v, global.replaySpeed)) {
                err << "oculant-cli: --replay-speed wants a number above 0 (at most 1000), not '" << *v << "'\n";
                return kExitUsage;
            }
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
    if (global.simulatedTime && !global.virtualFrame && global.replayFile.empty()) {
        err << "oculant-cli: --simulated-time works only with --virtual-frame or --replay\n";
        return kExitUsage;
    }
    // The language file beside the program may be missing (the texts fall back); anything but a
    // file in its place is refused before it is waited on.
    std::string languageError;
    ReadFailure languageFailure = ReadFailure::None;
    const int language = openFileForReading(languageFileBesideProgram(), &languageError, &languageFailure);
    if (language >= 0) {
        ::close(language);
    } else if (languageFailure != ReadFailure::Missing) {
        err << "oculant-cli: language file refused: " << languageError << "\n";
        return kExitFailed;
    }
    if (global.virtualFrame && !global.virtualProfile.empty()) {
        ProfileResult loaded = loadVirtualFrameProfile(global.virtualProfile);
        if (!loaded.ok) {
            err << "oculant-cli: profile refused: " << loaded.error << "\n";
            return kExitUsage;
        }
        global.profile = std::make_shared<const VirtualFrameProfile>(std::move(loaded.profile));
    }
    const std::string name = argv[i];
    if (const Command* c = commandNamed(name)) {
        CommandContext ctx{global, {argv.begin() + i + 1, argv.end()}, out, err};
        if (printedCommandHelp(*c, ctx.args, out))
            return kExitOk;
        const int status = c->handler(ctx);
        return global.captureFile.empty() ? status : reportCapture(global, status, err);
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
