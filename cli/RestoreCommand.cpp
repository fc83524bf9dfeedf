// oculant-cli restore-calibration: the Import button of the calibration group. A calibration
// file (an export, or a set kept before a download) is checked, shown, and downloaded as the
// single-area calibration it holds.
#include <array>
#include <cstring>
#include <ostream>

#include "base/JsonText.h"
#include "calibration/CalibrationExport.h"
#include "calibration/CalibrationFlow.h"
#include "calibration/ParameterBlock.h"
#include "calibration/TextFormat.h"
#include "cli/CalibrationCommands.h"
#include "cli/CalibrationJson.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"

namespace oculant::cli {
namespace {

const char* const kRestoreUsage =
    "usage: oculant-cli restore-calibration FILE.cfg --yes [--json]   (downloads the calibration a file holds)\n";

// Set 0 as the virtual frame's flash holds it after the download.
Json flashSetZero(const FrameTestBench* frame)
{
    if (!frame)
        return nullptr;
    const std::vector<uint8_t> bytes = frame->calibrationAreaBytes();
    if (bytes.size() < ParameterBlock::kSize)
        return nullptr;
    std::array<float, 6> k{};
    for (size_t i = 0; i < k.size(); ++i)
        std::memcpy(&k[i], &bytes[ParameterBlock::kCoefficientsAt + 4 * i], 4);
    CalibrationCoefficients set;
    set.k = k;
    return coefficientsJson(set);
}

std::string coefficientLines(const CalibrationCoefficients& k)
{
    std::string text;
    for (size_t i = 0; i < k.k.size(); ++i)
        text += "K" + formatInt(long(i)) + ": " + formatFixed(k.k[i], 6) + "\n";
    return text;
}

}  // namespace

int runRestoreCalibration(CommandContext& ctx)
{
    const bool yes = ctx.options.has("yes");
    const bool json = ctx.options.has("json");
    if (!yes || ctx.args.size() != 1) {
        ctx.err << kRestoreUsage;
        return kExitUsage;
    }
    const std::string path = ctx.args[0];
    const CalibrationImport file = readCalibrationExport(path);
    if (!file.coefficients) {
        ctx.err << "oculant-cli restore-calibration: " << path << " is refused: " << file.refusal << "\n";
        return kExitFailed;
    }
    std::ostream& notes = json ? ctx.err : ctx.out;
    notes << "Calibration in " << path << ":\n" << coefficientLines(*file.coefficients);

    int exitCode = kExitOk;
    const std::unique_ptr<CalibrationFrame> calibration = CalibrationFrame::open(ctx, "restore-calibration", exitCode);
    if (!calibration)
        return exitCode;
    CliSession* cs = &calibration->session();
    CalibrationFlow& flow = calibration->flow();
    const int writesBefore = areaWritesSoFar(*cs);
    const FlowDownloadStart download = flow.restore(*file.coefficients);
    printMessages(download.messages, notes);
    printKeptNote(download.keptNote, notes);
    std::string keptError = download.keptError;
    DownloadEnd end;
    if (download.started) {
        end = waitForDownload(*cs, flow, writesBefore);
        notes << downloadEndText(end, true) << "\n";
        printKeptNote(end.historyError, notes);
        keptError += end.historyError;
        reportInterruptAfterDownload(ctx, "restore-calibration", end);
    }
    if (!keptError.empty())
        ctx.err << "oculant-cli restore-calibration: warning: " << keptError << "\n";
    const FrameTestBench* frame = cs->testBench();
    const std::optional<bool> crcOk = frame ? frame->calibrationCrcOk() : std::nullopt;
    const Json flash = end.written ? flashSetZero(frame) : Json(nullptr);
    cs->close();

    if (json)
        ctx.out << jsonText(Json{{"file", path},
                                 {"coefficients", coefficientsJson(*file.coefficients)},
                                 {"downloaded", end.written},
                                 {"flashCrcOk", optionalBool(crcOk)},
                                 {"flashCoefficients", flash},
                                 {"kept", download.keptPath.empty() ? Json(nullptr) : Json(download.keptPath)},
                                 {"keptError", keptError.empty() ? Json(nullptr) : Json(keptError)}})
                << "\n";
    if (interrupted.load())
        return kExitInterrupted;
    return end.written ? exitCode : kExitFailed;
}

}  // namespace oculant::cli
