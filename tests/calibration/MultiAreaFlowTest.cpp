// The per-area run of the calibration flow over a fake device link: one capture per area in the
// area's display rectangle, one fit per set, then the layout, the rectangles and one download.
#include <gtest/gtest.h>

#include <algorithm>

#include "calibration/BlockDownload.h"
#include "calibration/CalibrationFlow.h"
#include "calibration/CalibrationReport.h"
#include "calibration/CalibrationTargets.h"
#include "tests/support/CalibrationTestSupport.h"

namespace oculant {
namespace {

using test::kFullHd;
constexpr PositionCounts kPositions{160, 90};

// The frame sees area k's targets through its own affine map, so that each set differs.
FrameLogical touchOf(ScreenLogical target, int area)
{
    return {target.x / 2 + 1000 + 3000 * area, target.y / 2 + 500 * area};
}

// What the capture screen returns for these settings: every target touched where the frame sees it.
CalibrationData captureFor(const CalibrationSettings& settings, int area, bool complete = true)
{
    CalibrationData d;
    d.gridX = settings.gridX;
    d.gridY = settings.gridY;
    EXPECT_TRUE(generateTargets(d, settings, kFullHd));
    for (CalibrationPoint& p : d.used())
        p.touch = touchOf(p.target, area);
    d.status = complete ? CalibrationData::kStatusComplete : 0;
    return d;
}

// Every touch at the same x: no fit.
CalibrationData degenerateCapture(const CalibrationSettings& settings)
{
    CalibrationData d = captureFor(settings, 0);
    for (CalibrationPoint& p : d.used())
        p.touch.x = 7000;
    return d;
}

struct MultiAreaFlow : ::testing::Test {
    test::FakeCalibrationLink link;
    CalibrationFlow flow{link, test::bracketLookup()};
    CalibrationGroupTexts texts = calibrationGroupOnShow(kFullHd);

    // The built-in two-area layout refreshed against the full screen.
    static MultiAreaLayout builtIn()
    {
        LayoutTexts t = builtInLayoutTexts();
        const LayoutRefresh r = refreshLayout(t, kFullHd.width, kFullHd.height);
        EXPECT_TRUE(r.accepted);
        return r.layout;
    }
};

TEST_F(MultiAreaFlow, two_areas_are_captured_in_their_rectangles_fitted_and_downloaded_together)
{
    texts.direction = 1;
    const MultiAreaLayout layout = builtIn();
    const FlowStart s = flow.startMultiArea(texts, kFullHd, layout);
    ASSERT_TRUE(s.openCapture);
    EXPECT_TRUE(s.messages.empty());
    EXPECT_EQ(s.settings.window, (CalibrationWindow{0, 0, 720, 1080}));
    EXPECT_EQ(s.settings.marginLeft, 96);

    const FlowAreaStep first = flow.finishAreaCapture(captureFor(s.settings, 0), kPositions, false);
    ASSERT_TRUE(first.openCapture);
    EXPECT_EQ(first.area, 1);
    EXPECT_EQ(first.settings.window, (CalibrationWindow{720, 0, 1200, 1080}));
    EXPECT_EQ(link.blockWrites, 0) << "nothing is sent before the last area";

    const FlowAreaStep end = flow.finishAreaCapture(captureFor(first.settings, 1), kPositions, false);
    EXPECT_FALSE(end.openCapture);
    EXPECT_FALSE(flow.multiAreaRunning());
    ASSERT_TRUE(end.started);
    EXPECT_TRUE(flow.downloading());

    const ParameterBlock& block = flow.block();
    EXPECT_EQ(block.flags() & 0x7u, ParameterBlock::kFlagCalibrated | ParameterBlock::kFlagMultiArea);
    EXPECT_EQ(block.areaCount(), 2);
    // Direction 1 turns area 1's (0, 0, 12288, 32768) on its side.
    EXPECT_EQ(block.areaRectangle(0), (FrameRect{0, 0, 32768, 12288}));
    EXPECT_EQ(block.areaRectangle(1), storedAreaRectangle(layout.areas[1].frameLogical, DisplayDirection::Portrait));
    // Area 2 starts at x 12288 on the frame, which direction 1 makes its y0.
    EXPECT_EQ(block.areaRectangle(1).x0, 0);
    EXPECT_EQ(block.areaRectangle(1).y0, 12288);
    ASSERT_EQ(link.written.size(), 2048u);
    EXPECT_TRUE(std::equal(block.bytes().begin(), block.bytes().end(), link.written.begin()));

    // Each set inverts its own area's map, with the targets turned by direction 1.
    ASSERT_EQ(end.areas.size(), 2u);
    for (int area = 0; area < 2; ++area) {
        SCOPED_TRACE(area);
        const FlowAreaResult& r = end.areas[size_t(area)];
        EXPECT_EQ(r.index, area);
        EXPECT_EQ(r.frameLogical, block.areaRectangle(area));
        EXPECT_EQ(r.coefficients, block.coefficients(area));
        EXPECT_LT(r.errorPixels, 0.5f);
        const ScreenLogical target{8000, 20000};
        const FrameLogical touch = touchOf(target, area);
        const ScreenLogical turned = applyDisplayDirection(target, DisplayDirection::Portrait);
        const auto& k = r.coefficients.k;
        EXPECT_NEAR(k[0] * touch.x + k[1] * touch.y + k[2], turned.x, 4.0);
        EXPECT_NEAR(k[3] * touch.x + k[4] * touch.y + k[5], turned.y, 4.0);
    }
    // The touch range and rectangles, then the report of both areas.
    ASSERT_EQ(end.messages.size(), 2u);
    EXPECT_EQ(end.messages[0].rfind("触摸坐标范围：(0,0) to (32767,32767)\nA1: x0=0, y0=0, x1=32768, y1=12288\nA2: ", 0), 0u)
        << end.messages[0];
    // Each area's line, followed by its largest error and orientation.
    const std::string area0 = areaReportLine(0, end.areas[0].errorPixels, end.areas[0].errorMm, false);
    const std::string area1 = areaReportLine(1, end.areas[1].errorPixels, end.areas[1].errorMm, false);
    EXPECT_EQ(end.messages[1].rfind(area0 + "Largest error: ", 0), 0u) << end.messages[1];
    EXPECT_NE(end.messages[1].find(area1 + "Largest error: "), std::string::npos) << end.messages[1];

    // The download ends as a single-area one does, without a second "DownloadFinish" box.
    link.sent = link.total;
    link.busy = false;
    const FlowTick tick = flow.downloadTick();
    EXPECT_TRUE(tick.finished);
    EXPECT_FALSE(tick.messageBox);
}

TEST_F(MultiAreaFlow, a_cancelled_capture_or_failed_fit_ends_the_run_without_download)
{
    struct Case {
        const char* name;
        int failingArea;
        bool cancel;  // else the fit fails
    };
    const Case cases[] = {
        {"area 1 cancelled", 0, true},
        {"area 2 cancelled", 1, true},
        {"area 1 fit fails", 0, false},
        {"area 2 fit fails", 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeCalibrationLink freshLink;
        CalibrationFlow fresh{freshLink, test::bracketLookup()};
        const FlowStart s = fresh.startMultiArea(texts, kFullHd, builtIn());
        ASSERT_TRUE(s.openCapture);
        CalibrationSettings settings = s.settings;
        FlowAreaStep step;
        for (int area = 0; area <= c.failingArea; ++area) {
            const CalibrationData capture = area < c.failingArea ? captureFor(settings, area)
                                            : c.cancel            ? captureFor(settings, area, false)
                                                                  : degenerateCapture(settings);
            step = fresh.finishAreaCapture(capture, kPositions, true);
            settings = step.settings;
        }
        EXPECT_FALSE(step.openCapture);
        EXPECT_FALSE(step.started);
        EXPECT_EQ(freshLink.blockWrites, 0);
        EXPECT_FALSE(fresh.multiAreaRunning());
        EXPECT_EQ(fresh.block().flags(), 0u) << "the block's fields are written only at the end";

        FlowMessages expected;
        if (!c.cancel)
            expected.push_back("[CalibrationFalied]");
        ASSERT_EQ(step.areas.size(), size_t(c.failingArea));
        if (c.failingArea == 1) {
            // Area 1's set stays in the block, and its report is shown.
            EXPECT_EQ(step.areas[0].coefficients, fresh.block().coefficients(0));
            expected.push_back(areaReportLine(0, step.areas[0].errorPixels, step.areas[0].errorMm, true));
            EXPECT_EQ(expected.back().rfind("\n区域 A1 平均误差: ", 0), 0u);
        }
        // The report of the areas fitted keeps its line and adds the largest error after it.
        ASSERT_EQ(step.messages.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(step.messages[i].rfind(expected[i], 0), 0u) << step.messages[i];
        if (c.failingArea == 1) {
            EXPECT_NE(step.messages.back().find("最大误差: "), std::string::npos);
        }

        // The run is over: a further capture is not taken for it.
        const FlowAreaStep after = fresh.finishAreaCapture(captureFor(s.settings, 0), kPositions, false);
        EXPECT_FALSE(after.openCapture);
        EXPECT_TRUE(after.messages.empty());
        EXPECT_EQ(freshLink.blockWrites, 0);
    }
}

TEST_F(MultiAreaFlow, refusals_come_before_any_capture_opens)
{
    struct Case {
        const char* name;
        uint8_t model;
        bool connected;
        int areas;          // areaCount of the built-in layout
        bool zeroSize;      // area 2's display rectangle has no width
        bool badWindow;     // window calibration with an offset off the screen
        bool narrow;        // area 1 only 150 pixels wide, less than its two margins
        FlowMessages expected;
    };
    const Case cases[] = {
        {"model without calibration", 11, true, 2, false, false, false, {"[FunctionNotValid]"}},
        {"no frame", 3, false, 2, false, false, false, {"[PanelUnconnect]"}},
        {"no areas", 3, true, 0, false, false, false, {kNoAreasToCalibrate}},
        {"more areas than the block holds", 3, true, 26, false, false, false, {kTooManyAreas}},
        {"zero-size area", 3, true, 2, true, false, false, {"A2: Window Width out of range!\n"}},
        {"bad window", 3, true, 2, false, true, false, {kWindowOffsetXOutOfRange}},
        {"area narrower than its margins", 3, true, 2, false, false, true,
         {"A1: Left and right margins (96 + 96) leave no room for 2 target columns in a window 150 pixels wide!\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.model = c.model;
        link.isConnected = c.connected;
        MultiAreaLayout layout = builtIn();
        layout.areaCount = c.areas;
        if (c.zeroSize)
            layout.areas[1].displayPixels.x1 = layout.areas[1].displayPixels.x0;
        if (c.narrow)
            layout.areas[0].displayPixels.x1 = layout.areas[0].displayPixels.x0 + 150;
        CalibrationGroupTexts t = texts;
        if (c.badWindow) {
            t.windowCalib = true;
            t.offsetX = "5000";
        }
        const FlowStart s = flow.startMultiArea(t, kFullHd, layout);
        EXPECT_FALSE(s.openCapture);
        EXPECT_EQ(s.messages, c.expected);
        EXPECT_FALSE(flow.multiAreaRunning());
    }
    EXPECT_EQ(link.blockWrites, 0);
}

TEST_F(MultiAreaFlow, every_zero_size_area_is_named_and_bad_margins_do_not_stop_the_run)
{
    MultiAreaLayout layout = builtIn();
    layout.areas[0].displayPixels.y1 = layout.areas[0].displayPixels.y0;
    layout.areas[1].displayPixels.x1 = layout.areas[1].displayPixels.x0 - 5;
    texts.marginLeft = "10";
    FlowStart s = flow.startMultiArea(texts, kFullHd, layout);
    EXPECT_FALSE(s.openCapture);
    ASSERT_EQ(s.messages.size(), 2u);
    EXPECT_EQ(s.messages[0], "[InvalidParamLeft](64,1920), [UseDefault] 96!\n");
    EXPECT_EQ(s.messages[1], "A1: Window Height out of range!\nA2: Window Width out of range!\n");

    s = flow.startMultiArea(texts, kFullHd, builtIn());
    EXPECT_TRUE(s.openCapture);
    EXPECT_EQ(s.settings.marginLeft, 96);
}

TEST_F(MultiAreaFlow, the_end_without_a_frame_or_with_a_busy_worker)
{
    struct Case {
        const char* name;
        bool connected;
        bool busy;
        bool reportShown;
    };
    const Case cases[] = {
        {"frame gone", false, false, false},
        {"worker busy", true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeCalibrationLink freshLink;
        CalibrationFlow fresh{freshLink, test::bracketLookup()};
        const FlowStart s = fresh.startMultiArea(texts, kFullHd, builtIn());
        ASSERT_TRUE(s.openCapture);
        const FlowAreaStep first = fresh.finishAreaCapture(captureFor(s.settings, 0), kPositions, false);
        ASSERT_TRUE(first.openCapture);
        freshLink.isConnected = c.connected;
        freshLink.busy = c.busy;
        const FlowAreaStep end = fresh.finishAreaCapture(captureFor(first.settings, 1), kPositions, false);
        EXPECT_FALSE(end.started);
        EXPECT_FALSE(fresh.downloading());
        EXPECT_EQ(freshLink.blockWrites, 0);
        EXPECT_EQ(end.areas.size(), 2u);
        ASSERT_EQ(end.messages.size(), c.reportShown ? 3u : 2u);
        EXPECT_EQ(end.messages[0].rfind("触摸坐标范围：", 0), 0u);
        if (c.reportShown) {
            EXPECT_EQ(end.messages[1], kDownloadBusyText) << "the user must learn that nothing was written";
            EXPECT_EQ(end.messages[2].rfind("\nA1 Average calibration error: ", 0), 0u) << end.messages[2];
        } else {
            EXPECT_EQ(end.messages[1], "[PanelUnconnect]");
        }
    }
}

}  // namespace
}  // namespace oculant
