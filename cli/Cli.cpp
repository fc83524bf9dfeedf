#include "cli/Cli.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>

#include "backends/virtual/VirtualFrameProfile.h"
#include "base/FileIo.h"
#include "cli/CommandTable.h"
#include "cli/InfoCommand.h"
#include "session/BackendSet.h"

namespace oculant::cli {
namespace {

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

namespace {

// COMMAND's operands and options, parsed against its table (a subcommand's when one is named
// right after it); the help, or the refusal of an option, instead of the command when it
// comes to that. False: the command is not to run, status says why.
bool parseCommand(const CommandSpec*& command, std::string& fullName, std::vector<std::string> args,
                  ParsedArguments& parsed, std::ostream& out, std::ostream& err, int& status)
{
    if (!args.empty())
        if (const CommandSpec* sub = subcommandNamed(*command, args.front())) {
            command = sub;
            fullName += " " + sub->name;
            args.erase(args.begin());
        }
    parsed = parseArguments(command->options, args);
    if (parsed.error) {
        err << optionRefusal("oculant-cli " + fullName, *parsed.error);
        status = kExitUsage;
        return false;
    }
    if (parsed.options.has("help")) {
        out << commandHelp(*command, fullName);
        status = kExitOk;
        return false;
    }
    return true;
}

}  // namespace

int run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err)
{
    // The udev rule's call, "udev-probe PATH", goes straight to its command: whatever the global
    // options come to do at start, none of it may run inside udev's event handling.
    if (!argv.empty() && argv[0] == "udev-probe") {
        const std::vector<std::string> args(argv.begin() + 1, argv.end());
        const CommandSpec& probe = *commandNamed("udev-probe");
        if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
            out << commandHelp(probe, probe.name);
            return kExitOk;
        }
        return runUdevProbeWords(args, out, err);
    }
    const ParsedArguments globals = parseArguments(globalOptionTable(), argv, true);
    if (globals.error) {
        err << optionRefusal("oculant-cli", *globals.error);
        return kExitUsage;
    }
    const ParsedOptions& g = globals.options;
    if (g.has("help")) {
        out << programHelp();
        return kExitOk;
    }
    if (g.has("version")) {
        out << "oculant-cli " << OCULANT_VERSION << "\n";
        return kExitOk;
    }
    if (g.has("bash-completion")) {
        out << bashCompletionScript();
        return kExitOk;
    }
    GlobalOptions global;
    global.simulatedTime = g.has("simulated-time");
    global.verbose = g.has("verbose");
    global.virtualFrame = g.has("virtual-frame");
    global.virtualProfile = g.value("virtual-frame").value_or("");
    global.device = g.value("device");
    global.language = g.value("language").value_or("");
    global.replayFile = g.value("replay").value_or("");
    global.captureFile = g.value("capture").value_or("");
    for (const std::string& speed : g.values("replay-speed"))
        if (!parseReplaySpeed(speed, global.replaySpeed)) {
            err << "oculant-cli: --replay-speed wants a number above 0 (at most 1000), not '" << speed << "'\n";
            return kExitUsage;
        }
    if (globals.next == argv.size()) {
        err << "oculant-cli: which command? Try 'oculant-cli --help' for the commands.\n";
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
    const std::string name = argv[globals.next];
    const CommandSpec* command = commandNamed(name);
    if (!command) {
        err << "oculant-cli: unknown command '" << name << "'\nTry 'oculant-cli --help' for the commands.\n";
        return kExitUsage;
    }
    std::string fullName = command->name;
    ParsedArguments parsed;
    int status = kExitOk;
    if (!parseCommand(command, fullName, {argv.begin() + long(globals.next) + 1, argv.end()}, parsed, out, err, status))
        return status;
    CommandContext ctx{global, parsed.operands, out, err, parsed.options};
    status = command->handler(ctx);
    return global.captureFile.empty() ? status : reportCapture(global, status, err);
}

int run(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    return run(std::vector<std::string>(argv + 1, argv + argc), out, err);
}

}  // namespace oculant::cli
