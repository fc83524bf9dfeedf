#include "cli/VirtualCapture.h"

#include "calibration/CaptureListener.h"
#include "calibration/CaptureSession.h"
#include "calibration/TextFormat.h"
#include "cli/CliSession.h"

namespace oculant::cli {
namespace {

constexpr int kCaptureTickMs = 100;  // the capture screen's Timer1
// A technician's pace: the finger rests this long off the glass between two targets. It must
// exceed the capture's idle reset (four silent 100 ms ticks): the frame may give the next touch
// the id of the last one, which the capture only accepts again after that reset.
constexpr int kLiftPauseMs = 1000;
// Time allowed per target (a held point takes about a second).
constexpr int kPerTargetMs = 10000;

// The technician: finger down on the current target (where the display shows it lands on the
// frame), held until the capture moves on, lifted, a pause, the next target.
class VirtualTechnician {
public:
    // screenWidth > 0: a calibration's targets, some of which the bench's profile has the
    // technician miss the first time.
    VirtualTechnician(FrameTestBench& frame, const CaptureSession& capture, int screenWidth = 0)
        : frame_(frame), capture_(capture), screenWidth_(screenWidth)
    {
    }

    void step(int64_t nowMs)
    {
        const int current = capture_.current();
        // Moved on, or told to touch the target again: lift the finger.
        if (finger_ != 0 && (current != target_ || capture_.retakes(current) != retakesAtDown_)) {
            frame_.fingerUp(finger_);
            finger_ = 0;
            liftedAt_ = nowMs;
        }
        if (finger_ == 0 && capture_.isOpen() && current < capture_.data().count && nowMs - liftedAt_ >= kLiftPauseMs) {
            const ScreenLogical t = capture_.data().points[size_t(current)].target;
            double x = t.x;
            if (screenWidth_ > 0 && capture_.retakes(current) == 0)
                x += double(frame_.misplacedPixels(current + 1)) * kLogicalSpan / screenWidth_;
            const auto [xMm, yMm] = frame_.screenToFrameMm(x, t.y);
            finger_ = frame_.fingerDown(xMm, yMm);
            target_ = current;
            retakesAtDown_ = capture_.retakes(current);
        }
    }
    void lift()
    {
        if (finger_ != 0)
            frame_.fingerUp(finger_);
        finger_ = 0;
    }

private:
    FrameTestBench& frame_;
    const CaptureSession& capture_;
    int screenWidth_ = 0;
    int finger_ = 0;
    int target_ = -1;
    int retakesAtDown_ = 0;
    int64_t liftedAt_ = -kLiftPauseMs;
};

void sendCommand(DeviceSession& session, const std::optional<ModeCommand>& command)
{
    if (command)
        session.talk().SendCommand(command->code, command->payload.data(), command->payload.size());
}

// The screen is open: mode 3, the technician, the 100 ms step until it closes.
CalibrationData captureOpen(CliSession& cs, CaptureSession& capture, int screenWidth = 0, std::ostream* notes = nullptr)
{
    CaptureListener listener(capture);
    DeviceSession& session = cs.session();
    cs.processor().addListener(&listener);
    session.sendModeTouch();
    VirtualTechnician technician(*cs.testBench(), capture, screenWidth);
    uint64_t tick = 0;
    int64_t lastTickMs = cs.nowMs();
    cs.runFor(kPerTargetMs * (capture.data().count + 1), [&] {
        technician.step(cs.nowMs());
        if (cs.nowMs() - lastTickMs >= kCaptureTickMs) {
            lastTickMs = cs.nowMs();
            const CaptureStepResult r = capture.captureStep(++tick);
            sendCommand(session, r.command);
            if (r.retake && notes)
                *notes << "Target " << capture.current() + 1 << ": touch the target again (the touch was "
                       << formatFixed(capture.lastMisplacedMm(), 1) << " mm from it, the limit is "
                       << formatFixed(capture.misplacedLimitMm(), 1) << " mm)\n";
        }
        return !capture.isOpen();
    });
    if (capture.isOpen())
        sendCommand(session, capture.close().command);  // timed out or interrupted
    technician.lift();
    cs.processor().removeListener(&listener);
    return capture.data();
}

}  // namespace

CalibrationData runCapture(CliSession& cs, const CalibrationSettings& settings, ScreenSize screen,
                           const CaptureJudging& judging)
{
    CaptureSession capture;
    capture.setMisplacedLimit(judging.misplacedLimitMm, judging.positions);
    if (!capture.open(settings, screen))
        return capture.data();
    const CalibrationData data = captureOpen(cs, capture, screen.width, judging.notes);
    if (judging.retakes) {
        judging.retakes->clear();
        for (size_t i = 0; i < data.usedCount(); ++i)
            judging.retakes->push_back(capture.retakes(int(i)));
    }
    return data;
}

CalibrationData runCapture(CliSession& cs, const CalibrationData& targets)
{
    CaptureSession capture;
    if (!capture.open(targets))
        return capture.data();
    return captureOpen(cs, capture);
}

}  // namespace oculant::cli
