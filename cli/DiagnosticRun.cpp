#include "cli/DiagnosticRun.h"

#include "cli/CliSession.h"
#include "diagnostics/DiagnosticCommands.h"

namespace oculant::cli {

namespace {

void send(DeviceSession& s, const DiagnosticCommand& c)
{
    s.talk().SendCommand(c.code, c.payload.data(), c.payload.size());
}

// A frame whose scans cannot be tested (no levels, a layout that does not match its table) is
// given this long to change its mind before the run ends without a verdict.
constexpr int64_t kUntestableMs = 2000;

bool untestable(DiagnosticNotice n) { return n == DiagnosticNotice::NoLevels || n == DiagnosticNotice::LayoutMismatch; }

}  // namespace

DiagnosticRun::DiagnosticRun(CliSession& cs) : cs_(cs), diag_(cs.store(), cs.session().records().boards)
{
    cs_.processor().addListener(&diag_);
}

DiagnosticRun::~DiagnosticRun() { cs_.processor().removeListener(&diag_); }

void DiagnosticRun::run(bool sweep, int timeoutMs, const std::function<bool()>& stop)
{
    DeviceSession& session = cs_.session();
    DiagnosticSession& diag = diag_;
    CliSession* cs = &cs_;
    session.setActiveWindow(ActiveWindow::Diagnostic);
    send(session, diagnosticModeCommand());
    diag.restartTest();
    diag.FormShow();
    send(session, diag.FormActivate());
    diag.setActive(true);

    bool sweepStarted = false;
    int64_t lastTimerMs = cs->nowMs();
    int64_t untestableSinceMs = -1;
    const auto finished = [&] {
        if (stop && stop())
            return true;
        if (!untestable(diag.notice()))
            untestableSinceMs = -1;
        else if (untestableSinceMs < 0)
            untestableSinceMs = cs->nowMs();
        else if (cs->nowMs() - untestableSinceMs >= kUntestableMs && !cs->replaying())
            return true;
        if (cs->nowMs() - lastTimerMs >= DiagnosticSession::kTimerIntervalMs) {
            lastTimerMs = cs->nowMs();
            diag.TimerTimer(true);
        }
        if (sweep && !sweepStarted && diag.testState() == TestState::Testing) {
            cs->testBench()->startSweep();
            sweepStarted = true;
        }
        const OverallVerdict v = diag.verdict();
        if (v == OverallVerdict::Pass)
            return true;
        // A fault is final; with a sweep running or a capture replaying, let it finish so every
        // board is judged.
        return v == OverallVerdict::Fail && !(sweepStarted && cs->testBench()->sweepRunning()) && !cs->replaying();
    };
    cs->runFor(timeoutMs, finished);
    send(session, diag.FormClose());
    diag.setActive(false);
    session.setActiveWindow(ActiveWindow::None);
}

std::string DiagnosticRun::noVerdictReason(const std::string& timeoutText) const
{
    if (diag_.verdict() != OverallVerdict::None)
        return {};
    if (diag_.notice() != DiagnosticNotice::None)
        return diag_.noticeText();
    return "No verdict within " + timeoutText + " s: every element must be blocked once and then clear again (slide "
           "a finger along each edge of the frame).";
}

const char* DiagnosticRun::reasonCode() const
{
    switch (diag_.notice()) {
    case DiagnosticNotice::NoLevels:
        return "no-levels";
    case DiagnosticNotice::LayoutMismatch:
        return "layout-mismatch";
    case DiagnosticNotice::LiftHand:
        return "hand-on-frame";
    case DiagnosticNotice::None:
        break;
    }
    return "timeout";
}

}  // namespace oculant::cli
