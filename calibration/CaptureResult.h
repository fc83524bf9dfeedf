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

// The largest error the result screen shows (the verify pass's once it completed, the fit's
// before) is beyond the verify limit: the screen warns in red before the technician closes it.
inline double largestShownErrorMm(const CaptureResultView& view, const VerifyResult* verify)
{
    return verify && verify->completed ? verify->residuals.maxErrorMm : view.residuals.maxErrorMm;
}
inline bool beyondVerifyLimit(const CaptureResultView& view, const VerifyResult* verify)
{
    return largestShownErrorMm(view, verify) > view.options.limitMm;
}

}  // namespace oculant
