// oculant-cli record: stream the signal and record it into an AD log, as Record Data does.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <span>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/SignalRecording.h"
#include "protocol/SignalFrameLayout.h"

namespace oculant::cli {

namespace {

// The levels of the last live scan, row by row (X layers of nX, then Y layers of nY): the
// store's current plane, or for family 0x00, whose live scans the store does not keep, the
// scan itself as it went into the log.
class LastScan {
public:
    void take(const uint8_t* frame, uint32_t length)
    {
        FrameHeader h;
        if (parseFrameHeader(frame, length, h) != HeaderStatus::Ok || h.family() != kFamilyShortHeader ||
            h.type() != kTypeLiveScan)
            return;
        const size_t start = 11 + 2 * size_t(h.offsetCount());
        if (start + h.sampleBlockLength() >= length)
            return;
        header_ = h;
        samples_.assign(frame + start, frame + start + h.sampleBlockLength());
    }
    bool held() const { return !samples_.empty(); }
    std::span<const uint8_t> row(int r) const
    {
        const size_t n = r < header_.bX ? header_.nX : header_.nY;
        const size_t at = r < header_.bX ? size_t(r) * header_.nX
                                         : size_t(header_.bX) * header_.nX + size_t(r - header_.bX) * header_.nY;
        return {samples_.data() + at, n};
    }

private:
    FrameHeader header_;
    std::vector<uint8_t> samples_;
};

// One line per layer of the current signal: what a technician looks at first.
void printSignalSummary(const SignalStore& store, const LastScan& shortScan, std::ostream& out)
{
    const bool fromScan = !store.liveScansCarryLevels() && shortScan.held();
    for (int row = 0; row < store.layerCount(); ++row) {
        const std::span<const uint8_t> r = fromScan ? shortScan.row(row) : store.row(kPlaneCurrent, row);
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
    const std::optional<std::string> seconds = ctx.options.value("seconds");
    const std::string dir = ctx.options.value("dir").value_or(".");
    const bool summary = ctx.options.has("signal");
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
    LastScan shortScan;
    if (summary)
        cs->core().addFrameObserver(
            [&shortScan](const uint8_t* data, uint32_t length, const FrameResult&) { shortScan.take(data, length); });
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
        printSignalSummary(cs->store(), shortScan, ctx.out);
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
