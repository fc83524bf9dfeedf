#include "session/SessionCore.h"

namespace oculant {

SessionCore::SessionCore(HidBackend& backend, Options options)
    : backend_(backend), manualWorker_(options.threading == HIDTalk::Threading::Manual),
      ownStore_(options.store ? nullptr : std::make_unique<SignalStore>()),
      store_(options.store ? options.store : ownStore_.get()),
      processor_(*store_, std::move(options.logDirectory), std::move(options.logClock)),
      device_(backend, options.threading)
{
    device_.setFrameSink([this](const uint8_t* data, uint32_t length) { processFrame(data, length); });
    backend_.setChangeCallback([this](DeviceChange change, const std::string&) { deviceChanged(change); });
}

SessionCore::~SessionCore() { stop(); }

void SessionCore::deviceChanged(DeviceChange change)
{
    std::lock_guard lock(changesMutex_);
    pendingChanges_.push_back(change);
}

void SessionCore::startSchedule(int64_t nowMs)
{
    firstTick_ = false;
    lastNow_ = lastDrain_ = lastProbe_ = lastInfo_ = lastRescan_ = lastRedraw_ = lastDownload_ = nowMs;
}

void SessionCore::start(int64_t nowMs)
{
    if (started_ || stopped_)
        return;
    started_ = true;
    if (firstTick_)
        startSchedule(nowMs);
    // The first scan sees every device there is; what arrived before it is not news.
    {
        std::lock_guard lock(changesMutex_);
        pendingChanges_.clear();
    }
    if (device_.RescanDevices() && device_.connected())
        device_.ShowConnected();
    else
        device_.ShowUnconnected();
}

void SessionCore::stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    // No change is taken once the worker ends: the backend may outlive the core.
    backend_.setChangeCallback({});
    device_.close();  // mode 0 when connected, then the worker writes what is queued and ends
    downloadStep_ = {};
    // No frame comes any more to close a log that is still being written: close it now.
    const std::string logFailure = processor_.recorder().finish();
    if (!logFailure.empty() && firstLogError_.empty())
        firstLogError_ = logFailure;
}

bool SessionCore::due(int64_t now, int64_t& last, int periodMs)
{
    if (now - last < periodMs)
        return false;
    // A late tick runs the timer once and keeps its phase; one that is very late starts anew.
    last = now - last >= 2 * periodMs ? now : last + periodMs;
    return true;
}

void SessionCore::tick(int64_t nowMs)
{
    if (stopped_)
        return;
    if (firstTick_)
        startSchedule(nowMs);
    lastNow_ = nowMs;
    if (manualWorker_)
        pumpWorker();
    handleDeviceChanges();
    // What each timer was before this tick: one that a tick turns on first fires a period later,
    // as a timer started at that moment would.
    const bool probe = device_.probeTimerEnabled(), info = device_.infoTimerEnabled(),
               watch = !info && device_.answerWatchEnabled(),
               rescan = device_.rescanTimerEnabled(), download = followingDownload();

    if (due(nowMs, lastDrain_, kDrainMs)) {
        ++counts_.drains;
        device_.drainTick();
    }
    if (probe && due(nowMs, lastProbe_, kProbeMs) && device_.probeTimerEnabled()) {
        ++counts_.probes;
        device_.probeTick();
    }
    if (info && due(nowMs, lastInfo_, kInfoMs) && device_.infoTimerEnabled()) {
        ++counts_.infos;
        device_.infoTick();
    } else if (watch && due(nowMs, lastInfo_, kInfoMs)) {
        device_.answerWatchTick();
    }
    if (rescan && due(nowMs, lastRescan_, kRescanMs)) {
        ++counts_.rescans;
        device_.rescanTick();
    }
    if (due(nowMs, lastRedraw_, kRedrawMs) && redraw_) {
        ++counts_.redraws;
        redraw_();
    }
    if (download && due(nowMs, lastDownload_, kDownloadMs) && downloadStep_) {
        ++counts_.downloads;
        if (!downloadStep_())
            downloadStep_ = {};
    }

    // In simulated time the log's writer thread would be ever slower than the ticks; a stepped
    // session waits for it as it steps the worker.
    if (manualWorker_)
        processor_.recorder().waitWritten();

    if (!probe && device_.probeTimerEnabled())
        lastProbe_ = nowMs;
    if (!info && device_.infoTimerEnabled())
        lastInfo_ = nowMs;
    if (!rescan && device_.rescanTimerEnabled())
        lastRescan_ = nowMs;
}

void SessionCore::drainNow()
{
    handleDeviceChanges();
    device_.drainTick();
}

void SessionCore::followDownload(std::function<bool()> step)
{
    downloadStep_ = std::move(step);
    lastDownload_ = lastNow_;  // the first step a period from now
}

void SessionCore::processFrame(const uint8_t* data, uint32_t length)
{
    const FrameResult result = processor_.ProcessFrame(data, length);
    if (!result.logError.empty() && firstLogError_.empty())
        firstLogError_ = result.logError;
    for (const FrameObserver& observe : frameObservers_)
        observe(data, length, result);
}

void SessionCore::handleDeviceChanges()
{
    // Asking first lets a backend that learns of changes through a descriptor (udev) report
    // them; the others have reported already, from the call that made the change.
    backend_.processChangeEvents();
    std::vector<DeviceChange> changes;
    {
        std::lock_guard lock(changesMutex_);
        changes.swap(pendingChanges_);
    }
    for (DeviceChange change : changes)
        device_.DeviceChangeHook(change);
}

void SessionCore::pumpWorker()
{
    // Bounded: a worker that always finds work (a frame streaming faster than it is read) must
    // not hold the tick for ever.
    for (int i = 0; i < 10000 && device_.talk().workerPass(); ++i) {
    }
}

}  // namespace oculant
