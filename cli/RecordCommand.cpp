// oculant-cli record: stream the signal and record it into an AD log, as Record Data does.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/SignalRecording.h"

namespace oculant::cli {

namespace {

// One line per layer of the current signal: what a technician looks at first.
void printSignalSummary(const SignalStore& store, std::ostream& out)
{
    for (int row = 0; row < store.layerCount(); ++row) {
        const auto r = store.row(kPlaneCurrent, row);
        const bool xLayer = row < store.bX();
        const int layer = xLayer ? row : row - store.bX();
        const int offset = store.rowOffset(row);
        int lo = 255, hi = 0, beams = 0;
        long sum = 0;
        for (size_t p = 0; p < r.size(); ++p) {
            if (!layerHasBeam(int(p), offset, int(r.size())))
                continue;
            lo = std::min<int>(lo, r[p]);
            hi = std::max<int>(hi, r[p]);
            sum += r[p];
            ++beams;
        }
        char line[128];
        std::snprintf(line, sizeof line, "%c%-2d offset %+3d  beams %4d  min %3d  mean %5.1f  max %3d\n",
                      xLayer ? 'X' : 'Y', layer, offset, beams, beams ? lo : 0, beams ? double(sum) / beams : 0.0,
                      beams ? hi : 0);
        out << line;
    }
}

}  // namespace

int runRecord(CommandContext& ctx)
{
    const std::optional<std::string> seconds = takeOption(ctx.args, "--seconds");
    const std::string dir = takeOption(ctx.args, "--dir").value_or(".");
    const bool summary = takeFlag(ctx.args, "--signal");
    if (!seconds || !ctx.args.empty()) {
        ctx.err << "usage: oculant-cli record --seconds S [--dir DIR] [--signal]\n";
        return kExitUsage;
    }
    char* end = nullptr;
    const double s = std::strtod(seconds->c_str(), &end);
    if (*end != '\0' || !(s > 0) || s > 24 * 3600) {
        ctx.err << "oculant-cli record: --seconds wants a number of seconds above 0, not '" << *seconds << "'\n";
        return kExitUsage;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        ctx.err << "oculant-cli record: " << dir << " is not a folder\n";
        return kExitFailed;
    }

    int exitCode = kExitOk;
    std::unique_ptr<CliSession> cs = CliSession::openConnected(ctx, "record", exitCode, dir);
    if (!cs)
        return exitCode;
    const FramesLost lostBefore = cs->framesLost();
    recordSignal(*cs, int(s * 1000));
    const FramesLost lost = cs->framesLost() - lostBefore;
    cs->close();

    const AdLogRecorder& rec = cs->processor().recorder();
    if (rec.path().empty()) {
        const std::string& failure = cs->logError();
        ctx.err << "oculant-cli record: no log was written" << (failure.empty() ? " (no signal frame arrived)" : ": " + failure) << "\n";
        return kExitFailed;
    }
    ctx.out << rec.path() << "\n" << rec.framesWritten() << " frames\n";
    if (rec.framesNotWritten() > 0)
        ctx.out << rec.framesNotWritten() << " frames not written (the disk did not keep up)\n";
    if (lost.total() > 0)
        ctx.out << lost.total() << " frames lost (" << lost.link << " on the link, " << lost.rings << " in the rings, "
                << lost.refused << " refused)\n";
    if (summary)
        printSignalSummary(cs->store(), ctx.out);
    if (!cs->logError().empty()) {
        ctx.err << "oculant-cli record: " << cs->logError() << "\n";
        return kExitFailed;
    }
    // The frame sent frames that never reached the log: the log is not the stream.
    if (lost.total() > 0) {
        ctx.err << "oculant-cli record: " << lost.total() << " frames of the stream were lost before the log\n";
        return kExitFailed;
    }
    // The recording went on, but the log lacks frames that arrived: not a success.
    if (rec.framesNotWritten() > 0) {
        ctx.err << "oculant-cli record: the log lacks " << rec.framesNotWritten()
                << " of the frames that arrived: the disk did not keep up\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace oculant::cli
