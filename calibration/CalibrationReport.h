#pragma once
// The texts that report a calibration: the coefficients with the mean error after a single-area
// run, one line per area after a multi-area run, and the touch range sent to the frame.

#include <string>

#include "calibration/CalibrationCoefficients.h"
#include "calibration/CalibrationResiduals.h"
#include "calibration/Coordinates.h"
#include "calibration/OrientationCheck.h"

namespace oculant {

// A mean error above this many millimetres adds the advice to calibrate again.
inline constexpr float kLargeErrorMm = 3.0f;

// finishedText is the language text of "CalibrationFinished"; the rest is built-in wording,
// Chinese or English.
std::string singleAreaReport(const std::string& finishedText, const CalibrationCoefficients& k,
                             float errorPixels, float errorMm, bool chinese);

// One area's part of the multi-area report; area counts from 0.
std::string areaReportLine(int area, float errorPixels, float errorMm, bool chinese);

// The lines after the mean error: the largest error and the target it belongs to (counting
// from 1, in the order the targets were touched), then what the orientation check found.
// Begins with a line break when the report before it does not end with one.
std::string fitDetailLines(const std::string& reportSoFar, const FitResiduals& residuals,
                           const Orientation& orientation, DisplayDirection direction, bool chinese);

// The capture screen's summary of a fit: the mean error, then fitDetailLines.
std::string fitSummary(float errorPixels, float errorMm, const FitResiduals& residuals,
                       const Orientation& orientation, DisplayDirection direction, bool chinese);

// A line per target: where it was shown, the touch the frame reported for it and its residual
// per axis in pixels and millimetres; the largest is marked.
std::string residualTable(const FitResiduals& residuals, bool chinese);

// "触摸坐标范围：(x0,y0) to (x1,y1)", the same in every language; the multi-area run ends it with
// a line break.
std::string touchRangeMessage(const MaskRectangle& mask);

// "k: x0=…, y0=…, x1=…, y1=…\n" for an area rectangle as stored in the block.
std::string areaRectangleLine(int area, const FrameRect& rect);

}  // namespace oculant
