#pragma once
// The way back to an earlier calibration. The frame's flash cannot be read back over this
// protocol, so the tool keeps, per frame serial, the single-area set it last wrote into that
// frame ("current.cfg"); before every download it copies that set, the one about to be
// replaced, to a file of its own named by the UTC time ("replaced-YYYYMMDD-HHMMSS.cfg", then
// "-2", "-3" … within one second), of which the 20 most recent stay. Both are
// calibration export files, so Import and restore-calibration take them back. A frame this
// tool has not yet written, or last wrote with a multi-area block (its sets are per area, which
// no export file holds), has nothing to keep.

#include <ctime>
#include <optional>
#include <string>

#include "calibration/CalibrationCoefficients.h"

#include "base/TextLookup.h"

namespace oculant {

// A serial as it may be printed: control characters (escape codes above all) as \xNN.
std::string printableSerial(const std::string& serial);

class CalibrationHistory {
public:
    // folder holds one sub-folder per serial.
    explicit CalibrationHistory(std::string folder) : folder_(std::move(folder)) {}
    // The notes' texts from the language file (English without).
    void setWords(TextLookupOr words) { words_ = std::move(words); }

    // $XDG_DATA_HOME/oculant/calibrations, or ~/.local/share/oculant/calibrations when
    // XDG_DATA_HOME is unset or not absolute; empty when neither gives a place.
    static std::string userFolder();

    static constexpr int kKeepReplaced = 20;

    struct Kept {
        std::string path;   // the file written; empty when nothing was kept
        std::string note;   // what was done, for the status bar or the CLI
        std::string error;  // why a set that should have been kept was not; empty otherwise
    };
    // Before a download into the frame with this serial.
    Kept keepBeforeDownload(const std::string& serial, std::time_t now) const;
    // After a download into that frame completed: the single-area set it now holds, or nullopt
    // for a multi-area block. Returns the note to show on failure, empty on success.
    std::string recordWritten(const std::string& serial, const std::optional<CalibrationCoefficients>& set) const;

    // The folder of one frame; empty for a serial that names none (no serial, "N/A"). Different
    // serials never share one.
    std::string frameFolder(const std::string& serial) const;
    static constexpr const char* kCurrentFile = "current.cfg";
    // Stands for current.cfg after a multi-area download: the frame's sets are known, not kept.
    static constexpr const char* kMultiAreaMark = "current-is-multi-area";

private:
    static std::string claimReplacedName(const std::string& folder, std::time_t now, std::string* error);
    static void pruneReplaced(const std::string& folder);
    std::string word(std::string_view key, std::string_view fallback, std::initializer_list<std::string_view> values) const;
    std::string folder_;
    TextLookupOr words_;
};

}  // namespace oculant
