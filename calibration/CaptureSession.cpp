#include "calibration/CaptureSession.h"

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
            ++current_;
            phase_ = CapturePhase::Waiting;
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
