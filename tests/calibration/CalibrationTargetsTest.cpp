#include <gtest/gtest.h>

#include <vector>

#include "calibration/CalibrationTargets.h"
#include "calibration/CaptureGeometry.h"
#include "tests/support/CalibrationTestSupport.h"

namespace oculant {
namespace {

using test::fullScreen;
using test::kFullHd;

std::vector<ScreenLogical> targets(const CalibrationData& d)
{
    std::vector<ScreenLogical> out;
    for (const auto& p : d.used())
        out.push_back(p.target);
    return out;
}

TEST(CalibrationTargets, two_by_two_runs_down_each_column_left_to_right)
{
    CalibrationData d;
    ASSERT_TRUE(generateTargets(d, fullScreen(2, 2, false), kFullHd));
    // start 96·32768/1920 = 1638, end 1824·32768/1920 = 31129; the same in y with 54/1026.
    EXPECT_EQ(targets(d), (std::vector<ScreenLogical>{{1638, 1638}, {1638, 31129}, {31129, 1638}, {31129, 31129}}));
}

TEST(CalibrationTargets, auxiliary_points_follow_their_column)
{
    CalibrationData d;
    ASSERT_TRUE(generateTargets(d, fullScreen(3, 2, true), kFullHd));
    const int32_t step = (31129 - 1638) / 2;  // 14745
    const int32_t stepY = 31129 - 1638;
    EXPECT_EQ(targets(d), (std::vector<ScreenLogical>{
                              {1638, 1638}, {1638, 31129}, {1638 + step / 2, 1638 + stepY / 2},
                              {1638 + step, 1638}, {1638 + step, 31129}, {1638 + step + step / 2, 1638 + stepY / 2},
                              {1638 + 2 * step, 1638}, {1638 + 2 * step, 31129}}));
}

struct CountCase {
    uint8_t gridX, gridY;
    bool aux;
    int count;
    uint8_t usedX, usedY;
};

class TargetCounts : public ::testing::TestWithParam<CountCase> {};

TEST_P(TargetCounts, grid_is_clamped_and_counted)
{
    const CountCase& c = GetParam();
    CalibrationData d;
    ASSERT_TRUE(generateTargets(d, fullScreen(c.gridX, c.gridY, c.aux), kFullHd));
    EXPECT_EQ(d.count, c.count);
    EXPECT_EQ(d.gridX, c.usedX);
    EXPECT_EQ(d.gridY, c.usedY);
}

INSTANTIATE_TEST_SUITE_P(Grids, TargetCounts,
                         ::testing::Values(CountCase{5, 5, true, 41, 5, 5}, CountCase{5, 5, false, 25, 5, 5},
                                           CountCase{6, 6, true, 61, 6, 6}, CountCase{9, 0, true, 6 * 2 + 5, 6, 2},
                                           CountCase{2, 3, true, 6 + 2, 2, 3}));

TEST(CalibrationTargets, targets_stay_inside_an_offset_window)
{
    CalibrationSettings s = fullScreen(3, 3, true);
    s.window = {960, 540, 960, 540};
    s.marginLeft = s.marginRight = s.marginUp = s.marginDown = 0;
    CalibrationData d;
    ASSERT_TRUE(generateTargets(d, s, kFullHd));
    for (const auto& p : d.used()) {
        EXPECT_GE(p.target.x, 16384);
        EXPECT_LE(p.target.x, 32768);
        EXPECT_GE(p.target.y, 16384);
        EXPECT_LE(p.target.y, 32768);
    }
    EXPECT_EQ(d.points[0].target, (ScreenLogical{16384, 16384}));
}

TEST(CalibrationTargets, a_window_or_screen_without_area_is_refused)
{
    CalibrationData d;
    d.count = 7;
    CalibrationSettings s = fullScreen(2, 2, false);
    s.window.width = 0;
    EXPECT_FALSE(generateTargets(d, s, kFullHd));
    EXPECT_FALSE(generateTargets(d, fullScreen(2, 2, false), {0, 1080}));
    EXPECT_EQ(d.count, 7) << "nothing changes";
}

TEST(CaptureGeometry, targets_land_on_the_picture_and_progress_turns_clockwise)
{
    EXPECT_EQ(targetOnPicture({1638, 31129}, kFullHd), (ScreenPixel{95, 1025}));
    const ScreenPixel centre{500, 400};
    EXPECT_EQ(progressRadialEnd(centre, 0), (ScreenPixel{500, 370}));   // twelve o'clock
    EXPECT_EQ(progressRadialEnd(centre, 25), (ScreenPixel{530, 400}));  // three o'clock
    EXPECT_EQ(progressRadialEnd(centre, 50), (ScreenPixel{500, 430}));
    EXPECT_EQ(progressRadialEnd(centre, 75), (ScreenPixel{470, 400}));
    EXPECT_EQ(infoTextOrigin({100, 50, 800, 600}, 10), (ScreenPixel{470, 60}));
}

// Texts on the capture screen go where no target is: the 3 × 3 grid of a 1366 × 768 screen with
// margins of 38, the instruction line over the top middle target, the result's figures over all.
TEST(CaptureGeometry, texts_take_the_first_band_clear_of_the_targets)
{
    std::vector<ScreenPixel> grid;
    for (int y : {38, 384, 730})
        for (int x : {68, 683, 1298})
            grid.push_back({x, y});
    // One line of 17 pixels in the middle columns: below the top row's box (38 + 40).
    EXPECT_EQ(clearBandTop(grid, 480, 880, 10, 768, 17, 40), 79);
    // Columns clear of every target keep the line at the top.
    EXPECT_EQ(clearBandTop(grid, 200, 600, 10, 768, 17, 40), 10);
    // Five lines of figures across the screen, 72 pixels clear of every dot: between the rows.
    EXPECT_EQ(clearBandTop(grid, 20, 1346, 10, 758, 80, 72), 111);
    // Figures taller than any gap: the top of the widest one (111 … 311, as wide as 457 … 657).
    EXPECT_EQ(clearBandTop(grid, 20, 1346, 10, 758, 300, 72), 111);
    // No targets at all: the top.
    EXPECT_EQ(clearBandTop({}, 0, 100, 10, 500, 50, 40), 10);
}

}  // namespace
}  // namespace oculant
