#include <gtest/gtest.h>

#include "calibration/BlockDownload.h"
#include "calibration/CalibrationExport.h"
#include "calibration/CalibrationFlow.h"
#include "calibration/CalibrationReport.h"
#include "protocol/Crc32.h"
#include "tests/support/CalibrationTestSupport.h"
#include "tests/support/TempDir.h"

namespace oculant {
namespace {

using test::kFullHd;
using test::shiftedCapture;

constexpr PositionCounts kPositions{160, 90};

struct Fixture : ::testing::Test {
    test::FakeCalibrationLink link;
    CalibrationFlow flow{link, test::bracketLookup()};
    CalibrationGroupTexts texts = calibrationGroupOnShow(kFullHd);

    FlowDownloadStart runOnce(const CalibrationData& capture = shiftedCapture(), FlowFit* fit = nullptr)
    {
        const FlowStart s = flow.start(texts, kFullHd);
        EXPECT_TRUE(s.openCapture);
        return flow.finishCapture(capture, kPositions, false, fit);
    }
};

using CalibrationFlowTest = Fixture;

TEST_F(CalibrationFlowTest, start_is_refused_for_models_without_calibration_and_without_a_frame)
{
    struct Case {
        uint8_t model;
        uint32_t size;
        bool connected;
        const char* message;  // nullptr: the capture opens
    };
    const Case cases[] = {
        {3, 0, true, "[FunctionNotValid]"},      {11, 2048, true, "[FunctionNotValid]"},
        {26, 2048, true, "[FunctionNotValid]"},  {0x80 | 11, 2048, true, "[FunctionNotValid]"},
        {10, 2048, true, nullptr},               {27, 2048, true, nullptr},
        {3, 2048, false, "[PanelUnconnect]"},    {11, 2048, false, "[FunctionNotValid]"},
    };
    for (const Case& c : cases) {
        link.model = c.model;
        link.size = c.size;
        link.isConnected = c.connected;
        const FlowStart s = flow.start(texts, kFullHd);
        SCOPED_TRACE(int(c.model));
        EXPECT_EQ(s.openCapture, c.message == nullptr);
        if (c.message)
            EXPECT_EQ(s.messages, FlowMessages{c.message});
        else
            EXPECT_TRUE(s.messages.empty());
    }
}

TEST_F(CalibrationFlowTest, bad_margins_are_reported_and_the_capture_still_opens)
{
    texts.marginLeft = "10";
    const FlowStart s = flow.start(texts, kFullHd);
    EXPECT_TRUE(s.openCapture);
    ASSERT_EQ(s.messages.size(), 1u);
    EXPECT_EQ(s.messages[0], "[InvalidParamLeft](64,1920), [UseDefault] 96!\n");
    EXPECT_EQ(s.settings.marginLeft, 96);
}

TEST_F(CalibrationFlowTest, a_bad_window_stops_before_the_capture_and_keeps_the_mask)
{
    texts.windowCalib = true;
    texts.maskOutside = true;
    texts.offsetX = "1900";
    texts.width = "100";
    const FlowStart s = flow.start(texts, kFullHd);
    EXPECT_FALSE(s.openCapture);
    EXPECT_EQ(s.messages, FlowMessages{kWindowWidthOutOfRange});
    EXPECT_EQ(flow.mask(), MaskRectangle{});
}

// A 192-pixel window with 96-pixel margins puts both target columns on one line, wider margins
// reverse them: refused before the capture, naming the axis. One pixel of room more is enough.
TEST_F(CalibrationFlowTest, margins_that_leave_no_room_between_the_targets_stop_before_the_capture)
{
    const std::string noRoom = " leave no room for 2 target ";
    const struct {
        int width, height, horizontal, vertical;  // window size, margins
        std::string message;                      // empty: the capture opens
    } cases[] = {
        {192, 1080, 96, 54, "Left and right margins (96 + 96)" + noRoom + "columns in a window 192 pixels wide!\n"},
        {192, 1080, 150, 54, "Left and right margins (150 + 150)" + noRoom + "columns in a window 192 pixels wide!\n"},
        {1000, 100, 96, 50, "Upper and lower margins (50 + 50)" + noRoom + "rows in a window 100 pixels high!\n"},
        {193, 1080, 96, 54, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        texts.windowCalib = true;
        texts.width = std::to_string(c.width), texts.height = std::to_string(c.height);
        texts.marginLeft = texts.marginRight = std::to_string(c.horizontal);
        texts.marginUp = texts.marginDown = std::to_string(c.vertical);
        const FlowStart s = flow.start(texts, kFullHd);
        EXPECT_EQ(s.openCapture, c.message.empty());
        EXPECT_EQ(s.messages, c.message.empty() ? FlowMessages{} : FlowMessages{c.message});
    }
}

TEST_F(CalibrationFlowTest, a_run_downloads_the_block_and_the_timer_follows_it_to_the_end)
{
    FlowFit fit;
    const FlowDownloadStart d = runOnce(shiftedCapture(), &fit);
    ASSERT_TRUE(d.started);
    ASSERT_TRUE(fit.ok);
    EXPECT_NEAR(fit.coefficients.k[2], 1000.0f, 0.01f);
    EXPECT_NEAR(fit.errorPixels, 0.03f, 0.01f);
    // The report is the only message, and it is the report of the stored coefficients (the
    // lines on its largest error and orientation follow it).
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_EQ(d.messages[0].rfind(singleAreaReport("[CalibrationFinished]", flow.block().coefficients(0),
                                                   fit.errorPixels, fit.errorMm, false) + "Largest error: ",
                                  0),
              0u)
        << d.messages[0];
    EXPECT_TRUE(flow.downloading());

    // The image: block, 0xFF up to the CRC word over the first 511 words, header with the address.
    ASSERT_EQ(link.written.size(), 2048u);
    EXPECT_TRUE(std::equal(flow.block().bytes().begin(), flow.block().bytes().end(), link.written.begin()));
    EXPECT_TRUE(std::all_of(link.written.begin() + 1250, link.written.begin() + 2044, [](uint8_t b) { return b == 0xFF; }));
    std::vector<uint32_t> words(512);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = uint32_t{link.written[4 * i]} | uint32_t{link.written[4 * i + 1]} << 8 |
                   uint32_t{link.written[4 * i + 2]} << 16 | uint32_t{link.written[4 * i + 3]} << 24;
    EXPECT_EQ(words[511], Crc32Words(words.data(), 511));
    EXPECT_EQ(link.header, (std::array<uint8_t, 6>{0x07, 0x10, 0x00, 0xF8, 0x01, 0x00}));
    EXPECT_EQ(flow.block().flags() & 7u, ParameterBlock::kFlagCalibrated);

    // Tick by tick: the percentage while the worker writes, then the end once.
    link.sent = 1024;
    FlowTick t = flow.downloadTick();
    EXPECT_FALSE(t.finished);
    EXPECT_EQ(t.statusText, "[DownloadWait]50%");
    link.sent = 2048;
    link.busy = false;
    t = flow.downloadTick();
    EXPECT_TRUE(t.finished);
    EXPECT_EQ(t.statusText, "[DownloadFinish]");
    EXPECT_FALSE(t.messageBox.has_value()) << "the report was already shown";
    EXPECT_EQ(link.runRequests, 1);
    EXPECT_FALSE(flow.downloading());
    t = flow.downloadTick();
    EXPECT_FALSE(t.finished);
    EXPECT_EQ(link.runRequests, 1);
}

TEST_F(CalibrationFlowTest, a_busy_worker_says_nothing_was_written_and_no_timer_runs)
{
    link.busy = true;
    const FlowDownloadStart d = runOnce();
    EXPECT_FALSE(d.started);
    EXPECT_FALSE(flow.downloading());
    // Not "CalibrationFinished" with the coefficients, as if they were in the frame.
    EXPECT_EQ(d.messages, FlowMessages{kDownloadBusyText});
    EXPECT_EQ(link.blockWrites, 0);
    EXPECT_EQ(flow.reset().messages, FlowMessages{kDownloadBusyText}) << "a refused reset is not silent either";
}

TEST_F(CalibrationFlowTest, a_frame_lost_during_the_capture_shows_only_panel_unconnect)
{
    flow.start(texts, kFullHd);
    link.isConnected = false;
    const FlowDownloadStart d = flow.finishCapture(shiftedCapture(), kPositions, false);
    EXPECT_FALSE(d.started);
    EXPECT_EQ(d.messages, FlowMessages{"[PanelUnconnect]"});
}

TEST_F(CalibrationFlowTest, a_failed_fit_shows_calibration_failed_and_leaves_the_block)
{
    CalibrationData flat = shiftedCapture();
    for (CalibrationPoint& p : flat.used())
        p.touch.y = 5000;  // det 0
    const FlowDownloadStart d = runOnce(flat);
    EXPECT_FALSE(d.started);
    EXPECT_EQ(d.messages, FlowMessages{"[CalibrationFalied]"});
    EXPECT_EQ(flow.block().bytes(), ParameterBlock().bytes());
}

TEST_F(CalibrationFlowTest, a_cancelled_capture_ends_silently_and_refuses_a_later_export)
{
    runOnce();
    EXPECT_FALSE(flow.exportRefusal().has_value());
    link.busy = false;
    CalibrationData cancelled = shiftedCapture();
    cancelled.status = 0;
    const FlowDownloadStart d = runOnce(cancelled);
    EXPECT_FALSE(d.started);
    EXPECT_TRUE(d.messages.empty());
    EXPECT_EQ(flow.exportRefusal(), std::optional<std::string>("[InvalidCalibData]"));
}

TEST_F(CalibrationFlowTest, masking_shows_the_touch_range_before_the_report)
{
    texts.windowCalib = true;
    texts.maskOutside = true;
    texts.offsetX = "0";
    texts.offsetY = "0";
    texts.width = "960";
    texts.height = "1080";
    const FlowDownloadStart d = runOnce();
    ASSERT_EQ(d.messages.size(), 2u);
    EXPECT_EQ(d.messages[0], touchRangeMessage(MaskRectangle{0, 0, 16384, 32767}));
    EXPECT_NE(flow.block().flags() & ParameterBlock::kFlagMaskOutside, 0u);
    EXPECT_EQ(flow.block().mask(), (MaskRectangle{0, 0, 16384, 32767}));
}

TEST_F(CalibrationFlowTest, the_extension_is_applied_after_the_error_is_measured)
{
    texts.extension = true;
    texts.leftEx = "3";
    texts.rightEx = "3";
    FlowFit fit;
    runOnce(shiftedCapture(), &fit);
    const float sx = (3.0f + 3.0f + 953.6f) / 953.6f;
    EXPECT_NEAR(flow.block().coefficients(0).k[0], sx, 1e-5f);
    EXPECT_NEAR(flow.block().coefficients(0).k[4], 1.0f, 1e-5f);
    EXPECT_NEAR(fit.errorPixels, 0.03f, 0.01f);
}

TEST_F(CalibrationFlowTest, reset_downloads_the_identity_and_shows_download_finish_at_the_end)
{
    runOnce();
    link.busy = false;
    flow.downloadTick();
    const FlowDownloadStart d = flow.reset();
    EXPECT_TRUE(d.started);
    EXPECT_TRUE(d.messages.empty());
    EXPECT_EQ(flow.block().bytes(), ParameterBlock::resetImage().bytes());
    EXPECT_TRUE(std::all_of(link.written.begin() + 1250, link.written.begin() + 2044, [](uint8_t b) { return b == 0xFF; }));
    link.sent = link.total;
    link.busy = false;
    const FlowTick t = flow.downloadTick();
    EXPECT_TRUE(t.finished);
    EXPECT_EQ(t.messageBox, std::optional<std::string>("[DownloadFinish]"));
}

TEST_F(CalibrationFlowTest, reset_refusals_touch_the_block_only_when_the_model_allows_it)
{
    runOnce();
    link.busy = false;
    const auto before = flow.block().bytes();
    link.size = 0;
    EXPECT_EQ(flow.reset().messages, FlowMessages{"[FunctionNotValid]"});
    EXPECT_EQ(flow.block().bytes(), before);

    link.size = 2048;
    link.isConnected = false;
    const FlowDownloadStart d = flow.reset();
    EXPECT_FALSE(d.started);
    EXPECT_EQ(d.messages, FlowMessages{"[PanelUnconnect]"});
    EXPECT_EQ(flow.block().bytes(), ParameterBlock::resetImage().bytes());
}

TEST_F(CalibrationFlowTest, export_writes_set_zero_with_its_crc_under_the_cfg_name)
{
    test::TempDir dir;
    runOnce();
    const std::string path = CalibrationFlow::exportPath(dir.file("cal.CFG"));
    EXPECT_EQ(path.substr(path.size() - 8), ".CFG.cfg");
    EXPECT_FALSE(flow.exportTo(path).has_value());
    const auto expected = calibrationExportBytes(flow.block().coefficients(0));
    EXPECT_EQ(test::readFileBytes(path), std::vector<uint8_t>(expected.begin(), expected.end()));
    EXPECT_EQ(flow.exportTo(dir.file("missing/x.cfg")), std::optional<std::string>("[CanNotCreateFile]"));
}

}  // namespace
}  // namespace oculant
