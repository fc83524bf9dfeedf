#pragma once
// The large frame the signal benchmarks stream: 7 X layers of 300 positions, 7 Y layers of 170.

#include "protocol/SignalFrameBuilder.h"

namespace oculant::bench {

inline FrameLayout largeLayout(uint8_t family = kFamilyFullScan)
{
    FrameLayout layout;
    layout.family = family;
    layout.nX = 300;
    layout.nY = 170;
    layout.xOffsets = {0, 1, -1, 2, -2, 3, 4};
    layout.yOffsets = {0, 1, -1, 2, -2, 3, 4};
    return layout;
}

}  // namespace oculant::bench
