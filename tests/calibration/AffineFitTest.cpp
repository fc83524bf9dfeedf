#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "calibration/AffineFit.h"
#include "calibration/CalibrationTargets.h"
#include "calibration/DisplayDirection.h"
#include "calibration/TouchAreaExtension.h"
#include "tests/support/CalibrationTestSupport.h"

namespace oculant {
namespace {

using test::kFullHd;

TEST(FitAffine, four_shifted_points_give_the_shift)
{
    CalibrationCoefficients k;
    ASSERT_TRUE(FitAffine(test::shiftedCapture(1000), k));
    const float expected[6] = {1, 0, 1000, 0, 1, 1000};
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(k.k[i], expected[i], 1e-4) << "K" << i;
    // Only the +0.5 rounding term is left: about 0.03 pixels.
    EXPECT_NEAR(PixelError(test::shiftedCapture(1000), k, kFullHd), 0.0336f, 0.001f);
}

TEST(FitAffine, touches_on_one_line_fail_and_leave_the_output)
{
    CalibrationData d = test::shiftedCapture(0);
    for (auto& p : d.used())
        p.touch.y = 5000;
    CalibrationCoefficients k{{9, 9, 9, 9, 9, 9}};
    EXPECT_FALSE(FitAffine(d, k));
    EXPECT_EQ(k, (CalibrationCoefficients{{9, 9, 9, 9, 9, 9}}));
}

TEST(FitAffine, a_zero_coordinate_sum_fails_instead_of_dividing_by_it)
{
    CalibrationData d = test::shiftedCapture(0);
    d.points[0].touch.x = d.points[1].touch.x = -1000;
    d.points[2].touch.x = d.points[3].touch.x = 1000;
    CalibrationCoefficients k;
    EXPECT_FALSE(FitAffine(d, k));

    d = test::shiftedCapture(0);
    for (auto& p : d.used())
        p.touch = {0, 0};
    EXPECT_FALSE(FitAffine(d, k));
}

TEST(FitAffine, needs_three_points_and_a_positive_determinant_for_three)
{
    CalibrationData d = test::shiftedCapture(1000);
    CalibrationCoefficients k;
    d.count = 2;
    EXPECT_FALSE(FitAffine(d, k));

    // Three points are used as they stand; their order decides the determinant's sign.
    d.count = 3;
    d.points[0] = {{2000, 2000}, {1000, 1000}};
    d.points[1] = {{21000, 2000}, {20000, 1000}};
    d.points[2] = {{2000, 21000}, {1000, 20000}};
    ASSERT_TRUE(FitAffine(d, k));
    const float expected[6] = {1, 0, 1000, 0, 1, 1000};
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(k.k[i], expected[i], 1e-3) << "K" << i;
    std::swap(d.points[0], d.points[1]);
    const CalibrationCoefficients before = k;
    EXPECT_FALSE(FitAffine(d, k));
    EXPECT_EQ(k, before);
}

// Targets of a 5 × 5 grid with centres, pushed through a known screen-to-frame misalignment
// (scale, rotation, offset); the fit must return its inverse.
TEST(FitAffine, round_trip_recovers_a_misalignment)
{
    CalibrationData d;
    ASSERT_TRUE(generateTargets(d, test::fullScreen(5, 5, true), kFullHd));

    const double angle = 0.5 * std::numbers::pi / 180.0;
    const double a = 0.97 * std::cos(angle), b = -1.02 * std::sin(angle);
    const double c = 0.97 * std::sin(angle), e = 1.02 * std::cos(angle);
    const double ox = 300, oy = -200;
    for (auto& p : d.used()) {
        p.touch = {static_cast<int32_t>(std::lround(a * p.target.x + b * p.target.y + ox)),
                   static_cast<int32_t>(std::lround(c * p.target.x + e * p.target.y + oy))};
    }
    CalibrationCoefficients k;
    ASSERT_TRUE(FitAffine(d, k));

    const double det = a * e - b * c;
    const double inverse[6] = {e / det, -b / det, (b * oy - e * ox) / det,
                               -c / det, a / det, (c * ox - a * oy) / det};
    const double tolerance = 0.001;
    EXPECT_NEAR(k.k[0], inverse[0], tolerance * std::abs(inverse[0]));
    EXPECT_NEAR(k.k[4], inverse[4], tolerance * std::abs(inverse[4]));
    EXPECT_NEAR(k.k[1], inverse[1], tolerance * std::abs(inverse[0]));
    EXPECT_NEAR(k.k[3], inverse[3], tolerance * std::abs(inverse[4]));
    EXPECT_NEAR(k.k[2], inverse[2], tolerance * kLogicalSpan);
    EXPECT_NEAR(k.k[5], inverse[5], tolerance * kLogicalSpan);
    EXPECT_LT(PixelError(d, k, kFullHd), 0.1f);
}

TEST(PixelsToMillimetres, uses_the_truncated_frame_width)
{
    // trunc(160 · 5.969) = 955; 955 · 12 / 1920
    EXPECT_FLOAT_EQ(PixelsToMillimetres(12.0f, 160, 1920), 5.96875f);
    EXPECT_FLOAT_EQ(PixelsToMillimetres(1.0f, 100, 1000), 0.596f);
    EXPECT_EQ(PixelsToMillimetres(12.0f, 160, 0), 0.0f);
}

struct DirectionCase {
    int index;
    ScreenLogical expected;
};

class Directions : public ::testing::TestWithParam<DirectionCase> {};

TEST_P(Directions, turn_the_targets)
{
    CalibrationData d;
    d.count = 1;
    d.points[0] = {{1000, 2000}, {7, 8}};
    TransformTargets(d, displayDirectionFromIndex(GetParam().index));
    EXPECT_EQ(d.points[0].target, GetParam().expected);
    EXPECT_EQ(d.points[0].touch, (FrameLogical{7, 8}));
}

INSTANTIATE_TEST_SUITE_P(AllFour, Directions,
                         ::testing::Values(DirectionCase{0, {1000, 2000}}, DirectionCase{1, {30768, 1000}},
                                           DirectionCase{2, {31768, 30768}}, DirectionCase{3, {2000, 31768}},
                                           DirectionCase{-1, {1000, 2000}}, DirectionCase{4, {1000, 2000}}));

TEST(ApplyExtension, stretches_only_the_extended_axis)
{
    CalibrationCoefficients k{{1.0f, 0.01f, 100.0f, 0.02f, 1.0f, 50.0f}};
    ASSERT_TRUE(ApplyExtension(k, {3, 3, 0, 0}, 160, 90));
    const double sx = 959.6 / 953.6;       // (3 + 3 + 160·5.96) / (160·5.96)
    const double tx = 3 / 953.6 * 32767;  // about 103.08
    EXPECT_NEAR(k.k[0], 1.0 * sx, 1e-6);
    EXPECT_NEAR(k.k[1], 0.01 * sx, 1e-7);
    EXPECT_NEAR(k.k[2], (100.0 - tx) * sx, 1e-3);
    EXPECT_EQ(k.k[3], 0.02f);
    EXPECT_EQ(k.k[4], 1.0f);
    EXPECT_EQ(k.k[5], 50.0f);
}

TEST(ApplyExtension, up_and_down_stretch_y)
{
    CalibrationCoefficients k = CalibrationCoefficients::identity();
    ASSERT_TRUE(ApplyExtension(k, {0, 0, 2, 4}, 160, 90));
    const double heightMm = 90 * 5.96;
    const double sy = (6 + heightMm) / heightMm;
    EXPECT_NEAR(k.k[4], sy, 1e-6);
    EXPECT_NEAR(k.k[5], -(2 / heightMm * 32767) * sy, 1e-3);
    EXPECT_EQ(k.k[0], 1.0f);
    EXPECT_EQ(k.k[2], 0.0f);
}

TEST(ApplyExtension, refuses_without_position_counts)
{
    CalibrationCoefficients k = CalibrationCoefficients::identity();
    EXPECT_FALSE(ApplyExtension(k, {3, 3, 0, 0}, 0, 90));
    EXPECT_FALSE(ApplyExtension(k, {3, 3, 0, 0}, 160, 0));
    EXPECT_EQ(k, CalibrationCoefficients::identity());
}

}  // namespace
}  // namespace oculant
