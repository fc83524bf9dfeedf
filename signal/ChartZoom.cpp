#include "signal/ChartZoom.h"

#include <algorithm>
#include <cmath>

namespace oculant {

AxisRange positionAxisRange(int positions)
{
    return {0.5, std::max(positions, 1) + 0.5};
}

double positionTickInterval(const AxisRange& range, int maxTicks)
{
    const double span = range.span();
    if (!(span > 0) || !std::isfinite(span) || maxTicks < 1)
        return 1;
    for (double decade = 1;; decade *= 10)
        for (double step : {1.0, 2.0, 5.0})
            if (span / (step * decade) <= maxTicks)
                return step * decade;
}

void ChartZoom::setPositions(int positions)
{
    positions = std::max(positions, 0);
    if (positions == positions_)
        return;
    positions_ = positions;
    reset();
}

void ChartZoom::show(double min, double span)
{
    const AxisRange whole = positionAxisRange(positions_);
    span = std::clamp(span, std::min(kMinSpan, whole.span()), whole.span());
    // Rounding in the zoom factors must not leave the axis a hair short of whole.
    if (span > whole.span() * (1 - 1e-9))
        span = whole.span();
    min = std::clamp(min, whole.min, whole.max - span);
    range_ = {min, min + span};
}

void ChartZoom::wheel(int angleDelta, double anchor)
{
    if (angleDelta == 0)
        return;
    const double span = range_.span();
    const double newSpan = span * std::pow(kNotchFactor, double(angleDelta) / kNotchAngle);
    anchor = std::clamp(anchor, range_.min, range_.max);
    // The anchor keeps its share of the span on either side.
    show(anchor - (anchor - range_.min) * newSpan / span, newSpan);
}

bool ChartZoom::drag(double fromPx, double toPx, double plotLeft, double plotWidth)
{
    if (!(plotWidth > 0) || std::abs(toPx - fromPx) < kMinDragPixels)
        return false;
    const AxisRange before = range_;
    if (toPx < fromPx) {
        reset();
        return !(range_ == before);
    }
    auto valueAt = [&](double px) {
        const double share = std::clamp((px - plotLeft) / plotWidth, 0.0, 1.0);
        return range_.min + share * range_.span();
    };
    const double from = valueAt(fromPx);
    const double to = valueAt(toPx);
    // Too narrow a drag widens around its middle to the deepest zoom.
    const double span = std::max(to - from, kMinSpan);
    show((from + to) / 2 - span / 2, span);
    return !(range_ == before);
}

}  // namespace oculant
