// The draw test window on the offscreen platform: what lands on its canvas, its caption, and
// the stop command on every way out.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "backends/virtual/VirtualFrame.h"
#include "drawtest/FormPoints.h"
#include "tests/support/FrameFeed.h"
#include "tests/support/SessionHarness.h"
#include "tests/support/WindowPixels.h"

namespace oculant {
namespace {

using test::countColour;
using test::touch;

InkColour pixel(const QImage& image, int x, int y) { return test::pixelAs<InkColour>(image, x, y); }
bool allWhite(const QImage& image) { return countColour(image, image.rect(), kInkWhite) == image.width() * image.height(); }

class PointsWindow : public ::testing::Test, protected test::FrameFeed, protected test::SentCommands {
protected:
    PointsWindow()
    {
        window.setCommandSender(sender());
        window.setTextLookup([](std::string_view) { return std::string("Draw test"); });
        processor.addListener(window.touchListener());
        window.show();
        W = window.width();
        H = window.height();
    }
    void report(std::vector<TouchRecord> records) { touches(records); }
    const QImage& canvas() const { return window.canvas(); }
    int stops() const { return count({0x21, 0x00, 0x00}); }

    TFormPoints window{store};
    int W = 0, H = 0;
};

TEST_F(PointsWindow, shows_white_over_the_whole_screen_with_the_buttons_either_side_of_the_centre)
{
    const QSize screen = window.screen()->size();
    EXPECT_EQ(window.size(), screen);
    EXPECT_EQ(canvas().size(), screen);
    EXPECT_TRUE(allWhite(canvas()));
    EXPECT_EQ(window.Button1->geometry(), QRect(W / 2 - 85, H / 2 - 20, 75, 41));
    EXPECT_EQ(window.Button2->geometry(), QRect(W / 2 + 10, H / 2 - 20, 75, 41));
    EXPECT_EQ(window.Button1->text(), QString::fromUtf8("清  除"));
    EXPECT_EQ(window.Button2->text(), QString::fromUtf8("退  出"));
}

TEST_F(PointsWindow, a_dot_has_the_id_colour_a_black_rim_and_comes_with_the_red_border)
{
    // 3277 units: a tenth of the width, centred.
    report({touch(16384, 16384, 3277, 2)});
    EXPECT_EQ(pixel(canvas(), W / 2, H / 2), (InkColour{0, 255, 0}));
    const int rimX = W / 2 - W / 20;
    EXPECT_GT(countColour(canvas(), QRect(rimX - 2, H / 2, 5, 1), kInkBlack), 0) << "the outline";
    EXPECT_EQ(pixel(canvas(), rimX - 4, H / 2), kInkWhite);
    // The border runs along x = 0 and y = 0; its other two sides lie just outside the canvas.
    EXPECT_EQ(pixel(canvas(), 0, H / 3), kInkRed);
    EXPECT_EQ(pixel(canvas(), W / 3, 0), kInkRed);
    EXPECT_EQ(pixel(canvas(), W - 1, H / 3), kInkWhite);
    // The caption gives the box's centre: the mean of its mapped edges, 16384 ± 1638.
    const int cx = (14746 * W / 32768 + 18022 * W / 32768) / 2, cy = (14746 * H / 32768 + 18022 * H / 32768) / 2;
    char expected[64];
    std::snprintf(expected, sizeof expected, "Draw test 1 - 002:(%4d,%4d) ", cx, cy);
    EXPECT_EQ(window.windowTitle().toStdString(), expected);
    EXPECT_EQ(window.LabelCaption->text(), window.windowTitle());
}

TEST_F(PointsWindow, a_stroke_is_a_black_line_two_pixels_wide)
{
    window.DrawLine->trigger();
    ASSERT_TRUE(window.drawTest().options().drawLine);
    report({touch(8192, 16384, 300, 1)});
    report({touch(24576, 16384, 300, 1)});
    EXPECT_EQ(countColour(canvas(), QRect(W / 2 + 50, H / 2 - 3, 1, 7), kInkBlack), 2);
    EXPECT_EQ(pixel(canvas(), W / 8, H / 2), kInkWhite) << "nothing before the stroke's start";
}

TEST_F(PointsWindow, the_smooth_path_blends_edges_and_draws_again_on_a_second_showing)
{
    window.GDI1->trigger();
    report({touch(16384, 16384, 3277, 3)});
    EXPECT_EQ(pixel(canvas(), W / 2, H / 2), (InkColour{0, 0, 255}));
    const int rimX = W / 2 - W / 20;
    EXPECT_EQ(countColour(canvas(), QRect(rimX - 3, H / 2 - 3, 7, 7), kInkBlack), 0) << "no outline";
    int blended = 0;
    for (int x = rimX - 3; x <= rimX + 3; ++x) {
        const InkColour c = pixel(canvas(), x, H / 2 - 2);
        blended += c != kInkWhite && c != InkColour{0, 0, 255};
    }
    EXPECT_GT(blended, 0) << "antialiased edge";
    EXPECT_EQ(pixel(canvas(), 0, H / 3), kInkRed);

    window.close();
    window.show();
    EXPECT_TRUE(allWhite(canvas())) << "a new showing starts white";
    report({touch(8192, 8192, 3277, 3)});
    EXPECT_EQ(pixel(canvas(), W / 4, H / 4), (InkColour{0, 0, 255}));
}

TEST_F(PointsWindow, clear_whitens_the_canvas_and_every_way_out_stops_the_touch_reports)
{
    report({touch(16384, 16384, 3277, 1)});
    ASSERT_FALSE(allWhite(canvas()));
    window.Button1->click();
    EXPECT_TRUE(allWhite(canvas()));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(stops(), 0);

    window.Button2->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(stops(), 1);

    window.show();
    window.Close1->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(stops(), 2);

    window.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&window, &escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(stops(), 3);
    EXPECT_EQ(sent.size(), 3u) << "nothing but the stops";
}

TEST(PointsWindowOnVirtualFrame, a_finger_stroke_lands_where_its_millimetres_map)
{
    test::SessionHarness h;
    SignalStore store;
    FrameProcessor processor{store, "/nonexistent"};
    TFormPoints window{store};
    processor.addListener(window.touchListener());
    h.session.setFrameSink([&](const uint8_t* d, uint32_t n) { processor.ProcessFrame(d, n); });
    auto frame = h.backend.frame(h.start());
    ASSERT_TRUE(h.session.connected());
    window.show();
    window.DrawLine->trigger();
    h.session.sendModeTouch();

    // 160 × 90 positions of 5.96 mm; the canvas takes round(mm / span × 32768) × size / 32768.
    const double span[] = {160 * 5.96, 90 * 5.96};
    const int size[] = {window.width(), window.height()};
    auto px = [&](double mm, int axis) { return int(std::lround(mm / span[axis] * 32768) * size[axis] / 32768); };
    const int id = frame->fingerDown(200, 300);
    h.advance(60);
    frame->moveFinger(id, 700, 300);
    h.advance(60);
    frame->fingerUp(id);
    h.advance(60);

    const int y = px(300, 1);
    for (double xMm : {200.0, 450.0, 700.0})
        EXPECT_GE(countColour(window.canvas(), QRect(px(xMm, 0), y - 1, 1, 3), kInkBlack), 1) << xMm << " mm";
    EXPECT_EQ(countColour(window.canvas(), QRect(px(700, 0) + 4, y - 1, 1, 3), kInkBlack), 0) << "ends there";
    EXPECT_EQ(countColour(window.canvas(), QRect(px(200, 0) - 4, y - 1, 1, 3), kInkBlack), 0) << "starts there";
}

}  // namespace
}  // namespace oculant
