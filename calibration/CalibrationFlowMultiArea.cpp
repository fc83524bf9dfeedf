// The per-area run of CalibrationFlow: one capture and fit per area of the layout, then the
// layout and the area rectangles into the block and one download of all sets together.
#include <sstream>
#include <utility>

#include "calibration/CalibrationFlow.h"
#include "calibration/CalibrationTargets.h"
#include "calibration/TextFormat.h"

namespace oculant {
namespace {

// "A2: " before every line of a window refusal, naming the area as its grid row does.
std::string namedAreaRefusal(int area, const std::string& refusal)
{
    std::istringstream lines(refusal);
    std::string line, named;
    while (std::getline(lines, line))
        named += "A" + formatInt(area + 1) + ": " + line + "\n";
    return named;
}

}  // namespace

FlowStart CalibrationFlow::startMultiArea(const CalibrationGroupTexts& texts, ScreenSize screen,
                                          const MultiAreaLayout& layout, PositionCounts positions)
{
    FlowStart result;
    multiArea_.reset();
    if (const auto refusal = deviceRefusal()) {
        result.messages.push_back(*refusal);
        return result;
    }
    if (layout.areaCount <= 0) {
        result.messages.push_back(kNoAreasToCalibrate);
        return result;
    }
    if (layout.areaCount > ParameterBlock::kMaxAreas) {
        result.messages.push_back(kTooManyAreas);
        return result;
    }
    texts_ = texts;
    screen_ = screen;
    MultiAreaRun run;
    run.layout = layout;
    // Step A once; its report never stops the run.
    const CheckResult margins = readGridAndMargins(texts, screen, lookup_, run.stepA);
    if (!margins.message.empty())
        result.messages.push_back(margins.message);

    // Every area is checked now, so that a bad row is found before the first capture and not
    // after the technician has worked through the areas before it.
    // The layout's own faults name their areas; an area that lies right gets its targets checked.
    std::string refusals = layoutAreaRefusals(layout, words_);
    for (int k = 0; k < layout.areaCount; ++k) {
        const std::string named = "A" + formatInt(k + 1) + ":";
        if (refusals.find(named) != std::string::npos)
            continue;
        std::string refusal;
        CalibrationSettings area = run.stepA;
        if (const auto window = areaCaptureWindow(layout.areas[static_cast<size_t>(k)], &refusal)) {
            area.window = *window;
            refusal = checkTargetRoom(area, screen).message;
            if (refusal.empty())
                refusal = targetSpacingRefusal(area, screen, positions).value_or("");
        }
        if (!refusal.empty())
            refusals += namedAreaRefusal(k, refusal);
    }
    if (!refusals.empty()) {
        result.messages.push_back(refusals);
        return result;
    }
    multiArea_ = std::move(run);
    if (!prepareAreaCapture(0, result.settings, result.messages)) {
        multiArea_.reset();
        return result;
    }
    result.openCapture = true;
    return result;
}

// Step B (which also sets the mask), then the area's display rectangle as the capture window.
bool CalibrationFlow::prepareAreaCapture(int area, CalibrationSettings& settings, FlowMessages& messages)
{
    MultiAreaRun& run = *multiArea_;
    settings = run.stepA;
    const CheckResult window = readCalibrationWindow(texts_, screen_, settings, mask_);
    if (!window.valid) {
        messages.push_back(window.message);
        return false;
    }
    std::string refusal;
    const auto areaWindow = areaCaptureWindow(run.layout.areas[static_cast<size_t>(area)], &refusal);
    if (!areaWindow) {
        messages.push_back(namedAreaRefusal(area, refusal));
        return false;
    }
    settings.window = *areaWindow;
    run.area = area;
    lastSettings_ = settings;
    return true;
}

FlowAreaStep CalibrationFlow::finishAreaCapture(const CalibrationData& capture, PositionCounts positions,
                                                bool chineseReport)
{
    if (!multiArea_)
        return {};
    lastCapture_ = capture;
    MultiAreaRun& run = *multiArea_;
    if (!capture.complete())
        return endMultiArea({});  // cancelled: silent, apart from the areas already fitted

    AreaFitRequest request;
    request.area = run.area;
    request.data = capture;
    request.direction = displayDirectionFromIndex(texts_.direction);
    request.screen = screen_;
    request.positions = positions;
    request.chineseReport = chineseReport;
    request.words = words_;
    const AreaFitResult fit = fitAreaCalibration(request, block_, lookup_);
    if (!fit.ok)
        return endMultiArea({fit.failure});

    run.report += fit.reportLine;
    FlowAreaResult area;
    area.index = run.area;
    area.frameLogical =
        storedAreaRectangle(run.layout.areas[static_cast<size_t>(run.area)].frameLogical, request.direction);
    area.coefficients = block_.coefficients(run.area);
    area.errorPixels = fit.measures.errorPixels;
    area.errorMm = fit.measures.errorMm;
    area.residuals = fit.measures.residuals;
    area.orientation = fit.measures.orientation;
    area.verify = verifySetup(run.area, capture, fit.measures.fitted, request.direction, positions);
    run.results.push_back(area);
    const int next = run.area + 1;
    if (next >= run.layout.areaCount) {
        FlowAreaStep last = finishMultiArea();
        last.fitted = area;
        return last;
    }

    FlowAreaStep step;
    step.fitted = area;
    if (!prepareAreaCapture(next, step.settings, step.messages)) {
        // Step B has shown its own message; the report is not shown after it.
        step.areas = std::move(run.results);
        multiArea_.reset();
        return step;
    }
    step.openCapture = true;
    step.area = next;
    return step;
}

// An early end: the given messages, then the report of the areas fitted so far.
FlowAreaStep CalibrationFlow::endMultiArea(FlowMessages messages)
{
    FlowAreaStep step;
    step.messages = std::move(messages);
    if (!multiArea_->report.empty())
        step.messages.push_back(multiArea_->report);
    step.areas = std::move(multiArea_->results);
    multiArea_.reset();
    return step;
}

// Every area fitted: the multi-area fields of the block, then one download of everything.
FlowAreaStep CalibrationFlow::finishMultiArea()
{
    MultiAreaRun run = std::move(*multiArea_);
    multiArea_.reset();
    FlowAreaStep step;
    step.areas = std::move(run.results);
    step.messages.push_back(
        writeMultiAreaBlock(block_, run.layout, mask_, displayDirectionFromIndex(texts_.direction)));
    FlowDownloadStart download = DownloadParameterBlock();
    step.started = download.started;
    reportShown_ = download.started;
    step.messages.insert(step.messages.end(), download.messages.begin(), download.messages.end());
    step.keptNote = download.keptNote;
    step.keptPath = download.keptPath;
    step.keptError = download.keptError;
    // Without a frame only "PanelUnconnect" follows the message; with a busy worker the report
    // follows why nothing was written (its lines are the fit's errors, they claim no download).
    if (link_.connected() && !run.report.empty())
        step.messages.push_back(run.report);
    return step;
}

}  // namespace oculant
