// The whole receive pipeline in real time: the virtual frame streaming signal frames through the
// HIDTalk worker thread, the receive ring, the session core's 20 ms drain tick (dispatch, frame
// reassembly, frame ring) and ProcessFrame, ticked the way the main window ticks it.
//
//   bench_pipeline [--seconds S] [--rate R] [--profile FILE] [--minutes M] [--connects N]
//                  [--only throughput|paced|connect|memory|wakeups] [--hog N] [--no-realtime]
//                  [--watch-cpus]
//
// 1. Throughput: reports per second sustained with nothing lost anywhere on the way (virtual
//    frame queue and skipped scans, receive ring, frame ring, malformed chunks, frame processor),
//    and CPU time per report, at the paced rate R (default 8000 reports/s: one per 125 us
//    high-speed microframe) and unpaced (the frame sends its next scan as soon as the last is
//    read) both at the app's 20 ms drain and with the drain run back to back.
// 2. Start to connected: backends and session created, connection probe, information sequence.
// 3. Memory: RSS sampled ten times over M minutes of streaming at R with recording on; with it
//    the whole recording's losses, frames not written to the log and CPU per report.
// 4. Wake-ups (only with --only wakeups): the machine alone, a bare real-time thread sleeping
//    125 us at a time for M minutes, to tell the machine's lateness from the program's.
// With hogs, each reports when its CPU ran nothing at all for over a millisecond without the
// time being counted as stolen (bench/HostStalls.h), and the memory run lays the worker's gaps in
// reading beside those stalls. --watch-cpus adds a watcher bound to each CPU at SCHED_IDLE, so
// that a CPU no hog is on is watched while it would be idle.
// --hog N starts N busy-looping processes for the run, so that a busy machine is reproducible;
// --no-realtime keeps the worker at normal scheduling, as a system that allows no real-time
// thread would.
// Plain main rather than Google Benchmark: the runs are seconds to minutes of wall-clock time
// with counters that must stay zero, not a tight loop.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "session/BackendSet.h"
#include "session/SessionCore.h"
#include "backends/virtual/VirtualBackend.h"
#include "backends/virtual/VirtualFrame.h"
#include "backends/virtual/VirtualFrameProfile.h"
#include "signal/FrameProcessor.h"
#include "bench/HostStalls.h"

namespace {

using namespace oculant;
using SteadyClock = std::chrono::steady_clock;
using benchhost::Hogs;

struct Options {
    double seconds = 3;
    int rate = 8000;
    std::string profilePath;
    double minutes = 0.25;  // short by default: `make bench` runs every bench without arguments
    int connects = 5;
    std::string only;
    int hogs = 0;
    bool realtime = true;
    bool watchCpus = false;
};

// Set from --no-realtime: how every pipeline's worker runs.
HIDTalk::Threading gWorkerThreading = HIDTalk::Threading::RealtimeThread;

double secondsSince(SteadyClock::time_point t) { return std::chrono::duration<double>(SteadyClock::now() - t).count(); }

double processCpuSeconds() { return double(benchhost::clockNs(CLOCK_PROCESS_CPUTIME_ID)) / 1e9; }

double threadCpuSeconds() { return double(benchhost::clockNs(CLOCK_THREAD_CPUTIME_ID)) / 1e9; }

// Each thread's CPU time so far (ns, from /proc/self/task/*/schedstat), by its name.
std::map<std::string, uint64_t> threadCpuNs()
{
    std::map<std::string, uint64_t> byName;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream comm(task.path() / "comm"), schedstat(task.path() / "schedstat");
        std::string name;
        uint64_t ns = 0;
        if (std::getline(comm, name) && schedstat >> ns)
            byName[name] += ns;
    }
    return byName;
}

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The machine's CPU time so far, in clock ticks, and the part of it a hypervisor gave to other
// guests ("steal" in /proc/stat). While a virtual machine's CPUs are not run, no thread of it
// runs, real-time or not: a frame's scans that arrive meanwhile overflow the kernel's queue
// whatever this program does.
struct CpuTicks {
    uint64_t total = 0;
    uint64_t stolen = 0;
};

CpuTicks machineCpuTicks()
{
    std::ifstream stat("/proc/stat");
    std::string cpu;
    stat >> cpu;
    CpuTicks t;
    uint64_t field = 0;
    for (int i = 0; i < 8 && stat >> field; ++i) {
        t.total += field;
        if (i == 7)
            t.stolen = field;
    }
    return t;
}

double stolenPercent(const CpuTicks& from, const CpuTicks& to)
{
    const uint64_t total = to.total - from.total;
    return total ? 100.0 * double(to.stolen - from.stolen) / double(total) : 0;
}

// Input reports that carried a frame of this length: the virtual frame sends 61 data bytes per
// report, and a frame that fits one report as an empty first piece and a last piece.
uint64_t reportsOfFrame(uint32_t length)
{
    const uint64_t chunks = (length + protocol::kSignalChunkMaxData - 1) / protocol::kSignalChunkMaxData;
    return std::max<uint64_t>(2, chunks);
}

// How many reports one live scan of this profile takes, and what the virtual frame itself costs
// per report (it runs on the worker thread inside each read, where a real frame costs nothing).
struct FrameCost {
    uint64_t reportsPerScan = 0;
    double cpuUsPerReport = 0;
};

FrameCost measureFrameCost(const VirtualFrameProfile& profile)
{
    int64_t nowUs = 0;
    VirtualFrameProfile paced = profile;
    paced.frameRate = 1000;
    VirtualFrame frame(paced, [&] { return nowUs; });
    const uint8_t mode[60] = {VirtualFrame::kOutputReportId, protocol::kCmdMode, protocol::kModeSignal, 0x31};
    frame.receiveOutputReport(mode, sizeof mode);
    while (frame.takeInputReport()) {  // reference, threshold and the first live scan
    }
    FrameCost cost;
    const double start = threadCpuSeconds();
    uint64_t reports = 0;
    const int scans = 2000;
    for (int i = 0; i < scans; ++i) {
        nowUs += 1000;
        while (frame.takeInputReport())
            ++reports;
    }
    cost.reportsPerScan = reports / scans;
    cost.cpuUsPerReport = (threadCpuSeconds() - start) * 1e6 / double(reports);
    return cost;
}

// Everything that can lose a report or a frame on its way to the store.
struct Losses {
    uint64_t frameQueue = 0;    // the virtual frame's input queue overflowed
    uint64_t skippedScans = 0;  // scans that fell due while the worker did not read
    uint64_t receiveRing = 0;   // reports refused by the full receive ring
    uint64_t frameRing = 0;     // assembled frames overwritten in the 64-frame ring
    uint64_t malformed = 0;     // signal chunks that broke reassembly
    uint64_t processor = 0;     // frames ProcessFrame dropped
    uint64_t total() const { return frameQueue + skippedScans + receiveRing + frameRing + malformed + processor; }
};

// Ticks a session core on the steady clock as the main window's timer does (every 10 ms), until
// `done` or the time is up. With `backToBack` a drain runs again as soon as the last returned
// (the ceiling of the processing), besides the ticks. Returns whether `done` said so; measures
// the longest tick, which is what held the UI thread (and the ring).
bool runCore(SessionCore& core, double seconds, const std::function<bool()>& done, bool backToBack,
             SteadyClock::duration* longestTick)
{
    const auto start = SteadyClock::now();
    const auto end = start + std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(seconds));
    auto nextTick = start;
    for (;;) {
        const auto now = SteadyClock::now();
        if (backToBack)
            core.drainNow();
        if (now >= nextTick) {
            core.tick(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
            if (longestTick)
                *longestTick = std::max(*longestTick, SteadyClock::now() - now);
            nextTick += std::chrono::milliseconds(SessionCore::kTickMs);
            if (nextTick < now)
                nextTick = now;  // a late tick is not made up in a burst, as with QTimer
        }
        if (done && done())
            return true;
        if (now >= end)
            return false;
        if (!backToBack)
            std::this_thread::sleep_until(std::min(nextTick, end));
    }
}

// The virtual frame's backend and the session core with its real worker thread, as the app
// wires them.
class Pipeline {
public:
    Pipeline(const VirtualFrameProfile& profile, const std::string& logDirectory)
        : frame_(std::make_shared<VirtualFrame>(profile)), core_(attached(backend_, frame_), options(logDirectory))
    {
        core_.addFrameObserver([this](const uint8_t*, uint32_t length, const FrameResult&) {
            ++frames_;
            reports_ += reportsOfFrame(length);
        });
    }
    ~Pipeline() { core_.stop(); }

    bool connect(double timeoutSeconds)
    {
        core_.start(std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now().time_since_epoch()).count());
        return runFor(timeoutSeconds, [&] {
            return session().connected() && !core_.probeRunning() && !core_.informationRunning();
        });
    }

    bool runFor(double seconds, const std::function<bool()>& done = {}, bool backToBack = false)
    {
        return runCore(core_, seconds, done, backToBack, &longestTick_);
    }

    // Stops the stream and drains what is still on its way, so that every frame the virtual
    // frame sent can be compared with what the processor got.
    void stopStream()
    {
        session().sendModeStop();
        runFor(0.2);
    }

    Losses losses()
    {
        Losses l;
        l.frameQueue = frame_->reportsLost();
        l.skippedScans = frame_->scansSkipped();
        l.receiveRing = core_.device().talk().receiveOverruns();
        l.frameRing = core_.device().dispatcher().droppedFrames();
        l.malformed = core_.device().dispatcher().malformedChunks();
        l.processor = core_.processor().drops().total();
        return l;
    }

    DeviceSession& session() { return core_.device(); }
    FrameProcessor& processor() { return core_.processor(); }
    VirtualFrame& frame() { return *frame_; }
    uint64_t frames() const { return frames_; }
    uint64_t reports() const { return reports_; }
    double longestTickMs() const { return std::chrono::duration<double, std::milli>(longestTick_).count(); }
    std::string schedulingLine() { return schedulingText(core_.device().talk().scheduling()); }
    const std::string& logError() const { return core_.firstLogError(); }

private:
    static HidBackend& attached(VirtualBackend& backend, std::shared_ptr<VirtualFrame> frame)
    {
        backend.attach(std::move(frame));
        return backend;
    }
    static SessionCore::Options options(const std::string& logDirectory)
    {
        SessionCore::Options o;
        o.threading = gWorkerThreading;
        o.logDirectory = logDirectory;
        return o;
    }

    VirtualBackend backend_;
    std::shared_ptr<VirtualFrame> frame_;
    SessionCore core_;
    uint64_t frames_ = 0;
    uint64_t reports_ = 0;
    SteadyClock::duration longestTick_{};
};

std::string lossText(const Losses& l)
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "lost: frame queue %llu, skipped scans %llu, receive ring %llu, frame ring %llu, malformed %llu, "
                  "processor %llu",
                  (unsigned long long)l.frameQueue, (unsigned long long)l.skippedScans, (unsigned long long)l.receiveRing,
                  (unsigned long long)l.frameRing, (unsigned long long)l.malformed, (unsigned long long)l.processor);
    return text;
}

struct StreamFigures {
    double wallSeconds = 0;
    uint64_t reports = 0;      // reports of the frames handed to ProcessFrame
    uint64_t reportsRead = 0;  // reports the worker read, kept or refused by the ring
    double cpuSeconds = 0;     // whole process: worker, UI thread, virtual frame
    double uiCpuSeconds = 0;  // the drain tick and ProcessFrame alone
    Losses losses;
    bool allFramesArrived = false;
    uint64_t framesStreamed = 0, framesProcessed = 0;
    std::string scheduling;  // of the worker thread
};

// Streams for `seconds` once connected; counts only the streaming window.
bool streamRun(const VirtualFrameProfile& profile, double seconds, bool backToBack, StreamFigures& f)
{
    Pipeline p(profile, ".");
    if (!p.connect(5)) {
        std::printf("  no connection to the virtual frame\n");
        return false;
    }
    f.scheduling = p.schedulingLine();
    p.session().sendModeStream(protocol::kModeSignal);
    p.runFor(0.3);  // the reference and threshold frames, and the stream settles
    const uint64_t reports0 = p.reports();
    const uint64_t refused0 = p.session().talk().receiveOverruns();
    const double cpu0 = processCpuSeconds(), ui0 = threadCpuSeconds();
    const auto t0 = SteadyClock::now();
    p.runFor(seconds, {}, backToBack);
    f.wallSeconds = secondsSince(t0);
    f.cpuSeconds = processCpuSeconds() - cpu0;
    f.uiCpuSeconds = threadCpuSeconds() - ui0;
    f.reports = p.reports() - reports0;
    f.reportsRead = f.reports + p.session().talk().receiveOverruns() - refused0;
    p.stopStream();
    f.losses = p.losses();
    f.framesStreamed = p.frame().framesStreamed();
    f.framesProcessed = p.frames();
    f.allFramesArrived = f.framesStreamed == f.framesProcessed;
    return true;
}

void printStream(const char* title, const StreamFigures& f, const FrameCost& cost)
{
    const double perSecond = double(f.reports) / f.wallSeconds;
    if (f.reportsRead != f.reports)
        std::printf("%s\n  the worker read %.0f reports/s; %.2f us CPU per report read\n", title,
                    double(f.reportsRead) / f.wallSeconds, f.cpuSeconds * 1e6 / double(std::max<uint64_t>(1, f.reportsRead)));
    else
        std::printf("%s\n", title);
    const double usPerReport = f.cpuSeconds * 1e6 / double(std::max<uint64_t>(1, f.reports));
    const double uiUsPerReport = f.uiCpuSeconds * 1e6 / double(std::max<uint64_t>(1, f.reports));
    const double toolUsPerReport = std::max(0.0, usPerReport - cost.cpuUsPerReport);
    std::printf("  %.0f reports/s over %.2f s (%llu reports)\n", perSecond, f.wallSeconds, (unsigned long long)f.reports);
    std::printf("  CPU %.2f us per report, %.1f %% of one core (UI thread %.2f us; the virtual frame's own\n"
                "      simulation about %.2f us; the tool without it about %.2f us, %.1f %% of one core)\n",
                usPerReport, 100 * f.cpuSeconds / f.wallSeconds, uiUsPerReport, cost.cpuUsPerReport, toolUsPerReport,
                toolUsPerReport * perSecond / 1e4);
    std::printf("  %s\n", lossText(f.losses).c_str());
    std::printf("  frames sent %llu, processed %llu: %s\n", (unsigned long long)f.framesStreamed,
                (unsigned long long)f.framesProcessed, f.allFramesArrived ? "all arrived" : "MISSING FRAMES");
    std::printf("  worker thread: %s\n", f.scheduling.c_str());
}

bool throughput(const Options& o, const VirtualFrameProfile& base)
{
    const FrameCost cost = measureFrameCost(base);
    VirtualFrameProfile paced = base;
    // The frame paces whole scans: the smallest scan rate that gives at least R reports/s.
    paced.frameRate = int((uint64_t(o.rate) + cost.reportsPerScan - 1) / cost.reportsPerScan);
    if (paced.frameRate > 1000) {
        std::printf("throughput: %d reports/s needs more than 1000 scans/s with this geometry\n", o.rate);
        return false;
    }
    std::printf("== Throughput (%llu reports per scan; virtual frame %.2f us CPU per report on its own)\n",
                (unsigned long long)cost.reportsPerScan, cost.cpuUsPerReport);
    bool ok = true;
    StreamFigures f;
    char title[160];
    std::snprintf(title, sizeof title, "paced: %d scans/s = %llu reports/s offered, 20 ms drain", paced.frameRate,
                  (unsigned long long)(paced.frameRate * cost.reportsPerScan));
    if (streamRun(paced, o.seconds, false, f)) {
        printStream(title, f, cost);
        ok = ok && f.losses.total() == 0 && f.allFramesArrived;
    }
    if (o.only == "paced")
        return ok;
    // The ceiling at the app's 20 ms drain: faster paces until something is lost. The receive
    // ring bounds it at 2,047 reports per tick (102,350 reports/s), the virtual frame at 1,000
    // scans/s.
    int best = 0;
    std::vector<int> paces;
    for (int scans = paced.frameRate + 100; scans < 1000; scans += 100)
        paces.push_back(scans);
    paces.push_back(1000);  // the virtual frame's fastest pace
    for (int scans : paces) {
        VirtualFrameProfile faster = base;
        faster.frameRate = scans;
        if (!streamRun(faster, std::min(o.seconds, 1.5), false, f))
            break;
        const bool clean = f.losses.total() == 0 && f.allFramesArrived;
        std::printf("  %d scans/s = %llu reports/s offered: %.0f reports/s, %s\n", scans,
                    (unsigned long long)(scans * cost.reportsPerScan), double(f.reports) / f.wallSeconds,
                    clean ? "nothing lost" : lossText(f.losses).c_str());
        if (!clean)
            break;
        best = scans;
    }
    if (best)
        std::printf("  highest pace without loss: %llu reports/s\n", (unsigned long long)(best * cost.reportsPerScan));
    VirtualFrameProfile unpaced = base;
    unpaced.frameRate = 0;
    if (streamRun(unpaced, o.seconds, false, f))
        printStream("unpaced, 20 ms drain: the ring takes 2,047 reports per tick, the rest is refused", f, cost);
    if (streamRun(unpaced, o.seconds, true, f))
        printStream("unpaced, drain back to back: the worker's and the UI thread's own ceilings", f, cost);
    return ok;
}

bool startToConnected(const Options& o)
{
    std::printf("== Start to connected (makeBackends with hidraw and the default virtual frame, real worker)\n");
    std::vector<double> connected, informed;
    for (int i = 0; i < o.connects; ++i) {
        const auto t0 = SteadyClock::now();
        BackendOptions bo;
        bo.virtualFrame = true;
        std::string error;
        std::unique_ptr<BackendSet> backends = makeBackends(bo, error);
        if (!backends) {
            std::printf("  %s\n", error.c_str());
            return false;
        }
        SessionCore core(backends->sessionBackend());
        DeviceSession& session = core.device();
        core.start(std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now().time_since_epoch()).count());
        double tConnected = -1, tInformed = -1;
        runCore(core, 5, [&] {
            if (tConnected < 0 && session.connected() && !core.probeRunning())
                tConnected = secondsSince(t0);
            if (tConnected >= 0 && !core.informationRunning() && session.records().infoAnswered)
                tInformed = secondsSince(t0);
            return tInformed >= 0;
        }, false, nullptr);
        core.stop();
        if (tConnected < 0 || tInformed < 0) {
            std::printf("  run %d: not connected within 5 s\n", i + 1);
            return false;
        }
        connected.push_back(tConnected * 1000);
        informed.push_back(tInformed * 1000);
    }
    auto summary = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        char text[96];
        std::snprintf(text, sizeof text, "median %.0f ms (min %.0f, max %.0f)", v[v.size() / 2], v.front(), v.back());
        return std::string(text);
    };
    std::printf("  connected: %s over %d runs\n", summary(connected).c_str(), o.connects);
    std::printf("  information sequence ended: %s\n", summary(informed).c_str());
    return true;
}

// The hogs' CPUs that ran nothing for a while (not even the kernel's tick) with no steal counted,
// and the worker's gaps in reading that cost scans, side by side: a gap that lies within such a
// stall had the worker's CPU taken from under it, whatever the program did.
void printGapsBesideStalls(const std::vector<VirtualFrame::SkippedScans>& gaps, const std::vector<benchhost::Stall>& stalls)
{
    int64_t longest = 0;
    size_t over10 = 0;
    for (const benchhost::Stall& st : stalls) {
        longest = std::max(longest, st.lengthNs);
        over10 += st.lengthNs > 10'000'000;
    }
    std::printf("  CPUs under a hog or watcher that ran nothing, uncounted as stolen: %zu times over 1 ms, %zu over 10 ms, "
                "longest %.1f ms\n", stalls.size(), over10, double(longest) / 1e6);
    size_t explained = 0;
    for (const VirtualFrame::SkippedScans& g : gaps) {
        const int64_t fromNs = (g.readAgainUs - g.notReadForUs) * 1000, toNs = g.readAgainUs * 1000;
        const benchhost::Stall* within = nullptr;
        for (const benchhost::Stall& st : stalls)
            if (benchhost::overlaps(st, fromNs, toNs) && (!within || st.lengthNs > within->lengthNs))
                within = &st;
        explained += within != nullptr;
        if (within)
            std::printf("    worker did not read for %.1f ms (%llu scans skipped): CPU %d ran nothing for %.1f ms of it\n",
                        double(g.notReadForUs) / 1e3, (unsigned long long)g.scans, within->cpu,
                        double(std::min(toNs, within->startNs + within->lengthNs) - std::max(fromNs, within->startNs)) / 1e6);
        else
            std::printf("    worker did not read for %.1f ms (%llu scans skipped): no stall seen on a CPU then\n",
                        double(g.notReadForUs) / 1e3, (unsigned long long)g.scans);
    }
    if (!gaps.empty())
        std::printf("  gaps in reading that cost scans: %zu, of them within a stall of a CPU: %zu\n", gaps.size(), explained);
}

// The machine alone: a real-time thread that only sleeps 125 us at a time (a report's interval at
// 8,000 a second) beside the hogs, with no Oculant code at all.
bool wakeups(const Options& o, const Hogs& hogs)
{
    std::printf("== Wake-ups: a bare SCHED_FIFO thread sleeping 125 us at a time for %.2f min\n", o.minutes);
    const int64_t startNs = benchhost::clockNs(CLOCK_MONOTONIC);
    const CpuTicks ticks0 = machineCpuTicks();
    const benchhost::Wakeups w = benchhost::measureWakeups(o.minutes * 60, 125);
    std::printf("  %s; %llu sleeps, worst %.2f ms late, %llu over 1 ms late, %llu over 10 ms late\n",
                w.realtime ? "SCHED_FIFO 10" : "normal scheduling (real time refused)", (unsigned long long)w.sleeps,
                double(w.worstLateNs) / 1e6, (unsigned long long)w.lateOver1ms, (unsigned long long)w.lateOver10ms);
    for (size_t i = 0; i < std::min<size_t>(w.late.size(), 10); ++i)
        std::printf("    %.1f s: woke %.1f ms late on CPU %d\n", double(w.late[i].startNs - startNs) / 1e9,
                    double(w.late[i].lengthNs) / 1e6, w.late[i].cpu);
    std::printf("  CPU stolen by the hypervisor over the run: %.1f %%\n", stolenPercent(ticks0, machineCpuTicks()));
    if (hogs.watching()) {
        const std::vector<benchhost::Stall> stalls = hogs.hiddenStalls(startNs);
        printGapsBesideStalls({}, stalls);
        size_t explained = 0;
        for (const benchhost::Stall& l : w.late)
            explained += std::any_of(stalls.begin(), stalls.end(), [&](const benchhost::Stall& st) {
                return benchhost::overlaps(st, l.startNs, l.startNs + l.lengthNs);
            });
        std::printf("  wakes over 10 ms late within a stall seen on a CPU: %zu of %zu\n", explained, w.late.size());
    }
    return w.lateOver10ms == 0;
}

bool memory(const Options& o, const VirtualFrameProfile& base, const Hogs& hogs)
{
    const FrameCost cost = measureFrameCost(base);
    VirtualFrameProfile paced = base;
    paced.frameRate = int((uint64_t(o.rate) + cost.reportsPerScan - 1) / cost.reportsPerScan);
    char dirTemplate[] = "/tmp/oculant-bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) {
        std::printf("memory: no temporary directory\n");
        return false;
    }
    const std::string dir = dirTemplate;
    const int samples = 10;
    const double interval = o.minutes * 60 / samples;
    std::printf("== Memory: %.2f min at %d scans/s with recording on (log in %s), RSS every %.0f s\n", o.minutes,
                paced.frameRate, dir.c_str(), interval);
    bool ok = true;
    {
        Pipeline p(paced, dir);
        if (!p.connect(5)) {
            std::printf("  no connection\n");
            std::filesystem::remove_all(dir);
            return false;
        }
        std::printf("  worker thread: %s\n", p.schedulingLine().c_str());
        p.session().sendModeStream(protocol::kModeSignal);
        AdLogRecorder& recorder = p.processor().recorder();
        recorder.setLogOn(true);
        p.runFor(1);
        std::vector<long> rss{residentKiB()};
        std::printf("  start (after 1 s of streaming): RSS %ld KiB\n", rss.back());
        const uint64_t reports0 = p.reports();
        const double cpu0 = processCpuSeconds(), ui0 = threadCpuSeconds();
        const std::map<std::string, uint64_t> threads0 = threadCpuNs();
        const auto t0 = SteadyClock::now();
        const int64_t runStartNs = benchhost::clockNs(CLOCK_MONOTONIC);
        const CpuTicks ticks0 = machineCpuTicks();
        CpuTicks ticks = ticks0;
        for (int i = 1; i <= samples; ++i) {
            p.runFor(interval * i - secondsSince(t0), [&] { return !p.logError().empty(); });
            rss.push_back(residentKiB());
            const CpuTicks now = machineCpuTicks();
            std::printf("  %6.1f s: RSS %ld KiB, %llu frames logged, %llu not written, %llu reports; %s; "
                        "CPU stolen by the hypervisor %.1f %%\n",
                        secondsSince(t0), rss.back(), (unsigned long long)recorder.framesWritten(),
                        (unsigned long long)recorder.framesNotWritten(), (unsigned long long)p.reports(),
                        lossText(p.losses()).c_str(), stolenPercent(ticks, now));
            ticks = now;
            std::fflush(stdout);
            if (!p.logError().empty())
                break;
        }
        const double wall = secondsSince(t0);
        const double cpu = processCpuSeconds() - cpu0, ui = threadCpuSeconds() - ui0;
        const std::map<std::string, uint64_t> threads1 = threadCpuNs();
        const uint64_t reports = std::max<uint64_t>(1, p.reports() - reports0);
        recorder.setLogOn(false);
        p.stopStream();
        const std::string closing = recorder.finish();  // the rest of the queue written, the log closed
        std::error_code ec;
        const auto logBytes = std::filesystem::file_size(recorder.path(), ec);
        const Losses l = p.losses();
        const bool allArrived = p.frame().framesStreamed() == p.frames();
        std::printf("  log %.1f MB, %llu frames written, %llu not written (the disk did not keep up)\n",
                    double(logBytes) / 1e6, (unsigned long long)recorder.framesWritten(),
                    (unsigned long long)recorder.framesNotWritten());
        std::printf("  %.0f reports/s; CPU %.2f us per report, %.1f %% of one core (UI thread %.2f us; the virtual\n"
                    "      frame's own simulation about %.2f us); longest tick %.1f ms\n",
                    double(reports) / wall, cpu * 1e6 / double(reports), 100 * cpu / wall, ui * 1e6 / double(reports),
                    cost.cpuUsPerReport, p.longestTickMs());
        std::printf("  by thread, us per report:");
        for (const auto& [name, ns] : threads1) {
            const auto before = threads0.find(name);
            const uint64_t used = ns - (before == threads0.end() ? 0 : std::min(ns, before->second));
            std::printf(" %s %.2f%s", name.c_str(), double(used) / 1e3 / double(reports),
                        name == "oculant-worker" ? " (with the simulation)" : "");
        }
        const double toolUs = std::max(0.0, cpu * 1e6 / double(reports) - cost.cpuUsPerReport);
        std::printf("\n  the tool without the simulation: about %.2f us a report, %.1f %% of one core\n", toolUs,
                    toolUs * double(reports) / wall / 1e4);
        std::printf("  %s\n", lossText(l).c_str());
        std::printf("  CPU stolen by the hypervisor over the run: %.1f %% (0 on a machine of its own)\n",
                    stolenPercent(ticks0, machineCpuTicks()));
        if (hogs.watching())
            printGapsBesideStalls(p.frame().skippedScanTimes(), hogs.hiddenStalls(runStartNs));
        std::printf("  frames sent %llu, processed %llu: %s\n", (unsigned long long)p.frame().framesStreamed(),
                    (unsigned long long)p.frames(), allArrived ? "all arrived" : "MISSING FRAMES");
        const std::string logError = p.logError().empty() ? closing : p.logError();
        if (!logError.empty())
            std::printf("  log error: %s\n", logError.c_str());
        // Flat: after the first sample nothing grows by more than a few pages' noise.
        const long growth = rss.back() - rss[1 < rss.size() ? 1 : 0];
        const long spread = *std::max_element(rss.begin() + 1, rss.end()) - *std::min_element(rss.begin() + 1, rss.end());
        std::printf("  RSS from the first sample to the last: %+ld KiB (spread %ld KiB): %s\n", growth, spread,
                    spread <= 256 ? "flat" : "GROWING");
        ok = l.total() == 0 && allArrived && recorder.framesNotWritten() == 0 && logError.empty() && spread <= 256;
    }
    std::filesystem::remove_all(dir);
    return ok;
}

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if ((a == "--seconds" || a == "--rate" || a == "--profile" || a == "--minutes" || a == "--connects" ||
             a == "--only" || a == "--hog") && !(v = value()))
            return false;
        if (a == "--seconds")
            o.seconds = std::atof(v);
        else if (a == "--rate")
            o.rate = std::atoi(v);
        else if (a == "--profile")
            o.profilePath = v;
        else if (a == "--minutes")
            o.minutes = std::atof(v);
        else if (a == "--connects")
            o.connects = std::atoi(v);
        else if (a == "--only")
            o.only = v;
        else if (a == "--hog")
            o.hogs = std::atoi(v);
        else if (a == "--watch-cpus")
            o.watchCpus = true;
        else if (a == "--no-realtime")
            o.realtime = false;
        else
            return false;
    }
    return o.seconds > 0 && o.rate > 0 && o.minutes > 0 && o.connects > 0 && o.hogs >= 0 && o.hogs <= 64 &&
           (o.only.empty() || o.only == "throughput" || o.only == "paced" || o.only == "connect" ||
            o.only == "memory" || o.only == "wakeups");
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: bench_pipeline [--seconds S] [--rate REPORTS_PER_S] [--profile FILE] [--minutes M]\n"
                     "                      [--connects N] [--only throughput|paced|connect|memory|wakeups] [--hog N]\n"
                     "                      [--no-realtime] [--watch-cpus]\n");
        return 2;
    }
    VirtualFrameProfile profile;
    if (!o.profilePath.empty()) {
        const ProfileResult loaded = loadVirtualFrameProfile(o.profilePath);
        if (!loaded.ok) {
            std::fprintf(stderr, "bench_pipeline: %s\n", loaded.error.c_str());
            return 2;
        }
        profile = loaded.profile;
    }
    gWorkerThreading = o.realtime ? HIDTalk::Threading::RealtimeThread : HIDTalk::Threading::Thread;
    // Before any thread starts: the busy processes are forks of this one.
    const Hogs hogs(o.hogs, o.watchCpus);
    if (o.hogs > 0)
        std::printf("== %zu busy-looping processes run beside the benchmark (%ld cores)\n", hogs.count(),
                    sysconf(_SC_NPROCESSORS_ONLN));
    if (o.watchCpus)
        std::printf("== %zu watchers, one bound to each CPU at SCHED_IDLE, note when it ran nothing\n",
                    hogs.watchers());
    bool ok = hogs.count() == size_t(o.hogs);
    if (o.only.empty() || o.only == "throughput" || o.only == "paced")
        ok = throughput(o, profile) && ok;
    if (o.only.empty() || o.only == "connect")
        ok = startToConnected(o) && ok;
    if (o.only.empty() || o.only == "memory")
        ok = memory(o, profile, hogs) && ok;
    if (o.only == "wakeups")
        ok = wakeups(o, hogs) && ok;
    if (o.only == "wakeups")
        std::printf("%s\n", ok ? "wake-ups: never 10 ms late" : "wake-ups: LATE BY OVER 10 MS (the machine, see above)");
    else
        std::printf("%s\n", ok ? "pipeline: no loss" : "pipeline: LOSS OR FAILURE (see above)");
    return ok ? 0 : 1;
}
