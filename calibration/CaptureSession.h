#pragma once
// The capture screen without its window: the targets, the touch ring and the capture state
// machine that takes one settled, held and averaged touch per target. The window calls
// captureStep from its 100 ms timer while it is the active window, hands key presses and its
// close to the session, sends the commands the results ask for and redraws.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "calibration/CalibrationData.h"
#include "calibration/CalibrationSettings.h"
#include "calibration/CaptureCommands.h"
#include "calibration/TouchRing.h"

namespace oculant {

enum class CapturePhase : uint8_t { Waiting = 0, Settling = 1, Holding = 2 };

enum class CaptureEnd : uint8_t {
    None,        // still open
    Completed,   // every point captured: status bit 0 set
    TwoFingers,  // two contacts held for more than 100 reports: abandoned
    Escape,      // the user pressed Escape
    Closed,      // the window was closed some other way
    TimedOut,    // one target waited kTargetTimeoutTicks without being taken
};

enum class StepRefusal : uint8_t {
    None,
    NotOpen,    // the screen is not open (never opened, or already closed)
    StaleTick,  // this tick (or a later one) was already stepped
};

struct CaptureStepResult {
    StepRefusal refused = StepRefusal::None;
    bool redraw = false;                 // repaint with current() and progress()
    // The touch just held was too far from its target (lastMisplacedMm()): the point is taken
    // again; show "touch the target again".
    bool retake = false;
    std::optional<ModeCommand> command;  // send this now
    CaptureEnd end = CaptureEnd::None;   // the screen closes now
};

class CaptureSession {
public:
    static constexpr uint8_t kEscapeKey = 27;
    // Ticks without any report before mode 3 is asked for again (then on every idle tick).
    static constexpr int kIdleTicksBeforeResend = 3;
    // Steady reports of one contact before a point starts to be held.
    static constexpr int kSettleReports = 5;
    // Consecutive two-contact reports after which the run is abandoned.
    static constexpr int kTwoTouchLimit = 100;
    // Progress at which the held position starts to be averaged (the last three ticks).
    static constexpr int kAverageFromProgress = 70;
    // Ticks one target may wait before the capture gives up: a minute.
    static constexpr int kTargetTimeoutTicks = 600;
    // How far from its target a touch may be, judged by the map of the targets taken before it
    // (from the fourth target on), before it is taken again.
    static constexpr double kDefaultMisplacedLimitMm = 10.0;

    // The limit in millimetres of the frame (0: no check) and the positions that give them;
    // without positions nothing is checked. Kept across runs.
    void setMisplacedLimit(double limitMm, PositionCounts positions)
    {
        misplacedLimitMm_ = limitMm;
        positions_ = positions;
    }
    double misplacedLimitMm() const { return misplacedLimitMm_; }

    // Opens the screen: clears status, count, current, progress, tracked id and the ring, and
    // generates the targets. Phase and the idle, stable and two-touch counters carry over from
    // the previous run. Refused (false, stays closed) when the window or screen has no area.
    bool open(const CalibrationSettings& settings, ScreenSize screen);
    // The same with targets given (a verify pass): their positions and count are taken, the
    // touches cleared. Refused without targets. A verify pass judges every touch as it lands:
    // none is taken again.
    bool open(const CalibrationData& targets);

    // Every touch report goes here, whether or not the screen is open.
    void AddTouchReport(uint8_t count, std::span<const ReportedContact> contacts);

    // One 100 ms step. tick is the caller's running count of timer ticks; each tick is stepped
    // at most once, so a repeated or older tick is refused without any change.
    CaptureStepResult captureStep(uint64_t tick);

    // Escape closes the screen; other keys do nothing.
    CaptureStepResult keyPress(int key);
    // The window closes for any other reason.
    CaptureStepResult close();

    bool isOpen() const { return open_; }
    const CalibrationData& data() const { return data_; }
    int current() const { return current_; }
    int progress() const { return progress_; }
    CapturePhase phase() const { return phase_; }
    uint8_t trackedId() const { return trackedId_; }
    int idleTicks() const { return idleTicks_; }
    int twoTouchCount() const { return twoTouchCount_; }
    // How often each point was taken again, and how far off the last refused touch was.
    int retakes(int point) const { return point >= 0 && point < int(retakes_.size()) ? retakes_[size_t(point)] : 0; }
    double lastMisplacedMm() const { return lastMisplacedMm_; }

private:
    void start(const CalibrationData& next);
    void handleContact(const StoredContact& c);
    CaptureStepResult finish(CaptureEnd end);
    std::optional<double> misplacedBy(int point) const;

    CalibrationData data_;
    TouchRing ring_;
    bool open_ = false;
    std::optional<uint64_t> lastTick_;
    int current_ = 0;
    int progress_ = 0;
    uint8_t trackedId_ = 0;
    CapturePhase phase_ = CapturePhase::Waiting;
    int idleTicks_ = 0;
    int stableCount_ = 0;
    int twoTouchCount_ = 0;
    int ticksOnTarget_ = 0;
    bool judgeTouches_ = false;  // a calibration's capture, not a verify pass
    double misplacedLimitMm_ = kDefaultMisplacedLimitMm;
    PositionCounts positions_;
    std::array<int, CalibrationData::kMaxPoints> retakes_{};
    double lastMisplacedMm_ = 0;
};

}  // namespace oculant
