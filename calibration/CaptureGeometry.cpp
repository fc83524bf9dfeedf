#include "calibration/CaptureGeometry.h"

#include <cmath>

namespace oculant {

ScreenPixel progressRadialEnd(ScreenPixel centre, int progress)
{
    const double angle = progress * (-6.2831852) / 100 + 1.5707963;
    return {static_cast<int32_t>(centre.x + 30 * std::cos(angle)),
            static_cast<int32_t>(centre.y - 30 * std::sin(angle))};
}

ScreenPixel infoTextOrigin(const CalibrationWindow& window, size_t characters)
{
    return {static_cast<int32_t>(window.x + window.width / 2 - 3 * static_cast<int64_t>(characters)),
            window.y + 10};
}

}  // namespace oculant
