#include <gtest/gtest.h>

#include "tests/support/DiagnosticTestSupport.h"
#include "diagnostics/DiagnosticPicture.h"

namespace oculant {
namespace {

using test::boardTable;
using test::CanvasCall;
using test::RecordingCanvas;

class Picture : public ::testing::Test {
protected:
    void SetUp() override { model.BuildModel(boardTable({20, 24}, {16})); }

    RedrawOutcome redraw(int w = 1000, int h = 600)
    {
        canvas.calls.clear();
        return picture.Redraw(canvas, model, w, h, lookup);
    }

    void setAll(int32_t status)
    {
        for (auto* list : {&model.emitters, &model.receivers})
            for (PCB_INFO& b : *list) {
                b.status = status;
                for (LED_STA& e : b.leds)
                    e.status = status;
            }
    }

    BoardModel model;
    DiagnosticPicture picture;
    RecordingCanvas canvas;
    TextLookup lookup = test::keyEcho();
};

TEST_F(Picture, is_left_alone_below_800_by_480_or_with_an_empty_axis)
{
    EXPECT_EQ(redraw(799, 600), RedrawOutcome::Skipped);
    EXPECT_EQ(redraw(1000, 479), RedrawOutcome::Skipped);
    EXPECT_TRUE(canvas.calls.empty());
    EXPECT_EQ(redraw(800, 480), RedrawOutcome::LaidOut);

    model.BuildModel(boardTable({}, {16}));
    picture.invalidate();
    EXPECT_EQ(redraw(), RedrawOutcome::Skipped);
    EXPECT_TRUE(canvas.calls.empty());
    EXPECT_EQ(picture.surfaceWidth(), 0);
}

TEST_F(Picture, a_layout_starts_from_white_with_the_legend_and_every_frame)
{
    ASSERT_EQ(redraw(), RedrawOutcome::LaidOut);
    ASSERT_GE(canvas.calls.size(), 2u);
    EXPECT_EQ(canvas.calls[0].op, CanvasCall::Resize);
    EXPECT_EQ(canvas.calls[0].rect, (CanvasRect{0, 0, 1000, 600}));
    EXPECT_EQ(canvas.calls[1].op, CanvasCall::Fill);
    EXPECT_EQ(canvas.calls[1].rect, (CanvasRect{0, 0, 1000, 600}));
    EXPECT_EQ(canvas.calls[1].colour, kWhite);
    EXPECT_EQ(canvas.count(CanvasCall::Outline), 6);
    // The frames are stored in the model: X emitter 2 holds positions 20-43 of 44.
    const PCB_INFO& x2 = model.emitters[1];
    EXPECT_EQ((CanvasRect{x2.left, x2.top, x2.right, x2.bottom}), (CanvasRect{468, 550, 950, 565}));
    const PCB_INFO& y1 = model.receivers[2];
    EXPECT_EQ((CanvasRect{y1.left, y1.top, y1.right, y1.bottom}), (CanvasRect{35, 50, 50, 550}));
    ASSERT_NE(canvas.findText("RevY1"), nullptr);
    EXPECT_EQ(canvas.findText("RevY1")->rect.left, 15);
    EXPECT_EQ(canvas.findText("RevY1")->rect.top, 315);
    EXPECT_TRUE(canvas.findText("RevY1")->style.vertical);
}

TEST_F(Picture, the_legend_sits_around_the_centre)
{
    redraw();
    // cx = 500, cy = 300, x0 = 440.
    struct Expected {
        const char* text;
        int x, y;
    };
    const Expected texts[] = {
        {"<TestSteps>", 440, 180},   {"<TestStep1>", 440, 195},   {"<TestStep4>", 440, 240},
        {"<TestResults>", 440, 265}, {"<TestResult1>", 455, 280}, {"<TestResult4>", 455, 325},
        {"<Faults>", 440, 350},      {"<Fault1>", 440, 365},      {"<Fault4>", 440, 410},
        {"USB", 20, 570},
    };
    for (const Expected& e : texts) {
        const CanvasCall* c = canvas.findText(e.text);
        ASSERT_NE(c, nullptr) << e.text;
        EXPECT_EQ(c->rect.left, e.x) << e.text;
        EXPECT_EQ(c->rect.top, e.y) << e.text;
        EXPECT_FALSE(c->style.transparent) << e.text;
    }
    std::vector<CanvasCall> swatches;
    for (const CanvasCall& c : canvas.calls)
        if (c.op == CanvasCall::Circle && c.rect.left == 440)
            swatches.push_back(c);
    ASSERT_EQ(swatches.size(), 4u);
    const Rgb colours[] = {kWhite, kYellow, kRed, kGreen};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(swatches[size_t(i)].rect, (CanvasRect{440, 282 + 15 * i, 450, 292 + 15 * i}));
        EXPECT_EQ(swatches[size_t(i)].colour, colours[i]);
    }
    const auto line = std::find_if(canvas.calls.begin(), canvas.calls.end(),
                                   [](const CanvasCall& c) { return c.op == CanvasCall::Line; });
    ASSERT_NE(line, canvas.calls.end());
    EXPECT_EQ(line->rect, (CanvasRect{50, 550, 30, 570}));
    EXPECT_EQ(line->penWidth, 2);
}

TEST_F(Picture, a_redraw_without_a_size_change_repaints_only_contents_fault_list_and_verdict)
{
    redraw();
    EXPECT_EQ(redraw(), RedrawOutcome::Painted);
    EXPECT_EQ(canvas.count(CanvasCall::Resize), 0);
    EXPECT_EQ(canvas.count(CanvasCall::Outline), 0);
    EXPECT_EQ(canvas.findText("<TestSteps>"), nullptr);
    EXPECT_EQ(canvas.findText("RevY1"), nullptr);
    EXPECT_EQ(canvas.count(CanvasCall::Circle), 6);  // the dots
    EXPECT_NE(canvas.findText("<FaultStatus>"), nullptr);
    EXPECT_NE(canvas.findText("0.0%"), nullptr);
}

TEST_F(Picture, a_resize_or_a_rebuild_lays_out_again)
{
    redraw();
    EXPECT_EQ(redraw(1200, 700), RedrawOutcome::LaidOut);
    EXPECT_EQ(canvas.calls[0].rect, (CanvasRect{0, 0, 1200, 700}));
    EXPECT_EQ(model.receivers[2].bottom, 650);
    EXPECT_NE(canvas.findText("<TestSteps>"), nullptr);
    EXPECT_EQ(redraw(1200, 700), RedrawOutcome::Painted);
    picture.invalidate();
    EXPECT_EQ(redraw(1200, 700), RedrawOutcome::LaidOut);
}

TEST_F(Picture, the_fault_list_has_a_line_per_board_side)
{
    redraw();
    // Three boards per side: h = 3 × 40 + 20 = 140, x = 500 − 360 (clear of the verdict word at
    // 500 − 230 and more), y = 300 − 70.
    const auto box = std::find_if(canvas.calls.begin(), canvas.calls.end(), [](const CanvasCall& c) {
        return c.op == CanvasCall::Fill && c.rect == CanvasRect{140, 230, 260, 370};
    });
    ASSERT_NE(box, canvas.calls.end());
    EXPECT_EQ(box->colour, kWhite);
    const char* lines[] = {"XEmit1: NG", "XEmit2: NG", "YEmit1: NG", "XRecv1: NA", "XRecv2: NA", "YRecv1: NA"};
    const CanvasCall* title = canvas.findText("<FaultStatus>");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->rect.left, 140);
    EXPECT_EQ(title->rect.top, 230);
    for (int i = 0; i < 6; ++i) {
        const CanvasCall* c = canvas.findText(lines[i]);
        ASSERT_NE(c, nullptr) << lines[i];
        EXPECT_EQ(c->rect.left, 140);
        EXPECT_EQ(c->rect.top, 250 + 20 * i);
    }
}

TEST_F(Picture, fail_shows_as_soon_as_one_board_is_at_fault_and_pass_only_when_all_are_ok)
{
    redraw();
    setAll(kPending);
    redraw();
    EXPECT_EQ(canvas.findText("FAIL"), nullptr);
    EXPECT_EQ(canvas.findText("PASS"), nullptr);

    model.receivers[1].status = kFault;
    redraw();
    const CanvasCall* fail = canvas.findText("FAIL");
    ASSERT_NE(fail, nullptr);
    EXPECT_EQ(fail->rect.left, 300);
    EXPECT_EQ(fail->rect.top, 170);
    EXPECT_EQ(fail->style, (TextStyle{kRed, true, false, TextSize::Verdict}));

    setAll(kOk);
    model.emitters[2].status = kPending;
    redraw();
    EXPECT_EQ(canvas.findText("PASS"), nullptr);
    model.emitters[2].status = kOk;
    redraw();
    const CanvasCall* pass = canvas.findText("PASS");
    ASSERT_NE(pass, nullptr);
    EXPECT_EQ(pass->rect.left, 270);
    EXPECT_EQ(pass->rect.top, 170);
    for (const CanvasCall& c : canvas.calls)  // the boards' lines end before the word begins
        if (c.op == CanvasCall::Text && c.text.find(": ") != std::string::npos)
            EXPECT_LT(c.rect.left + 120, pass->rect.left) << c.text;
    EXPECT_EQ(pass->style.colour, kGreen);
    EXPECT_NE(canvas.findText("100.0%"), nullptr);
    // The verdict word is painted last, over the legend; the fault list keeps clear of it.
    EXPECT_EQ(canvas.calls.back().text, "PASS");
}

TEST_F(Picture, a_board_without_elements_gets_a_frame_and_a_dot_but_no_bar)
{
    model.BuildModel(boardTable({10, 0}, {1}));  // and a Y axis of one position
    redraw();
    EXPECT_EQ(canvas.count(CanvasCall::Outline), 6);
    const PCB_INFO& empty = model.emitters[1];
    EXPECT_EQ(empty.left, empty.right);
    const PCB_INFO& lone = model.emitters[2];
    EXPECT_EQ(lone.top, 50);
    EXPECT_EQ(lone.bottom, 550);
    redraw();
    // Bars: one run on each of the four boards with elements; the fault list box.
    EXPECT_EQ(canvas.count(CanvasCall::Fill), 5);
    EXPECT_EQ(canvas.count(CanvasCall::Circle), 6);
}

}  // namespace
}  // namespace oculant
