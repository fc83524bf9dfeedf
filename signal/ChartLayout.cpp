#include "signal/ChartLayout.h"

#include <algorithm>

namespace oculant {

std::array<ChartRect, 6> chartLayout(int width, int height)
{
    const int w = std::max(width, 0);
    const int h = std::max(height, 0);
    std::array<ChartRect, 6> rects{};
    for (int axis = 0; axis < 2; ++axis)
        for (int k = 0; k < 3; ++k)
            rects[size_t(3 * axis + k)] = {axis * (w / 2), k * h / 3, w / 2, h / 3};
    return rects;
}

}  // namespace oculant
