#include "device/BackendSet.h"

#include "device/HidrawBackend.h"
#include "device/VirtualFrameProfile.h"

namespace oculant {

std::unique_ptr<BackendSet> makeBackends(const BackendOptions& options, std::string& error)
{
    auto b = std::make_unique<BackendSet>();
    if (options.hidraw)
        b->hidraw = makeHidrawBackend();
    if (b->hidraw)
        b->composite.add(b->hidraw.get());
    if (options.virtualFrame) {
        VirtualFrameProfile profile;
        if (!options.virtualProfile.empty()) {
            ProfileResult loaded = loadVirtualFrameProfile(options.virtualProfile);
            if (!loaded.ok) {
                error = loaded.error;
                return nullptr;
            }
            profile = loaded.profile;
        }
        b->virtualBackend = std::make_unique<VirtualBackend>(options.virtualReads);
        b->virtualFrame = std::make_shared<VirtualFrame>(profile, options.virtualClock);
        b->virtualBackend->attach(b->virtualFrame);
        b->composite.add(b->virtualBackend.get());
    }
    return b;
}

}  // namespace oculant
