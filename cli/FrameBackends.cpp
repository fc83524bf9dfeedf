#include "cli/FrameBackends.h"

#include "device/VirtualFrameProfile.h"

namespace oculant::cli {

std::unique_ptr<HidBackend> makeHidrawBackend();  // device/HidrawBackend when built; else null

std::unique_ptr<FrameBackends> makeBackends(const GlobalOptions& options, std::string& error)
{
    auto b = std::make_unique<FrameBackends>();
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
        b->virtualBackend = std::make_unique<VirtualBackend>();
        b->virtualFrame = std::make_shared<VirtualFrame>(profile);
        b->virtualBackend->attach(b->virtualFrame);
        b->composite.add(b->virtualBackend.get());
    }
    return b;
}

}  // namespace oculant::cli
