#include "calibration/CalibrationRun.h"

#include <algorithm>
#include <utility>

#include "calibration/AffineFit.h"
#include "calibration/CalibrationLimits.h"
#include "calibration/CalibrationReport.h"
#include "calibration/CalibrationSettings.h"
#include "i18n/TextKeys.h"

namespace oculant {
namespace {

std::optional<std::string> implausibleFit(const CalibrationCoefficients& k, const TextLookupOr& words)
{
    if (const auto reason = implausibleMapReason(k, words))
        return fillIn(textOf(words, textkeys::calwords::kMapImplausible), {*reason});
    return std::nullopt;
}

}  // namespace

FrameRect storedAreaRectangle(const FrameRect& rect, DisplayDirection direction)
{
    const FrameLogical a = applyDisplayDirection(FrameLogical{rect.x0, rect.y0}, direction);
    const FrameLogical b = applyDisplayDirection(FrameLogical{rect.x1, rect.y1}, direction);
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

FitMeasures measureFit(const CalibrationData& capture, const CalibrationCoefficients& k, DisplayDirection direction,
                       ScreenSize screen, PositionCounts positions)
{
    CalibrationData turned = capture;
    TransformTargets(turned, direction);
    FitMeasures m;
    m.fitted = k;
    m.errorPixels = PixelError(turned, k, screen);
    m.errorMm = PixelsToMillimetres(m.errorPixels, positions.x, screen.width);
    m.residuals = computeResiduals(capture, k, direction, screen, positions);
    m.orientation = checkOrientation(k);
    return m;
}

RunResult runSingleAreaCalibration(const SingleAreaRequest& request, ParameterBlock& block,
                                   const TextLookup& lookup)
{
    RunResult result;
    if (!request.data.complete())
        return result;  // cancelled capture: silent

    CalibrationData data = request.data;
    TransformTargets(data, request.direction);
    CalibrationCoefficients k;
    if (!FitAffine(data, k)) {
        result.failure = lookup("CalibrationFalied");
        return result;
    }
    if (const auto refusal = implausibleFit(k, request.words)) {
        result.failure = *refusal;
        return result;
    }
    const FitMeasures measures = measureFit(request.data, k, request.direction, request.screen, request.positions);
    const float errorPixels = measures.errorPixels;
    const float errorMm = measures.errorMm;
    if (request.extension && !ApplyExtension(k, *request.extension, request.positions.x, request.positions.y)) {
        result.failure = lookup("CalibrationFalied");
        return result;
    }

    block.setCoefficients(0, k);
    uint32_t flags = (block.flags() | ParameterBlock::kFlagCalibrated) & ~ParameterBlock::kFlagMultiArea;
    block.writeFixedHeader();
    if (request.maskOutside) {
        flags |= ParameterBlock::kFlagMaskOutside;
        block.setMask(request.mask);
        result.maskMessage = touchRangeMessage(request.mask);
    } else {
        flags &= ~ParameterBlock::kFlagMaskOutside;
    }
    block.setFlags(flags);

    result.ok = true;
    result.report = singleAreaReport(lookup("CalibrationFinished"), k, errorPixels, errorMm,
                                     request.chineseReport);
    result.report += fitDetailLines(result.report, measures.residuals, measures.orientation, request.direction,
                                    request.chineseReport);
    result.measures = measures;
    return result;
}

std::optional<CalibrationWindow> areaCaptureWindow(const AreaRecord& area, std::string* message)
{
    const PixelRect& r = area.displayPixels;
    const CalibrationWindow window{r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0};
    std::string refusal;
    if (window.width <= 0)
        refusal += kWindowWidthOutOfRange;
    if (window.height <= 0)
        refusal += kWindowHeightOutOfRange;
    if (!refusal.empty()) {
        if (message)
            *message = std::move(refusal);
        return std::nullopt;
    }
    return window;
}

AreaFitResult fitAreaCalibration(const AreaFitRequest& request, ParameterBlock& block,
                                 const TextLookup& lookup)
{
    AreaFitResult result;
    CalibrationData data = request.data;
    TransformTargets(data, request.direction);
    CalibrationCoefficients k;
    if (request.area < 0 || request.area >= ParameterBlock::kCoefficientSets || !FitAffine(data, k)) {
        result.failure = lookup("CalibrationFalied");
        return result;
    }
    if (const auto refusal = implausibleFit(k, request.words)) {
        result.failure = *refusal;
        return result;
    }
    block.setCoefficients(request.area, k);
    result.measures = measureFit(request.data, k, request.direction, request.screen, request.positions);
    result.ok = true;
    result.reportLine = areaReportLine(request.area, result.measures.errorPixels, result.measures.errorMm,
                                       request.chineseReport);
    result.reportLine += fitDetailLines(result.reportLine, result.measures.residuals, result.measures.orientation,
                                        request.direction, request.chineseReport);
    return result;
}

std::string writeMultiAreaBlock(ParameterBlock& block, const MultiAreaLayout& layout,
                                const MaskRectangle& mask, DisplayDirection direction)
{
    uint32_t flags = block.flags() | ParameterBlock::kFlagCalibrated;
    block.writeFixedHeader();
    block.setMask(mask);
    std::string message = touchRangeMessage(mask) + "\n";
    flags = (flags & ~ParameterBlock::kFlagMaskOutside) | ParameterBlock::kFlagMultiArea;
    block.setFlags(flags);
    block.setLayout(layout);
    const int areas = std::clamp(layout.areaCount, 0, ParameterBlock::kMaxAreas);
    for (int k = 0; k < areas; ++k) {
        const FrameRect stored = storedAreaRectangle(layout.areas[static_cast<size_t>(k)].frameLogical, direction);
        block.setAreaRectangle(k, stored);
        message += areaRectangleLine(k, stored);
    }
    return message;
}

}  // namespace oculant
