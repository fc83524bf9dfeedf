// The charts' geometry: where the six charts sit, and how the position axis zooms.
#include <gtest/gtest.h>

#include "signal/ChartLayout.h"
#include "signal/ChartZoom.h"

namespace oculant {
namespace {

TEST(ChartLayout, six_charts_in_two_columns_of_three_with_integer_division)
{
    struct Case {
        int w, h;
        ChartRect x0, x1, x2, y0;
    };
    const Case cases[] = {
        {1162, 581, {0, 0, 581, 193}, {0, 193, 581, 193}, {0, 387, 581, 193}, {581, 0, 581, 193}},
        // Odd sizes: the last row starts at 2h/3, not 2 × (h/3).
        {1001, 100, {0, 0, 500, 33}, {0, 33, 500, 33}, {0, 66, 500, 33}, {500, 0, 500, 33}},
        {1, 2, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 0}},
        {-5, -5, {}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        const auto r = chartLayout(c.w, c.h);
        EXPECT_EQ(r[0], c.x0) << c.w << "x" << c.h;
        EXPECT_EQ(r[1], c.x1) << c.w << "x" << c.h;
        EXPECT_EQ(r[2], c.x2) << c.w << "x" << c.h;
        EXPECT_EQ(r[3], c.y0) << c.w << "x" << c.h;
        // The Y column mirrors the X column at the middle.
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(r[size_t(3 + k)], (ChartRect{r[3].left, r[size_t(k)].top, r[size_t(k)].width, r[size_t(k)].height}));
    }
}

TEST(ChartZoom, shows_the_whole_layer_until_zoomed_and_again_after_a_layout_change)
{
    ChartZoom z;
    z.setPositions(40);
    EXPECT_EQ(z.range(), (AxisRange{0.5, 40.5}));
    EXPECT_FALSE(z.zoomed());
    z.wheel(120, 10.5);
    ASSERT_TRUE(z.zoomed());
    const AxisRange zoomed = z.range();
    z.setPositions(40);  // the next refresh of the same layout keeps the zoom
    EXPECT_EQ(z.range(), zoomed);
    z.setPositions(96);
    EXPECT_EQ(z.range(), (AxisRange{0.5, 96.5}));
    z.setPositions(0);
    EXPECT_EQ(z.range(), (AxisRange{0.5, 1.5}));
}

TEST(ChartZoom, the_wheel_keeps_the_position_under_the_pointer_in_place)
{
    ChartZoom z;
    z.setPositions(100);  // 0.5 … 100.5, span 100
    z.wheel(120, 25.5);   // a quarter into the span
    EXPECT_DOUBLE_EQ(z.range().span(), 80);
    EXPECT_DOUBLE_EQ(z.range().min, 5.5);
    EXPECT_DOUBLE_EQ(z.range().max, 85.5);
    z.wheel(-120, 25.5);  // and back
    EXPECT_DOUBLE_EQ(z.range().min, 0.5);
    EXPECT_DOUBLE_EQ(z.range().max, 100.5);
    EXPECT_FALSE(z.zoomed());
    // Two notches at once are two steps.
    z.wheel(240, 50.5);
    EXPECT_DOUBLE_EQ(z.range().span(), 64);
}

TEST(ChartZoom, zoom_stops_at_four_positions_and_at_the_whole_axis)
{
    ChartZoom z;
    z.setPositions(100);
    for (int i = 0; i < 50; ++i)
        z.wheel(120, 99);
    EXPECT_DOUBLE_EQ(z.range().span(), ChartZoom::kMinSpan);
    EXPECT_LE(z.range().max, 100.5);
    for (int i = 0; i < 50; ++i)
        z.wheel(-120, 2);
    EXPECT_EQ(z.range(), (AxisRange{0.5, 100.5}));
    // Zooming out near an end shifts the range back inside the axis.
    z.wheel(600, 90);
    z.wheel(-120, 100.5);
    EXPECT_LE(z.range().max, 100.5);
    EXPECT_GE(z.range().min, 0.5);
    // A layer shorter than the deepest zoom cannot be zoomed.
    z.setPositions(2);
    z.wheel(1200, 1);
    EXPECT_FALSE(z.zoomed());
}

TEST(ChartZoom, a_drag_of_15_pixels_or_more_zooms_and_a_backward_drag_resets)
{
    ChartZoom z;
    z.setPositions(100);  // 100 positions over a plot 40 … 440 px: 4 px per position
    EXPECT_FALSE(z.drag(100, 114, 40, 400)) << "14 px is a click";
    EXPECT_FALSE(z.zoomed());
    EXPECT_TRUE(z.drag(100, 140, 40, 400));  // 15.5 … 25.5
    EXPECT_DOUBLE_EQ(z.range().min, 15.5);
    EXPECT_DOUBLE_EQ(z.range().max, 25.5);
    // Within the zoomed range: 10 positions over 400 px.
    EXPECT_TRUE(z.drag(40, 240, 40, 400));
    EXPECT_DOUBLE_EQ(z.range().min, 15.5);
    EXPECT_DOUBLE_EQ(z.range().max, 20.5);
    EXPECT_FALSE(z.drag(300, 290, 40, 400)) << "a short backward drag does nothing";
    EXPECT_TRUE(z.drag(300, 100, 40, 400));
    EXPECT_FALSE(z.zoomed());
    // Drags beyond the plot count from its edges; an empty plot never zooms.
    EXPECT_TRUE(z.drag(100, 140, 40, 400));
    EXPECT_FALSE(z.drag(0, 1000, 40, 400)) << "the whole zoomed range again";
    EXPECT_EQ(z.range(), (AxisRange{15.5, 25.5}));
    // 60 px are 1.5 positions here: widened around their middle to the deepest zoom.
    EXPECT_TRUE(z.drag(0, 100, 40, 400));
    EXPECT_DOUBLE_EQ(z.range().min, 14.25);
    EXPECT_DOUBLE_EQ(z.range().max, 18.25);
    EXPECT_FALSE(z.drag(0, 100, 40, 0));
}

TEST(ChartZoom, position_ticks_step_by_1_2_5_within_the_tick_budget)
{
    struct Case {
        AxisRange range;
        int maxTicks;
        double interval;
    };
    const Case cases[] = {
        {{0.5, 10.5}, 10, 1},   {{0.5, 40.5}, 10, 5},  {{0.5, 300.5}, 10, 50}, {{0.5, 300.5}, 6, 50},
        {{0.5, 4.5}, 10, 1},    {{0.5, 170.5}, 8, 50}, {{0.5, 170.5}, 10, 20}, {{0, 0}, 10, 1},
        {{0.5, 1000.5}, 0, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(positionTickInterval(c.range, c.maxTicks), c.interval) << c.range.min << " … " << c.range.max;
}

}  // namespace
}  // namespace oculant
