// What one signal chart shows: the line over the positions with a beam, quality marks outside
// 60 … 240, and which store rows the six charts are refilled from.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "tests/support/SignalTestSupport.h"
#include "signal/ChartRefresh.h"
#include "signal/ChartSeries.h"
#include "signal/FrameProcessor.h"

namespace oculant {

void PrintTo(const ChartPoint& p, std::ostream* os) { *os << "(" << p.x << ", " << p.level << ")"; }

namespace {

std::vector<int> xs(const std::vector<ChartPoint>& points)
{
    std::vector<int> out;
    for (const ChartPoint& p : points)
        out.push_back(p.x);
    return out;
}

std::vector<int> range(int first, int last)
{
    std::vector<int> out(size_t(last - first + 1));
    std::iota(out.begin(), out.end(), first);
    return out;
}

TEST(ChartSeries, positions_without_a_beam_are_left_out_of_the_line)
{
    struct Case {
        int offset;
        int positions;
        std::vector<int> shown;  // position numbers (position + 1)
    };
    const Case cases[] = {
        {0, 10, range(1, 10)},
        {3, 10, range(1, 7)},     // gaps at 8, 9, 10
        {-3, 10, range(4, 10)},   // gaps at 1, 2, 3
        {-2, 10, range(3, 10)},
        {9, 10, {1}},
        {10, 10, {}},             // an offset as long as the axis leaves no beam
        {-12, 10, {}},
        {0, 0, {}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> samples(size_t(c.positions));
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = uint8_t(100 + i);
        ChartContent content;
        fillChartContent(content, samples, c.offset, false);
        EXPECT_EQ(content.positions, c.positions) << "offset " << c.offset;
        EXPECT_EQ(xs(content.line), c.shown) << "offset " << c.offset;
        // Each shown point carries the sample of its own position.
        for (const ChartPoint& p : content.line)
            EXPECT_EQ(p.level, samples[size_t(p.x - 1)]) << "offset " << c.offset;
    }
}

TEST(ChartSeries, quality_marks_fall_on_levels_outside_60_to_240_with_a_beam)
{
    //                         1   2   3    4    5    6    7   8  9    10
    const std::vector<uint8_t> s{59, 60, 240, 241, 0, 255, 128, 10, 250, 30};
    ChartContent content;
    fillChartContent(content, s, 2, true);  // positions 9 and 10 have no beam
    EXPECT_EQ(content.marks, (std::vector<ChartPoint>{{1, 59}, {4, 241}, {5, 0}, {6, 255}, {8, 10}}));
    EXPECT_EQ(content.line.size(), 8u);

    fillChartContent(content, s, 2, false);
    EXPECT_TRUE(content.marks.empty()) << "marks switched off leave the bar series empty";
    EXPECT_EQ(content.line.size(), 8u);
}

TEST(ChartSeries, a_refill_replaces_what_the_chart_showed)
{
    ChartContent content;
    fillChartContent(content, std::vector<uint8_t>(300, 10), 0, true);
    fillChartContent(content, std::vector<uint8_t>{100, 100, 100}, -1, true);
    EXPECT_EQ(content.positions, 3);
    EXPECT_EQ(xs(content.line), (std::vector<int>{2, 3}));
    EXPECT_TRUE(content.marks.empty());
}

TEST(ChartSeries, crowded_mark_labels_keep_the_most_extreme_levels)
{
    const std::vector<ChartPoint> marks{{10, 50}, {11, 0}, {12, 59}, {20, 241}, {21, 255}, {40, 5}, {90, 3}};
    std::vector<ChartPoint> labels;
    struct Case {
        double from, to, minGap;
        std::vector<ChartPoint> shown;
    };
    const Case cases[] = {
        {0.5, 100.5, 0, marks},                                   // room for every label
        {0.5, 100.5, 1, marks},                                   // neighbours one position apart fit
        {0.5, 100.5, 2, {{11, 0}, {21, 255}, {40, 5}, {90, 3}}},  // 0 beats 50 and 59; 255 beats 241
        {0.5, 100.5, 25, {{11, 0}, {90, 3}, {40, 5}}},
        {15.5, 45.5, 2, {{21, 255}, {40, 5}}},                    // zoomed in: only the visible ones
    };
    for (const Case& c : cases) {
        selectMarkLabels(labels, marks, c.from, c.to, c.minGap);
        std::vector<ChartPoint> expected = c.shown;
        std::sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.x < b.x; });
        EXPECT_EQ(labels, expected) << "gap " << c.minGap << " over " << c.from << " … " << c.to;
    }
}

// A store with the given layout, its current-signal plane filled row by row with the row number,
// as a processed reference frame leaves it.
struct StoreWith {
    SignalStore store;
    explicit StoreWith(std::vector<int16_t> xOffsets, std::vector<int16_t> yOffsets, uint16_t nX = 10,
                       uint16_t nY = 6)
    {
        FrameLayout layout;
        layout.family = kFamilyFullScan;
        layout.nX = nX;
        layout.nY = nY;
        layout.xOffsets = std::move(xOffsets);
        layout.yOffsets = std::move(yOffsets);
        std::vector<uint8_t> levels;
        for (size_t r = 0; r < layout.bX(); ++r)
            levels.insert(levels.end(), nX, uint8_t(r));
        for (size_t r = 0; r < layout.bY(); ++r)
            levels.insert(levels.end(), nY, uint8_t(100 + r));
        FrameProcessor processor(store, "/nonexistent");
        const auto frame = SignalFrameBuilder(layout).frame(kTypeReference, levels);
        EXPECT_EQ(processor.ProcessFrame(frame.data(), frame.size()).status, FrameStatus::Accepted);
    }
};

struct Shown {
    int chart, row, offset;
    size_t count;
    uint8_t firstLevel;
    bool operator==(const Shown&) const = default;
};

std::vector<Shown> shown(const SignalStore& store)
{
    std::vector<Shown> out;
    const auto plan = chartRefreshPlan(store);  // charts() refers into the plan: keep it alive
    for (const ChartSource& c : plan.charts())
        out.push_back({c.chart, c.row, c.offset, c.samples.size(), c.samples.empty() ? uint8_t(0) : c.samples[0]});
    return out;
}

TEST(ChartRefresh, two_layers_refill_only_the_first_chart_of_the_axis)
{
    const StoreWith s({0, 2}, {0, -1});
    EXPECT_EQ(shown(s.store), (std::vector<Shown>{{0, 0, 0, 10, 0}, {3, 2, 0, 6, 100}}));
}

TEST(ChartRefresh, three_or_more_layers_also_refill_the_last_two)
{
    const StoreWith three({0, -2, 3}, {0, 1, -1});
    EXPECT_EQ(shown(three.store), (std::vector<Shown>{{0, 0, 0, 10, 0},
                                                      {1, 1, -2, 10, 1},
                                                      {2, 2, 3, 10, 2},
                                                      {3, 3, 0, 6, 100},
                                                      {4, 4, 1, 6, 101},
                                                      {5, 5, -1, 6, 102}}));
    // Five X layers: X1 and X2 show layers 3 and 4; two Y layers: Y1 and Y2 are left alone.
    const StoreWith five({0, 1, 2, -4, 5}, {0, 3});
    EXPECT_EQ(shown(five.store),
              (std::vector<Shown>{{0, 0, 0, 10, 0}, {1, 3, -4, 10, 3}, {2, 4, 5, 10, 4}, {3, 5, 0, 6, 100}}));
}

TEST(ChartRefresh, the_first_layer_is_shown_with_offset_0_whatever_the_frame_says)
{
    const StoreWith s({4, 1, 2}, {-3});
    const auto plan = chartRefreshPlan(s.store);
    ASSERT_EQ(plan.count, 4);
    EXPECT_EQ(plan.sources[0].offset, 0);
    EXPECT_EQ(plan.sources[3].chart, 3);
    EXPECT_EQ(plan.sources[3].offset, 0);
}

TEST(ChartRefresh, an_axis_without_layers_refills_none_of_its_charts)
{
    const StoreWith s({0, 1, 2}, {}, 10, 0);
    const auto plan = shown(s.store);
    ASSERT_EQ(plan.size(), 3u);
    for (const Shown& c : plan)
        EXPECT_LT(c.chart, 3);
}

TEST(ChartRefresh, the_start_layout_shows_one_position_per_axis)
{
    const SignalStore store;
    EXPECT_EQ(shown(store), (std::vector<Shown>{{0, 0, 0, 1, 0}, {3, 1, 0, 1, 0}}));
}

}  // namespace
}  // namespace oculant
