// oculant-cli capture: record the frame's HID traffic into a capture file that --replay (and the
// common Linux HID replay tools) can play back.
#include <cstdlib>
#include <cstdio>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliSession.h"

namespace oculant::cli {

namespace {

constexpr const char* kUsage = "usage: oculant-cli capture --out FILE [--seconds S] [--mode 0|1|3|4]\n";

// The working mode to switch to before recording, as the windows would.
void sendMode(DeviceSession& session, int mode)
{
    switch (mode) {
    case 0: session.sendModeStop(); break;
    case 3: session.sendModeTouch(); break;
    default:
        // As Signal View and Record Data: a stopped frame is asked to run before it streams.
        if (session.records().runState() != 1)
            session.talk().SendCommand(protocol::kCmdRun);
        session.sendModeStream(uint8_t(mode));
        break;
    }
}

}  // namespace

int runCapture(CommandContext& ctx)
{
    const std::optional<std::string> file = ctx.options.value("out");
    const std::string seconds = ctx.options.value("seconds").value_or("10");
    const std::optional<std::string> modeText = ctx.options.value("mode");
    if (!file || file->empty() || !ctx.args.empty()) {
        ctx.err << kUsage;
        return kExitUsage;
    }
    char* end = nullptr;
    const double s = std::strtod(seconds.c_str(), &end);
    if (*end != '\0' || !(s > 0) || s > 24 * 3600) {
        ctx.err << "oculant-cli capture: --seconds wants a number of seconds above 0, not '" << seconds << "'\n";
        return kExitUsage;
    }
    int mode = -1;
    if (modeText) {
        if (*modeText != "0" && *modeText != "1" && *modeText != "3" && *modeText != "4") {
            ctx.err << "oculant-cli capture: --mode wants 0, 1, 3 or 4, not '" << *modeText << "'\n";
            return kExitUsage;
        }
        mode = std::atoi(modeText->c_str());
    }
    if (!ctx.global.captureFile.empty()) {
        ctx.err << "oculant-cli capture: the file is given by --out; --capture is for the other commands\n";
        return kExitUsage;
    }
    ctx.global.captureFile = *file;

    int exitCode = kExitOk;
    std::unique_ptr<CliSession> cs = CliSession::openConnected(ctx, "capture", exitCode);
    if (!cs)
        return exitCode;
    const QuillonDevice* current = cs->session().talk().currentDevice();
    const std::string device = current ? current->path : "";
    if (mode >= 0)
        sendMode(cs->session(), mode);
    cs->runFor(int(s * 1000));
    cs->close();  // mode 0 goes out, then the file is written

    const CaptureOutcome& outcome = *ctx.global.capture;
    if (!outcome.written) {
        ctx.err << "oculant-cli capture: " << *file << ": " << outcome.error << "\n";
        return kExitFailed;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%zu input reports, %zu sent, %.3f s of %s\n", outcome.inputReports,
                  outcome.outputReports, outcome.seconds, device.c_str());
    ctx.out << *file << "\n" << line;
    return kExitOk;
}

}  // namespace oculant::cli
