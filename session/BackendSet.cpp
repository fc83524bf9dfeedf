#include "session/BackendSet.h"

#include "backends/capture/ReplaySource.h"
#include "backends/hidraw/HidrawBackend.h"
#include "backends/virtual/VirtualFrameProfile.h"

namespace oculant {

std::unique_ptr<BackendSet> makeBackends(const BackendOptions& options, std::string& error)
{
    auto b = std::make_unique<BackendSet>();
    if (!options.replayFile.empty()) {
        CaptureFile capture;
        if (!loadReplayDevice(parseReplaySource(options.replayFile), capture, error))
            return nullptr;
        b->replay = std::make_unique<ReplayBackend>(
            std::move(capture), options.replayFile, options.replaySpeed,
            options.virtualReads == VirtualBackend::Reads::Blocking ? ReplayBackend::Reads::Blocking
                                                                    : ReplayBackend::Reads::NonBlocking,
            options.virtualClock);
        b->composite.add(b->replay.get());
    }
    if (options.hidraw)
        b->hidraw = makeHidrawBackend();
    if (b->hidraw)
        b->composite.add(b->hidraw.get());
    if (options.virtualFrame) {
        VirtualFrameProfile profile;
        if (options.loadedProfile) {
            profile = *options.loadedProfile;
        } else if (!options.virtualProfile.empty()) {
            ProfileResult loaded = loadVirtualFrameProfile(options.virtualProfile);
            if (!loaded.ok) {
                error = loaded.error;
                return nullptr;
            }
            profile = loaded.profile;
        }
        b->virtualBackend = std::make_unique<VirtualBackend>(options.virtualReads);
        b->virtualFrame = std::make_shared<VirtualFrame>(profile, options.virtualClock);
        b->virtualFramePath = b->virtualBackend->attach(b->virtualFrame);
        b->composite.add(b->virtualBackend.get());
    }
    if (options.record)
        b->recorder = std::make_unique<RecordingBackend>(b->composite, options.virtualClock);
    return b;
}

}  // namespace oculant
