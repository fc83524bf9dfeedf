#include "link/DeviceSession.h"

#include <algorithm>

#include "link/EnumerationProblemText.h"

namespace oculant {

using namespace protocol;

DeviceSession::DeviceSession(HidBackend& backend, HIDTalk::Threading threading)
    : dispatcher_(records_), talk_(backend, threading)
{
}

DeviceSession::~DeviceSession() { talk_.stop(); }

void DeviceSession::setView(SessionView* view)
{
    view_ = view;
    dispatcher_.setListener(view);
}

void DeviceSession::drainTick()
{
    ReceiveRing::Slot report;
    // The receive ring can hold far more frames than the frame ring: a late drain hands frames
    // over as the frame ring fills, rather than letting the oldest be overwritten.
    const int frameRingFull = int(protocol::kSignalRingFrames) - 1;
    while (talk_.popReport(report)) {
        dispatcher_.DispatchResponse(report);
        if (dispatcher_.pendingFrames() == frameRingFull)
            dispatcher_.deliverFrames(frameSink_);
    }
    dispatcher_.deliverFrames(frameSink_);
    followDevice();
}

void DeviceSession::followDevice()
{
    if (talk_.currentDevice() && talk_.currentDeviceGone()) {
        currentFrameGone();
        return;
    }
    // The held change waits for the commands the download's end queued (run, then the
    // information sequence) to reach the frame: a rescan that starts the probe would drop them.
    if (changeHeld_ && !downloadInProgress() && talk_.queuedCommands() == 0) {
        changeHeld_ = false;
        DeviceChangeHook(DeviceChange::Arrival);
    }
}

// The worker found the frame gone (a read or write said so) before any removal was reported,
// or with a removal that changed nothing in the list: udev's remove and add arriving together,
// or a new frame given the same node. The record goes with the frame, so that whatever now
// stands at its path is listed as new and probed.
void DeviceSession::currentFrameGone()
{
    const std::string path = talk_.currentDevice()->path;
    talk_.CloseDevice();
    talk_.ForgetDevice(path);
    talk_.setConnected(false);
    changeHeld_ = false;  // the rescan below sees every change
    ShowUnconnected();
    rescanWhileUnconnected();
}

bool DeviceSession::rescanTimerEnabled() const
{
    if (connected() || probeEnabled_ || downloadInProgress())
        return false;
    return !talk_.backend().followsChanges() || !talk_.enumerationProblems().empty();
}

void DeviceSession::rescanTick()
{
    if (rescanTimerEnabled())
        rescanWhileUnconnected();
}

// A scan of the session's own while unconnected: shown when it connected a frame (a new one is
// shown by the probe it started).
void DeviceSession::rescanWhileUnconnected()
{
    RescanDevices();
    if (connected())
        ShowConnected();
}

void DeviceSession::reportAccessProblems()
{
    std::vector<std::string> lines;
    for (const EnumerationProblem& p : talk_.enumerationProblems()) {
        lines.push_back(enumerationProblemText(p));
        if (const auto fix = enumerationProblemFix(p))
            lines.push_back(*fix);
    }
    if (lines == accessProblems_)
        return;
    accessProblems_ = std::move(lines);
    if (view_)
        view_->showAccessProblems(accessProblems_);
}

void DeviceSession::sendModeStop() { talk_.SendCommand(kCmdMode, kModeStop.data(), kModeStop.size()); }
void DeviceSession::sendModeTouch() { talk_.SendCommand(kCmdMode, kModeTouch.data(), kModeTouch.size()); }
void DeviceSession::sendModeStream(uint8_t mode)
{
    const auto payload = modeStreamPayload(mode);
    talk_.SendCommand(kCmdMode, payload.data(), payload.size());
}

// ---- Connection probe ----

void DeviceSession::probeTick()
{
    switch (probeState_) {
    case 0:
        if (const QuillonDevice* current = talk_.currentDevice()) {
            savedDevice_ = *current;
            talk_.CloseDevice();
        } else {
            savedDevice_.path.clear();
        }
        probeState_ = 1;
        break;
    case 1:
        probeOpenNext();
        break;
    case 2:
        probeState_ = 3;  // waiting for the answer to 0x10
        break;
    case 3:
        // No answer to 0x10 within two ticks: not a frame we can talk to.
        if (!records_.infoAnswered)
            if (const QuillonDevice* current = talk_.currentDevice())
                talk_.RejectDevice(current->path);
        probeState_ = 1;
        break;
    case 4:
        probeReconnect();
        break;
    default:
        probeState_ = 0;
        probeEnabled_ = false;
        break;
    }
}

void DeviceSession::probeOpenNext()
{
    talk_.CloseDevice();
    for (QuillonDevice& d : talk_.devices()) {
        if (!d.isNew)
            continue;
        d.isNew = false;
        if (!talk_.OpenDevice(d))
            continue;
        talk_.setConnected(true);
        records_.infoAnswered = false;
        sendModeStop();
        talk_.SendCommand(kCmdVersionStatus);
        probeState_ = 2;
        return;
    }
    probeState_ = 4;
}

void DeviceSession::probeReconnect()
{
    bool opened = !savedDevice_.path.empty() &&
                  std::any_of(talk_.devices().begin(), talk_.devices().end(),
                              [&](const QuillonDevice& d) { return d.path == savedDevice_.path; }) &&
                  talk_.OpenDevice(savedDevice_);
    // The device that was current before may have gone meanwhile: take any listed one then.
    for (size_t i = 0; !opened && i < talk_.devices().size(); ++i)
        opened = talk_.OpenDevice(talk_.devices()[i]);
    if (!opened) {
        if (talk_.devices().empty()) {
            // Nothing is left to connect to (every new device failed the probe): stop probing
            // and say so instead of retrying for ever.
            talk_.setConnected(false);
            probeState_ = 0;
            probeEnabled_ = false;
            ShowUnconnected();
        }
        return;  // otherwise retried on the next tick
    }
    talk_.setConnected(true);
    refillDeviceList();
    ShowConnected();
    if (view_)
        view_->enableDeviceButtons();
    probeState_ = 0;
    probeEnabled_ = false;
}

// ---- Scan, change, choice ----

void DeviceSession::refillDeviceList()
{
    if (!view_)
        return;
    std::vector<std::string> paths;
    int currentIndex = -1;
    const QuillonDevice* current = talk_.currentDevice();
    for (const QuillonDevice& d : talk_.devices()) {
        if (current && d.path == current->path)
            currentIndex = int(paths.size());
        paths.push_back(d.path);
    }
    view_->refillDeviceList(paths, currentIndex);
}

bool DeviceSession::RescanDevices()
{
    if (view_)
        view_->disableDeviceButtons();
    const HIDTalk::ScanOutcome outcome = talk_.ScanDevices();
    if (outcome.probeNeeded)
        probeEnabled_ = true;
    refillDeviceList();
    reportAccessProblems();
    return !talk_.devices().empty();
}

void DeviceSession::DeviceChangeHook(DeviceChange)
{
    // During a download only the removal of its own frame is handled at once (the rescan closes
    // it, which ends the transfer); anything else waits for the end (followDevice).
    if (downloadInProgress() && talk_.currentDevice() && !talk_.currentDeviceGone() && talk_.currentDeviceListed()) {
        changeHeld_ = true;
        return;
    }
    changeHeld_ = false;
    const size_t before = talk_.devices().size();
    RescanDevices();
    if (talk_.devices().size() != before) {
        if (connected())
            ShowConnected();
        else
            ShowUnconnected();
    }
    if (connected() && view_)
        view_->enableDeviceButtons();
}

std::string DeviceSession::ComboBox1Change(int index, const std::string& text)
{
    const QuillonDevice* current = talk_.currentDevice();
    if (current && current->path == text)
        return {};
    talk_.CloseDevice();
    if (index < 0 || size_t(index) >= talk_.devices().size())
        return {};
    if (talk_.OpenDevice(talk_.devices()[size_t(index)])) {
        talk_.setConnected(true);
        ShowConnected();
        return {};
    }
    talk_.setConnected(false);
    ShowUnconnected();
    return kCannotOpenText;
}

// ---- Connected state and information ----

void DeviceSession::ShowConnected()
{
    if (view_) {
        view_->showConnected();
        view_->enableDeviceButtons();
    }
    if (active_ == ActiveWindow::DrawTest) {
        sendModeTouch();
    } else if (active_ == ActiveWindow::None) {
        startInformationSequence();
    } else {
        sendModeStream(kModeDiagnostic);
        if (active_ == ActiveWindow::Diagnostic && view_)
            view_->restartDiagnostic();
    }
}

void DeviceSession::ShowUnconnected()
{
    if (view_) {
        view_->showUnconnected();
        view_->disableDeviceButtons();
    }
}

void DeviceSession::startInformationSequence()
{
    // Always from the first step: a frame plugged back while an earlier sequence ran must be
    // read completely, not from where the old sequence stopped.
    infoEnabled_ = true;
    infoStep_ = 0;
    watchEnabled_ = false;
    records_.answered = 0;
    missing_ = 0;
}

void DeviceSession::infoTick()
{
    if (!infoEnabled_)
        return;
    static constexpr uint8_t kSequence[] = {kCmdVersionStatus, kCmdIdentity, kCmdIdentifier,
                                            kCmdUserParams, kCmdUserParams2, kCmdParameterBlock};
    if (view_)
        view_->setRefreshEnabled(false);
    if (infoStep_ < int(std::size(kSequence))) {
        talk_.SendCommand(kSequence[infoStep_]);
        ++infoStep_;
        return;
    }
    infoEnabled_ = false;
    infoStep_ = 0;
    if (view_)
        view_->setRefreshEnabled(true);
    watchEnabled_ = true;
    watchTicks_ = 0;
    resends_ = 0;
}

void DeviceSession::answerWatchTick()
{
    if (!watchEnabled_)
        return;
    if (!connected() || (records_.answered & kAllInformationAnswers) == kAllInformationAnswers) {
        endAnswerWatch();
        return;
    }
    if (++watchTicks_ < kAnswerWaitTicks)
        return;
    // A recording played back answers nothing that is asked of it: what it holds came already.
    if (resends_ >= kInfoResends || connectedToRecording()) {
        endAnswerWatch();
        return;
    }
    ++resends_;
    watchTicks_ = 0;
    for (const InformationQuestion& q : kInformationQuestions)
        if (!(records_.answered & q.answer))
            talk_.SendCommand(q.command);
}

void DeviceSession::endAnswerWatch()
{
    watchEnabled_ = false;
    missing_ = connected() ? uint8_t(kAllInformationAnswers & ~records_.answered) : 0;
    if (view_ && connected())
        view_->showMissingAnswers(missingAnswerNames(), notAnswering());
}

std::string DeviceSession::missingAnswersText() const
{
    const int n = timesAsked();
    const std::string asked = n == 1 ? "once: a recording is not asked again" : std::to_string(n) + " times";
    if (notAnswering())
        return "the frame is connected but not answering (asked " + asked + ")";
    std::string names;
    for (const std::string& name : missingAnswerNames())
        names += (names.empty() ? "" : ", ") + name;
    return names.empty() ? std::string() : "the frame did not answer " + names + ", asked " + asked;
}

std::vector<std::string> DeviceSession::missingAnswerNames() const
{
    std::vector<std::string> names;
    for (const InformationQuestion& q : kInformationQuestions)
        if (missing_ & q.answer)
            names.emplace_back(q.name);
    return names;
}

bool DeviceSession::startDownload(uint32_t length, const uint8_t* header, const uint8_t* data)
{
    constexpr uint8_t kCalibrationBlockKind = 1;
    if (!talk_.StartBlockWrite(kCalibrationBlockKind, length, header, data))
        return false;
    downloadEndPending_ = true;
    return true;
}

void DeviceSession::RequestRunAndRefresh()
{
    talk_.SendCommand(kCmdRun);
    talk_.SendCommand(kCmdRun);
    startInformationSequence();
    downloadEndPending_ = false;
}

void DeviceSession::refresh()
{
    records_.parameterSummary.fill(0);
    startInformationSequence();
}

void DeviceSession::mainWindowActivated()
{
    const uint8_t model = records_.modelCode();
    if (model != 0 && model != 16 && model != 18)
        sendModeStop();
}

void DeviceSession::close()
{
    if (connected())
        sendModeStop();
    talk_.stop();
}

}  // namespace oculant
