#pragma once
// What one AD log holds: its family and layout, its frames by type, where the stream started
// again, how long it ran, and each beam's and element's clear level over its live scans. Read
// frame by frame through the reader and the frame processor, whatever the file's size.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "signal/ElementLevels.h"

namespace oculant {

struct AdLogSummary {
    std::string path;
    uint8_t family = 0;
    std::string versionLine;
    uint64_t startBlocks = 0;  // the planes as they stood when the recording began
    uint64_t frames = 0;       // frame blocks after them
    uint64_t liveScans = 0, thresholds = 0, references = 0;
    // Lines where a threshold or reference frame follows live scans: the stream was started
    // again (the frame switched modes or was plugged back in), and the time between is not in
    // the log, which carries no clock of its own.
    std::vector<size_t> gapLines;
    // Lines where a live scan of another layout began; the levels are those of the last layout.
    std::vector<size_t> layoutChangeLines;
    uint64_t checksumMismatches = 0;
    size_t cutBlockLine = 0;  // a last block the file ends inside, left out; 0: none
    uint64_t bytes = 0;
    // From the start second in the file's name (as recordings are named) to the file's last
    // change; unknown for a file renamed, or copied without its times.
    std::optional<double> seconds;
    LevelAccumulator levels;  // the live scans of the last layout
};

// Reads the whole log; false with `error` ("FILE line N: ...") for a file that cannot be read
// or is damaged.
bool summarizeAdLog(const std::string& path, AdLogSummary& out, std::string& error);

// From the start in a log's name to the file's last change; nullopt when its name is not its
// start or its time is not a recording's (a copy that did not keep it).
std::optional<double> logDurationSeconds(const std::string& path);

// The recording's start in seconds since 1970 from a log's name ("1767225600.txt",
// "1767225600-2.txt"); nullopt for any other name.
std::optional<int64_t> logStartFromName(const std::string& path);

}  // namespace oculant
