#pragma once
// The recording side of the frame processor: opens a log when recording is switched on, writes
// the version line and the reference blocks, appends every frame of type 0, 1 or 4, and closes
// the log when recording is switched off. Switching takes effect at the next such frame.
// The text is formatted here, on the thread that processes the frames; the log's own writer
// thread (AdLogWriter) puts it on the disk, so a slow disk never holds the drain.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "signal/AdLogWriter.h"
#include "signal/LogTextBuffer.h"
#include "protocol/SignalFrameLayout.h"
#include "signal/SignalStore.h"

namespace oculant {

// Shown when a new log cannot be created.
inline constexpr const char* kLogCreateFailedText = "log 文件创建失败！";
// Shown (with the reason on a second line) when an open log cannot be written.
inline constexpr const char* kLogWriteFailedText = "log 文件写入失败！";
// Shown instead of starting a log on a family 0x30 frame: the log formats have no place for
// partial updates, and a file that can hold none of the frames would only mislead.
inline constexpr const char* kLogPartialScanText =
    "Signal family 0x30 (partial scans) cannot be recorded: the AD log has no format for it. No file was created.";

// Whole seconds since 1970-01-01 UTC.
using SecondsClock = std::function<int64_t()>;
int64_t systemSeconds();

class AdLogRecorder {
public:
    // Logs go into `directory` ("." is the process's current directory); `clock` names them.
    explicit AdLogRecorder(std::string directory = ".", SecondsClock clock = systemSeconds);
    // finish(): what was queued is written.
    ~AdLogRecorder();
    AdLogRecorder(const AdLogRecorder&) = delete;
    AdLogRecorder& operator=(const AdLogRecorder&) = delete;

    // The signal window's `LogOn` check mark.
    void setLogOn(bool on) { logOn_ = on; }
    bool logOn() const { return logOn_; }
    // A log is open and taking frames.
    bool recording() const;
    // The file of the current recording, or of the last one.
    const std::string& path() const { return path_; }
    // Frames written into the current (or last) log so far, reference blocks not counted.
    uint64_t framesWritten() const;
    // Frames of the current (or last) recording refused because the disk did not keep up:
    // missing from the log, which goes on with the frames after them.
    uint64_t framesNotWritten() const { return framesNotWritten_; }
    // The system's reason for the last failure.
    const std::string& lastError() const { return lastError_; }

    // Ends the recording now, without waiting for a frame (the window closes, the program
    // ends): what was queued is written, the log closed and its writer joined. Returns the
    // text to show when that failed, as logStep() does. With the switch still on, the next
    // frame of type 0, 1 or 4 starts a new log.
    std::string finish();
    // Waits until the text of every frame stepped so far is on its way to the disk and written
    // (or its writer failed). The simulated-time session waits here after each tick, so that
    // what a test reads is what the log holds a moment later in real time.
    void waitWritten();

    // The log step for one frame of type 0, 1 or 4, after the layout update and before the
    // frame is routed (the reference blocks show the planes as they stand). The payload must be
    // one the processor accepted. Everything this frame adds goes out in one write. Returns the
    // text to show the user, empty when all went well:
    //  - the log cannot be created: kLogCreateFailedText; the switch is not taken, so the next
    //    such frame tries again;
    //  - the frame that would start the log is of family 0x30: kLogPartialScanText, no file is
    //    created and the switch is not taken either;
    //  - a write fails: kLogWriteFailedText and the reason, at the first such frame after the
    //    writer met the failure; the log is closed with what was written, and no new log starts
    //    until recording is switched off and on again.
    // The frame is queued for the writer, never written here: when the queue is full it is
    // counted in framesNotWritten() instead.
    std::string logStep(const FrameHeader& header, const uint8_t* payload, const SignalStore& store);

private:
    static void appendStartBlocks(LogTextBuffer& text, const FrameHeader& header, const SignalStore& store);
    std::string writeFailure(const std::string& reason);
    // The current writer's failure, once, or the outcome of the last log's closing (`wait`: for
    // it to end). Empty when nothing went wrong.
    std::string takeWriterFailure();
    std::string takeClosingOutcome(bool wait);
    std::string endWriting(bool wait);

    std::string directory_;
    SecondsClock clock_;
    std::unique_ptr<AdLogWriter> writer_;   // the current recording's
    std::unique_ptr<AdLogWriter> closing_;  // the last recording's, writing the rest of its queue
    std::string path_;
    std::string lastError_;
    bool logOn_ = false;
    // The switch as it stood at the previous frame of type 0, 1 or 4.
    bool remembered_ = false;
    uint64_t framesWritten_ = 0;  // of the last log, once its writer is gone
    uint64_t framesNotWritten_ = 0;
};

}  // namespace oculant
