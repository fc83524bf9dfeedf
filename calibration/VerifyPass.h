#pragma once
// The verify pass after a calibration: fresh targets, none on the calibration's own (the centre,
// then out in the margin band near each corner and at the middle of each edge, then between), each captured as a calibration target is, mapped through
// the new coefficients and compared with where it was shown. Passed when the largest error is
// within the limit. The capture screen runs it from its result, the CLI after calibrate, the
// test station as one of its phases: each brings its own way of capturing (TargetCapture).

#include <optional>
#include <string>
#include <vector>

#include "calibration/CalibrationData.h"
#include "calibration/CalibrationResiduals.h"
#include "calibration/CalibrationSettings.h"
#include "calibration/DisplayDirection.h"

namespace oculant {

inline constexpr int kMinVerifyPoints = 5;  // the centre and one near each corner
inline constexpr int kMaxVerifyPoints = int(CalibrationData::kMaxPoints);
inline constexpr double kDefaultVerifyLimitMm = 2.0;

// What a verify pass needs from the calibration it checks; the flow fills it after each fit.
struct VerifySetup {
    int area = 0;                          // the coefficient set (0 for a single-area run)
    CalibrationSettings settings;          // the capture window the calibration used
    CalibrationData calibration;           // its targets, which the verify keeps away from
    CalibrationCoefficients coefficients;  // the fit, before any touch-area extension
    DisplayDirection direction = DisplayDirection::Landscape;
    ScreenSize screen;
    PositionCounts positions;
};

struct VerifyOptions {
    int count = kMinVerifyPoints;
    double limitMm = kDefaultVerifyLimitMm;
};

struct VerifyResult {
    int area = 0;
    bool completed = false;  // every verify target was captured
    FitResiduals residuals;  // a point per verify target; the largest error is residuals.maxErrorMm
    double meanErrorMm = 0;
    double limitMm = kDefaultVerifyLimitMm;
    bool passed = false;  // completed, and the largest error within the limit
};

// count fresh targets, none on a calibration target: the centre of the target area; half way
// between the outer targets and the edge of the capture window (so at least as far out as the
// targets on every side), near each corner, then at the middle of each edge; then points of ever
// finer lattices over the target area.
// nullopt when count is outside kMinVerifyPoints..kMaxVerifyPoints or the calibration has no
// targets.
std::optional<CalibrationData> verifyTargets(const VerifySetup& setup, int count);

// The captured verify targets against the calibration's map.
VerifyResult evaluateVerify(const VerifySetup& setup, const CalibrationData& capture, double limitMm);

// Takes the touches for a set of targets as the capture screen takes a calibration's: returns
// the data as the screen left it (status bit 0 set when every target was taken).
class TargetCapture {
public:
    virtual ~TargetCapture() = default;
    virtual CalibrationData capture(const CalibrationSettings& settings, const CalibrationData& targets) = 0;
};

// The whole pass: targets, capture, evaluation. A count out of range gives a result that is
// neither completed nor passed, without a capture.
VerifyResult runVerifyPass(const VerifySetup& setup, const VerifyOptions& options, TargetCapture& capture);

// "Verify: 5 points, largest error 0.4 mm, mean 0.2 mm (limit 2.0 mm): passed" and a line per
// point; areaLabel ("A2") names the area of a multi-area run, empty for a single area.
std::string verifyReport(const VerifyResult& result, const std::string& areaLabel, bool chinese);

}  // namespace oculant
