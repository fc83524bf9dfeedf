#include "signal/ChartSeries.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "protocol/SignalFrameLayout.h"

namespace oculant {

namespace {

// How far a marked level lies outside the healthy band.
int severity(int level)
{
    return level < kQualityLowLevel ? kQualityLowLevel - level : level - kQualityHighLevel;
}

}  // namespace

void selectMarkLabels(std::vector<ChartPoint>& out, std::span<const ChartPoint> marks, double from, double to,
                      double minGap)
{
    out.clear();
    for (const ChartPoint& m : marks)
        if (m.x >= from && m.x <= to)
            out.push_back(m);
    std::stable_sort(out.begin(), out.end(),
                     [](const ChartPoint& a, const ChartPoint& b) { return severity(a.level) > severity(b.level); });
    size_t kept = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const bool fits = std::none_of(out.begin(), out.begin() + long(kept),
                                       [&](const ChartPoint& k) { return std::abs(k.x - out[i].x) < minGap; });
        if (fits)
            out[kept++] = out[i];
    }
    out.resize(kept);
    std::sort(out.begin(), out.end(), [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; });
}

void fillChartContent(ChartContent& out, std::span<const uint8_t> samples, int offset, bool qualityMarks)
{
    const int n = int(samples.size());
    out.positions = n;
    out.line.clear();
    out.marks.clear();
    for (int i = 0; i < n; ++i) {
        if (!layerHasBeam(i, offset, n))
            continue;
        const ChartPoint point{i + 1, samples[size_t(i)]};
        out.line.push_back(point);
        if (qualityMarks && needsQualityMark(samples[size_t(i)]))
            out.marks.push_back(point);
    }
}

const ChartPoint* pointAt(std::span<const ChartPoint> points, double x)
{
    const auto it = std::lower_bound(points.begin(), points.end(), x - 0.5,
                                     [](const ChartPoint& p, double v) { return p.x < v; });
    return it != points.end() && std::abs(it->x - x) <= 0.5 ? &*it : nullptr;
}

}  // namespace oculant
