#include "diagnostics/DiagnosticSession.h"

#include "i18n/TextKeys.h"

#include <algorithm>
#include <utility>

#include "diagnostics/BeamView.h"
#include "signal/SignalStore.h"

namespace oculant {

namespace {

// The same boards: counts per axis and every element count in use.
bool sameBoards(const BoardLayoutTable& a, const BoardLayoutTable& b)
{
    const auto axis = [](const auto& x, const auto& y, size_t n) {
        n = std::min(n, x.size());
        return std::equal(x.begin(), x.begin() + long(n), y.begin());
    };
    return a.xBoards == b.xBoards && a.yBoards == b.yBoards && axis(a.xElements, b.xElements, a.xBoards)
        && axis(a.yElements, b.yElements, a.yBoards);
}

bool anyVerdict(const BoardModel& model)
{
    for (const auto* list : {&model.emitters, &model.receivers})
        for (const PCB_INFO& b : *list)
            if (b.status != kNotTested)
                return true;
    return false;
}

}  // namespace

DiagnosticSession::DiagnosticSession(SignalStore& store, const BoardLayoutTable& layout)
    : store_(store), layout_(&layout)
{
}

bool DiagnosticSession::FormShow()
{
    // A rebuild by restartTest before the show needs the drawing too.
    bool rebuilt = std::exchange(rebuiltBeforeShow_, false);
    if (model_.empty() || !sameBoards(builtFrom_, *layout_)) {
        BuildModel();
        rebuilt = true;
    }
    return rebuilt;
}

void DiagnosticSession::restartTest()
{
    if (!model_.empty() && !sameBoards(builtFrom_, *layout_)) {
        BuildModel();
        rebuiltBeforeShow_ = true;
    }
    testState_ = TestState::ModelBuilt;
}

DiagnosticCommand DiagnosticSession::FormActivate() { return signalStreamCommand(); }

DiagnosticCommand DiagnosticSession::FormClose() { return stopStreamingCommand(); }

DiagnosticCommand DiagnosticSession::Button1Click()
{
    BuildModel();
    return signalStreamCommand();
}

void DiagnosticSession::BuildModel()
{
    testState_ = TestState::ModelBuilt;
    notice_ = DiagnosticNotice::None;
    testingMs_ = 0;
    builtFrom_ = *layout_;
    model_.BuildModel(*layout_);
    picture_.invalidate();
}

// The scan cannot be tested; a test just restarted drops the verdicts it still shows, which
// belong to the frame tested before. The notice is read by the window after every frame.
FrameStep DiagnosticSession::untestable(DiagnosticNotice notice, FrameOutcome outcome)
{
    bool redraw = false;
    if (testState_ == TestState::ModelBuilt && anyVerdict(model_)) {
        BuildModel();
        redraw = true;
    }
    notice_ = notice;
    return {outcome, redraw};
}

FrameStep DiagnosticSession::handleSignalFrame()
{
    ++frameCount_;
    if (store_.nX() != model_.xTotal || store_.nY() != model_.yTotal)
        return untestable(model_.empty() ? DiagnosticNotice::None : DiagnosticNotice::LayoutMismatch,
                          FrameOutcome::Unmatched);
    timerEnabled_ = true;
    // Judged on zero planes, every board would be dark.
    if (!store_.liveScansCarryLevels())
        return untestable(DiagnosticNotice::NoLevels, FrameOutcome::NoLevels);

    switch (testState_) {
    case TestState::ModelBuilt:
        notice_ = DiagnosticNotice::None;
        store_.resetReferenceCapture();
        BuildModel();
        testState_ = TestState::AwaitingReference;
        return {FrameOutcome::ReferenceRestarted, true};
    case TestState::AwaitingReference:
        if (store_.referenceCaptureCount() < SignalStore::kReferenceScans)
            return {FrameOutcome::AwaitingReference, false};
        notice_ = DiagnosticNotice::None;
        JudgementStage(model_, BeamView::of(store_));
        testState_ = TestState::Testing;
        return {FrameOutcome::Judged, true};
    case TestState::Testing:
        return testScan();
    case TestState::Finished:
        break;
    }
    return {FrameOutcome::Finished, false};
}

FrameStep DiagnosticSession::testScan()
{
    const BeamView beams = BeamView::of(store_);
    if (ScanObstructed(beams)) {
        notice_ = DiagnosticNotice::LiftHand;
        return {FrameOutcome::Obstructed, false};
    }
    notice_ = DiagnosticNotice::None;
    if (TestingStage(model_, beams)) {
        testState_ = TestState::Finished;
        return {FrameOutcome::Passed, true};
    }
    return {FrameOutcome::Tested, true};
}

std::string DiagnosticSession::noticeText(const TextLookupOr& words) const
{
    namespace k = textkeys::diagwords;
    const auto word = [&](const textkeys::KeyFallback& t) { return textOf(words, t); };
    switch (notice_) {
    case DiagnosticNotice::None:
        break;
    case DiagnosticNotice::NoLevels:
        return word(k::kNoLevels);
    case DiagnosticNotice::LayoutMismatch:
        return fillIn(word(k::kLayoutMismatch), {std::to_string(store_.nX()), std::to_string(store_.nY()),
                                                 std::to_string(model_.xTotal), std::to_string(model_.yTotal)});
    case DiagnosticNotice::LiftHand:
        return word(k::kLiftHand);
    }
    return {};
}

DiagnosticProgress DiagnosticSession::progress() const
{
    DiagnosticProgress p;
    for (const auto* list : {&model_.emitters, &model_.receivers})
        for (const PCB_INFO& b : *list)
            for (const LED_STA& led : b.leds) {
                ++p.total;
                p.accepted += led.status == kOk ? 1 : 0;
            }
    p.elapsedMs = testingMs_;
    p.testing = testState_ == TestState::AwaitingReference || testState_ == TestState::Testing;
    p.finished = testState_ == TestState::Finished && p.total > 0 && p.accepted == p.total;
    return p;
}

TickStep DiagnosticSession::TimerTimer(bool windowActive)
{
    if (!timerEnabled_)
        return {TickOutcome::TimerStopped, {}, false};
    if (!windowActive)
        return {TickOutcome::NotActive, {}, false};
    if (testState_ == TestState::AwaitingReference || testState_ == TestState::Testing)
        testingMs_ += kTimerIntervalMs;
    if (frameCount_ != lastFrameCount_) {
        lastFrameCount_ = frameCount_;
        staleTicks_ = 0;
        return {TickOutcome::Receiving, diagtext::kTitleReceiving, false};
    }
    if (staleTicks_ < kStaleTicksTolerated) {
        ++staleTicks_;
        return {TickOutcome::Waiting, {}, false};
    }
    timerEnabled_ = false;
    BuildModel();
    return {TickOutcome::FramesStopped, diagtext::kTitleNoData, true};
}

void DiagnosticSession::setActive(bool active)
{
    activeQuery_ = [active] { return active; };
}

void DiagnosticSession::OnSignalFrame()
{
    if (handleSignalFrame().redraw && redrawHook_)
        redrawHook_();
}

std::vector<std::string> DiagnosticSession::faultLines(const TextLookup& lookup) const
{
    std::vector<std::string> lines;
    lines.reserve(model_.emitters.size() + model_.receivers.size());
    for (const auto* list : {&model_.emitters, &model_.receivers})
        for (const PCB_INFO& b : *list)
            lines.push_back(FaultLine(b, lookup));
    return lines;
}

}  // namespace oculant
