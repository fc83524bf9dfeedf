// Real frames are not reachable yet: only virtual frames are served.
#include "device/HidrawBackend.h"

namespace oculant {

std::unique_ptr<HidBackend> makeHidrawBackend() { return nullptr; }

}  // namespace oculant
