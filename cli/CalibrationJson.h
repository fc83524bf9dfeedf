#pragma once
// The JSON of a calibration's results, shared by calibrate and restore-calibration.

#include <nlohmann/json_fwd.hpp>
#include <optional>

#include "calibration/CalibrationCoefficients.h"
#include "calibration/CalibrationResiduals.h"
#include "calibration/OrientationCheck.h"
#include "calibration/VerifyPass.h"

namespace oculant::cli {

using Json = nlohmann::ordered_json;

Json coefficientsJson(const CalibrationCoefficients& coefficients);
Json optionalBool(std::optional<bool> v);

// "points" (target [x, y] px, touch [x, y] frame logical, residualPx and residualMm [x, y]),
// "maxErrorPixels", "maxErrorMm" into an object.
void addResiduals(Json& object, const FitResiduals& residuals);
// mirroredX, mirroredY, swappedXY, rotationDeg, advice.
Json orientationJson(const Orientation& orientation, DisplayDirection chosen);
// points (target, measured, errorPx, errorMm), maxErrorMm, meanErrorMm, limitMm, completed, passed.
Json verifyJson(const VerifyResult& result);

}  // namespace oculant::cli
