#include "calibration/MultiAreaPreview.h"

#include <algorithm>
#include <cmath>

#include "calibration/TextFormat.h"

namespace oculant {
namespace {

// Truncation toward zero, held inside the range a painter handles safely.
int truncPixel(double value)
{
    if (std::isnan(value))
        return 0;
    const double limit = kPreviewCoordinateLimit;
    return static_cast<int>(std::trunc(std::clamp(value, -limit, limit)));
}

double scaleOver(int span, float size)
{
    const double scale = span / static_cast<double>(size);
    return std::isfinite(scale) ? scale : 0.0;
}

struct Scales {
    double x = 0;
    double y = 0;
};

}  // namespace

MultiAreaPreview computeMultiAreaPreview(const MultiAreaLayout& layout, int width, int height)
{
    MultiAreaPreview preview;
    preview.width = width;
    preview.height = height;
    const int W = width, H = height;
    preview.titleAt = {W / 2 - 30, 3};

    // 10 pixels left and right, 5 below and 20 above for the title.
    const Scales s{scaleOver(W - 20, layout.frameWidth), scaleOver(H - 25, layout.frameHeight)};
    const int right = truncPixel(10 + layout.frameWidth * s.x - 1);
    const int top = truncPixel(H - (5 + layout.frameHeight * s.y));
    preview.frameOutline = {{{10, H - 6}, {right, H - 6}, {right, top}, {10, top}, {10, H - 6}}};

    const int areaCount = std::clamp<int>(layout.areaCount, 0, MultiAreaLayout::kMaxAreas);
    for (int j = 0; j < areaCount; ++j) {
        const std::array<float, 4>& f = layout.areas[size_t(j)].frameMm;
        preview.frameAreas.push_back({{truncPixel(10 + f[0] * s.x), H - truncPixel(5 + f[1] * s.y)},
                                      {truncPixel(10 + f[2] * s.x), H - truncPixel(5 + f[3] * s.y)}});
    }

    // The display sits one pixel inside the frame outline, shifted by its offset.
    const int ox = truncPixel(11 + s.x * layout.displayOffsetX);
    const int oy = truncPixel(6 + s.y * layout.displayOffsetY);
    const Scales d{scaleOver(W - 22, layout.frameWidth), scaleOver(H - 27, layout.frameHeight)};
    for (int j = 0; j < areaCount; ++j) {
        const std::array<float, 4>& m = layout.areas[size_t(j)].displayMm;
        const int x0 = truncPixel(ox + m[0] * d.x), y0 = truncPixel(oy + m[1] * d.y);
        const int x1 = truncPixel(ox + m[2] * d.x), y1 = truncPixel(oy + m[3] * d.y);
        preview.displayAreas.push_back({{x0, H - y0}, {x1, H - y1}});
        if (y0 + y1 != 0)
            preview.labels.push_back({"A" + formatInt(j + 1), {(x0 + x1) / 2 - 3, H - (y0 + y1) / 2}});
    }
    return preview;
}

}  // namespace oculant
