// The capture screen on the offscreen platform: touch reports through the frame processor, the
// 100 ms step driven by hand, and what the picture shows mid-run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include <QPushButton>

#include "calibration/CalibrationResiduals.h"
#include "calibration/CaptureResult.h"
#include "calibration/CaptureSession.h"
#include "calibration/FormCalibrate.h"
#include "calibration/VerifyPass.h"
#include "tests/support/FrameFeed.h"

namespace oculant {
namespace {

class CaptureWindow : public ::testing::Test, protected test::FrameFeed, protected test::SentCommands {
protected:
    CaptureWindow()
    {
        window.setCommandSender(sender());
        window.setTextLookup([](std::string_view) { return std::string("Touch and hold each target"); });
        processor.addListener(window.touchListener());
        window.show();
        window.activateWindow();
        QApplication::processEvents();
        screen = {window.width(), window.height()};
        CalibrationSettings s;
        s.auxPoints = false;
        s.marginLeft = s.marginRight = uint16_t(screen.width / 20);
        s.marginUp = s.marginDown = uint16_t(screen.height / 20);
        s.window = {0, 0, screen.width, screen.height};
        window.hide();
        settings = s;
        window.setSettings(s, screen);
        window.show();
        // The offscreen platform hands out no focus by itself; the capture steps only while active.
        QApplication::setActiveWindow(&window);
        QApplication::processEvents();
    }
    // One report of one finger, then one timer tick.
    void holdTick(uint8_t id, ScreenLogical at = {2000, 3000})
    {
        touches({test::touch(at.x, at.y, 200, id)});
        window.Timer1Timer();
    }
    QColor at(QPoint p) const { return window.picture().pixelColor(p); }
    QPoint targetPixel(int k) const
    {
        const ScreenLogical t = window.data().points[size_t(k)].target;
        return {int(int64_t{t.x} * window.picture().width() / 32768), int(int64_t{t.y} * window.picture().height() / 32768)};
    }

    TFormCalibrate window;
    ScreenSize screen;
    CalibrationSettings settings;
};

TEST_F(CaptureWindow, shows_the_targets_and_fills_the_pie_while_a_finger_is_held)
{
    ASSERT_TRUE(window.isActiveWindow());
    ASSERT_TRUE(window.capture().isOpen());
    ASSERT_EQ(window.data().count, 4);
    EXPECT_EQ(at({screen.width / 2, screen.height / 2}), QColor(Qt::white));

    // Five steady reports settle the point; each further tick adds 10 to the progress.
    for (int i = 0; i < 9; ++i)
        holdTick(1);
    ASSERT_EQ(window.capture().progress(), 40);
    const QPoint c = targetPixel(0);
    EXPECT_EQ(at(c + QPoint(10, -5)), QColor(0, 255, 0)) << "the sector from twelve to about five o'clock";
    EXPECT_EQ(at(c + QPoint(-10, -5)), QColor(Qt::white)) << "not yet filled";
    EXPECT_EQ(at(c + QPoint(-25, 0)), QColor(255, 0, 0)) << "red cross";
    EXPECT_EQ(at(targetPixel(1)), QColor(Qt::black)) << "targets to come are black";
    if (!qEnvironmentVariableIsEmpty("OCULANT_CAPTURE_SNAPSHOT"))
        window.picture().save(qEnvironmentVariable("OCULANT_CAPTURE_SNAPSHOT"));

    for (int i = 0; i < 6; ++i)
        holdTick(1);
    EXPECT_EQ(window.capture().current(), 1);
    EXPECT_EQ(at(targetPixel(0) + QPoint(5, 0)), QColor(192, 192, 192)) << "a taken target turns silver";
}

// A touch far from its target (judged by the targets taken before it) is refused in red on the
// screen and taken again from a fresh finger.
TEST_F(CaptureWindow, a_misplaced_touch_says_touch_the_target_again_until_it_is_retaken)
{
    window.hide();
    settings.gridX = settings.gridY = 3;
    window.setSettings(settings, screen);
    window.setPositions({160, 90});
    window.show();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
    ASSERT_EQ(window.data().count, 9);
    const auto take = [&](uint8_t id, int k, int offX) {
        const ScreenLogical t = window.data().points[size_t(k)].target;
        for (int i = 0; i < 15; ++i)
            holdTick(id, {t.x + offX, t.y});
    };
    for (int k = 0; k < 4; ++k)
        take(uint8_t(k + 1), k, 0);
    ASSERT_EQ(window.capture().current(), 4);
    EXPECT_EQ(window.retakeText(), "");
    take(5, 4, 3000);  // 87 mm to the right
    EXPECT_EQ(window.capture().current(), 4);
    EXPECT_EQ(window.retakeText().rfind("Touch the target again: that touch was 87.", 0), 0u) << window.retakeText();
    take(6, 4, 0);
    EXPECT_EQ(window.capture().current(), 5);
    EXPECT_EQ(window.retakeText(), "") << "gone once the target is taken";
}

TEST_F(CaptureWindow, escape_closes_without_success_and_sends_mode_zero)
{
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&window, &escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_FALSE(window.data().complete());
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), (std::vector<uint8_t>{0x21, 0x00, 0x00}));
}

// After a fit: an arrow per target, the largest ringed in red, then Verify runs fresh targets
// through the same capture and shows its verdict without closing; Close ends it with mode 0.
TEST_F(CaptureWindow, the_result_marks_the_largest_residual_and_verify_captures_fresh_targets)
{
    // A frame that reports every touch where it was shown, but one touch of the calibration 600
    // logical units to the right of its target.
    CalibrationData calibration = window.data();
    for (CalibrationPoint& p : calibration.used())
        p.touch = {p.target.x, p.target.y};
    calibration.points[2].touch.x += 600;
    calibration.status = CalibrationData::kStatusComplete;
    CaptureResultView view;
    view.verify = {0, settings, calibration, CalibrationCoefficients::identity(), DisplayDirection::Landscape, screen,
                   {100, 60}};
    view.residuals = computeResiduals(calibration, view.verify.coefficients, view.verify.direction, screen, {100, 60});
    view.summary = "Mean error: 1.0 pixels / 0.5 mm";
    ASSERT_EQ(view.residuals.worst, 2);

    window.hide();
    window.showResult(view);
    window.show();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
    ASSERT_TRUE(window.ButtonVerify->isVisible());
    EXPECT_FALSE(window.capture().isOpen()) << "the result takes no touches";
    const auto reddish = [&](QPoint p) {
        const QColor c = at(p);
        return c.red() > 200 && c.green() < 100 && c.blue() < 100;
    };
    EXPECT_TRUE(reddish(targetPixel(2) + QPoint(0, -12))) << "the ring around the largest";
    EXPECT_FALSE(reddish(targetPixel(0) + QPoint(0, -12)));
    EXPECT_TRUE(reddish(targetPixel(2) + QPoint(30, 0))) << "its arrow points right, 60 pixels long";
    EXPECT_FALSE(reddish(targetPixel(2) + QPoint(-30, 0)));
    // That error is far beyond the verify limit: said in the text, and the window framed in red.
    const QPoint corner(settings.window.x + 2, settings.window.y + 2);
    EXPECT_NE(window.resultText().indexOf("is beyond the verify limit of 2.0 mm: calibrate again"), -1)
        << window.resultText().toStdString();
    EXPECT_TRUE(reddish(corner));

    window.ButtonVerify->click();
    ASSERT_TRUE(window.capture().isOpen());
    ASSERT_EQ(window.data().count, kMinVerifyPoints);
    EXPECT_EQ(sent.back(), (std::vector<uint8_t>{0x21, 0x03, 0xAA})) << "touch reports for the verify";
    for (int k = 0; k < kMinVerifyPoints; ++k)
        for (const CalibrationPoint& c : calibration.used())
            EXPECT_NE(window.data().points[size_t(k)].target, c.target);
    for (int k = 0; k < kMinVerifyPoints; ++k) {
        const ScreenLogical target = window.data().points[size_t(k)].target;
        for (int i = 0; i < 15; ++i)
            holdTick(uint8_t(10 + k), target);
    }
    ASSERT_NE(window.verifyResult(), nullptr);
    EXPECT_TRUE(window.verifyResult()->passed);
    EXPECT_TRUE(window.isVisible()) << "the verdict is shown on the result";
    EXPECT_TRUE(window.ButtonVerify->isVisible());
    EXPECT_NE(window.resultText().indexOf("Verify 5 points: largest error 0.0 mm"), -1) << window.resultText().toStdString();
    EXPECT_NE(window.resultText().indexOf("passed"), -1);
    EXPECT_EQ(window.resultText().indexOf("beyond the verify limit"), -1) << "the verify pass shows no such error";
    EXPECT_FALSE(reddish(corner));

    window.ButtonClose->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(sent.back(), (std::vector<uint8_t>{0x21, 0x00, 0x00}));
}

}  // namespace
}  // namespace oculant
