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

// lan.ini beside the program, with --language (English when not given).
std::unique_ptr<Language> calibrationLanguage(const GlobalOptions& global);

// How a download ended, as the 200 ms timer and the frame saw it.
struct DownloadEnd {
    bool finished = false;  // the transfer ended (written or aborted) within the time-out
    bool written = false;   // every byte was taken and, on the virtual frame, its CRC check passed
    std::string status;     // the timer's last status text
    std::optional<std::string> message;
    std::string historyError;  // the new set could not be recorded for the next download
};

// Runs the 200 ms timer until the transfer ends.
DownloadEnd waitForDownload(CliSession& cs, CalibrationFlow& flow);

// The line that ends the text output of a download.
std::string downloadEndText(const DownloadEnd& end, bool useMessage);

// The flow's texts, one after the other, each ending with a line break.
void printMessages(const FlowMessages& messages, std::ostream& out);

// The replaced set kept before the download, or why none was: a line of its own.
void printKeptNote(const std::string& note, std::ostream& out);

}  // namespace oculant::cli
