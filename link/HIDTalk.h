#pragma once
// HIDTalk: the one object that talks to the frame. Its worker thread performs every HID read and
// write: it drains the command ring, pushes a chunked block write when one is requested, and reads
// input reports into the receive ring. The device list, the current device and discovery belong
// to it too, but those run on the UI thread.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/HidBackend.h"
#include "link/QuillonDevice.h"
#include "link/Rings.h"
#include "link/WorkerScheduling.h"

namespace oculant {

// Why an interface that looked like a frame was not listed (shown by `list` and the status bar).
struct EnumerationProblem {
    std::string path;
    OpenFailure failure = OpenFailure::Other;
    std::string detail;
    // What gives access, from the backend that knows how its devices are granted (the udev
    // rule for hidraw); empty when it has no advice.
    std::string fix = {};
};

enum class BlockOutcome { None, Running, Completed, Aborted };

class HIDTalk {
public:
    enum class Threading {
        Thread,          // the worker runs on its own thread from construction on
        RealtimeThread,  // so, asking for real-time scheduling first (the programs)
        Manual,          // no thread: the caller steps the worker with workerPass() (tests, tools)
    };

    static constexpr int kReadTimeoutMs = 10;
    static constexpr int kWriteTimeoutMs = 100;
    static constexpr int kMaxInterfaces = 128;
    static constexpr int kMaxAttempts = 4;  // a failing command is written at most this often
    // A block chunk that fails this often in a row ends the transfer (Aborted): a frame that
    // stopped taking reports would otherwise hold the download for ever. With 100 ms write
    // time-outs that is 5 s of silence.
    static constexpr int kMaxChunkAttempts = 50;
    // A failed chunk is retried after this pause (the worker thread's; a stepped worker pauses
    // between the passes its caller makes). The transfer holds the frame meanwhile: no command
    // goes out and no report is read until it ends.
    static constexpr int kChunkRetryPauseMs = 10;
    // A real-time worker that finds work pass after pass (a stream faster than it is read)
    // rests 1 ms after this long if it used more than half of it on the CPU: it must not hold a
    // core, and RealtimeKit's limit on real-time CPU time ends a process whose thread never
    // sleeps. One that slept inside its reads (a stream read as it comes) goes on.
    static constexpr int kRealtimeBusyMs = 20;

    explicit HIDTalk(HidBackend& backend, Threading threading = Threading::Thread);
    ~HIDTalk();
    HIDTalk(const HIDTalk&) = delete;
    HIDTalk& operator=(const HIDTalk&) = delete;

    // ---- Discovery and connection (UI thread) ----
    struct ScanOutcome {
        bool connected = false;
        bool probeNeeded = false;  // new devices are listed: the connection probe must run
    };
    void EnumerateDevices();
    ScanOutcome ScanDevices();
    bool OpenDevice(const QuillonDevice& record);
    void CloseDevice();
    // Drops a listed device that failed the probe and remembers it until it is unplugged, so
    // that later scans do not probe it again and again.
    void RejectDevice(const std::string& path);
    // Drops a listed device without remembering it: the next scan lists its path as new.
    void ForgetDevice(const std::string& path);
    // Whether the current device's path is still among the interfaces the backend lists.
    bool currentDeviceListed();

    const std::vector<QuillonDevice>& devices() const { return devices_; }
    std::vector<QuillonDevice>& devices() { return devices_; }
    const QuillonDevice* currentDevice() const { return current_ ? &*current_ : nullptr; }
    bool connected() const { return connected_.load(std::memory_order_acquire); }
    void setConnected(bool on) { connected_.store(on, std::memory_order_release); }
    // True once the worker saw the current device vanish (ENODEV and the like).
    bool currentDeviceGone() const { return gone_.load(std::memory_order_acquire); }
    const std::vector<EnumerationProblem>& enumerationProblems() const { return problems_; }
    HidBackend& backend() { return backend_; }
    const HidBackend& backend() const { return backend_; }

    // ---- Commands and block writes (UI thread) ----
    // Queues one command report. Returns false when not connected (dropped silently, as a
    // command to no frame is meaningless) or when the ring is full (refused and counted).
    bool SendCommand(uint8_t code, const uint8_t* payload = nullptr, size_t length = 0);
    // Starts a chunked block write. The header (0x07, 0x10, 32-bit LE address) and the data are
    // copied. Refused while a transfer runs, or when the length is not a multiple of 4.
    bool StartBlockWrite(uint8_t kind, uint32_t length, const uint8_t* header, const uint8_t* data);
    void AbortBlockWrite() { blockAbort_.store(true, std::memory_order_release); }
    bool idle() const { return idle_.load(std::memory_order_acquire); }
    uint32_t blockSent() const { return blockSent_.load(std::memory_order_acquire); }
    uint32_t blockTotal() const { return blockTotal_.load(std::memory_order_acquire); }
    uint32_t blockAddress() const { return blockAddress_.load(std::memory_order_acquire); }
    BlockOutcome blockOutcome() const { return blockOutcome_.load(std::memory_order_acquire); }

    // Takes the oldest input report of the receive ring; false when it is empty.
    bool popReport(ReceiveRing::Slot& out) { return ring_.pop(out); }

    // Ends the worker: a running transfer is aborted, commands already queued (the mode-0 command
    // of closing) are written within a bounded time, then the thread ends and the device is
    // closed. Safe to call twice.
    void stop();

    // One pass of the worker loop. Returns whether to go on at once: false after a pass that
    // did nothing (the thread sleeps 1 ms) or that ended on a failed block chunk (the thread
    // pauses kChunkRetryPauseMs before the retry). While a transfer runs a pass writes only its
    // chunks.
    bool workerPass();

    // Counters for the status line and for tests.
    uint64_t refusedCommands() const { return refusedCommands_.load(); }
    uint64_t droppedCommands() const { return droppedCommands_.load(); }
    uint64_t receiveOverruns() const { return ring_.overruns(); }
    uint64_t writesAttempted() const { return writesAttempted_.load(); }
    // What the worker thread got: real-time or normal scheduling, and why (--verbose).
    WorkerScheduling scheduling() const;
    int queuedCommands() const { return commands_.queued(); }

private:
    void workerLoop();
    bool drainCommandSlot();
    bool runBlockLoop();
    bool sendBlockChunk();
    bool readReport();
    void finishBlock(BlockOutcome outcome);
    bool deviceUsable() const;  // under deviceMutex_
    void noteIoStatus(IoStatus status);
    std::optional<QuillonDevice> recogniseInterface(const std::string& path);

    HidBackend& backend_;
    const Threading threading_;

    // UI thread only.
    std::vector<QuillonDevice> devices_;
    std::set<std::string> rejectedPaths_;
    std::vector<EnumerationProblem> problems_;

    // Protects current_, handle_ and the ring reset against the worker's use of them. The worker
    // holds it around each read, write and chunk; the UI thread takes it to open and close, after
    // cancelling the handle so that the wait is bounded by one time-out.
    mutable std::mutex deviceMutex_;
    std::optional<QuillonDevice> current_;
    std::unique_ptr<HidHandle> handle_;
    ReceiveRing ring_;

    std::atomic<bool> connected_{false};
    std::atomic<bool> gone_{false};
    CommandRing commands_;
    std::atomic<uint64_t> refusedCommands_{0};
    std::atomic<uint64_t> droppedCommands_{0};
    std::atomic<uint64_t> writesAttempted_{0};

    // Block transfer: written by the UI thread only while idle, published by blockPending_.
    std::vector<uint8_t> blockData_;
    std::array<uint8_t, 6> blockHeader_{};
    uint8_t blockKind_ = 0;
    std::atomic<bool> blockPending_{false};
    std::atomic<bool> blockAbort_{false};
    std::atomic<bool> idle_{true};
    std::atomic<uint32_t> blockSent_{0};
    std::atomic<uint32_t> blockTotal_{0};
    std::atomic<uint32_t> blockAddress_{0};
    std::atomic<BlockOutcome> blockOutcome_{BlockOutcome::None};
    int chunkFailures_ = 0;  // worker only: failed writes of the current chunk in a row

    mutable std::mutex schedulingMutex_;  // protects scheduling_, set once by the worker
    WorkerScheduling scheduling_;

    std::atomic<bool> terminate_{false};
    std::mutex wakeMutex_;  // protects nothing but the wait below
    std::condition_variable wake_;
    std::thread thread_;
    bool stopped_ = false;
};

}  // namespace oculant
