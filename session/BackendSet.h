#pragma once
// The backends the tool talks through: real frames (hidraw) and, when asked for, one built-in
// virtual frame as virtual:0 and the replay of a capture file as replay:FILE. The GUI and the
// CLI build theirs the same way.

#include <memory>
#include <optional>
#include <string>

#include "link/HidBackend.h"
#include "backends/capture/RecordingBackend.h"
#include "backends/capture/ReplayBackend.h"
#include "backends/virtual/VirtualBackend.h"

namespace oculant {

struct BackendOptions {
    bool virtualFrame = false;
    std::string virtualProfile;  // empty: the built-in default profile
    // The profile already read from virtualProfile (the CLI reads it before its command, to
    // refuse a bad one as a usage error); when set, the file is not read again.
    std::optional<VirtualFrameProfile> loadedProfile;
    bool hidraw = true;          // real frames too
    // How the virtual frame's reads wait, and its clock (default: the steady clock).
    VirtualBackend::Reads virtualReads = VirtualBackend::Reads::Blocking;
    VirtualFrame::Clock virtualClock;
    // A capture file to play back as "replay:FILE", listed before every other device so that it
    // is the one connected; its reads wait like the virtual frame's and run on the same clock.
    // "FILE:N" plays device N of a recording of several (see ReplaySource).
    std::string replayFile;
    double replaySpeed = 1.0;
    // Record the traffic of every device opened (on the same clock), for a capture file.
    bool record = false;
};

struct BackendSet {
    CompositeBackend composite;
    std::unique_ptr<HidBackend> hidraw;  // null where real frames are not available
    std::unique_ptr<VirtualBackend> virtualBackend;
    std::shared_ptr<VirtualFrame> virtualFrame;  // null without a virtual frame
    std::string virtualFramePath;                // its path ("virtual:0")
    std::unique_ptr<ReplayBackend> replay;       // null without a capture to replay
    std::unique_ptr<RecordingBackend> recorder;  // null unless recording; wraps `composite`
    // What a device session talks through: the recorder when recording, else the composite.
    HidBackend& sessionBackend() { return recorder ? static_cast<HidBackend&>(*recorder) : composite; }
    // The virtual frame's test bench: what programs may ask of it. Null without one.
    FrameTestBench* virtualBench() { return virtualBackend ? virtualBackend->testBench(virtualFramePath) : nullptr; }
};

// Builds the backends. On a bad profile or capture file returns null with the error (a capture
// file's names the file and the line).
std::unique_ptr<BackendSet> makeBackends(const BackendOptions& options, std::string& error);

}  // namespace oculant
