#include <gtest/gtest.h>

#include "calibration/CalibrationControls.h"
#include "calibration/CalibrationSettings.h"
#include "tests/support/CalibrationTestSupport.h"

namespace oculant {
namespace {

using test::kFullHd;

struct MarginCase {
    const char* left;
    const char* up;
    uint16_t expectedLeft;
    uint16_t expectedUp;
    const char* expectedReport;
};

class MarginsOnFullHd : public ::testing::TestWithParam<MarginCase> {};

TEST_P(MarginsOnFullHd, accepts_within_limits_and_replaces_outside)
{
    const MarginCase& c = GetParam();
    CalibrationGroupTexts texts = calibrationGroupOnShow(kFullHd);
    texts.marginLeft = c.left;
    texts.marginUp = c.up;
    CalibrationSettings settings;
    const CheckResult result = readGridAndMargins(texts, kFullHd, test::bracketLookup(), settings);
    EXPECT_EQ(settings.marginLeft, c.expectedLeft);
    EXPECT_EQ(settings.marginUp, c.expectedUp);
    EXPECT_EQ(settings.marginRight, 96);
    EXPECT_EQ(settings.marginDown, 54);
    EXPECT_EQ(result.message, c.expectedReport);
    EXPECT_EQ(result.valid, result.message.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Limits, MarginsOnFullHd,
    ::testing::Values(
        MarginCase{"64", "36", 64, 36, ""},
        MarginCase{"1920", "1080", 1920, 1080, ""},
        MarginCase{"63", "36", 96, 36, "[InvalidParamLeft](64,1920), [UseDefault] 96!\n"},
        MarginCase{"10", "36", 96, 36, "[InvalidParamLeft](64,1920), [UseDefault] 96!\n"},
        MarginCase{"1921", "35", 96, 54,
                   "[InvalidParamLeft](64,1920), [UseDefault] 96!\n[InvalidParamUp](36,1080), [UseDefault] 54!\n"},
        MarginCase{"abc", " 100px", 96, 100, "[InvalidParamLeft](64,1920), [UseDefault] 96!\n"},
        MarginCase{"-80", "1081", 96, 54,
                   "[InvalidParamLeft](64,1920), [UseDefault] 96!\n[InvalidParamUp](36,1080), [UseDefault] 54!\n"}));

TEST(CalibrationSettings, lower_margin_reports_with_the_up_key_in_order)
{
    CalibrationGroupTexts texts = calibrationGroupOnShow(kFullHd);
    texts.marginRight = "0";
    texts.marginDown = "0";
    CalibrationSettings settings;
    const CheckResult result = readGridAndMargins(texts, kFullHd, test::bracketLookup(), settings);
    EXPECT_FALSE(result.valid);
    EXPECT_EQ(result.message,
              "[InvalidParamRight](64,1920), [UseDefault] 96!\n[InvalidParamUp](36,1080), [UseDefault] 54!\n");
}

TEST(CalibrationSettings, group_on_show_holds_the_screen_derived_values)
{
    const CalibrationGroupTexts texts = calibrationGroupOnShow({1366, 768});
    EXPECT_EQ(texts.marginLeft, "68");
    EXPECT_EQ(texts.marginUp, "38");
    EXPECT_EQ(texts.offsetX, "0");
    EXPECT_EQ(texts.width, "1366");
    EXPECT_EQ(texts.height, "768");
    EXPECT_FALSE(texts.windowCalib);
    EXPECT_TRUE(texts.auxPoints);
}

struct WindowCase {
    const char* name;
    ScreenSize screen;
    const char *x, *y, *w, *h;
    CalibrationWindow expected;
    const char* message;
};

class CalibrationWindowCheck : public ::testing::TestWithParam<WindowCase> {};

TEST_P(CalibrationWindowCheck, messages_in_order_and_defaults_kept)
{
    const WindowCase& c = GetParam();
    CalibrationGroupTexts texts = calibrationGroupOnShow(c.screen);
    texts.windowCalib = true;
    texts.offsetX = c.x;
    texts.offsetY = c.y;
    texts.width = c.w;
    texts.height = c.h;
    CalibrationSettings settings;
    MaskRectangle mask{1, 2, 3, 4};
    const CheckResult result = readCalibrationWindow(texts, c.screen, settings, mask);
    EXPECT_EQ(result.message, c.message);
    EXPECT_EQ(result.valid, std::string(c.message).empty());
    EXPECT_EQ(settings.window, c.expected);
    if (!result.valid) {
        EXPECT_EQ(mask, (MaskRectangle{1, 2, 3, 4})) << "a failed check keeps the mask";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, CalibrationWindowCheck,
    ::testing::Values(
        WindowCase{"inside", kFullHd, "100", "50", "800", "600", {100, 50, 800, 600}, ""},
        WindowCase{"narrow_window_on_wide_screen", kFullHd, "0", "0", "100", "100", {0, 0, 100, 100}, ""},
        WindowCase{"width_past_edge", kFullHd, "1900", "0", "100", "1080", {1900, 0, 1920, 1080},
                   "Window Width out of range!\n"},
        WindowCase{"width_checked_against_rejected_x", kFullHd, "1920", "0", "1920", "1080", {0, 0, 1920, 1080},
                   "Window Offset x out of range!\n"},
        WindowCase{"all_four", kFullHd, "-1", "1080", "5000", "-3", {0, 0, 1920, 1080},
                   "Window Offset x out of range!\nWindow Offset y out of range!\nWindow Width out of range!\n"
                   "Window Height out of range!\n"},
        WindowCase{"zero_size_refused", kFullHd, "10", "10", "0", "0", {10, 10, 1920, 1080},
                   "Window Width out of range!\nWindow Height out of range!\n"},
        WindowCase{"small_screen", ScreenSize{300, 200}, "0", "0", "100", "100", {0, 0, 300, 200},
                   "Window Width out of range!\nWindow Height out of range!\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CalibrationSettings, window_unchecked_ignores_edits_and_takes_the_whole_screen)
{
    CalibrationGroupTexts texts = calibrationGroupOnShow(kFullHd);
    texts.offsetX = "garbage";
    texts.width = "-5";
    CalibrationSettings settings;
    MaskRectangle mask{5, 5, 5, 5};
    const CheckResult result = readCalibrationWindow(texts, kFullHd, settings, mask);
    EXPECT_TRUE(result.valid);
    EXPECT_EQ(settings.window, (CalibrationWindow{0, 0, 1920, 1080}));
    EXPECT_EQ(mask, MaskRectangle{}) << "step C resets the mask when masking is off";
}

TEST(CalibrationSettings, unknown_screen_size_refuses_before_a_capture)
{
    CalibrationGroupTexts texts;
    CalibrationSettings settings;
    MaskRectangle mask;
    const CheckResult result = readCalibrationWindow(texts, {0, 0}, settings, mask);
    EXPECT_FALSE(result.valid);
    EXPECT_EQ(result.message, "Window Width out of range!\nWindow Height out of range!\n");
}

TEST(CalibrationSettings, mask_is_the_window_in_logical_units_clamped)
{
    EXPECT_EQ(computeMaskRectangle({0, 0, 1920, 1080}, true, kFullHd), (MaskRectangle{0, 0, 32767, 32767}));
    EXPECT_EQ(computeMaskRectangle({480, 270, 960, 540}, true, kFullHd), (MaskRectangle{8192, 8192, 24576, 24576}));
    EXPECT_EQ(computeMaskRectangle({480, 270, 960, 540}, false, kFullHd), MaskRectangle{});
}

TEST(CalibrationSettings, mask_follows_a_valid_window_with_masking_on)
{
    CalibrationGroupTexts texts = calibrationGroupOnShow(kFullHd);
    texts.windowCalib = true;
    texts.maskOutside = true;
    texts.offsetX = "960";
    texts.offsetY = "0";
    texts.width = "960";
    texts.height = "540";
    CalibrationSettings settings;
    MaskRectangle mask;
    ASSERT_TRUE(readCalibrationWindow(texts, kFullHd, settings, mask).valid);
    EXPECT_EQ(mask, (MaskRectangle{16384, 0, 32767, 16384}));
}

TEST(CalibrationControls, enabling_follows_checks_connection_and_download)
{
    CalibrationGroupState state;
    CalibrationGroupEnables e = calibrationGroupEnables(state);
    EXPECT_FALSE(e.windowEdits);
    EXPECT_FALSE(e.maskCheckBox);
    EXPECT_FALSE(e.extensionEdits);
    EXPECT_FALSE(e.startButton);
    EXPECT_FALSE(e.resetButton);
    EXPECT_FALSE(e.exportButton);
    EXPECT_TRUE(e.resultButton);

    state.connected = true;
    state.windowCalib = true;
    e = calibrationGroupEnables(state);
    EXPECT_TRUE(e.windowEdits && e.maskCheckBox && e.startButton && e.resetButton && e.exportButton);
    EXPECT_FALSE(e.extensionEdits);

    state.extension = true;
    state.downloading = true;
    e = calibrationGroupEnables(state);
    EXPECT_TRUE(e.extensionEdits);
    EXPECT_FALSE(e.startButton || e.resetButton || e.exportButton);
    EXPECT_TRUE(e.resultButton);

    state.downloading = false;
    state.restrictedModel = true;
    e = calibrationGroupEnables(state);
    EXPECT_FALSE(e.startButton || e.resetButton || e.exportButton);
}

}  // namespace
}  // namespace oculant
