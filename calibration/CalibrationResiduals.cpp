#include "calibration/CalibrationResiduals.h"

#include <algorithm>
#include <cmath>

#include "calibration/AffineFit.h"

namespace oculant {
namespace {

// Portrait and its flipped form put the frame's X along the screen's Y.
bool swapsAxes(DisplayDirection direction)
{
    return direction == DisplayDirection::Portrait || direction == DisplayDirection::PortraitFlipped;
}

// The turn that undoes a display direction: the two portrait forms undo each other.
DisplayDirection inverse(DisplayDirection direction)
{
    switch (direction) {
    case DisplayDirection::Portrait:
        return DisplayDirection::PortraitFlipped;
    case DisplayDirection::PortraitFlipped:
        return DisplayDirection::Portrait;
    default:
        return direction;
    }
}

}  // namespace

ScreenPixelF mapTouchToScreen(FrameLogical touch, const CalibrationCoefficients& k, DisplayDirection direction)
{
    const double x = touch.x, y = touch.y;
    const double u = double(k.k[0]) * x + double(k.k[1]) * y + double(k.k[2]) + 0.5;
    const double v = double(k.k[3]) * x + double(k.k[4]) * y + double(k.k[5]) + 0.5;
    struct Point {
        double x, y;
    };
    const Point shown = applyDisplayDirection(Point{u, v}, inverse(direction));
    return {shown.x, shown.y};
}

FitResiduals computeResiduals(const CalibrationData& data, const CalibrationCoefficients& k,
                              DisplayDirection direction, ScreenSize screen, PositionCounts positions)
{
    const bool swapped = swapsAxes(direction);
    const double mmPerUnitX = double(frameSpanMm(swapped ? positions.y : positions.x)) / kLogicalSpan;
    const double mmPerUnitY = double(frameSpanMm(swapped ? positions.x : positions.y)) / kLogicalSpan;
    const double pxPerUnitX = double(screen.width) / kLogicalSpan;
    const double pxPerUnitY = double(screen.height) / kLogicalSpan;

    FitResiduals r;
    for (const CalibrationPoint& p : data.used()) {
        const ScreenPixelF m = mapTouchToScreen(p.touch, k, direction);
        const double dx = m.x - p.target.x, dy = m.y - p.target.y;
        PointResidual q;
        q.target = p.target;
        q.touch = p.touch;
        q.targetPx = {p.target.x * pxPerUnitX, p.target.y * pxPerUnitY};
        q.measuredPx = {m.x * pxPerUnitX, m.y * pxPerUnitY};
        q.offsetPx = {dx * pxPerUnitX, dy * pxPerUnitY};
        q.offsetMm = {dx * mmPerUnitX, dy * mmPerUnitY};
        q.lengthPx = std::hypot(q.offsetPx.x, q.offsetPx.y);
        q.lengthMm = std::hypot(q.offsetMm.x, q.offsetMm.y);
        if (r.worst < 0 || q.lengthMm > r.maxErrorMm) {
            r.worst = int(r.points.size());
            r.maxErrorMm = q.lengthMm;
        }
        r.maxErrorPixels = std::max(r.maxErrorPixels, q.lengthPx);
        r.points.push_back(q);
    }
    return r;
}

}  // namespace oculant
