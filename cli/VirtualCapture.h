#pragma once
// The capture screen of a CLI calibration: the capture session over the frame's touch reports,
// stepped every 100 ms, with a virtual technician's finger held on each target of the virtual
// frame in turn. Calibrate, its verify pass and the test station capture through it.

#include "calibration/CalibrationData.h"
#include "calibration/CalibrationSettings.h"
#include "calibration/VerifyPass.h"

namespace oculant::cli {

class CliSession;

// The capture screen opened modally with settings' targets: the capture as the screen leaves it.
CalibrationData runCapture(CliSession& cs, const CalibrationSettings& settings, ScreenSize screen);
// The same with the targets given (a verify pass).
CalibrationData runCapture(CliSession& cs, const CalibrationData& targets);

// runCapture as a verify pass captures.
class VirtualTargetCapture : public TargetCapture {
public:
    explicit VirtualTargetCapture(CliSession& cs) : cs_(cs) {}
    CalibrationData capture(const CalibrationSettings&, const CalibrationData& targets) override
    {
        return runCapture(cs_, targets);
    }

private:
    CliSession& cs_;
};

}  // namespace oculant::cli
