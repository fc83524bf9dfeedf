#pragma once
// What one signal chart shows for a row of samples: the signal line over the positions that
// have a beam, and the quality marks (levels too low or too high to trust). Computed without
// the chart toolkit; the window only copies the points into its series.

#include <cstdint>
#include <span>
#include <vector>

namespace oculant {

// A level outside 60 … 240 gets a quality mark: below, the beam is blocked or weak; above, the
// receiver is near saturation. The bounds themselves are healthy.
inline constexpr int kQualityLowLevel = 60;
inline constexpr int kQualityHighLevel = 240;
inline constexpr bool needsQualityMark(uint8_t level)
{
    return level < kQualityLowLevel || level > kQualityHighLevel;
}

// A quality mark is drawn as a bar 95 % of a position wide, centred on its position.
inline constexpr double kMarkBarWidth = 0.95;

// One point: x is the position number shown (position + 1), y the level.
struct ChartPoint {
    int x = 0;
    int level = 0;
    bool operator==(const ChartPoint&) const = default;
};

struct ChartContent {
    // Positions on the bottom axis: 1 … positions.
    int positions = 0;
    // The signal at every position with a beam, in position order. Positions without a beam are
    // left out (null points); by the beam rule they form one run at one end of the axis, so the
    // remaining points are one unbroken line.
    std::vector<ChartPoint> line;
    // Quality marks at positions with a beam and a level outside 60 … 240; empty when the marks
    // are switched off.
    std::vector<ChartPoint> marks;
};

// The marks whose value labels can be shown without overlapping: within `from` … `to` on the
// position axis and at least `minGap` positions apart, the levels furthest outside 60 … 240
// chosen first (a dead beam's 0 wins over a neighbour's 50). Refills `out`, in position order.
void selectMarkLabels(std::vector<ChartPoint>& out, std::span<const ChartPoint> marks, double from, double to,
                      double minGap);

// The point of `points` (in position order) nearest to position x, within half a position;
// nullptr when none is that near (a position without a beam, or beyond the ends).
const ChartPoint* pointAt(std::span<const ChartPoint> points, double x);

// A quality mark's bar is at least this high, so that a dead beam's mark at level 0 shows.
inline constexpr int kMinMarkBarLevel = 6;

// Refills `out` (its buffers are reused, so a refresh allocates nothing once warm) from the
// samples of one layer with its offset. Every sample is read; beamless ones are not shown.
void fillChartContent(ChartContent& out, std::span<const uint8_t> samples, int offset, bool qualityMarks);

}  // namespace oculant
