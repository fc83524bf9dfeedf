// The diagnostic window on the offscreen platform: what its picture shows and what it sends.

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "diagnostics/FormImgDiag.h"
#include "tests/support/DiagnosticTestSupport.h"
#include "tests/support/FrameFeed.h"
#include "tests/support/WindowPixels.h"

namespace oculant {
namespace {

using test::BeamScene;

// The window as the active one, whatever the platform says.
class ActiveImgDiag : public TFormImgDiag {
public:
    using TFormImgDiag::TFormImgDiag;
    bool active = true;

protected:
    bool isActiveForm() const override { return active; }
};

using test::countColour;

Rgb pixel(const QImage& image, int x, int y) { return test::pixelAs<Rgb>(image, x, y); }

FrameLayout frameLayout()
{
    FrameLayout l;
    l.family = kFamilyFullScan;
    l.nX = 44;
    l.nY = 16;
    l.xOffsets = {0, 2};
    l.yOffsets = {0, -1};
    return l;
}

// X boards of 20 and 24 elements, one Y board of 16, on the window's design size of 800 × 480:
// X emitter board 1 spans x 50-359 at y 430-445, the Y emitter board y 50-430 at x 750-765.
class ImgDiagWindow : public ::testing::Test, protected test::FrameFeed {
protected:
    ImgDiagWindow() : table(test::boardTable({20, 24}, {16})), window(store), scene(frameLayout())
    {
        window.setBoardLayout(table);
        window.setTextLookup(test::keyEcho());
        window.setCommandSender([this](const DiagnosticCommand& c) { sent.push_back(c); });
        processor.addListener(window.frameListener());
    }

    void feed(int frames)
    {
        for (int i = 0; i < frames; ++i)
            frame(scene.liveScan());
    }

    BoardLayoutTable table;
    ActiveImgDiag window;
    BeamScene scene;
    std::vector<DiagnosticCommand> sent;
};

TEST_F(ImgDiagWindow, the_first_show_draws_white_bars_in_black_frames_before_any_frame)
{
    window.FormShow();
    const QImage& image = window.picture();
    ASSERT_EQ(image.format(), QImage::Format_RGB888);
    ASSERT_EQ(image.size(), QSize(800, 480));
    EXPECT_EQ(pixel(image, 100, 438), kWhite);  // inside X emitter bar 1
    EXPECT_EQ(pixel(image, 50, 430), kBlack);   // its frame's top-left corner
    EXPECT_EQ(pixel(image, 359, 445), kBlack);  // and bottom-right corner
    EXPECT_EQ(pixel(image, 750, 100), kBlack);  // the Y emitter frame's left edge
    EXPECT_EQ(pixel(image, 204, 420), kWhite);  // the board's dot
    EXPECT_EQ(pixel(image, 204, 415), kBlack);  // and its outline
    // The legend's swatches: white, yellow, red, green at x0 = 340, y = cy − 20 + 15 i + 7.
    EXPECT_EQ(pixel(image, 345, 227), kWhite);
    EXPECT_EQ(pixel(image, 345, 242), kYellow);
    EXPECT_EQ(pixel(image, 345, 257), kRed);
    EXPECT_EQ(pixel(image, 345, 272), kGreen);
    // No verdict yet: nothing red where FAIL would stand (left of the legend's swatches).
    EXPECT_EQ(countColour(image, QRect(200, 110, 130, 200), kRed), 0);
}

TEST_F(ImgDiagWindow, a_dead_emitter_turns_its_element_red_and_shows_fail)
{
    scene.killEmitter('X', 5);
    window.FormShow();
    feed(11);
    ASSERT_EQ(window.session().testState(), TestState::Testing);
    const QImage& image = window.picture();
    // Element 5 of 20 on the inner box 51-359: x 128 to 143.
    EXPECT_EQ(pixel(image, 135, 438), kRed);
    EXPECT_EQ(pixel(image, 100, 438), kYellow);
    EXPECT_EQ(pixel(image, 204, 420), kRed);      // the board's dot
    EXPECT_EQ(pixel(image, 757, 100), kYellow);   // a Y bar, still pending
    // The huge FAIL: red glyphs over the centre, left of the legend's swatches too.
    EXPECT_GT(countColour(image, QRect(200, 110, 330, 200), kRed), 3000);
}

// Updated: blocking every element at once used to pass the frame. That scan is a hand on the
// frame now: nothing turns green and the window asks to lift it; a sweep then shows PASS.
TEST_F(ImgDiagWindow, a_hand_on_the_frame_is_asked_off_and_a_sweep_shows_pass_in_green)
{
    window.FormShow();
    feed(11);
    scene.darkenRange('X', 0, 43);
    scene.darkenRange('Y', 0, 15);
    feed(1);
    EXPECT_TRUE(window.LabelNotice->isVisibleTo(&window));
    EXPECT_EQ(window.LabelNotice->text().toStdString(), "Lift your hand off the frame: most beams are blocked at once.");
    EXPECT_EQ(pixel(window.picture(), 100, 438), kYellow);  // still pending, not accepted
    EXPECT_EQ(pixel(window.picture(), 757, 100), kYellow);
    // How far the test is, right of the buttons, on none of the boards.
    ASSERT_TRUE(window.LabelProgress->isVisibleTo(&window));
    EXPECT_TRUE(window.LabelProgress->text().startsWith("0 of ")) << window.LabelProgress->text().toStdString();
    EXPECT_GT(window.LabelProgress->x(), window.Button2->x() + window.Button2->width());
    EXPECT_LE(window.LabelProgress->geometry().right(), window.width());

    scene = BeamScene(frameLayout());
    scene.sweep([&] { feed(1); }, [&] { return window.session().testState() == TestState::Testing; });
    EXPECT_FALSE(window.LabelNotice->isVisibleTo(&window));
    ASSERT_EQ(window.session().verdict(), OverallVerdict::Pass);
    const QImage& image = window.picture();
    EXPECT_EQ(pixel(image, 100, 438), kGreen);
    EXPECT_EQ(pixel(image, 757, 100), kGreen);
    EXPECT_GT(countColour(image, QRect(170, 110, 400, 200), kGreen), 3000);
    EXPECT_EQ(countColour(image, QRect(170, 110, 160, 200), kRed), 0);
    EXPECT_TRUE(window.LabelProgress->text().startsWith("All ")) << window.LabelProgress->text().toStdString();
}

TEST_F(ImgDiagWindow, sends_mode_1_on_activation_and_reset_and_mode_0_on_close)
{
    window.FormShow();
    window.FormActivate();
    feed(12);
    window.Button1Click();
    EXPECT_EQ(window.session().testState(), TestState::ModelBuilt);
    EXPECT_EQ(pixel(window.picture(), 100, 438), kWhite);  // verdicts cleared
    window.done(0);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], signalStreamCommand());
    EXPECT_EQ(sent[1], signalStreamCommand());
    EXPECT_EQ(sent[2], stopStreamingCommand());
}

TEST_F(ImgDiagWindow, the_timer_runs_with_the_frames_and_names_the_stop_in_the_caption)
{
    window.FormShow();
    EXPECT_FALSE(window.Timer->isActive());
    feed(3);
    EXPECT_TRUE(window.Timer->isActive());
    window.TimerTimer();
    EXPECT_EQ(window.windowTitle(), "<DiagnosticTitle1>");
    for (int i = 0; i < 4; ++i)
        window.TimerTimer();
    EXPECT_EQ(window.windowTitle(), "<DiagnosticTitle2>");
    EXPECT_FALSE(window.Timer->isActive());
    EXPECT_EQ(window.session().testState(), TestState::ModelBuilt);
}

TEST_F(ImgDiagWindow, the_main_window_restarts_the_test_through_test_state)
{
    window.FormShow();
    feed(12);
    ASSERT_EQ(int32_t(window.testState), 3);
    window.testState = 1;
    EXPECT_EQ(window.session().testState(), TestState::ModelBuilt);
}

TEST_F(ImgDiagWindow, an_inactive_window_takes_no_live_scans)
{
    window.active = false;
    window.FormShow();
    feed(3);
    EXPECT_EQ(window.session().frameCount(), 0u);
}

}  // namespace
}  // namespace oculant
