// oculant-cli calibrate and reset-calibration: the Start and Reset buttons of the calibration
// group (and, with --layout, the multi-area window's Start), with a virtual finger held on each
// target of the capture screen, and with --verify the verify pass of the capture screen's result.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <sstream>

#include "base/JsonText.h"
#include "calibration/BlockDownload.h"
#include "calibration/CalibrationFlow.h"
#include "calibration/CalibrationLimits.h"
#include "calibration/CalibrationReport.h"
#include "calibration/CaptureSession.h"
#include "calibration/LayoutFile.h"
#include "cli/CalibrationJson.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/CalibrationCommands.h"
#include "cli/InfoCommand.h"
#include "cli/VirtualCapture.h"

namespace oculant::cli {

namespace {

const char* const kCalibrateUsage =
    "usage: oculant-cli --virtual-frame[=PROFILE] calibrate [--grid CxR] [--aux|--no-aux] [--screen WxH] "
    "[--margins L,R,U,D] [--window X,Y,W,H] [--mask] [--direction 0..3] [--extension L,R,D,U] "
    "[--verify N [--verify-limit-mm X]] [--retake-limit-mm X] [--export FILE] [--json]\n"
    "       oculant-cli --virtual-frame[=PROFILE] calibrate --layout FILE [--screen WxH] [--direction 0..3] "
    "[--grid CxR] [--aux|--no-aux] [--margins L,R,U,D] [--window X,Y,W,H] [--mask] "
    "[--verify N [--verify-limit-mm X]] [--retake-limit-mm X] [--export FILE] [--json]\n";

// "A,B,C,D" (or "AxB") into n texts; false when the count differs or a part is empty.
bool splitList(const std::string& text, char separator, size_t n, std::vector<std::string>& parts)
{
    parts.clear();
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, separator)) {
        if (part.empty())
            return false;
        parts.push_back(part);
    }
    return parts.size() == n;
}

bool positiveInt(const std::string& text, int& value)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v <= 0 || v > 100000)
        return false;
    value = int(v);
    return true;
}

struct CalibrateOptions {
    ScreenSize screen{1920, 1080};
    CalibrationGroupTexts texts;
    std::optional<std::string> exportFile;
    std::optional<std::string> layoutFile;  // a multi-area run over this layout
    std::optional<VerifyOptions> verify;    // a verify pass after the download
    double retakeLimitMm = CaptureSession::kDefaultMisplacedLimitMm;  // 0: every touch is taken as it lands
    bool json = false;
};

// --verify N (5..61 fresh targets) and --verify-limit-mm X (a positive number of millimetres).
bool parseVerifyOptions(const ParsedOptions& given, CalibrateOptions& o, std::ostream& err)
{
    const auto count = given.value("verify");
    const auto limit = given.value("verify-limit-mm");
    if (!count) {
        if (limit)
            err << "oculant-cli calibrate: --verify-limit-mm goes with --verify N\n";
        return !limit;
    }
    VerifyOptions v;
    if (!positiveInt(*count, v.count) || v.count < kMinVerifyPoints || v.count > kMaxVerifyPoints) {
        err << "oculant-cli calibrate: --verify wants " << kMinVerifyPoints << " to " << kMaxVerifyPoints
            << " targets (the centre and near each corner at least), not '" << *count << "'\n";
        return false;
    }
    if (limit) {
        char* end = nullptr;
        v.limitMm = std::strtod(limit->c_str(), &end);
        if (limit->empty() || *end != '\0' || !(v.limitMm > 0) || !std::isfinite(v.limitMm)) {
            err << "oculant-cli calibrate: --verify-limit-mm wants a positive number of millimetres, not '" << *limit
                << "'\n";
            return false;
        }
    }
    o.verify = v;
    return true;
}

// Fills the group's texts as a technician would type them; the flow validates them.
bool parseCalibrateOptions(const ParsedOptions& given, CalibrateOptions& o, std::ostream& err)
{
    std::vector<std::string> parts;
    o.json = given.has("json");
    if (const auto screen = given.value("screen")) {
        if (!splitList(*screen, 'x', 2, parts) || !positiveInt(parts[0], o.screen.width) ||
            !positiveInt(parts[1], o.screen.height)) {
            err << "oculant-cli calibrate: --screen wants WxH in pixels, not '" << *screen << "'\n";
            return false;
        }
    }
    o.texts = calibrationGroupOnShow(o.screen);
    CalibrationGroupTexts& t = o.texts;
    if (const auto grid = given.value("grid")) {
        int columns = 0, rows = 0;
        if (!splitList(*grid, 'x', 2, parts) || !positiveInt(parts[0], columns) || !positiveInt(parts[1], rows) ||
            columns < kMinGridCount || columns > kMaxGridCount || rows < kMinGridCount || rows > kMaxGridCount) {
            err << "oculant-cli calibrate: --grid wants CxR with " << kMinGridCount << " to " << kMaxGridCount
                << " columns and rows (what the capture screen shows), not '" << *grid << "'\n";
            return false;
        }
        t.gridX = parts[0];
        t.gridY = parts[1];
    }
    const bool aux = given.has("aux");
    const bool noAux = given.has("no-aux");
    if (aux && noAux) {
        err << "oculant-cli calibrate: --aux and --no-aux exclude each other\n";
        return false;
    }
    t.auxPoints = !noAux;
    if (const auto margins = given.value("margins")) {
        if (!splitList(*margins, ',', 4, parts)) {
            err << "oculant-cli calibrate: --margins wants L,R,U,D\n";
            return false;
        }
        t.marginLeft = parts[0], t.marginRight = parts[1], t.marginUp = parts[2], t.marginDown = parts[3];
    }
    if (const auto window = given.value("window")) {
        if (!splitList(*window, ',', 4, parts)) {
            err << "oculant-cli calibrate: --window wants X,Y,W,H\n";
            return false;
        }
        t.windowCalib = true;
        t.offsetX = parts[0], t.offsetY = parts[1], t.width = parts[2], t.height = parts[3];
    }
    t.maskOutside = given.has("mask");
    if (const auto direction = given.value("direction")) {
        if (direction->size() != 1 || (*direction)[0] < '0' || (*direction)[0] > '3') {
            err << "oculant-cli calibrate: --direction wants 0, 1, 2 or 3\n";
            return false;
        }
        t.direction = (*direction)[0] - '0';
    }
    if (const auto extension = given.value("extension")) {
        if (!splitList(*extension, ',', 4, parts)) {
            err << "oculant-cli calibrate: --extension wants L,R,D,U in millimetres\n";
            return false;
        }
        t.extension = true;
        t.leftEx = parts[0], t.rightEx = parts[1], t.downEx = parts[2], t.upEx = parts[3];
    }
    if (const auto limit = given.value("retake-limit-mm")) {
        char* end = nullptr;
        o.retakeLimitMm = std::strtod(limit->c_str(), &end);
        if (limit->empty() || *end != '\0' || !(o.retakeLimitMm >= 0) || !std::isfinite(o.retakeLimitMm)) {
            err << "oculant-cli calibrate: --retake-limit-mm wants a number of millimetres (0: no retakes), not '"
                << *limit << "'\n";
            return false;
        }
    }
    o.exportFile = given.value("export");
    o.layoutFile = given.value("layout");
    if (!parseVerifyOptions(given, o, err))
        return false;
    if (o.layoutFile && t.extension) {
        err << "oculant-cli calibrate: --extension does not apply to a multi-area run (--layout)\n";
        return false;
    }
    return true;
}

PositionCounts positionCounts(CliSession& cs)
{
    return receiverPositionCounts(cs.store(), cs.session().records().boards);
}

// --export: set 0 into the file; on failure says why and sets the exit code.
std::optional<std::string> exportSetZero(const CalibrationFlow& flow, const std::optional<std::string>& file,
                                         std::ostream& err, int& exitCode)
{
    if (!file)
        return std::nullopt;
    if (const auto refusal = flow.exportRefusal()) {
        err << *refusal << "\n";
        exitCode = kExitFailed;
        return std::nullopt;
    }
    // No overwrite question here: naming the file on the command line is the answer.
    const std::string path = CalibrationFlow::exportPath(*file);
    if (const auto failure = flow.exportTo(path)) {
        err << *failure << ": " << path << "\n";
        exitCode = kExitFailed;
        return std::nullopt;
    }
    return path;
}

Json rectJson(const FrameRect& r)
{
    return Json::array({r.x0, r.y0, r.x1, r.y1});
}

// The layout file read as the multi-area window's Import reads it, but with no window texts to
// fall back on: every value must come from the file. On failure says why.
std::optional<LayoutTexts> readLayoutFile(const std::string& path, std::ostream& err)
{
    const std::string prefix = "oculant-cli calibrate: layout file '" + path + "': ";
    LayoutTexts texts;
    const LayoutFileResult imported = importLayoutFile(path, texts);
    if (!imported.ok) {
        err << prefix
            << (imported.message == kTooManyAreas ? "more areas than the grid holds" : "cannot be read: " + imported.reason)
            << "\n";
        return std::nullopt;
    }
    if (texts.rows.empty()) {
        err << prefix << "declares no areas ([Layout] areas)\n";
        return std::nullopt;
    }
    if (texts.rows.size() > size_t(kMaxRefreshAreas)) {
        err << prefix << kTooManyAreas;  // what Refresh says
        return std::nullopt;
    }
    const auto isEmpty = [](const std::string& text) { return text.empty(); };
    if (std::any_of(texts.edits.begin(), texts.edits.end(), isEmpty)) {
        err << prefix << "[Layout] lacks one of touchx, touchy, dispx, dispy, dispxoff, dispyoff\n";
        return std::nullopt;
    }
    for (size_t row = 0; row < texts.rows.size(); ++row) {
        if (std::any_of(texts.rows[row].begin(), texts.rows[row].end(), isEmpty)) {
            err << prefix << "[Area" << row + 1 << "] lacks one of its eight values\n";
            return std::nullopt;
        }
    }
    return texts;
}

// Refresh against the capture window of step B, as Start does. Sizes that are not positive
// would put every area at 0 (or at infinity): refused here as bad input.
std::optional<MultiAreaLayout> refreshedLayout(LayoutTexts& texts, const CalibrationWindow& window,
                                               const std::string& path, std::ostream& err)
{
    const LayoutRefresh refresh = refreshLayout(texts, window.width, window.height);
    const std::string prefix = "oculant-cli calibrate: layout file '" + path + "': ";
    if (!refresh.accepted) {
        err << prefix << refresh.message;
        return std::nullopt;
    }
    const MultiAreaLayout& l = refresh.layout;
    if (!(l.frameWidth > 0 && l.frameHeight > 0 && l.displayWidth > 0 && l.displayHeight > 0)) {
        err << prefix << "the frame and display sizes must be positive\n";
        return std::nullopt;
    }
    return refresh.layout;
}

// The frame's own copy of the multi-area fields, read back from its flash after the download.
Json flashAreasJson(const FrameTestBench& frame)
{
    const std::vector<uint8_t> bytes = frame.calibrationAreaBytes();
    if (bytes.size() < ParameterBlock::kSize)
        return nullptr;
    const auto u32 = [&](size_t at) {
        return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8 | uint32_t{bytes[at + 2]} << 16 |
               uint32_t{bytes[at + 3]} << 24;
    };
    const auto count = static_cast<int32_t>(u32(ParameterBlock::kAreaCountAt));
    Json rects = Json::array();
    for (int k = 0; k < std::clamp(count, 0, ParameterBlock::kMaxAreas); ++k) {
        const size_t at = ParameterBlock::kAreasAt + ParameterBlock::kAreaStride * size_t(k);
        rects.push_back(rectJson({int32_t(u32(at)), int32_t(u32(at + 4)), int32_t(u32(at + 8)), int32_t(u32(at + 12))}));
    }
    return Json{{"flags", u32(ParameterBlock::kFlagsAt)}, {"areaCount", count}, {"areas", rects}};
}

// The pass after a download that completed: fresh targets through the fit of one area (set 0
// for a single area). The text goes with the notes; a failed pass fails the command.
std::optional<VerifyResult> verifyAfterDownload(CliSession& cs, const CalibrateOptions& o, const VerifySetup& setup,
                                                bool downloaded, const std::string& areaLabel, bool chinese,
                                                std::ostream& notes, int& exitCode)
{
    if (!o.verify || !downloaded)
        return std::nullopt;
    VirtualTargetCapture capture(cs);
    const VerifyResult result = runVerifyPass(setup, *o.verify, capture);
    notes << verifyReport(result, areaLabel, chinese);
    if (!result.passed && exitCode == kExitOk)
        exitCode = kExitVerifyFailed;
    return result;
}

// The way back could not be kept or recorded: the calibration is written all the same, but the
// technician must know, on standard error whatever the output.
std::string keptWarning(CommandContext& ctx, const std::string& error)
{
    if (error.empty())
        return {};
    ctx.err << "oculant-cli calibrate: warning: " << error << "\n";
    return error + "\n";
}

std::string joined(const FlowMessages& messages)
{
    std::string text;
    for (const std::string& m : messages)
        text += m + (m.empty() || m.back() != '\n' ? "\n" : "");
    return text;
}

// A run that ended before its download: with --json the reason as JSON too, so that a script
// reading standard output never gets nothing.
int failedRun(CommandContext& ctx, const CalibrateOptions& o, const std::string& reason, int exitCode = kExitFailed)
{
    if (o.json)
        ctx.out << jsonText(Json{{"error", reason}, {"downloaded", false}, {"kept", nullptr}, {"export", nullptr}})
                << "\n";
    return exitCode;
}

Json verifyOrNull(const std::optional<VerifyResult>& result)
{
    return result ? verifyJson(*result) : Json(nullptr);
}

Json textOrNull(const std::string& text)
{
    return text.empty() ? Json(nullptr) : Json(text);
}

// The calibration's figures in the JSON of a single area and of every area of a layout, with
// how often each point was taken again.
void addFit(Json& object, const FitResiduals& residuals, const Orientation& orientation, DisplayDirection direction,
            const std::vector<int>& retakes)
{
    addResiduals(object, residuals);
    Json& points = object["points"];
    for (size_t i = 0; i < points.size(); ++i)
        points[i]["retakes"] = i < retakes.size() ? retakes[i] : 0;
    object["orientation"] = orientationJson(orientation, direction);
}

// calibrate --layout: the multi-area window's Start, one capture per area, one download.
int runLayoutCalibrate(CommandContext& ctx, CalibrateOptions& o)
{
    std::optional<LayoutTexts> texts = readLayoutFile(*o.layoutFile, ctx.err);
    if (!texts)
        return kExitUsage;
    std::ostream& notes = o.json ? ctx.err : ctx.out;
    // Start's own step B gives the window the layout is refreshed against.
    CalibrationSettings stepB;
    MaskRectangle mask;
    const CheckResult window = readCalibrationWindow(o.texts, o.screen, stepB, mask);
    if (!window.valid) {
        notes << window.message;
        return failedRun(ctx, o, window.message);
    }
    const std::optional<MultiAreaLayout> layout = refreshedLayout(*texts, stepB.window, *o.layoutFile, ctx.err);
    if (!layout)
        return kExitUsage;

    int exitCode = kExitOk;
    const std::unique_ptr<CalibrationFrame> calibration = CalibrationFrame::open(ctx, "calibrate", exitCode);
    if (!calibration)
        return failedRun(ctx, o, exitCode == kExitInterrupted ? "interrupted: nothing was written to the frame"
                                                              : "no frame could be connected (see standard error)",
                         exitCode);
    CliSession* cs = &calibration->session();
    CalibrationFlow& flow = calibration->flow();
    const bool chinese = calibration->chineseReport();

    const FlowStart start = flow.startMultiArea(o.texts, o.screen, *layout, positionCounts(*cs));
    printMessages(start.messages, notes);
    if (!start.openCapture)
        return failedRun(ctx, o, joined(start.messages));
    CalibrationSettings settings = start.settings;
    int area = 0;
    FlowAreaStep step;
    std::vector<std::vector<int>> retakes;
    int writesBefore = 0;
    for (;;) {
        CaptureJudging judging{o.retakeLimitMm, positionCounts(*cs), &retakes.emplace_back(), &notes};
        const CalibrationData capture = runCapture(*cs, settings, o.screen, judging);
        if (interruptedBeforeDownload(ctx, "calibrate"))
            return failedRun(ctx, o, "interrupted: nothing was written to the frame", kExitInterrupted);
        if (!capture.complete())
            ctx.err << "oculant-cli calibrate: the capture of area A" << area + 1 << " did not complete\n";
        writesBefore = areaWritesSoFar(*cs);  // the last area's capture starts the download
        step = flow.finishAreaCapture(capture, positionCounts(*cs), chinese);
        if (!step.openCapture)
            break;
        settings = step.settings;
        area = step.area;
    }
    printMessages(step.messages, notes);
    printKeptNote(step.keptNote, notes);
    std::string keptError = keptWarning(ctx, step.keptError);
    const bool allAreas = step.areas.size() == size_t(layout->areaCount);

    bool downloaded = false;
    if (step.started) {
        const DownloadEnd end = waitForDownload(*cs, flow, writesBefore);
        notes << downloadEndText(end, false) << "\n";
        printKeptNote(end.historyError, notes);
        keptError += keptWarning(ctx, end.historyError);
        downloaded = end.written;
        reportInterruptAfterDownload(ctx, "calibrate", end);
    }
    std::vector<std::optional<VerifyResult>> verified;
    for (const FlowAreaResult& r : step.areas)
        verified.push_back(verifyAfterDownload(*cs, o, r.verify, downloaded, "A" + std::to_string(r.index + 1),
                                               chinese, notes, exitCode));
    // A run that ended early leaves set 0 of no finished calibration: nothing to export.
    const std::optional<std::string> exported =
        allAreas ? exportSetZero(flow, o.exportFile, ctx.err, exitCode) : std::nullopt;
    FrameTestBench& frame = *cs->testBench();
    const std::optional<bool> crcOk = frame.calibrationCrcOk();
    const Json flash = downloaded ? flashAreasJson(frame) : nullptr;
    cs->close();

    if (o.json) {
        const DisplayDirection direction = displayDirectionFromIndex(o.texts.direction);
        Json areas = Json::array();
        for (size_t i = 0; i < step.areas.size(); ++i) {
            const FlowAreaResult& r = step.areas[i];
            Json a{{"index", r.index},
                   {"frameLogical", rectJson(r.frameLogical)},
                   {"coefficients", coefficientsJson(r.coefficients)},
                   {"errorPixels", r.errorPixels},
                   {"errorMm", r.errorMm}};
            addFit(a, r.residuals, r.orientation, direction, i < retakes.size() ? retakes[i] : std::vector<int>{});
            a["verify"] = verifyOrNull(verified[i]);
            areas.push_back(a);
        }
        ctx.out << jsonText(Json{{"areas", areas},
                                 {"downloaded", downloaded},
                                 {"flashCrcOk", optionalBool(crcOk)},
                                 {"flash", flash},
                                 {"kept", textOrNull(step.keptPath)},
                                 {"keptError", textOrNull(keptError)},
                                 {"export", exported ? Json(*exported) : nullptr}})
                << "\n";
    } else if (exported) {
        ctx.out << "exported to " << *exported << "\n";
    }
    if (interrupted.load())
        return kExitInterrupted;
    return allAreas && downloaded ? exitCode : kExitFailed;
}

}  // namespace

int runCalibrate(CommandContext& ctx)
{
    CalibrateOptions o;
    if (!ctx.args.empty()) {
        ctx.err << "oculant-cli calibrate: unexpected argument '" << ctx.args.front() << "'\n" << kCalibrateUsage;
        return kExitUsage;
    }
    if (!parseCalibrateOptions(ctx.options, o, ctx.err)) {
        ctx.err << kCalibrateUsage;
        return kExitUsage;
    }
    if (!ctx.global.virtualFrame) {
        ctx.err << "oculant-cli calibrate: the targets are touched by a virtual finger: use --virtual-frame\n";
        return kExitUsage;
    }
    if (o.layoutFile)
        return runLayoutCalibrate(ctx, o);
    std::ostream& notes = o.json ? ctx.err : ctx.out;

    int exitCode = kExitOk;
    const std::unique_ptr<CalibrationFrame> calibration = CalibrationFrame::open(ctx, "calibrate", exitCode);
    if (!calibration)
        return failedRun(ctx, o, exitCode == kExitInterrupted ? "interrupted: nothing was written to the frame"
                                                              : "no frame could be connected (see standard error)",
                         exitCode);
    CliSession* cs = &calibration->session();
    CalibrationFlow& flow = calibration->flow();
    const bool chinese = calibration->chineseReport();

    const FlowStart start = flow.start(o.texts, o.screen, positionCounts(*cs));
    printMessages(start.messages, notes);
    if (!start.openCapture)
        return failedRun(ctx, o, joined(start.messages));
    std::vector<int> retakes;
    const CalibrationData capture =
        runCapture(*cs, start.settings, o.screen, {o.retakeLimitMm, positionCounts(*cs), &retakes, &notes});
    if (interruptedBeforeDownload(ctx, "calibrate"))
        return failedRun(ctx, o, "interrupted: nothing was written to the frame", kExitInterrupted);
    if (!capture.complete()) {
        const std::string reason = "the capture did not complete";
        ctx.err << "oculant-cli calibrate: " << reason << "\n";
        return failedRun(ctx, o, reason);
    }
    FlowFit fit;
    const int writesBefore = areaWritesSoFar(*cs);
    const FlowDownloadStart download = flow.finishCapture(capture, positionCounts(*cs), chinese, &fit);
    printMessages(download.messages, notes);
    if (!fit.ok)
        return failedRun(ctx, o, joined(download.messages));
    notes << residualTable(fit.residuals, chinese);
    printKeptNote(download.keptNote, notes);
    std::string keptError = keptWarning(ctx, download.keptError);

    bool downloaded = false;
    if (download.started) {
        const DownloadEnd end = waitForDownload(*cs, flow, writesBefore);
        notes << downloadEndText(end, false) << "\n";
        printKeptNote(end.historyError, notes);
        keptError += keptWarning(ctx, end.historyError);
        downloaded = end.written;
        reportInterruptAfterDownload(ctx, "calibrate", end);
    }
    const std::optional<VerifyResult> verified =
        verifyAfterDownload(*cs, o, fit.verify, downloaded, "", chinese, notes, exitCode);

    const std::optional<std::string> exported = exportSetZero(flow, o.exportFile, ctx.err, exitCode);
    const std::optional<bool> crcOk = cs->testBench()->calibrationCrcOk();
    cs->close();

    if (o.json) {
        Json j{{"coefficients", coefficientsJson(fit.coefficients)},
               {"errorPixels", fit.errorPixels},
               {"errorMm", fit.errorMm}};
        addFit(j, fit.residuals, fit.orientation, displayDirectionFromIndex(o.texts.direction), retakes);
        j["verify"] = verifyOrNull(verified);
        j["downloaded"] = downloaded;
        j["flashCrcOk"] = optionalBool(crcOk);
        j["kept"] = textOrNull(download.keptPath);
        j["keptError"] = textOrNull(keptError);
        j["export"] = exported ? Json(*exported) : nullptr;
        ctx.out << jsonText(j) << "\n";
    } else if (exported) {
        ctx.out << "exported to " << *exported << "\n";
    }
    if (!downloaded)
        exitCode = kExitFailed;  // a failed download outranks a verify pass that never ran
    if (interrupted.load())
        exitCode = kExitInterrupted;
    return exitCode;
}

int runResetCalibration(CommandContext& ctx)
{
    const bool yes = ctx.options.has("yes");
    if (!yes || !ctx.args.empty()) {
        ctx.err << "usage: oculant-cli reset-calibration --yes   (puts the frame's calibration back to the identity)\n";
        return kExitUsage;
    }
    int exitCode = kExitOk;
    const std::unique_ptr<CalibrationFrame> calibration = CalibrationFrame::open(ctx, "reset-calibration", exitCode);
    if (!calibration)
        return exitCode;
    CliSession* cs = &calibration->session();
    CalibrationFlow& flow = calibration->flow();
    const int writesBefore = areaWritesSoFar(*cs);
    const FlowDownloadStart download = flow.reset();
    printMessages(download.messages, ctx.out);
    printKeptNote(download.keptNote, ctx.out);
    if (!download.started)
        return kExitFailed;
    const DownloadEnd end = waitForDownload(*cs, flow, writesBefore);
    ctx.out << downloadEndText(end, true) << "\n";
    printKeptNote(end.historyError, ctx.out);
    reportInterruptAfterDownload(ctx, "reset-calibration", end);
    cs->close();
    if (interrupted.load())
        return kExitInterrupted;
    return end.written ? exitCode : kExitFailed;
}

}  // namespace oculant::cli
