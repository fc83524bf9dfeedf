#pragma once
// What the calibration commands (calibrate, reset-calibration, restore-calibration) share: the
// language of their texts, the download seen through to its end (the 200 ms timer of the flow,
// then the frame read again, and on the virtual frame its own check of the area's CRC), and
// how their texts are printed.

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "calibration/CalibrationFlow.h"
#include "i18n/Language.h"

namespace oculant::cli {

class CliSession;
struct GlobalOptions;

struct CommandContext;

// A calibration command's connected frame: the session, the flow over it (which keeps the set
// each download replaces in the user's data folder), and lan.ini beside the program with
// --language (English when not given) for the texts.
class CalibrationFrame {
public:
    // Null, with the reason printed and the exit code set, when no frame could be connected, or
    // when Ctrl-C came while connecting (kExitInterrupted: nothing written, nothing kept).
    static std::unique_ptr<CalibrationFrame> open(CommandContext& ctx, const char* command, int& exitCode);
    ~CalibrationFrame();

    CliSession& session() { return *session_; }
    CalibrationFlow& flow() { return *flow_; }
    bool chineseReport() const { return language_->usesChineseReport(); }

private:
    CalibrationFrame() = default;
    std::unique_ptr<Language> language_;
    std::unique_ptr<CliSession> session_;
    std::unique_ptr<CalibrationDeviceLink> link_;
    std::unique_ptr<CalibrationFlow> flow_;
};

// How a download ended, as the 200 ms timer and the frame saw it.
struct DownloadEnd {
    bool finished = false;  // the transfer ended (written or aborted) within the time-out
    bool written = false;   // every byte was taken and, on the virtual frame, its CRC check passed
    std::string status;     // the timer's last status text
    std::optional<std::string> message;
    std::string historyError;  // the new set could not be recorded for the next download
};

// Runs the 200 ms timer until the transfer ends, Ctrl-C or not: a block is never cut, so that
// the frame holds either the old calibration or the new one and the record says which.
// writesBefore: what areaWritesSoFar() said before the download was started (the worker may have
// written the whole block by the time this is called).
DownloadEnd waitForDownload(CliSession& cs, CalibrationFlow& flow, int writesBefore);
// The complete writes of the calibration area a test bench (the virtual frame) has seen; 0 on a
// real frame.
int areaWritesSoFar(CliSession& cs);

// Ctrl-C before a download started: says that nothing was written or kept; true then.
bool interruptedBeforeDownload(CommandContext& ctx, const char* command);
// Ctrl-C during a download that was finished first: says what the frame now holds.
void reportInterruptAfterDownload(CommandContext& ctx, const char* command, const DownloadEnd& end);

// The line that ends the text output of a download.
std::string downloadEndText(const DownloadEnd& end, bool useMessage);

// The flow's texts, one after the other, each ending with a line break.
void printMessages(const FlowMessages& messages, std::ostream& out);

// The replaced set kept before the download, or why none was: a line of its own.
void printKeptNote(const std::string& note, std::ostream& out);

}  // namespace oculant::cli
