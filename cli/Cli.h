#pragma once
// oculant-cli: the headless front end over the same core as the windows.

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/OptionTable.h"

namespace oculant {
struct BackendOptions;
struct VirtualFrameProfile;
}

namespace oculant::cli {

// What a command's session did with --capture FILE.
struct CaptureOutcome {
    bool attempted = false;  // a session closed and tried to write the file
    bool written = false;
    std::string error;
    size_t inputReports = 0, outputReports = 0;
    double seconds = 0;
};

// Options that come before the command name, shared by every command.
struct GlobalOptions {
    bool virtualFrame = false;
    std::string virtualProfile;       // empty: the built-in default profile
    std::shared_ptr<const VirtualFrameProfile> profile;  // read from virtualProfile before the command
    std::optional<std::string> device;  // --device PATH
    std::string language;             // --language NAME
    // --simulated-time: the virtual frame and the timers run on a simulated clock, as fast as
    // the machine goes (tests and demos; virtual frame only).
    bool simulatedTime = false;
    // --verbose: also say how the session runs (the worker thread's scheduling).
    bool verbose = false;
    // --replay FILE [--replay-speed X]: play a capture file back as the device replay:FILE.
    std::string replayFile;
    double replaySpeed = 1.0;
    // --capture FILE: record the connected device's traffic into a capture file when the
    // command's session closes. The outcome is shared by every copy of these options.
    std::string captureFile;
    std::shared_ptr<CaptureOutcome> capture = std::make_shared<CaptureOutcome>();
};

// What a command sees: the global options, its operands (what is not an option, in order),
// where to print, and its own options as its table declares them.
struct CommandContext {
    GlobalOptions global;
    std::vector<std::string> args;
    std::ostream& out;
    std::ostream& err;
    ParsedOptions options;
};

// Exit statuses shared by the commands.
// A test station's ERROR (a phase that could not run) is status 3, as a diagnosis without a verdict.
// kExitVerifyFailed: calibrate's verify pass failed after a download that completed (the new
// calibration is in the frame); a download that failed is kExitFailed.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,
    kExitNoFrame = 2,
    kExitNoVerdict = 3,
    kExitError = 3,
    kExitVerifyFailed = 4,
    kExitUsage = 64,
    kExitInterrupted = 130,  // Ctrl-C (SIGINT) or SIGTERM, as a shell reports a command killed by SIGINT
};

int run(int argc, char** argv, std::ostream& out, std::ostream& err);
int run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);

// The commands, one file each.
int runList(CommandContext& ctx);
int runCaps(CommandContext& ctx);
int runInfo(CommandContext& ctx);
int runRecord(CommandContext& ctx);
int runLog(CommandContext& ctx);
int runDiagnose(CommandContext& ctx);
int runCalibrate(CommandContext& ctx);
int runResetCalibration(CommandContext& ctx);
int runRestoreCalibration(CommandContext& ctx);
int runCapture(CommandContext& ctx);
int runUdevProbe(CommandContext& ctx);
// udev-probe as the udev rule calls it: the words after the command's name as they came.
int runUdevProbeWords(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);
int runTest(CommandContext& ctx);
int runResults(CommandContext& ctx);
int runResultsSummary(CommandContext& ctx);
int runResultsExport(CommandContext& ctx);
int runResultsReport(CommandContext& ctx);
int runResultsImport(CommandContext& ctx);
int runResultsSync(CommandContext& ctx);
int runResultsMigrate(CommandContext& ctx);

oculant::BackendOptions backendOptions(const GlobalOptions& global);

}  // namespace oculant::cli
