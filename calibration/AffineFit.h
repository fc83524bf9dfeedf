#pragma once
// The least-squares affine fit of the captured touches to their targets, and the measures of
// how well it fits.

#include "calibration/CalibrationCoefficients.h"
#include "calibration/CalibrationData.h"
#include "calibration/Coordinates.h"

namespace oculant {

// Fits K from the used points (touch → target). Fails, leaving out unchanged, with fewer than
// three points, a determinant below 0.0001, a zero Σx or Σy, or any coefficient that is not a
// finite float.
bool FitAffine(const CalibrationData& data, CalibrationCoefficients& out);

// The mean distance in screen pixels between each target and where K maps its touch.
// 0 when there are no points.
float PixelError(const CalibrationData& data, const CalibrationCoefficients& k, ScreenSize screen);

// A pixel error in millimetres, from the frame's X position count (positions 5.969 mm apart as
// used here) and the screen width; both axes use the X figures. 0 for a screen without width.
float PixelsToMillimetres(float error, int positionsX, int screenWidth);

// The frame's length along one axis in whole millimetres, as the millimetre error takes it:
// positions 5.969 mm apart, truncated.
int32_t frameSpanMm(int positions);

}  // namespace oculant
