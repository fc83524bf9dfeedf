#include "cli/DiagnosticRun.h"

#include <algorithm>

#include "cli/CliSession.h"
#include "link/FrameTestBench.h"
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

// The edges along which elements were never seen dark: those a sweep missed.
unsigned pendingEdges(const BoardModel& model)
{
    unsigned edges = 0;
    for (const auto* list : {&model.emitters, &model.receivers})
        for (const PCB_INFO& b : *list)
            if (std::any_of(b.leds.begin(), b.leds.end(),
                            [](const LED_STA& e) { return e.status == kPending && !e.blockedSeen; }))
                edges |= b.onX() ? (b.isEmitter() ? kSweepXEmitters : kSweepXReceivers)
                                 : (b.isEmitter() ? kSweepYEmitters : kSweepYReceivers);
    return edges;
}

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
    const int64_t startMs = cs->nowMs();
    int64_t lastTimerMs = startMs;
    int64_t lastFrameMs = startMs;
    uint32_t lastFrameCount = diag.frameCount();
    const uint64_t lostBefore = cs->framesLost().link;
    facts_ = {};
    int64_t untestableSinceMs = -1;
    const auto finished = [&] {
        const uint64_t lost = cs->framesLost().link - lostBefore;
        if (diag.frameCount() != lastFrameCount || lost != facts_.framesLost) {
            facts_.framesSeen += diag.frameCount() >= lastFrameCount ? diag.frameCount() - lastFrameCount : 1;
            lastFrameCount = diag.frameCount();
            lastFrameMs = cs->nowMs();
        }
        facts_.framesLost = lost;
        facts_.msSinceLastFrame = cs->nowMs() - lastFrameMs;
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
        } else if (sweepStarted && !cs->testBench()->sweepRunning() && diag.verdict() == OverallVerdict::None) {
            // As a technician does while elements stay grey: along their edges again (the scans
            // that would have shown them dark may have been lost on the way).
            if (const unsigned edges = pendingEdges(diag.model()))
                cs->testBench()->startSweep(edges);
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

NoVerdictReason DiagnosticRun::noVerdictReason(const std::string& timeoutText) const
{
    DiagnosticRunFacts facts = facts_;
    facts.timeoutText = timeoutText;
    return explainNoVerdict(diag_, facts);
}

}  // namespace oculant::cli
