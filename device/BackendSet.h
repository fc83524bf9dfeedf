#pragma once
// The backends the tool talks through: real frames (hidraw) and, when asked for, one built-in
// virtual frame as virtual:0. The GUI and the CLI build theirs the same way.

#include <memory>
#include <string>

#include "device/HidBackend.h"
#include "device/VirtualBackend.h"

namespace oculant {

struct BackendOptions {
    bool virtualFrame = false;
    std::string virtualProfile;  // empty: the built-in default profile
    bool hidraw = true;          // real frames too
    // How the virtual frame's reads wait, and its clock (default: the steady clock).
    VirtualBackend::Reads virtualReads = VirtualBackend::Reads::Blocking;
    VirtualFrame::Clock virtualClock;
};

struct BackendSet {
    CompositeBackend composite;
    std::unique_ptr<HidBackend> hidraw;  // null where real frames are not available
    std::unique_ptr<VirtualBackend> virtualBackend;
    std::shared_ptr<VirtualFrame> virtualFrame;  // null without a virtual frame
};

// Builds the backends. On a bad profile returns null with the error.
std::unique_ptr<BackendSet> makeBackends(const BackendOptions& options, std::string& error);

}  // namespace oculant
