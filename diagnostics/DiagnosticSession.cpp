#include "diagnostics/DiagnosticSession.h"

#include "diagnostics/BeamView.h"
#include "signal/SignalStore.h"

namespace oculant {

DiagnosticSession::DiagnosticSession(SignalStore& store, const BoardLayoutTable& layout)
    : store_(store), layout_(&layout)
{
}

bool DiagnosticSession::FormShow()
{
    if (!model_.empty())
        return false;
    BuildModel();
    return true;
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
    model_.BuildModel(*layout_);
    picture_.invalidate();
}

FrameStep DiagnosticSession::handleSignalFrame()
{
    ++frameCount_;
    if (store_.nX() != model_.xTotal || store_.nY() != model_.yTotal)
        return {FrameOutcome::Unmatched, false};
    timerEnabled_ = true;

    switch (testState_) {
    case TestState::ModelBuilt:
        store_.resetReferenceCapture();
        BuildModel();
        testState_ = TestState::AwaitingReference;
        return {FrameOutcome::ReferenceRestarted, true};
    case TestState::AwaitingReference:
        if (store_.referenceCaptureCount() < SignalStore::kReferenceScans)
            return {FrameOutcome::AwaitingReference, false};
        JudgementStage(model_, BeamView::of(store_));
        testState_ = TestState::Testing;
        return {FrameOutcome::Judged, true};
    case TestState::Testing:
        if (TestingStage(model_, BeamView::of(store_))) {
            testState_ = TestState::Finished;
            return {FrameOutcome::Passed, true};
        }
        return {FrameOutcome::Tested, true};
    case TestState::Finished:
        break;
    }
    return {FrameOutcome::Finished, false};
}

TickStep DiagnosticSession::TimerTimer(bool windowActive)
{
    if (!timerEnabled_)
        return {TickOutcome::TimerStopped, {}, false};
    if (!windowActive)
        return {TickOutcome::NotActive, {}, false};
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
