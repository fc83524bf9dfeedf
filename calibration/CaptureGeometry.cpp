#include "calibration/CaptureGeometry.h"

#include <algorithm>
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

int clearBandTop(const std::vector<ScreenPixel>& targets, int left, int right, int top, int bottom, int height,
                 int clearance)
{
    // The rows the targets keep clear, in order; the gaps between them are the candidates.
    std::vector<std::pair<int, int>> blocked;
    for (const ScreenPixel& t : targets)
        if (t.x >= left - clearance && t.x <= right + clearance)
            blocked.push_back({t.y - clearance, t.y + clearance});
    std::sort(blocked.begin(), blocked.end());
    int from = top, widest = top, widestSpan = -1;
    for (const auto& [start, end] : blocked) {
        if (end < from)
            continue;
        if (start - from >= height)
            return from;
        if (start - from > widestSpan) {
            widestSpan = start - from;
            widest = from;
        }
        from = std::max(from, end + 1);
    }
    if (bottom - from >= height)
        return from;
    return bottom - from > widestSpan ? from : widest;
}

ResidualPicture residualArrows(const FitResiduals& residuals, ScreenSize screen, ScreenSize picture, int longest)
{
    ResidualPicture out;
    if (screen.width <= 0 || screen.height <= 0)
        return out;
    // Residuals under a pixel are magnified no more than one of a pixel would be: blown up to
    // full length, the frame's half-unit rounding would look like an error.
    out.scale = longest / std::max(1.0, residuals.maxErrorPixels);
    const double sx = double(picture.width) / screen.width, sy = double(picture.height) / screen.height;
    for (size_t i = 0; i < residuals.points.size(); ++i) {
        const PointResidual& p = residuals.points[i];
        ResidualArrow a;
        a.from = toPixels(p.target, picture);
        a.to = {int32_t(std::lround(a.from.x + p.offsetPx.x * sx * out.scale)),
                int32_t(std::lround(a.from.y + p.offsetPx.y * sy * out.scale))};
        a.largest = int(i) == residuals.worst;
        out.arrows.push_back(a);
    }
    return out;
}

}  // namespace oculant
