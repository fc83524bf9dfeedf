// The signal window on the offscreen platform: what its charts, caption and status line show,
// driven by its handlers and by a virtual frame streaming through the real processor.
#include <gtest/gtest.h>

#include <QLegend>
#include <QLegendMarker>

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QCoreApplication>
#include <QLineSeries>
#include <QMessageBox>
#include <QScatterSeries>
#include <QStatusBar>
#include <QValueAxis>
#include <QWheelEvent>
#include <cmath>
#include <vector>

#include "tests/support/SignalTestSupport.h"
#include "signal/FormSignal.h"
#include "signal/FrameProcessor.h"
#include "tests/support/SessionHarness.h"
#include "tests/support/TempDir.h"

namespace oculant {
namespace {

std::vector<int> lineXs(const SignalChartView* chart)
{
    std::vector<int> xs;
    for (const QPointF& p : chart->line()->points())
        xs.push_back(int(p.x()));
    return xs;
}

// Position number → bar height of the quality-mark bars, read back from the bars' outline; each
// bar must be 95 % of a position wide.
std::vector<std::pair<int, int>> bars(const SignalChartView* chart)
{
    std::vector<std::pair<int, int>> out;
    const QList<QPointF> p = chart->barOutline()->points();
    EXPECT_EQ(p.size() % 4, 0);
    for (qsizetype k = 0; k + 3 < p.size(); k += 4) {
        EXPECT_NEAR(p[k + 2].x() - p[k].x(), 0.95, 1e-9);
        EXPECT_EQ(p[k].y(), 0);
        EXPECT_EQ(p[k + 3].y(), 0);
        out.push_back({int(std::lround((p[k].x() + p[k + 2].x()) / 2)), int(p[k + 1].y())});
    }
    return out;
}

TEST(FormSignal, six_charts_by_design_name_and_title_laid_out_in_two_columns)
{
    TFormSignal form;
    const char* names[] = {"ChartSigX0", "ChartSigX1", "ChartSigX2", "ChartSigY0", "ChartSigY1", "ChartSigY2"};
    for (int k = 0; k < 6; ++k) {
        // The language file re-captions a chart through its "title" property.
        QObject* chart = form.findChild<QObject*>(names[k]);
        ASSERT_NE(chart, nullptr) << names[k];
        EXPECT_EQ(chart, form.chart(k));
        EXPECT_EQ(chart->property("title").toString(), QString::fromUtf8(kSignalChartNames[size_t(k)].designTitle));
        EXPECT_EQ(form.chart(k)->levelAxis()->min(), 0);
        EXPECT_EQ(form.chart(k)->levelAxis()->max(), 255);
    }
    EXPECT_EQ(form.windowTitle(), "Signal");
    EXPECT_EQ(form.LogOn->text(), "记录数据");
    EXPECT_EQ(form.NSignalQulity->text(), "信号质量");
    EXPECT_FALSE(form.LogOn->isChecked());
    EXPECT_FALSE(form.NSignalQulity->isChecked());

    form.resize(1001, 300 + form.StatusLine->sizeHint().height());
    form.FormResize();
    EXPECT_EQ(form.ChartSigX0->geometry(), QRect(0, 0, 500, 100));
    EXPECT_EQ(form.ChartSigX2->geometry(), QRect(0, 200, 500, 100));
    EXPECT_EQ(form.ChartSigY1->geometry(), QRect(500, 100, 500, 100));
    EXPECT_EQ(form.StatusLine->geometry().top(), 300);
}

TEST(FormSignal, update_chart_leaves_beamless_positions_out_and_marks_only_when_asked)
{
    TFormSignal form;
    form.resize(1162, 600);  // 10 positions over 500 pixels: room for every mark's label
    form.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.chart(4)->line(), nullptr) << "series are created on first use";
    //                               1   2   3    4    5    6    7    8    9   10
    const std::vector<uint8_t> s{59, 60, 240, 241, 100, 100, 100, 0, 0, 0};
    form.UpdateChart(4, s, 3);
    ASSERT_NE(form.chart(4)->line(), nullptr);
    EXPECT_EQ(lineXs(form.chart(4)), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(form.chart(4)->barOutline()->count(), 0);
    EXPECT_EQ(form.chart(4)->positionAxis()->min(), 0.5);
    EXPECT_EQ(form.chart(4)->positionAxis()->max(), 10.5);

    form.NSignalQulityClick();
    form.UpdateChart(4, s, 3);
    // 59 and 241 are marked, 60 and 240 not; the zeros at 8 … 10 have no beam.
    EXPECT_EQ(bars(form.chart(4)), (std::vector<std::pair<int, int>>{{1, 59}, {4, 241}}));
    EXPECT_EQ(form.chart(4)->markLabels()->count(), 2);
    form.UpdateChart(4, s, -3);
    EXPECT_EQ(lineXs(form.chart(4)), (std::vector<int>{4, 5, 6, 7, 8, 9, 10}));
    // Now 1 … 3 have no beam and the dead beams at 8 … 10 are marked, with bars to see.
    EXPECT_EQ(bars(form.chart(4)), (std::vector<std::pair<int, int>>{
                                       {4, 241}, {8, kMinMarkBarLevel}, {9, kMinMarkBarLevel}, {10, kMinMarkBarLevel}}));
    // A dead beam (level 0) keeps its value label at its true level.
    form.UpdateChart(4, s, 0);
    ASSERT_EQ(form.chart(4)->markLabels()->count(), 5);
    EXPECT_EQ(form.chart(4)->markLabels()->at(4), QPointF(10, 0));
    // The value under the mouse; nothing between positions or off the line; the level axis and
    // the legend say what is drawn.
    EXPECT_EQ(form.chart(4)->valueAt(10.2), "position 10: level 0, quality mark");
    EXPECT_EQ(form.chart(4)->valueAt(5), "position 5: level 100");
    EXPECT_EQ(form.chart(4)->valueAt(11), "");
    EXPECT_EQ(form.chart(4)->levelAxis()->titleText(), "level (0-255)");
    QStringList legend;
    for (QLegendMarker* m : form.chart(4)->chart()->legend()->markers())
        if (m->series() != form.chart(4)->markLabels())  // the labels' own marker is hidden
            legend << m->label();
    EXPECT_EQ(legend, (QStringList{"signal level", "quality marks (outside 60-240)"}));

    form.NSignalQulityClick();
    form.UpdateChart(4, s, 0);
    EXPECT_EQ(form.chart(4)->barOutline()->count(), 0) << "marks off: series 1 is empty from the next refresh";
    EXPECT_EQ(form.chart(4)->markLabels()->count(), 0);

    form.UpdateChart(6, s, 0);  // no such chart
    form.UpdateChart(-1, s, 0);
    EXPECT_EQ(form.chart(0)->line(), nullptr);
}

TEST(FormSignal, the_wheel_zooms_the_position_axis_only)
{
    TFormSignal form;
    form.resize(1162, 600);
    form.show();
    QCoreApplication::processEvents();
    form.UpdateChart(0, std::vector<uint8_t>(100, 200), 0);
    SignalChartView* chart = form.chart(0);
    const QPointF middle(chart->width() / 2.0, chart->height() / 2.0);
    QWheelEvent wheel(middle, chart->mapToGlobal(middle), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(chart->viewport(), &wheel);
    EXPECT_TRUE(chart->zoom().zoomed());
    EXPECT_NEAR(chart->positionAxis()->max() - chart->positionAxis()->min(), 80, 1e-9);
    EXPECT_EQ(chart->levelAxis()->max(), 255);
    // The next refresh of the same layer keeps the zoom.
    form.UpdateChart(0, std::vector<uint8_t>(100, 190), 0);
    EXPECT_NEAR(chart->positionAxis()->max() - chart->positionAxis()->min(), 80, 1e-9);
}

// A session on a virtual frame (manual worker, simulated clock), its frames processed into the
// window's store, the window wired as the main window wires it.
struct FormSignalStreaming : ::testing::Test {
    test::SessionHarness h;
    SignalStore store;
    test::TempDir dir;
    FrameProcessor processor{store, dir.str(), [] { return int64_t(1700000000); }};
    TFormSignal form;
    std::shared_ptr<VirtualFrame> frame;
    int64_t nowMs = 0;

    void start(VirtualFrameProfile profile = quiet())
    {
        form.setSession(&h.session);
        form.setProcessor(&processor);
        form.setClock([this] { return int64_t(h.nowMs); });
        h.session.setFrameSink([this](const uint8_t* d, uint32_t n) { form.onFrameProcessed(processor.ProcessFrame(d, n)); });
        frame = h.backend.frame(h.start(std::move(profile)));
        ASSERT_TRUE(h.session.connected());
    }
    static VirtualFrameProfile quiet()
    {
        VirtualFrameProfile p;
        p.noise = 0;
        p.xBoards = {20, 20};
        p.yBoards = {24};
        p.xOffsets = {0, -2, 3};
        p.yOffsets = {0, -3, 2};
        return p;
    }
    // Runs the session and the redraw tick as the main window's timers would.
    void run(int ms)
    {
        for (int t = 0; t < ms; t += 100) {
            h.advance(100);
            form.TimerReDrawTimer();
        }
    }
    std::vector<int> lowered(int chart)
    {
        std::vector<int> xs;
        for (const QPointF& p : form.chart(chart)->line()->points())
            if (p.y() < 200)
                xs.push_back(int(p.x()));
        return xs;
    }
};

TEST_F(FormSignalStreaming, a_finger_shows_as_a_dip_where_it_touches)
{
    start();
    form.FormActivate();  // asks the frame for the signal stream
    frame->fingerDown(100, 60, 4);
    run(500);
    EXPECT_EQ(frame->mode(), protocol::kModeSignal);
    // Straight beams under a 4 mm finger at 100 mm, 60 mm: X positions 16 and 17, Y 9 and 10,
    // shown as position numbers 17, 18 and 10, 11.
    EXPECT_EQ(lowered(0), (std::vector<int>{17, 18}));
    EXPECT_EQ(lowered(3), (std::vector<int>{10, 11}));
    EXPECT_EQ(form.chart(0)->line()->count(), 40);
    // X1 and X2 show the last two layers: offsets -2 (no beam at 1, 2) and 3 (none at 38 … 40).
    EXPECT_EQ(form.chart(1)->line()->count(), 38);
    EXPECT_EQ(form.chart(1)->line()->at(0).x(), 3);
    EXPECT_EQ(form.chart(2)->line()->count(), 37);
    EXPECT_EQ(form.chart(2)->line()->at(36).x(), 37);
    EXPECT_EQ(form.chart(2)->layerText(), "X layer 2, offset +3");
    EXPECT_EQ(form.chart(5)->layerText(), "Y layer 2, offset +2");

    // The frame streams 50 frames a second; the status line says so.
    const QString status = form.StatusLine->currentMessage();
    EXPECT_NEAR(status.section(' ', 0, 0).toDouble(), 50, 2) << status.toStdString();
    EXPECT_TRUE(status.contains("frames/s")) << status.toStdString();
    EXPECT_TRUE(status.contains("X 3 × 40, Y 3 × 24")) << status.toStdString();
    EXPECT_TRUE(status.contains("dropped 0")) << status.toStdString();

    form.NSignalQulityClick();
    frame->fingerDown(200, 100, 6);
    run(200);
    EXPECT_FALSE(bars(form.chart(0)).empty()) << "a finger blocks its beams below 60";
}

TEST_F(FormSignalStreaming, record_data_logs_until_the_window_closes)
{
    start();
    form.LogOn->setChecked(true);  // as "Record Data" opens the window
    form.setTextLookup([](std::string_view key) { return key == "FormSignal" ? "Signal view" : "Recording"; });
    form.FormActivate();
    EXPECT_EQ(form.windowTitle(), "Signal view - Recording");
    run(300);
    EXPECT_TRUE(processor.recorder().recording());
    const QString status = form.StatusLine->currentMessage();
    EXPECT_TRUE(status.contains(QString::fromStdString("recording " + dir.str() + "/1700000000.txt, "))) << status.toStdString();

    form.done(QDialog::Accepted);
    EXPECT_FALSE(form.LogOn->isChecked());
    EXPECT_FALSE(processor.recorder().logOn());
    // The stream stops with the window: the log is written out and closed now, not at a frame
    // that may never come.
    EXPECT_FALSE(processor.recorder().recording());
    EXPECT_GT(processor.recorder().framesWritten(), 0u);
    h.advance(100);
    EXPECT_EQ(frame->mode(), 0) << "closing stops the stream";
    EXPECT_EQ(form.windowTitle(), "Signal view");
}

// A log recorded here plays back into the charts as the frames came: the finger that was on
// the frame for the second half dips where it touched, found with the slider; the status line
// names the log and the frame; the live store is not touched.
TEST_F(FormSignalStreaming, a_recorded_log_plays_into_the_charts_paused_stepped_and_moved)
{
    start();
    form.LogOn->setChecked(true);
    form.FormActivate();
    run(500);
    frame->fingerDown(100, 60, 4);
    run(500);
    form.done(QDialog::Accepted);
    const std::string log = processor.recorder().path();
    const uint64_t frames = processor.recorder().framesWritten();
    ASSERT_GT(frames, 40u);
    const std::vector<uint8_t> live = test::planeCopy(store, kPlaneCurrent);

    ASSERT_TRUE(form.OpenLogFile(log));
    EXPECT_FALSE(form.PlayBar->isHidden());
    EXPECT_FALSE(form.LogOn->isEnabled());
    EXPECT_EQ(form.player().frameCount(), frames);
    const QString first = "log 1700000000.txt: frame 1 of " + QString::number(frames);
    EXPECT_TRUE(form.StatusLine->currentMessage().startsWith(first)) << form.StatusLine->currentMessage().toStdString();
    EXPECT_TRUE(lowered(0).empty());

    form.ButtonPlayClick();  // pause
    EXPECT_TRUE(form.player().paused());
    EXPECT_EQ(form.ButtonPlay->text(), "Play");
    form.ButtonStepClick();
    EXPECT_EQ(form.player().position(), 2u);
    EXPECT_TRUE(form.StatusLine->currentMessage().contains("frame 2 of ")) << form.StatusLine->currentMessage().toStdString();
    EXPECT_TRUE(form.StatusLine->currentMessage().contains("paused"));

    form.SliderPositionChange(int(frames) - 1);
    EXPECT_EQ(lowered(0), (std::vector<int>{17, 18}));
    EXPECT_TRUE(form.StatusLine->currentMessage().contains(QString("frame %1 of %1").arg(frames)));

    // Played from the start at 4x: a tenth of a second of the clock plays 0.4 s of frames.
    form.SliderPositionChange(0);
    form.ComboSpeed->setCurrentIndex(form.ComboSpeed->findText("4x"));
    form.ButtonPlayClick();
    for (int t = 0; t < 100; t += 20) {
        h.nowMs += 20;
        form.TimerPlayTimer();
    }
    EXPECT_NEAR(double(form.player().position()), 2 + 0.1 * 4 * form.player().rate(), 2);
    EXPECT_FALSE(form.player().paused());
    EXPECT_EQ(test::planeCopy(store, kPlaneCurrent), live);

    form.LiveSignalClick();
    EXPECT_FALSE(form.playing());
    EXPECT_TRUE(form.LogOn->isEnabled());
}

TEST_F(FormSignalStreaming, a_log_that_cannot_be_created_is_reported_once_and_recording_is_switched_off)
{
    start();
    FrameProcessor failing{store, dir.str() + "/missing"};
    form.setProcessor(&failing);
    h.session.setFrameSink([&](const uint8_t* d, uint32_t n) { form.onFrameProcessed(failing.ProcessFrame(d, n)); });
    form.FormActivate();
    form.LogOnClick();
    EXPECT_TRUE(failing.recorder().logOn());
    run(500);
    const auto boxes = form.findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0]->isVisible());
    EXPECT_EQ(boxes[0]->text(), "log 文件创建失败！");
    EXPECT_FALSE(form.LogOn->isChecked());
    EXPECT_FALSE(failing.recorder().logOn());
    boxes[0]->close();
}

TEST_F(FormSignalStreaming, models_16_and_18_get_no_mode_command_on_activation)
{
    VirtualFrameProfile p = quiet();
    p.modelCode = 18;
    start(p);
    h.session.sendModeStop();
    h.advance(100);
    const int before = frame->commandsReceived(protocol::kCmdMode);
    form.FormActivate();
    h.advance(100);
    EXPECT_EQ(frame->commandsReceived(protocol::kCmdMode), before);
    EXPECT_EQ(form.windowTitle(), "Signal");
}

}  // namespace
}  // namespace oculant
