#pragma once
// What the capture screen shows once a capture is fitted: an arrow per target, the summary of
// the fit, and what its Verify button needs for a verify pass of that fit.

#include <string>

#include "calibration/CalibrationResiduals.h"
#include "calibration/VerifyPass.h"

namespace oculant {

struct CaptureResultView {
    FitResiduals residuals;
    std::string summary;  // lines: mean and largest error, what the orientation check found
    VerifySetup verify;
    VerifyOptions options;
    bool chinese = false;
};

}  // namespace oculant
