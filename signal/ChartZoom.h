#pragma once
// The axes of a signal chart: the level axis is fixed at 0 … 255; the position axis shows the
// whole layer until the user zooms in with the mouse wheel or by dragging across the plot.

#include <cstdint>

namespace oculant {

// Levels are bytes; the axis never scales with the data, so charts stay comparable.
inline constexpr double kLevelAxisMin = 0;
inline constexpr double kLevelAxisMax = 255;
inline constexpr double kLevelAxisTick = 50;

struct AxisRange {
    double min = 0;
    double max = 0;
    double span() const { return max - min; }
    bool operator==(const AxisRange&) const = default;
};

// Positions 1 … n with half a position to spare at each end, so the first and last bars are
// whole. An empty layer still gets an axis of one position.
AxisRange positionAxisRange(int positions);

// Distance between labelled ticks: 1, 2 or 5 × 10^k, the smallest that keeps the range within
// `maxTicks` intervals; never below one position.
double positionTickInterval(const AxisRange& range, int maxTicks);

class ChartZoom {
public:
    // The deepest zoom still shows four positions.
    static constexpr double kMinSpan = 4;
    // Shorter drags are clicks, not zoom requests.
    static constexpr double kMinDragPixels = 15;
    // One wheel notch (120 eighths of a degree) shows 80 % (in) or 125 % (out) of the span.
    static constexpr double kNotchFactor = 0.8;
    static constexpr int kNotchAngle = 120;

    // The layer's position count. A different count (first refresh, layout change) shows the
    // whole axis again; the same count keeps the zoom across refreshes.
    void setPositions(int positions);
    int positions() const { return positions_; }
    const AxisRange& range() const { return range_; }
    bool zoomed() const { return !(range_ == positionAxisRange(positions_)); }

    // Mouse wheel: a positive angle (turned away from the user) zooms in, a negative one out,
    // keeping the axis value under the pointer (`anchor`, clamped into the range) in place.
    // Zooming out stops at the whole axis.
    void wheel(int angleDelta, double anchor);
    // A drag across the plot, in pixels, over a plot `plotLeft` … `plotLeft + plotWidth` wide.
    // Left to right and at least 15 pixels: zoom to the dragged positions. Right to left and at
    // least 15 pixels: back to the whole axis. Returns whether the range changed.
    bool drag(double fromPx, double toPx, double plotLeft, double plotWidth);
    void reset() { range_ = positionAxisRange(positions_); }

private:
    // Sets [min, min + span], the span within kMinSpan and the whole axis, shifted inside it.
    void show(double min, double span);

    int positions_ = 0;
    AxisRange range_ = positionAxisRange(0);
};

}  // namespace oculant
