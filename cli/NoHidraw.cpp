// Until the hidraw backend exists, the CLI sees only virtual frames.
#include <memory>

#include "device/HidBackend.h"

namespace oculant::cli {

std::unique_ptr<HidBackend> makeHidrawBackend() { return nullptr; }

}  // namespace oculant::cli
