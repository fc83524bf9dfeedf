#include "calibration/CalibrationTargets.h"

#include <algorithm>

namespace oculant {
namespace {

// Signed 64-bit so that large margins cannot overflow; divisions truncate toward zero.
int32_t toLogical(int64_t pixels, int32_t size)
{
    return static_cast<int32_t>(pixels * kLogicalSpan / size);
}

}  // namespace

bool generateTargets(CalibrationData& data, const CalibrationSettings& settings, ScreenSize screen)
{
    const CalibrationWindow& w = settings.window;
    if (screen.width <= 0 || screen.height <= 0 || w.width <= 0 || w.height <= 0)
        return false;

    data.gridX = std::clamp<uint8_t>(settings.gridX, 2, 6);
    data.gridY = std::clamp<uint8_t>(settings.gridY, 2, 6);
    const int32_t startX = toLogical(int64_t{settings.marginLeft} + w.x, screen.width);
    const int32_t startY = toLogical(int64_t{settings.marginUp} + w.y, screen.height);
    const int32_t endX = toLogical(int64_t{w.x} + w.width - settings.marginRight, screen.width);
    const int32_t endY = toLogical(int64_t{w.y} + w.height - settings.marginDown, screen.height);
    const int32_t stepX = (endX - startX) / (data.gridX - 1);
    const int32_t stepY = (endY - startY) / (data.gridY - 1);

    size_t n = 0;
    for (int i = 0; i < data.gridX; ++i) {
        const int32_t x = startX + i * stepX;
        for (int j = 0; j < data.gridY; ++j)
            data.points[n++].target = {x, startY + j * stepY};
        if (i < data.gridX - 1 && settings.auxPoints) {
            for (int j = 0; j < data.gridY - 1; ++j)
                data.points[n++].target = {x + stepX / 2, startY + j * stepY + stepY / 2};
        }
    }
    data.count = static_cast<uint8_t>(n);
    return true;
}

}  // namespace oculant
