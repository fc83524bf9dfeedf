#pragma once
// The capture screen of a CLI calibration: the capture session over the frame's touch reports,
// stepped every 100 ms, with a virtual technician's finger held on each target of the virtual
// frame in turn. Calibrate, its verify pass and the test station capture through it.

#include <ostream>
#include <vector>

#include "calibration/CalibrationData.h"
#include "calibration/CalibrationSettings.h"
#include "calibration/VerifyPass.h"

namespace oculant::cli {

class CliSession;

// How a calibration's capture judges its touches, and what it tells back.
struct CaptureJudging {
    double misplacedLimitMm = 10.0;  // CaptureSession::kDefaultMisplacedLimitMm; 0: no check
    PositionCounts positions;        // without them nothing is judged
    std::vector<int>* retakes = nullptr;  // filled with each point's retakes
    std::ostream* notes = nullptr;        // "Target 4: touch the target again (...)" per retake
};

// The capture screen opened modally with settings' targets: the capture as the screen leaves it.
// The bench's technician misplaces the touches its frame's profile names, the first time.
CalibrationData runCapture(CliSession& cs, const CalibrationSettings& settings, ScreenSize screen,
                           const CaptureJudging& judging = {});
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
