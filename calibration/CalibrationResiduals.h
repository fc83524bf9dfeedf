#pragma once
// How far the fitted map puts each captured touch from its target: per axis, in screen pixels
// and in millimetres of that axis, with the largest beside the mean the report gives. The same
// measure judges the touches of a verify pass.

#include <vector>

#include "calibration/CalibrationCoefficients.h"
#include "calibration/CalibrationData.h"
#include "calibration/Coordinates.h"
#include "calibration/DisplayDirection.h"

namespace oculant {

// A position or an offset on the screen, in pixels, not truncated.
struct ScreenPixelF {
    double x = 0;
    double y = 0;
};

struct PointResidual {
    ScreenLogical target;      // as the capture screen showed it
    FrameLogical touch;        // the averaged touch the frame reported for it
    ScreenPixelF targetPx;     // the target on the screen
    ScreenPixelF measuredPx;   // where the map puts the touch
    ScreenPixelF offsetPx;     // measured − target
    ScreenPixelF offsetMm;     // the same in millimetres, each axis with its own pitch
    double lengthPx = 0;
    double lengthMm = 0;
};

struct FitResiduals {
    std::vector<PointResidual> points;
    int worst = -1;  // the point with the largest error in millimetres; −1 without points
    double maxErrorPixels = 0;
    double maxErrorMm = 0;
};

// Where k puts a touch on the screen as shown, in logical units. The map is fitted to targets
// turned by the display direction, so its result is turned back; like the mean error, it adds
// the half unit the frame rounds with.
ScreenPixelF mapTouchToScreen(FrameLogical touch, const CalibrationCoefficients& k, DisplayDirection direction);

// Every used point of data (targets as generated, not turned) through k. Millimetres assume, as
// the mean error does, that the screen spans the frame: 32768 logical units are the frame's
// length along the axis that runs under that screen axis.
FitResiduals computeResiduals(const CalibrationData& data, const CalibrationCoefficients& k,
                              DisplayDirection direction, ScreenSize screen, PositionCounts positions);

}  // namespace oculant
