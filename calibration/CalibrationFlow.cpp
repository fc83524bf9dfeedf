#include "calibration/CalibrationFlow.h"

#include <filesystem>
#include <utility>

#include "calibration/AffineFit.h"
#include "calibration/BlockDownload.h"
#include "calibration/CalibrationExport.h"
#include "calibration/CalibrationLimits.h"
#include "calibration/CalibrationTargets.h"
#include "calibration/DisplayDirection.h"
#include "calibration/ExportFileName.h"
#include "calibration/LenientNumber.h"
#include "i18n/TextKeys.h"

namespace oculant {

CalibrationFlow::CalibrationFlow(CalibrationDeviceLink& link, TextLookup lookup)
    : link_(link), lookup_(std::move(lookup))
{
}

std::optional<std::string> CalibrationFlow::targetSpacingRefusal(const CalibrationSettings& settings, ScreenSize screen,
                                                                PositionCounts positions) const
{
    CalibrationData targets;
    if (!generateTargets(targets, settings, screen))
        return std::nullopt;  // a window without area is step B's to refuse
    return oculant::targetSpacingRefusal(targets, positions, displayDirectionFromIndex(texts_.direction), words_);
}

std::optional<std::string> CalibrationFlow::deviceRefusal() const
{
    const CalibrationArea area{link_.calibrationAreaAddress(), link_.calibrationAreaSize()};
    if (const auto key = calibrationRunRefusalKey(area, link_.modelCode(), link_.connected()))
        return lookup_(*key);
    return std::nullopt;
}

FlowStart CalibrationFlow::start(const CalibrationGroupTexts& texts, ScreenSize screen, PositionCounts positions)
{
    FlowStart result;
    multiArea_.reset();  // a single-area run replaces any multi-area run left unfinished
    if (const auto refusal = deviceRefusal()) {
        result.messages.push_back(*refusal);
        return result;
    }
    texts_ = texts;
    screen_ = screen;
    const CheckResult margins = readGridAndMargins(texts, screen, lookup_, result.settings);
    if (!margins.message.empty())
        result.messages.push_back(margins.message);
    const CheckResult window = readCalibrationWindow(texts, screen, result.settings, mask_);
    if (!window.valid) {
        result.messages.push_back(window.message);
        return result;
    }
    const CheckResult room = checkTargetRoom(result.settings, screen);
    if (!room.valid) {
        result.messages.push_back(room.message);
        return result;
    }
    if (const auto refusal = targetSpacingRefusal(result.settings, screen, positions)) {
        result.messages.push_back(*refusal);
        return result;
    }
    lastSettings_ = result.settings;
    result.openCapture = true;
    return result;
}

FlowDownloadStart CalibrationFlow::finishCapture(const CalibrationData& capture, PositionCounts positions,
                                                 bool chineseReport, FlowFit* fit)
{
    lastCapture_ = capture;
    SingleAreaRequest request;
    request.data = capture;
    request.direction = displayDirectionFromIndex(texts_.direction);
    if (texts_.extension)
        request.extension = ExtensionMm{readLeadingInt(texts_.leftEx), readLeadingInt(texts_.rightEx),
                                        readLeadingInt(texts_.upEx), readLeadingInt(texts_.downEx)};
    request.maskOutside = texts_.maskOutside;
    request.mask = mask_;
    request.screen = screen_;
    request.positions = positions;
    request.chineseReport = chineseReport;
    request.words = words_;

    FlowDownloadStart result;
    const RunResult run = runSingleAreaCalibration(request, block_, lookup_);
    if (!run.ok) {
        if (!run.failure.empty())
            result.messages.push_back(run.failure);
        return result;
    }
    if (fit) {
        const FitMeasures& m = run.measures;
        fit->ok = true;
        fit->coefficients = block_.coefficients(0);
        fit->errorPixels = m.errorPixels;
        fit->errorMm = m.errorMm;
        fit->residuals = m.residuals;
        fit->orientation = m.orientation;
        fit->verify = verifySetup(0, capture, m.fitted, request.direction, positions);
    }
    if (!run.maskMessage.empty())
        result.messages.push_back(run.maskMessage);

    FlowDownloadStart download = DownloadParameterBlock();
    result.started = download.started;
    reportShown_ = download.started;
    result.messages.insert(result.messages.end(), download.messages.begin(), download.messages.end());
    result.keptNote = download.keptNote;
    result.keptPath = download.keptPath;
    result.keptError = download.keptError;
    // The report says "CalibrationFinished": only for a calibration on its way into the frame.
    // Without a frame only "PanelUnconnect" is shown, with a busy worker only why nothing was written.
    if (download.started)
        result.messages.push_back(run.report);
    return result;
}

FlowDownloadStart CalibrationFlow::DownloadParameterBlock()
{
    FlowDownloadStart result;
    const CalibrationArea area{link_.calibrationAreaAddress(), link_.calibrationAreaSize()};
    const std::optional<DownloadImage> image = buildDownloadImage(block_, area);
    if (!link_.connected()) {
        result.messages.push_back(lookup_("PanelUnconnect"));
        return result;
    }
    if (link_.isRecording()) {
        // Nothing would be written, so nothing is kept for the recorded frame's serial either.
        result.messages.push_back(kRecordingText);
        return result;
    }
    if (!image) {
        // An area that cannot hold the block and its CRC word: nothing sensible to write.
        result.messages.push_back(lookup_("FunctionNotValid"));
        return result;
    }
    if (!link_.workerIdle()) {
        result.messages.push_back(kDownloadBusyText);  // the worker is still busy with an earlier transfer
        return result;
    }
    // The frame's flash cannot be read back: what it holds is what this tool last wrote there.
    const std::string serial = link_.serial();
    if (history_) {
        const CalibrationHistory::Kept kept = history_->keepBeforeDownload(serial, clock_());
        result.keptNote = kept.note;
        result.keptPath = kept.path;
        result.keptError = kept.error;
    }
    if (!link_.startBlockWrite(image->length, image->header.data(), image->buffer.data())) {
        result.messages.push_back(kDownloadBusyText);
        return result;
    }
    lastDownload_.assign(image->buffer.begin(), image->buffer.begin() + image->length);
    downloadSerial_ = serial;
    downloadSet_.reset();
    if (!(block_.flags() & ParameterBlock::kFlagMultiArea))
        downloadSet_ = block_.coefficients(0);
    downloading_ = true;
    result.started = true;
    return result;
}

FlowTick CalibrationFlow::downloadTick()
{
    FlowTick result;
    if (!downloading_)
        return result;
    const DownloadTick tick = downloadProgressTick(link_.workerIdle(), link_.blockSent(), link_.blockTotal(),
                                                   reportShown_, lookup_);
    result.statusText = tick.statusText;
    if (tick.finished) {
        downloading_ = false;
        result.finished = true;
        result.aborted = tick.aborted;
        result.messageBox = tick.messageBox;
        if (history_ && !tick.aborted)
            result.historyError = history_->recordWritten(downloadSerial_, downloadSet_);
        link_.requestRunAndRefresh();
    }
    return result;
}

std::pair<std::string, std::string> CalibrationFlow::resetConfirmation() const
{
    return {lookup_("ResetDlgCap"), lookup_("ResetConfirm1") + "\n" + lookup_("ResetConfirm2")};
}

FlowDownloadStart CalibrationFlow::reset()
{
    FlowDownloadStart result;
    // Only the model is checked here; a missing frame is found by the download, after the
    // block in memory has been reset.
    const CalibrationArea area{link_.calibrationAreaAddress(), link_.calibrationAreaSize()};
    if (const auto key = calibrationRunRefusalKey(area, link_.modelCode(), true)) {
        result.messages.push_back(lookup_(*key));
        return result;
    }
    block_ = ParameterBlock::resetImage();
    FlowDownloadStart download = DownloadParameterBlock();
    if (download.started)
        reportShown_ = false;  // the end of the download shows "DownloadFinish"
    return download;
}

FlowDownloadStart CalibrationFlow::restore(const CalibrationCoefficients& k)
{
    FlowDownloadStart result;
    if (const auto refusal = deviceRefusal()) {
        result.messages.push_back(*refusal);
        return result;
    }
    if (const auto reason = implausibleMapReason(k, words_)) {
        result.messages.push_back(fillIn(textOf(words_, textkeys::calwords::kMapImplausible), {*reason}));
        return result;
    }
    multiArea_.reset();
    block_.setCoefficients(0, k);
    block_.writeFixedHeader();
    block_.setFlags((block_.flags() | ParameterBlock::kFlagCalibrated) &
                    ~(ParameterBlock::kFlagMaskOutside | ParameterBlock::kFlagMultiArea));
    FlowDownloadStart download = DownloadParameterBlock();
    if (download.started)
        reportShown_ = false;  // the end of the download shows "DownloadFinish"
    return download;
}

void CalibrationFlow::keepReplacedSetsIn(std::string folder, std::function<std::time_t()> now, TextLookupOr words)
{
    if (words)
        words_ = words;
    if (folder.empty()) {
        history_.reset();
    } else {
        history_.emplace(std::move(folder));
        history_->setWords(std::move(words));
    }
    clock_ = std::move(now);
}

VerifySetup CalibrationFlow::verifySetup(int area, const CalibrationData& capture, const CalibrationCoefficients& fitted,
                                         DisplayDirection direction, PositionCounts positions) const
{
    VerifySetup v;
    v.area = area;
    v.settings = lastSettings_;
    v.calibration = capture;
    v.coefficients = fitted;
    v.direction = direction;
    v.screen = screen_;
    v.positions = positions;
    return v;
}

std::optional<std::string> CalibrationFlow::exportRefusal() const
{
    if (const auto key = exportRefusalKey(lastCapture_))
        return lookup_(*key);
    return std::nullopt;
}

std::string CalibrationFlow::exportPath(const std::string& chosen)
{
    return exportFileName(chosen, kCalibrationExportExtension);
}

std::pair<std::string, std::string> CalibrationFlow::overwriteConfirmation() const
{
    return {lookup_("ConfirmOverwrite2"), lookup_("ConfirmOverwrite1")};
}

std::optional<std::string> CalibrationFlow::exportTo(const std::string& path) const
{
    if (const auto key = writeCalibrationExport(path, block_.coefficients(0)))
        return lookup_(*key);
    return std::nullopt;
}

}  // namespace oculant
