#pragma once
// The grid of targets inside the calibration window, in the order they are touched.

#include "calibration/CalibrationData.h"
#include "calibration/CalibrationSettings.h"

namespace oculant {

// Takes the grid from the settings clamped to 2..6, places the targets column by column, left to right, each column top
// to bottom followed by the centres of the cells to its right (when auxPoints is on), and sets
// count. Only the targets are written; status and the touch positions are left alone.
// Returns false, changing nothing, when the screen or the window has no area.
bool generateTargets(CalibrationData& data, const CalibrationSettings& settings, ScreenSize screen);

// Refuses a window whose margins leave the targets of a row or of a column on one line or in
// reversed order (the step between two columns or rows under one logical unit): the capture
// would show one target over another and its fit could only fail. Checked before the capture
// opens, after step B has set the window; every setting that yields distinct, ordered columns
// and rows passes. The message names the margins of each axis without room, in the order x, y.
CheckResult checkTargetRoom(const CalibrationSettings& settings, ScreenSize screen);

}  // namespace oculant
