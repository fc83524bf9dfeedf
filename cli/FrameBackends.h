#pragma once
// The backends a CLI command talks through: the real frames (hidraw) and, with
// --virtual-frame, one built-in virtual frame as virtual:0.

#include <memory>
#include <string>

#include "cli/Cli.h"
#include "device/HidBackend.h"
#include "device/VirtualBackend.h"

namespace oculant::cli {

struct FrameBackends {
    CompositeBackend composite;
    std::unique_ptr<HidBackend> hidraw;
    std::unique_ptr<VirtualBackend> virtualBackend;
    std::shared_ptr<VirtualFrame> virtualFrame;  // null without --virtual-frame
};

// Builds the backends for the global options. On a bad profile returns null with the error.
std::unique_ptr<FrameBackends> makeBackends(const GlobalOptions& options, std::string& error);

}  // namespace oculant::cli
