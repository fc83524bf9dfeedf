// The rules a calibration is held to before anything is written: what a map may look like to be
// a frame's, and how close targets may come on the frame.
#include <gtest/gtest.h>

#include <cmath>

#include "calibration/CalibrationLimits.h"

namespace oculant {
namespace {

CalibrationCoefficients map(float k0, float k1, float k2, float k3, float k4, float k5)
{
    CalibrationCoefficients c;
    c.k = {k0, k1, k2, k3, k4, k5};
    return c;
}

TEST(CalibrationLimits, maps_of_turned_mirrored_and_scaled_frames_pass_and_degenerate_ones_are_refused)
{
    const struct {
        const char* name;
        CalibrationCoefficients k;
        bool plausible;
    } cases[] = {
        {"identity", map(1, 0, 0, 0, 1, 0), true},
        {"quarter turn", map(0, -1, 32768, 1, 0, 0), true},
        {"mirrored X", map(-1, 0, 32768, 0, 1, 0), true},
        {"scales at the limits", map(0.25f, 0, 12000, 0, 4, -50000), true},
        {"just below a quarter", map(0.249f, 0, 12000, 0, 1, 0), false},
        {"just above four", map(1, 0, 0, 0, 4.01f, -50000), false},
        // Axes 30 degrees apart pass, closer ones are as good as singular.
        {"axes 31 degrees apart", map(1, float(std::cos(31 * M_PI / 180)), 0, 0, float(std::sin(31 * M_PI / 180)), 0), true},
        {"axes 29 degrees apart", map(1, float(std::cos(29 * M_PI / 180)), 0, 0, float(std::sin(29 * M_PI / 180)), 0), false},
        {"centre a screen off", map(1, 0, 50000, 0, 1, 0), false},
        {"not finite", map(NAN, 0, 0, 0, 1, 0), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto reason = implausibleMapReason(c.k, {});
        EXPECT_EQ(!reason.has_value(), c.plausible) << reason.value_or("");
    }
}

TEST(CalibrationLimits, targets_closer_than_two_positions_on_the_frame_are_refused_once_positions_are_known)
{
    // 160 X positions span 955 mm: 32768 / 955 * 12 = 411.7 logical units are 12 mm.
    CalibrationData d;
    d.count = 3;
    d.points[0].target = {1000, 1000};
    d.points[1].target = {1000 + 412, 1000};
    d.points[2].target = {20000, 20000};
    const PositionCounts positions{160, 90};
    EXPECT_FALSE(targetSpacingRefusal(d, positions, DisplayDirection::Landscape, {}));
    d.points[1].target.x = 1000 + 411;
    const auto refusal = targetSpacingRefusal(d, positions, DisplayDirection::Landscape, {});
    ASSERT_TRUE(refusal);
    EXPECT_EQ(*refusal, "Targets 1 and 2 would be 12.0 mm apart on the frame, closer than the 12 mm a calibration "
                        "needs: choose fewer targets, smaller margins or a larger window!\n");
    // Portrait puts the frame's 90 Y positions (537 mm) along the screen's X: 411 units are 6.7 mm.
    EXPECT_NE(targetSpacingRefusal(d, positions, DisplayDirection::Portrait, {})->find("6.7 mm"), std::string::npos);
    EXPECT_FALSE(targetSpacingRefusal(d, {}, DisplayDirection::Landscape, {})) << "positions not known yet";
}

}  // namespace
}  // namespace oculant
