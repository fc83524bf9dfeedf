#pragma once
#include <memory>

#include "device/HidBackend.h"

namespace oculant {

// The backend for real frames on Linux (/dev/hidrawN), or null where it cannot be had.
std::unique_ptr<HidBackend> makeHidrawBackend();

}  // namespace oculant
