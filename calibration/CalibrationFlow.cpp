#include "calibration/CalibrationFlow.h"

#include <filesystem>
#include <utility>

#include "calibration/AffineFit.h"
#include "calibration/BlockDownload.h"
#include "calibration/CalibrationExport.h"
#include "calibration/CalibrationTargets.h"
#include "calibration/DisplayDirection.h"
#include "calibration/ExportFileName.h"
#include "calibration/LenientNumber.h"

namespace oculant {

CalibrationFlow::CalibrationFlow(CalibrationDeviceLink& link, TextLookup lookup)
    : link_(link), lookup_(std::move(lookup))
{
}

std::optional<std::string> CalibrationFlow::deviceRefusal() const
{
    const CalibrationArea area{link_.calibrationAreaAddress(), link_.calibrationAreaSize()};
    if (const auto key = calibrationRunRefusalKey(area, link_.modelCode(), link_.connected()))
        return lookup_(*key);
    return std::nullopt;
}

FlowStart CalibrationFlow::start(const CalibrationGroupTexts& texts, ScreenSize screen)
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
    result.openCapture = true;
    return result;
}

namespace {

// The figures the report gives, for callers that show them apart (the CLI's JSON): the error
// is measured with the fit before any extension, as the report does.
FlowFit measuredFit(const SingleAreaRequest& request, const CalibrationCoefficients& stored)
{
    FlowFit fit;
    CalibrationData data = request.data;
    TransformTargets(data, request.direction);
    CalibrationCoefficients k;
    if (!FitAffine(data, k))
        return fit;
    fit.ok = true;
    fit.coefficients = stored;
    fit.errorPixels = PixelError(data, k, request.screen);
    fit.errorMm = PixelsToMillimetres(fit.errorPixels, request.positions.x, request.screen.width);
    return fit;
}

}  // namespace

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

    FlowDownloadStart result;
    const RunResult run = runSingleAreaCalibration(request, block_, lookup_);
    if (!run.ok) {
        if (!run.failure.empty())
            result.messages.push_back(run.failure);
        return result;
    }
    if (fit)
        *fit = measuredFit(request, block_.coefficients(0));
    if (!run.maskMessage.empty())
        result.messages.push_back(run.maskMessage);

    FlowDownloadStart download = DownloadParameterBlock();
    result.started = download.started;
    reportShown_ = download.started;
    result.messages.insert(result.messages.end(), download.messages.begin(), download.messages.end());
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
    if (!image) {
        // An area that cannot hold the block and its CRC word: nothing sensible to write.
        result.messages.push_back(lookup_("FunctionNotValid"));
        return result;
    }
    if (!link_.startBlockWrite(image->length, image->header.data(), image->buffer.data())) {
        result.messages.push_back(kDownloadBusyText);  // the worker is still busy with an earlier transfer
        return result;
    }
    lastDownload_.assign(image->buffer.begin(), image->buffer.begin() + image->length);
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
