#include <gtest/gtest.h>

#include "calibration/CalibrationReport.h"
#include "calibration/CalibrationRun.h"
#include "tests/support/CalibrationTestSupport.h"

namespace oculant {
namespace {

using test::kFullHd;
using test::shiftedCapture;

SingleAreaRequest request()
{
    SingleAreaRequest r;
    r.data = shiftedCapture(1000);
    r.screen = kFullHd;
    r.positions = {160, 90};
    return r;
}

TEST(CalibrationReport, single_area_report_in_both_languages)
{
    const CalibrationCoefficients k = CalibrationCoefficients::identity();
    const std::string coefficients =
        "K0: 1.000000\nK1: 0.000000\nK2: 0.000000\nK3: 0.000000\nK4: 1.000000\nK5: 0.000000\n";
    EXPECT_EQ(singleAreaReport("Done", k, 12.0f, 5.96875f, false),
              "Done\n" + coefficients +
                  "\nAverage calibration error: 12.0 Pxis / 6.0 mm\n"
                  "Calibration error is too large! Please calibrate it again! ");
    EXPECT_EQ(singleAreaReport("完成", k, 12.0f, 5.96875f, true),
              "完成\n" + coefficients + "\n平均误差: 12.0像素 / 6.0mm\n误差较大！建议重新校准！");
    EXPECT_EQ(singleAreaReport("Done", {{-0.5f, 0, 123.25f, 0, 1, 0}}, 0.04f, 3.0f, false),
              "Done\nK0: -0.500000\nK1: 0.000000\nK2: 123.250000\nK3: 0.000000\nK4: 1.000000\nK5: 0.000000\n"
              "\nAverage calibration error: 0.0 Pxis / 3.0 mm\n")
        << "exactly 3.0 mm is not too large";
}

TEST(CalibrationReport, area_lines_name_the_area_as_the_grid_does)
{
    EXPECT_EQ(areaReportLine(0, 1.3f, 0.5f, false), "\nA1 Average calibration error: 1.3 Pxis / 0.5 mm\n");
    EXPECT_EQ(areaReportLine(2, 1.3f, 3.5f, false),
              "\nA3 Average calibration error: 1.3 Pxis / 3.5 mm\n"
              "Calibration error is too large！Please calibrate it again！");
    EXPECT_EQ(areaReportLine(1, 1.3f, 3.5f, true), "\n区域 A2 平均误差: 1.3像素 / 3.5mm\n误差较大！建议重新校准！");
}

TEST(SingleAreaRun, writes_set_zero_flags_and_report)
{
    ParameterBlock block;
    block.setFlags(0x100u | ParameterBlock::kFlagMultiArea | ParameterBlock::kFlagMaskOutside);
    block.setMask({1, 1, 1, 1});
    const RunResult r = runSingleAreaCalibration(request(), block, test::bracketLookup());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(block.flags(), 0x100u | ParameterBlock::kFlagCalibrated);
    EXPECT_EQ(block.bytes()[4], 2);
    EXPECT_EQ(block.readU32(6), 0x4000u);
    EXPECT_EQ(block.mask(), (MaskRectangle{1, 1, 1, 1})) << "masking off leaves the stored mask";
    EXPECT_TRUE(r.maskMessage.empty());
    EXPECT_NEAR(block.coefficients(0).k[2], 1000.0f, 0.01f);
    EXPECT_EQ(r.report.rfind("[CalibrationFinished]\nK0: 1.0000", 0), 0u) << r.report;
    EXPECT_NE(r.report.find("\nAverage calibration error: 0.0 Pxis / 0.0 mm\n"), std::string::npos) << r.report;
}

TEST(SingleAreaRun, masking_stores_the_mask_and_reports_the_range)
{
    SingleAreaRequest req = request();
    req.maskOutside = true;
    req.mask = {16384, 0, 32767, 16384};
    req.chineseReport = true;
    ParameterBlock block;
    const RunResult r = runSingleAreaCalibration(req, block, test::bracketLookup());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(block.flags(), ParameterBlock::kFlagCalibrated | ParameterBlock::kFlagMaskOutside);
    EXPECT_EQ(block.mask(), req.mask);
    EXPECT_EQ(r.maskMessage, "触摸坐标范围：(16384,0) to (32767,16384)");
    EXPECT_NE(r.report.find("\n平均误差: 0.0像素 / 0.0mm\n"), std::string::npos);
}

TEST(SingleAreaRun, direction_and_extension_apply_before_the_block)
{
    SingleAreaRequest req = request();
    req.direction = DisplayDirection::LandscapeFlipped;
    req.extension = ExtensionMm{3, 3, 0, 0};
    ParameterBlock block;
    ASSERT_TRUE(runSingleAreaCalibration(req, block, test::bracketLookup()).ok);
    const CalibrationCoefficients k = block.coefficients(0);
    const double sx = 959.6 / 953.6;
    // Flipped: X = 32768 − (x + 1000) = −x + 31768, then stretched.
    EXPECT_NEAR(k.k[0], -1.0 * sx, 1e-4);
    EXPECT_NEAR(k.k[2], (31768 - 3 / 953.6 * 32767) * sx, 0.1);
    EXPECT_NEAR(k.k[4], -1.0, 1e-4);
    EXPECT_NEAR(k.k[5], 31768, 0.1);
}

TEST(SingleAreaRun, failures_leave_the_block_unchanged)
{
    const ParameterBlock untouched = ParameterBlock::resetImage();
    struct Case {
        const char* name;
        SingleAreaRequest req;
        const char* failure;
    };
    SingleAreaRequest cancelled = request();
    cancelled.data.status = 0;
    SingleAreaRequest oneLine = request();
    for (auto& p : oneLine.data.used())
        p.touch.y = 4000;
    SingleAreaRequest noPositions = request();
    noPositions.extension = ExtensionMm{3, 3, 0, 0};
    noPositions.positions = {0, 0};
    const Case cases[] = {
        {"cancelled", cancelled, ""},
        {"det_zero", oneLine, "[CalibrationFalied]"},
        {"extension_without_positions", noPositions, "[CalibrationFalied]"},
    };
    for (const Case& c : cases) {
        ParameterBlock block = untouched;
        const RunResult r = runSingleAreaCalibration(c.req, block, test::bracketLookup());
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(r.failure, c.failure) << c.name;
        EXPECT_TRUE(r.report.empty()) << c.name;
        EXPECT_EQ(block.bytes(), untouched.bytes()) << c.name;
    }
}

AreaRecord areaWith(FrameRect frame, PixelRect display)
{
    AreaRecord a;
    a.frameLogical = frame;
    a.displayPixels = display;
    return a;
}

TEST(MultiAreaRun, capture_window_is_the_display_rectangle)
{
    std::string message;
    EXPECT_EQ(areaCaptureWindow(areaWith({}, {720, 0, 1920, 1080}), &message), (CalibrationWindow{720, 0, 1200, 1080}));
    EXPECT_FALSE(areaCaptureWindow(areaWith({}, {720, 0, 720, 1080}), &message));
    EXPECT_EQ(message, "Window Width out of range!\n");
    EXPECT_FALSE(areaCaptureWindow(areaWith({}, {0, 500, 10, 400}), &message));
    EXPECT_EQ(message, "Window Height out of range!\n");
}

TEST(MultiAreaRun, each_area_fits_its_own_set)
{
    ParameterBlock block;
    AreaFitRequest req;
    req.area = 3;
    req.data = shiftedCapture(500);
    req.screen = kFullHd;
    req.positions = {160, 90};
    const AreaFitResult r = fitAreaCalibration(req, block, test::bracketLookup());
    ASSERT_TRUE(r.ok);
    EXPECT_NEAR(block.coefficients(3).k[2], 500.0f, 0.01f);
    EXPECT_EQ(block.coefficients(0).k[0], 0.0f) << "other sets untouched";
    // The area's line as before, then its largest error (the fit is exact up to the half unit).
    EXPECT_EQ(r.reportLine, "\nA4 Average calibration error: 0.0 Pxis / 0.0 mm\n"
                            "Largest error: 0.0 pixels / 0.0 mm at target 1/4 (88, 49 px)\n");

    for (auto& p : req.data.used())
        p.touch.x = 7;
    const AreaFitResult failed = fitAreaCalibration(req, block, test::bracketLookup());
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.failure, "[CalibrationFalied]");
    EXPECT_NEAR(block.coefficients(3).k[2], 500.0f, 0.01f);
}

TEST(MultiAreaRun, block_holds_layout_and_ordered_area_rectangles)
{
    MultiAreaLayout layout;
    layout.frameWidth = 9200;
    layout.frameHeight = 2819;
    layout.displayWidth = 8621.6f;
    layout.displayHeight = 2819;
    layout.displayOffsetX = 216.9f;
    layout.areaCount = 2;
    layout.areas[0].frameLogical = {0, 0, 12288, 32768};
    layout.areas[1].frameLogical = {32768, 32768, 12288, 0};  // corners given the other way round

    ParameterBlock block;
    block.setFlags(0x40u | ParameterBlock::kFlagMaskOutside);
    const std::string message = writeMultiAreaBlock(block, layout, {0, 0, 32767, 32767}, DisplayDirection::Landscape);
    EXPECT_EQ(message,
              "触摸坐标范围：(0,0) to (32767,32767)\n"
              "A1: x0=0, y0=0, x1=12288, y1=32768\n"
              "A2: x0=12288, y0=0, x1=32768, y1=32768\n");
    EXPECT_EQ(block.flags(), 0x40u | ParameterBlock::kFlagCalibrated | ParameterBlock::kFlagMultiArea);
    EXPECT_EQ(block.readFloat(822), 9200.0f);
    EXPECT_EQ(block.readFloat(830), 8621.6f);
    EXPECT_EQ(block.readFloat(838), 216.9f);
    EXPECT_EQ(block.areaCount(), 2);
    EXPECT_EQ(block.areaRectangle(1), (FrameRect{12288, 0, 32768, 32768}));
    EXPECT_EQ(block.mask(), (MaskRectangle{0, 0, 32767, 32767}));
}

TEST(MultiAreaRun, direction_one_turns_the_area_rectangles)
{
    MultiAreaLayout layout;
    layout.areaCount = 1;
    layout.areas[0].frameLogical = {0, 0, 12288, 32768};
    ParameterBlock block;
    const std::string message = writeMultiAreaBlock(block, layout, {}, DisplayDirection::Portrait);
    EXPECT_EQ(block.areaRectangle(0), (FrameRect{0, 0, 32768, 12288}));
    EXPECT_NE(message.find("A1: x0=0, y0=0, x1=32768, y1=12288\n"), std::string::npos);
}

}  // namespace
}  // namespace oculant
