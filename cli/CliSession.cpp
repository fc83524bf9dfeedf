#include "cli/CliSession.h"

#include <chrono>
#include <csignal>
#include <thread>

#include "link/EnumerationProblemText.h"
#include "base/SteadyClock.h"

namespace oculant::cli {

std::atomic<bool> interrupted{false};

namespace {

void onSignal(int) { interrupted.store(true); }

// What the CLI keeps of what the main window would show. Once notes are on (after the first
// connection), losing the frame and finding one again are said on them.
class StatusView : public SessionView {
public:
    StatusView(std::string& status, DeviceSession& session) : status_(status), session_(session) {}
    void onStatusText(const std::string& text) override { status_ = text; }
    void setNotes(std::ostream* notes) { notes_ = notes; }
    void showUnconnected() override
    {
        if (notes_ && !lost_)
            *notes_ << "oculant-cli: the frame is no longer connected; looking for it again\n";
        lost_ = notes_ != nullptr;
    }
    void showConnected() override
    {
        if (notes_ && lost_)
            if (const QuillonDevice* d = session_.talk().currentDevice())
                *notes_ << "oculant-cli: connected to " << d->path << "\n";
        lost_ = false;
    }

private:
    std::string& status_;
    DeviceSession& session_;
    std::ostream* notes_ = nullptr;
    bool lost_ = false;
};

}  // namespace

void installInterruptHandler()
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

std::unique_ptr<CliSession> CliSession::openConnected(CommandContext& ctx, const char* command, int& exitCode,
                                                      const std::string& logDirectory)
{
    std::unique_ptr<CliSession> cs = open(ctx, command, nullptr, 10000, exitCode, logDirectory);
    if (cs)
        static_cast<StatusView&>(*cs->view_).setNotes(&ctx.err);  // the session's view is always one
    return cs;
}

std::unique_ptr<CliSession> CliSession::openWithView(CommandContext& ctx, const char* command, SessionView& view,
                                                     int timeoutMs, int& exitCode, const std::string& logDirectory)
{
    return open(ctx, command, &view, timeoutMs, exitCode, logDirectory);
}

std::unique_ptr<CliSession> CliSession::open(CommandContext& ctx, const char* command, SessionView* view,
                                             int timeoutMs, int& exitCode, const std::string& logDirectory)
{
    std::string error;
    std::unique_ptr<CliSession> cs = create(ctx.global, error, logDirectory);
    if (!cs) {
        ctx.err << "oculant-cli: " << error << "\n";
        exitCode = kExitFailed;
        return nullptr;
    }
    installInterruptHandler();
    if (view)
        cs->session().setView(view);
    if (!cs->connect(timeoutMs, error)) {
        if (view)
            cs->session().setView(nullptr);
        ctx.err << "oculant-cli " << command << ": " << error << "\n";
        exitCode = kExitNoFrame;
        return nullptr;
    }
    cs->reportWorker(ctx);
    if (const std::string missing = cs->session().missingAnswersText(); !missing.empty())
        ctx.err << "oculant-cli " << command << ": " << missing << "\n";
    return cs;
}

std::unique_ptr<CliSession> CliSession::create(const GlobalOptions& options, std::string& error,
                                               const std::string& logDirectory)
{
    BackendOptions backendOpts = backendOptions(options);
    auto simulatedMs = std::make_shared<std::atomic<int64_t>>(0);
    if (options.simulatedTime)
        backendOpts.virtualClock = [simulatedMs] { return simulatedMs->load() * 1000; };
    std::unique_ptr<BackendSet> backends = makeBackends(backendOpts, error);
    if (!backends)
        return nullptr;
    std::unique_ptr<CliSession> s(new CliSession(std::move(backends), logDirectory, options.simulatedTime));
    s->simulatedMs_ = simulatedMs;
    s->wantedDevice_ = options.device.value_or("");
    s->captureFile_ = options.captureFile;
    s->captureOutcome_ = options.capture;
    return s;
}

CliSession::CliSession(std::unique_ptr<BackendSet> backends, const std::string& logDirectory, bool simulated)
    : backends_(std::move(backends)), simulated_(simulated)
{
    SessionCore::Options options;
    options.threading = simulated ? HIDTalk::Threading::Manual : HIDTalk::Threading::RealtimeThread;
    options.logDirectory = logDirectory;
    core_ = std::make_unique<SessionCore>(backends_->sessionBackend(), std::move(options));
    view_ = std::make_unique<StatusView>(lastStatus_, core_->device());
    core_->setView(view_.get());
}

void CliSession::reportWorker(const CommandContext& ctx) const
{
    if (!ctx.global.verbose)
        return;
    std::string text = "none, the session steps the worker (simulated time)";
    if (!simulated_) {
        // Connecting took longer than asking, but for a bus that does not answer.
        WorkerScheduling s = core_->talk().scheduling();
        for (int i = 0; i < 3000 && s.kind == SchedulingKind::Pending; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            s = core_->talk().scheduling();
        }
        text = schedulingText(s);
    }
    ctx.err << "oculant-cli: worker thread: " << text << "\n";
}

int64_t CliSession::nowMs() const { return simulated_ ? simulatedMs_->load() : steadyMs(); }

CliSession::~CliSession() { close(); }

bool CliSession::runFor(int ms, const std::function<bool()>& done, bool interruptible)
{
    const int64_t end = nowMs() + ms;
    for (;;) {
        const int64_t now = nowMs();
        core_->tick(now);
        if (done && done())
            return true;
        if (now >= end || (interruptible && interrupted.load()))
            return false;
        if (simulated_)
            simulatedMs_->fetch_add(5);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool CliSession::connect(int timeoutMs, std::string& error)
{
    core_->start(nowMs());
    const bool connected = runFor(timeoutMs, [&] { return session().connected() && !core_->probeRunning(); });
    if (!connected) {
        error = interrupted.load() ? "interrupted" : "no touch frame connected";
        for (const EnumerationProblem& p : session().talk().enumerationProblems()) {
            error += "\n" + enumerationProblemText(p);
            if (const auto fix = enumerationProblemFix(p))
                error += "\n  " + *fix;
        }
        return false;
    }
    if (!wantedDevice_.empty()) {
        const auto& list = session().talk().devices();
        int index = -1;
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].path == wantedDevice_)
                index = int(i);
        if (index < 0) {
            error = wantedDevice_ + " is not a connected touch frame";
            return false;
        }
        const std::string message = session().ComboBox1Change(index, list[size_t(index)].path);
        if (!message.empty()) {
            error = message;
            return false;
        }
    }
    // Let the information sequence that connecting started finish, and its answers come (asked
    // again through a lossy link).
    runFor(kInformationMs, [&] { return !session().infoTimerEnabled() && !session().answerWatchEnabled(); });
    return session().connected();
}

void CliSession::close()
{
    if (closed_)
        return;
    closed_ = true;
    const QuillonDevice* current = session().talk().currentDevice();
    const std::string device = current ? current->path : wantedDevice_;
    core_->stop();  // a manual worker writes what is queued inside the stop
    if (backends_->recorder)
        writeCapture(device);
}

void CliSession::writeCapture(const std::string& device)
{
    CaptureOutcome& outcome = *captureOutcome_;
    outcome.attempted = true;
    std::optional<CaptureFile> capture;
    // A frame unplugged during the capture is no longer current: then the only one recorded.
    const std::vector<std::string> recorded = backends_->recorder->recordedPaths();
    if (!device.empty())
        capture = backends_->recorder->capture(device);
    else if (recorded.size() == 1)
        capture = backends_->recorder->capture(recorded.front());
    if (!capture) {
        outcome.error = "no frame was connected";
        return;
    }
    if (capture->descriptor.empty()) {
        outcome.error = device + " gave no report descriptor";
        return;
    }
    capture->comments = {capture->name, "Input reports are the E: lines; the reports sent to the frame are kept as "
                                        "W: comments, which replay tools skip"};
    if (!saveCaptureFile(captureFile_, *capture, outcome.error))
        return;
    outcome.written = true;
    outcome.error.clear();
    outcome.inputReports = capture->inputCount();
    outcome.outputReports = capture->events.size() - outcome.inputReports;
    outcome.seconds = double(capture->durationUs()) / 1e6;
}

FramesLost CliSession::framesLost()
{
    const ResponseDispatcher& d = session().dispatcher();
    return {d.incompleteFrames(), session().talk().receiveOverruns() + d.droppedFrames(),
            processor().drops().total()};
}

}  // namespace oculant::cli
