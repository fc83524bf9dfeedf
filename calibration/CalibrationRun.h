#pragma once
// What a calibration run computes once the captures are in: the fit per area, the error
// report, and the fields of the parameter block. The window around it checks the device, runs
// steps A and B, opens the capture screen, shows the texts returned here and starts the download.

#include <optional>
#include <string>

#include "calibration/CalibrationData.h"
#include "calibration/CalibrationResiduals.h"
#include "calibration/Coordinates.h"
#include "calibration/DisplayDirection.h"
#include "calibration/MultiAreaLayout.h"
#include "calibration/OrientationCheck.h"
#include "calibration/ParameterBlock.h"
#include "calibration/TextLookup.h"
#include "calibration/TouchAreaExtension.h"

namespace oculant {

struct SingleAreaRequest {
    CalibrationData data;                   // the capture, targets as generated
    DisplayDirection direction = DisplayDirection::Landscape;
    std::optional<ExtensionMm> extension;   // set when the extension is checked
    bool maskOutside = false;               // CheckBoxArea
    MaskRectangle mask;                     // from the last step C
    ScreenSize screen;
    PositionCounts positions;
    bool chineseReport = false;
    TextLookupOr words;  // the refusal of a map no frame could have
};

// How well a fit matches its capture: the fit before any extension, its mean error, each
// target's residual and the orientation it shows.
struct FitMeasures {
    CalibrationCoefficients fitted;
    float errorPixels = 0;
    float errorMm = 0;
    FitResiduals residuals;
    Orientation orientation;
};

// capture with its targets as generated; k fitted to them turned by direction.
FitMeasures measureFit(const CalibrationData& capture, const CalibrationCoefficients& k, DisplayDirection direction,
                       ScreenSize screen, PositionCounts positions);

struct RunResult {
    bool ok = false;
    std::string failure;      // to show when !ok; empty for a cancelled capture
    std::string maskMessage;  // to show at once, before the download, when not empty
    std::string report;       // to show after the download was attempted
    FitMeasures measures;
};

// The single-area run after its capture: fit set 0 (error measured before any extension),
// extension, report (the mean, then the largest error and the orientation), flags and mask. On failure the block is not changed. An extension that
// cannot be computed (no position counts yet) fails like a fit, and so does a map no frame could
// have (implausibleMapReason: the touches did not come from the targets shown).
RunResult runSingleAreaCalibration(const SingleAreaRequest& request, ParameterBlock& block,
                                   const TextLookup& lookup);

// The capture window of one area: its display rectangle in pixels. An area without width or
// height is refused with the window message of step B.
std::optional<CalibrationWindow> areaCaptureWindow(const AreaRecord& area, std::string* message);

struct AreaFitRequest {
    int area = 0;  // coefficient set
    CalibrationData data;
    DisplayDirection direction = DisplayDirection::Landscape;
    ScreenSize screen;
    PositionCounts positions;
    bool chineseReport = false;
    TextLookupOr words;
};

struct AreaFitResult {
    bool ok = false;
    std::string failure;     // "CalibrationFalied" text when the fit fails
    std::string reportLine;  // to append to the run's report on success
    FitMeasures measures;    // the figures of the report line
};

// One area of a multi-area run: fit into the area's set; no extension.
AreaFitResult fitAreaCalibration(const AreaFitRequest& request, ParameterBlock& block,
                                 const TextLookup& lookup);

// An area's frame rectangle as the block stores it: the display direction applied to both
// corners, then the corners ordered so that x0 <= x1 and y0 <= y1.
FrameRect storedAreaRectangle(const FrameRect& rect, DisplayDirection direction);

// After every area succeeded: flags, mask, layout and the area rectangles (direction applied,
// corners ordered). Returns the message listing the touch range and each stored rectangle.
std::string writeMultiAreaBlock(ParameterBlock& block, const MultiAreaLayout& layout,
                                const MaskRectangle& mask, DisplayDirection direction);

}  // namespace oculant
