#pragma once
// The diagnostic window without its window: the board model, the test's state machine driven by
// live scans, the 200 ms frame watch, and the picture's layout state. The Qt window and the
// command-line tool both drive it; tests step it frame by frame and tick by tick.
//
// Use (the window does exactly this; a command-line run does the same without painting):
//
//   DiagnosticSession session(core.store(), records.boards);
//   processor.addListener(&session);           // live scans arrive through OnSignalFrame
//   send(diagnosticModeCommand());             // main window, connected: mode 4 ...
//   session.restartTest();                     // ... and the test starts over
//   if (session.FormShow()) redraw();          // first show builds the model
//   send(session.FormActivate());              // mode 1: the frame streams signal frames
//   session.setActive(true);                   // live scans now reach the session
//   every 200 ms: TickStep t = session.TimerTimer(windowIsActive);
//   read: session.testState(), session.verdict(), session.model(), session.faultLines(lookup)
//   send(session.FormClose());                 // mode 0
//
// A test: the first matching live scan (nX == xTotal and nY == yTotal) restarts the reference
// capture and rebuilds the model; the tenth scan after it completes the reference and runs the
// judgement; every further scan runs the testing stage until every board is OK (PASS, the test
// ends). A fault on any board makes the verdict FAIL for good, until the model is rebuilt.
// When frames stop for four ticks the model is rebuilt and the test starts again.
//
// What the window tells the technician besides the picture (notice()): a scan with most beams
// of an axis blocked at once accepts nothing and asks to lift the hand; live scans that carry no
// levels (family 0x00) and a signal layout that does not match the board table get no verdict
// and say why. Verdicts are never carried over to another frame: a show or restart on another
// board table, and a restarted test whose first scan does not match, start from "not tested".

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/DeviceRecords.h"
#include "diagnostics/BoardModel.h"
#include "diagnostics/DiagnosticCommands.h"
#include "diagnostics/DiagnosticPicture.h"
#include "diagnostics/DiagnosticText.h"
#include "diagnostics/FaultAnalysis.h"
#include "signal/SignalFrameListener.h"

namespace oculant {

class SignalStore;

enum class TestState : int32_t {
    Finished = 0,           // passed (also the state before the first show)
    ModelBuilt = 1,         // waiting for the first matching frame
    AwaitingReference = 2,  // the reference capture runs
    Testing = 3,
};

enum class FrameOutcome {
    Unmatched,           // the frame's nX/nY differ from the model: only counted
    NoLevels,            // family 0x00: the scan stored no levels, nothing to judge
    Obstructed,          // 3: most beams of an axis blocked at once, the scan is not used
    ReferenceRestarted,  // 1 -> 2: capture counter reset, model rebuilt
    AwaitingReference,   // 2: fewer than ten scans in the reference yet
    Judged,              // 2 -> 3: judgement stage
    Tested,              // 3: testing stage, not every board OK yet
    Passed,              // 3 -> 0: every board OK
    Finished,            // 0: nothing to do
};

struct FrameStep {
    FrameOutcome outcome = FrameOutcome::Unmatched;
    bool redraw = false;  // the picture changed; the notice is read apart, after every frame
};

enum class TickOutcome {
    TimerStopped,   // refused: the timer is not running
    NotActive,      // refused: this window is not the active window
    Receiving,      // frames arrived since the last tick
    Waiting,        // no frame since the last tick (first to third such tick)
    FramesStopped,  // the fourth tick without a frame: timer stopped, model rebuilt
};

// Why the test does not go on as the picture shows; the window shows the text.
enum class DiagnosticNotice {
    None,
    NoLevels,        // live scans without levels (family 0x00)
    LayoutMismatch,  // the signal's positions are not the board table's
    LiftHand,        // the last scan had most beams of an axis blocked at once
};

// How far the test is: elements accepted of all, and how long it has judged scans.
struct DiagnosticProgress {
    int accepted = 0;
    int total = 0;
    int64_t elapsedMs = 0;  // timer ticks while the test took its reference and judged scans
    bool testing = false;   // taking the reference or judging scans
    bool finished = false;  // every element accepted
};

struct TickStep {
    TickOutcome outcome = TickOutcome::TimerStopped;
    std::string_view captionKey;  // set the caption to this text's look-up; empty: unchanged
    bool redraw = false;
};

class DiagnosticSession : public SignalFrameListener {
public:
    static constexpr int kTimerIntervalMs = 200;
    // Ticks without a frame that are tolerated; the next one ends the test.
    static constexpr uint8_t kStaleTicksTolerated = 3;

    // `store` is the signal store the frame processor fills; `layout` the board layout table
    // from the parameter block answer, read at every model rebuild. Both outlive the session.
    DiagnosticSession(SignalStore& store, const BoardLayoutTable& layout);
    // Reads the layout from another table from the next model rebuild on; it must outlive the
    // session too.
    void setBoardLayout(const BoardLayoutTable& layout) { layout_ = &layout; }

    // ---- Window events ----
    // Builds the model when it is empty or was built from another board table than the one
    // the layout now holds; true when the picture must be drawn now (rebuilt, or laid out anew
    // since a rebuild). Otherwise the model and the picture of the previous opening stay.
    bool FormShow();
    DiagnosticCommand FormActivate();  // mode 1
    DiagnosticCommand FormClose();     // mode 0
    // Reset button: mode 1, then the model is rebuilt (redraw).
    DiagnosticCommand Button1Click();
    // The main window restarts the test (Diagnostic or Draw Test button while connected, or a
    // frame reconnected while this window is active): testState 1. The model is rebuilt only
    // when the board table differs from the one it was built from (another frame).
    void restartTest();
    // Rebuilds the model from the layout table: every verdict back to 0, testState 1, and the
    // next Redraw lays the picture out again.
    void BuildModel();

    // ---- Frames and the 200 ms timer ----
    // One live scan, after the store's planes and reference capture counter were updated.
    FrameStep handleSignalFrame();
    // One tick of the frame watch. The caller asks whether this window is the active one.
    TickStep TimerTimer(bool windowActive);

    // ---- As a listener of the frame processor ----
    // Live scans are wanted while the window is active: a fixed flag, or a query of the window.
    void setActive(bool active);
    void setActiveQuery(std::function<bool()> query) { activeQuery_ = std::move(query); }
    // Called after a frame that asks for a repaint (the window redraws there).
    void setRedrawHook(std::function<void()> hook) { redrawHook_ = std::move(hook); }
    bool wantsLiveScans() const override { return activeQuery_ && activeQuery_(); }
    void OnSignalFrame() override;

    // ---- The picture ----
    RedrawOutcome Redraw(DiagnosticCanvas& canvas, int width, int height, const TextLookup& lookup)
    {
        return picture_.Redraw(canvas, model_, width, height, lookup);
    }

    // ---- Reading ----
    TestState testState() const { return testState_; }
    bool timerEnabled() const { return timerEnabled_; }
    uint32_t frameCount() const { return frameCount_; }
    uint32_t lastFrameCount() const { return lastFrameCount_; }
    uint8_t staleTicks() const { return staleTicks_; }
    const BoardModel& model() const { return model_; }
    const DiagnosticPicture& picture() const { return picture_; }
    OverallVerdict verdict() const { return overallVerdict(model_); }
    DiagnosticNotice notice() const { return notice_; }
    // The notice as the window shows it (fixed English texts); empty for none.
    std::string noticeText(const TextLookupOr& words = {}) const;
    DiagnosticProgress progress() const;
    // The window's test has a time-out as the command line's has (60 s by default): past it the
    // test goes on, and the progress line says which elements are still wanted.
    static constexpr int64_t kWindowTimeoutMs = 60000;
    // FaultLine of every emitter board, then every receiver board.
    std::vector<std::string> faultLines(const TextLookup& lookup) const;

private:
    FrameStep untestable(DiagnosticNotice notice, FrameOutcome outcome);
    FrameStep testScan();

    SignalStore& store_;
    const BoardLayoutTable* layout_;
    BoardLayoutTable builtFrom_;  // the table as it was at the last rebuild
    BoardModel model_;
    DiagnosticPicture picture_;
    TestState testState_ = TestState::Finished;
    int64_t testingMs_ = 0;
    bool timerEnabled_ = false;
    uint32_t frameCount_ = 0;
    uint32_t lastFrameCount_ = 0;
    uint8_t staleTicks_ = 0;
    DiagnosticNotice notice_ = DiagnosticNotice::None;
    bool rebuiltBeforeShow_ = false;
    std::function<bool()> activeQuery_;
    std::function<void()> redrawHook_;
};

}  // namespace oculant
