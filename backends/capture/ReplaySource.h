#pragma once
// What `--replay` names: a recording, and which of its devices to play. "FILE" plays the first
// device the file holds, "FILE:N" the device its D: lines number N. A file whose own name ends
// in ":digits" is still that file: the suffix is read as a device number only when no file of
// the whole name exists.

#include <optional>
#include <string>

#include "backends/capture/CaptureFile.h"

namespace oculant {

struct ReplaySource {
    std::string file;
    std::optional<unsigned> device;  // nullopt: the first device of the file
};

ReplaySource parseReplaySource(const std::string& text);

// Loads the file and picks the device. Errors name the file (and the line, for a damaged one),
// or the devices the file does hold.
bool loadReplayDevice(const ReplaySource& source, CaptureFile& device, std::string& error);

}  // namespace oculant
