#pragma once
// A connected frame for a CLI command: the backends and the session core over them, ticked on
// the steady clock, or on a simulated one that moves only as fast as the commands run.

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "cli/Cli.h"
#include "session/BackendSet.h"
#include "link/DeviceSession.h"
#include "session/SessionCore.h"
#include "signal/FrameProcessor.h"

namespace oculant::cli {

// Set by SIGINT/SIGTERM while a command runs; loops end early and clean up.
extern std::atomic<bool> interrupted;
void installInterruptHandler();

// Frames of the stream that never reached the store and the log, by where they were lost.
struct FramesLost {
    uint64_t link = 0;     // a report of theirs lost on the way: given up by the reassembly
    uint64_t rings = 0;    // reports overwritten in the receive ring, frames in the frame ring
    uint64_t refused = 0;  // refused by the frame processor
    uint64_t total() const { return link + rings + refused; }
    FramesLost operator-(const FramesLost& o) const { return {link - o.link, rings - o.rings, refused - o.refused}; }
};

class CliSession {
public:
    // Builds the backends; on a bad profile returns null with the error.
    static std::unique_ptr<CliSession> create(const GlobalOptions& options, std::string& error,
                                              const std::string& logDirectory = ".");
    // create() and connect() with the 10 s time-out as every frame command uses them; on failure
    // prints why (prefixed with the command's name) and sets the exit code.
    static std::unique_ptr<CliSession> openConnected(CommandContext& ctx, const char* command, int& exitCode,
                                                     const std::string& logDirectory = ".");
    // The same with a view of the command's own set before connecting, so that it sees the
    // answers of the information sequence the connection starts; the caller clears it again.
    static std::unique_ptr<CliSession> openWithView(CommandContext& ctx, const char* command, SessionView& view,
                                                    int timeoutMs, int& exitCode,
                                                    const std::string& logDirectory = ".");
    ~CliSession();

    // Scans and runs the connection probe (and --device choice) until a frame is connected and
    // its information sequence has ended, or the time-out passes. On failure says why.
    bool connect(int timeoutMs, std::string& error);
    // The longest the information sequence and its answers take: seven ticks, then a wait for
    // the answers and up to three rounds asking again for those lost.
    static constexpr int kInformationMs = 6000;
    // Runs the timers for up to `ms` milliseconds, returning early (true) once done() says so.
    // Returns false when the time ran out or the user interrupted.
    // interruptible false: Ctrl-C does not end the wait (a block being written is never cut).
    bool runFor(int ms, const std::function<bool()>& done = {}, bool interruptible = true);
    // With --verbose, says on the command's error stream how the worker thread is scheduled.
    void reportWorker(const CommandContext& ctx) const;
    // Milliseconds on the session's clock (steady, or simulated).
    int64_t nowMs() const;
    // Queues mode 0 and lets the worker write it, then stops the worker; with --capture, then
    // writes the capture file of the device that was connected (outcome in the options).
    void close();
    // Every frame lost so far, on the link, in the rings or refused.
    FramesLost framesLost();
    // A replayed capture still has input reports to give: its frame is not done talking.
    bool replaying() const { return backends_->replay && !backends_->replay->finished(); }

    SessionCore& core() { return *core_; }
    DeviceSession& session() { return core_->device(); }
    SignalStore& store() { return core_->store(); }
    FrameProcessor& processor() { return core_->processor(); }
    BackendSet& backends() { return *backends_; }
    // The virtual frame's test bench, when the command runs on one; null otherwise.
    FrameTestBench* testBench() const { return backends_->virtualBench(); }
    // Text the status bar would have shown (information answers, log errors).
    const std::string& lastStatus() const { return lastStatus_; }
    // The first log error of the frame processor (cannot create or write), empty while none.
    const std::string& logError() const { return core_->firstLogError(); }

private:
    CliSession(std::unique_ptr<BackendSet> backends, const std::string& logDirectory, bool simulated);
    // create() and connect(); `view`, when given, replaces the status view first.
    static std::unique_ptr<CliSession> open(CommandContext& ctx, const char* command, SessionView* view,
                                            int timeoutMs, int& exitCode, const std::string& logDirectory);
    void writeCapture(const std::string& path);

    std::unique_ptr<BackendSet> backends_;
    std::unique_ptr<SessionCore> core_;
    std::unique_ptr<SessionView> view_;
    std::string lastStatus_;
    std::string wantedDevice_;
    std::string captureFile_;
    std::shared_ptr<CaptureOutcome> captureOutcome_;
    bool closed_ = false;
    // Simulated time: the worker is stepped by the core and the clock only moves when runFor
    // moves it.
    bool simulated_ = false;
    std::shared_ptr<std::atomic<int64_t>> simulatedMs_;
};

}  // namespace oculant::cli
