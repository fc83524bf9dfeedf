// The capture screen on the offscreen platform: touch reports through the frame processor, the
// 100 ms step driven by hand, and what the picture shows mid-run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "calibration/CaptureSession.h"
#include "calibration/FormCalibrate.h"
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
        window.setSettings(s, screen);
        window.show();
        // The offscreen platform hands out no focus by itself; the capture steps only while active.
        QApplication::setActiveWindow(&window);
        QApplication::processEvents();
    }
    // One report of one finger, then one timer tick.
    void holdTick(uint8_t id)
    {
        touches({test::touch(2000, 3000, 200, id)});
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

}  // namespace
}  // namespace oculant
