#include "calibration/CaptureSession.h"

#include <cmath>

#include "calibration/AffineFit.h"
#include "calibration/CalibrationLimits.h"
#include "calibration/CalibrationTargets.h"

namespace oculant {
namespace {

CaptureStepResult refusedStep(StepRefusal why)
{
    CaptureStepResult result;
    result.refused = why;
    return result;
}

}  // namespace

bool CaptureSession::open(const CalibrationSettings& settings, ScreenSize screen)
{
    CalibrationData next = data_;
    next.status = 0;
    if (!generateTargets(next, settings, screen))
        return false;
    start(next);
    judgeTouches_ = true;
    return true;
}

bool CaptureSession::open(const CalibrationData& targets)
{
    if (targets.usedCount() == 0)
        return false;
    CalibrationData next;
    next.gridX = targets.gridX;
    next.gridY = targets.gridY;
    next.count = uint8_t(targets.usedCount());
    for (size_t i = 0; i < targets.usedCount(); ++i)
        next.points[i].target = targets.points[i].target;
    start(next);
    return true;
}

void CaptureSession::start(const CalibrationData& next)
{
    data_ = next;
    current_ = 0;
    progress_ = 0;
    trackedId_ = 0;
    ring_.clear();
    lastTick_.reset();
    retakes_.fill(0);
    judgeTouches_ = false;
    ticksOnTarget_ = 0;
    lastMisplacedMm_ = 0;
    open_ = true;
}

void CaptureSession::AddTouchReport(uint8_t count, std::span<const ReportedContact> contacts)
{
    ring_.add(count, contacts);
}

CaptureStepResult CaptureSession::captureStep(uint64_t tick)
{
    if (!open_)
        return refusedStep(StepRefusal::NotOpen);
    if (lastTick_ && tick <= *lastTick_)
        return refusedStep(StepRefusal::StaleTick);
    lastTick_ = tick;

    CaptureStepResult result;
    if (++ticksOnTarget_ > kTargetTimeoutTicks)
        return finish(CaptureEnd::TimedOut);
    if (ring_.empty()) {
        if (idleTicks_ < kIdleTicksBeforeResend) {
            ++idleTicks_;
            return result;
        }
        // The frame has gone quiet (or was never in mode 3): start over on this target.
        progress_ = 0;
        trackedId_ = 0;
        result.redraw = true;
        result.command = kStartTouchReports;
        return result;
    }

    idleTicks_ = 0;
    int lastCount = -1;
    while (!ring_.empty()) {
        const TouchSnapshot& entry = ring_.take();
        lastCount = entry.count;
        if (entry.count == 2) {
            if (++twoTouchCount_ > kTwoTouchLimit) {
                twoTouchCount_ = 0;
                return finish(CaptureEnd::TwoFingers);
            }
        } else {
            twoTouchCount_ = 0;
        }
        if (entry.count == 1)
            handleContact(entry.contacts[0]);
    }

    if (phase_ == CapturePhase::Holding && lastCount == 1) {
        progress_ += 10;
        if (progress_ >= 100) {
            progress_ = 0;
            phase_ = CapturePhase::Waiting;
            ticksOnTarget_ = 0;
            if (const auto off = misplacedBy(current_)) {
                // Taken again: the same finger must be lifted (trackedId stays) and put down.
                ++retakes_[size_t(current_)];
                lastMisplacedMm_ = *off;
                data_.points[size_t(current_)].touch = {};
                result.retake = true;
                result.redraw = true;
                return result;
            }
            ++current_;
            if (current_ >= data_.count) {
                data_.status |= CalibrationData::kStatusComplete;
                return finish(CaptureEnd::Completed);
            }
        }
    }
    result.redraw = true;
    return result;
}

// One phase handler per report: the report that picks up a new contact id does not also count
// as its first steady report.
void CaptureSession::handleContact(const StoredContact& c)
{
    const bool tracked = c.status == kContactDown && c.id == trackedId_;
    switch (phase_) {
    case CapturePhase::Waiting:
        if (c.status == kContactDown && c.id != trackedId_) {
            trackedId_ = c.id;
            phase_ = CapturePhase::Settling;
            stableCount_ = 0;
            progress_ = 0;
        }
        break;
    case CapturePhase::Settling:
        if (!tracked) {
            phase_ = CapturePhase::Waiting;
            progress_ = 0;
        } else if (++stableCount_ >= kSettleReports) {
            if (current_ >= 0 && current_ < data_.count)
                data_.points[static_cast<size_t>(current_)].touch = c.position;
            phase_ = CapturePhase::Holding;
            stableCount_ = 0;
        }
        break;
    case CapturePhase::Holding:
        if (!tracked) {
            phase_ = CapturePhase::Waiting;
            progress_ = 0;
        } else if (progress_ >= kAverageFromProgress && current_ >= 0 && current_ < data_.count) {
            FrameLogical& touch = data_.points[static_cast<size_t>(current_)].touch;
            touch.x = (touch.x + c.position.x) / 2;
            touch.y = (touch.y + c.position.y) / 2;
        }
        break;
    }
}

CaptureStepResult CaptureSession::keyPress(int key)
{
    if (key != kEscapeKey)
        return {};
    if (!open_)
        return refusedStep(StepRefusal::NotOpen);
    return finish(CaptureEnd::Escape);
}

CaptureStepResult CaptureSession::close()
{
    if (!open_)
        return refusedStep(StepRefusal::NotOpen);
    return finish(CaptureEnd::Closed);
}

// The held touch of point against the map of the points before it, in millimetres of the frame,
// when that is beyond the limit. Until three points that do not lie on one line are in, there
// is no map to judge by.
std::optional<double> CaptureSession::misplacedBy(int point) const
{
    const MmPerUnit mm = frameMmPerUnit(positions_, DisplayDirection::Landscape);
    if (!judgeTouches_ || !(misplacedLimitMm_ > 0) || !(mm.x > 0 && mm.y > 0) || point < 3 || point >= data_.count)
        return std::nullopt;
    CalibrationData before = data_;
    before.count = uint8_t(point);
    CalibrationCoefficients k;
    // No map from the points so far, or none a frame could have (the first column's targets lie
    // on one line, which fits anything across it): nothing to judge by yet.
    if (!FitAffine(before, k) || implausibleMapReason(k, {}))
        return std::nullopt;
    const CalibrationPoint& p = data_.points[size_t(point)];
    const double x = double(k.k[0]) * p.touch.x + double(k.k[1]) * p.touch.y + double(k.k[2]);
    const double y = double(k.k[3]) * p.touch.x + double(k.k[4]) * p.touch.y + double(k.k[5]);
    const double off = std::hypot((x - p.target.x) * mm.x, (y - p.target.y) * mm.y);
    if (off <= misplacedLimitMm_)
        return std::nullopt;
    return off;
}

// Closing, for any reason, takes the frame back to mode 0.
CaptureStepResult CaptureSession::finish(CaptureEnd end)
{
    open_ = false;
    CaptureStepResult result;
    result.command = kStopStreaming;
    result.end = end;
    return result;
}

}  // namespace oculant
