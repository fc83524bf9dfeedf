#pragma once
// Which store rows the six signal charts show. Each redraw tick refills charts 0 (first X
// layer) and 3 (first Y layer), and with three or more layers on an axis also that axis's last
// two layers (charts 1, 2 and 4, 5); a chart not refilled keeps what it showed.

#include <array>
#include <cstdint>
#include <span>

#include "signal/SignalStore.h"

namespace oculant {

inline constexpr int kSignalChartCount = 6;
// Chart indices: X0, X1, X2 show the long side, Y0, Y1, Y2 the short side.
inline constexpr int kChartX0 = 0;
inline constexpr int kChartY0 = 3;

// One chart to refill: the samples of one layer of the current-signal plane and the offset that
// decides which of them have a beam.
struct ChartSource {
    int chart = 0;
    int row = 0;  // store row
    int offset = 0;
    std::span<const uint8_t> samples;
};

struct ChartRefreshPlan {
    std::array<ChartSource, kSignalChartCount> sources{};
    int count = 0;

    // Refers into the plan: only on a plan that outlives the use (never on a temporary).
    std::span<const ChartSource> charts() const& { return {sources.data(), size_t(count)}; }
    std::span<const ChartSource> charts() const&& = delete;
};

// The charts one redraw refills, in chart order. The first layer of an axis is shown with
// offset 0; an axis without layers (a layout no frame should send) refills none of its charts.
ChartRefreshPlan chartRefreshPlan(const SignalStore& store);

}  // namespace oculant
