#pragma once
// The recording side of the frame processor: opens a log when recording is switched on, writes
// the version line and the reference blocks, appends every frame of type 0, 1 or 4, and closes
// the log when recording is switched off. Switching takes effect at the next such frame.

#include <cstdint>
#include <functional>
#include <string>

#include "signal/AdLogFile.h"
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

    // The signal window's `LogOn` check mark.
    void setLogOn(bool on) { logOn_ = on; }
    bool logOn() const { return logOn_; }
    bool recording() const { return file_.isOpen(); }
    // The file of the current recording, or of the last one.
    const std::string& path() const { return file_.path(); }
    // Frames written into the current (or last) log, reference blocks not counted.
    uint64_t framesWritten() const { return framesWritten_; }
    // The system's reason for the last failure.
    const std::string& lastError() const { return file_.error(); }

    // The log step for one frame of type 0, 1 or 4, after the layout update and before the
    // frame is routed (the reference blocks show the planes as they stand). The payload must be
    // one the processor accepted. Everything this frame adds goes out in one write. Returns the
    // text to show the user, empty when all went well:
    //  - the log cannot be created: kLogCreateFailedText; the switch is not taken, so the next
    //    such frame tries again;
    //  - the frame that would start the log is of family 0x30: kLogPartialScanText, no file is
    //    created and the switch is not taken either;
    //  - a write fails: kLogWriteFailedText and the reason; the log is closed with what was
    //    written, and no new log starts until recording is switched off and on again.
    std::string logStep(const FrameHeader& header, const uint8_t* payload, const SignalStore& store);

private:
    void appendStartBlocks(const FrameHeader& header, const SignalStore& store);
    std::string writeFailure();

    std::string directory_;
    SecondsClock clock_;
    AdLogFile file_;
    LogTextBuffer text_;
    bool logOn_ = false;
    // The switch as it stood at the previous frame of type 0, 1 or 4.
    bool remembered_ = false;
    uint64_t framesWritten_ = 0;
};

}  // namespace oculant
