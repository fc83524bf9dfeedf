#pragma once
// oculant-cli: the headless front end over the same core as the windows.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace oculant {
struct BackendOptions;
}

namespace oculant::cli {

// Options that come before the command name, shared by every command.
struct GlobalOptions {
    bool virtualFrame = false;
    std::string virtualProfile;       // empty: the built-in default profile
    std::optional<std::string> device;  // --device PATH
    std::string language;             // --language NAME
    // --simulated-time: the virtual frame and the timers run on a simulated clock, as fast as
    // the machine goes (tests and demos; virtual frame only).
    bool simulatedTime = false;
};

// What a command sees: the global options, its own arguments, and where to print.
struct CommandContext {
    GlobalOptions global;
    std::vector<std::string> args;
    std::ostream& out;
    std::ostream& err;
};

// Exit statuses shared by the commands.
enum ExitCode : int { kExitOk = 0, kExitFailed = 1, kExitNoFrame = 2, kExitNoVerdict = 3, kExitUsage = 64 };

int run(int argc, char** argv, std::ostream& out, std::ostream& err);
int run(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err);

// The commands, one file each.
int runList(CommandContext& ctx);
int runCaps(CommandContext& ctx);
int runInfo(CommandContext& ctx);
int runRecord(CommandContext& ctx);
int runDiagnose(CommandContext& ctx);
int runCalibrate(CommandContext& ctx);
int runResetCalibration(CommandContext& ctx);

oculant::BackendOptions backendOptions(const GlobalOptions& global);

// Small helpers for command argument parsing.
bool takeFlag(std::vector<std::string>& args, const std::string& flag);
std::optional<std::string> takeOption(std::vector<std::string>& args, const std::string& name);

}  // namespace oculant::cli
