// The draw test's slot logic: touch reports go through the frame processor (which keeps nX and
// nY current) into the draw test, and the shapes and captions it hands to its view are checked.
#include <gtest/gtest.h>

#include <vector>

#include "drawtest/DrawTest.h"
#include "protocol/Protocol.h"
#include "tests/support/FrameFeed.h"

namespace oculant {
namespace {

using Kind = DrawOp::Kind;
using test::touch;

// A frame of 100 × 60 positions (596 × 357.6 mm) under a 1920 × 1080 client area.
struct DrawTestFixture : ::testing::Test, test::FrameFeed {
    DrawTest draw;
    test::DrawingLog view;

    DrawTestFixture()
    {
        draw.setView(&view);
        draw.setLayout(&store);
        draw.setTextLookup([](std::string_view key) { return "Draw test[" + std::string(key) + "]"; });
        draw.setClientSize({1920, 1080});
        processor.addListener(&draw);
    }
    // One report through the processor; the drawing it produced.
    const TouchDrawing& report(std::vector<TouchRecord> records, int countByte = -1)
    {
        const size_t before = view.drawings.size();
        EXPECT_EQ(touches(records, countByte).status, FrameStatus::Accepted);
        EXPECT_EQ(view.drawings.size(), before + 1) << "one drawing per report";
        return view.drawings.back();
    }
    static std::vector<DrawOp> shapes(const TouchDrawing& d, Kind kind) { return test::DrawingLog::shapes(d, kind); }
};

TEST_F(DrawTestFixture, every_report_starts_with_the_red_border_of_the_client_area)
{
    const TouchDrawing& d = report({});
    ASSERT_EQ(d.ops.size(), 1u);
    EXPECT_EQ(d.ops[0].kind, Kind::Border);
    EXPECT_EQ(d.ops[0].box, (PixelBox{0, 0, 1920, 1080}));
    EXPECT_EQ(d.ops[0].colour, kInkRed);
    EXPECT_EQ(d.ops[0].penWidth, 1);
    EXPECT_EQ(d.caption, "Draw test[FormPoints]");
}

TEST_F(DrawTestFixture, centre_of_a_1920_by_1080_client_is_captioned_960_540)
{
    const TouchDrawing& d = report({touch(16384, 16384, 0, 0)});
    EXPECT_EQ(d.caption, "Draw test[FormPoints] 1 - 000:( 960, 540) ");
    const auto dots = shapes(d, Kind::Dot);
    ASSERT_EQ(dots.size(), 1u);
    EXPECT_EQ(dots[0].box, (PixelBox{960, 540, 960, 540}));
}

TEST_F(DrawTestFixture, dots_take_the_id_colour_and_a_black_outline_only_on_the_plain_path)
{
    const TouchRecord t = touch(8192, 16384, 2048, 3);
    const auto plain = shapes(report({t}), Kind::Dot);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].colour, (InkColour{0, 0, 255}));
    EXPECT_TRUE(plain[0].outlined);
    EXPECT_EQ(plain[0].box, (PixelBox{420, 506, 540, 573}));

    draw.options().smooth = true;
    const TouchDrawing& smooth = report({t});
    EXPECT_TRUE(smooth.antialiased);
    ASSERT_EQ(shapes(smooth, Kind::Dot).size(), 1u);
    EXPECT_FALSE(shapes(smooth, Kind::Dot)[0].outlined);
}

TEST_F(DrawTestFixture, a_363_mm_contact_sets_the_flag_and_erases_in_stroke_mode)
{
    // 20000 units across 100 positions: 363 mm.
    const TouchRecord palm = touch(16384, 16384, 20000, 1);
    draw.options().drawLine = true;
    report({palm});  // starts the stroke
    EXPECT_TRUE(draw.largeContact(DrawTest::kPlainPath, 0));
    const TouchDrawing& d = report({palm});
    EXPECT_TRUE(shapes(d, Kind::Line).empty());
    const auto erased = shapes(d, Kind::Erase);
    ASSERT_EQ(erased.size(), 1u);
    EXPECT_TRUE(erased[0].ellipse);
    EXPECT_EQ(erased[0].colour, kInkWhite);
    EXPECT_EQ(erased[0].box, (PixelBox{374, 210, 1545, 869}));
}

TEST_F(DrawTestFixture, a_363_mm_contact_is_still_a_dot_in_dot_mode)
{
    const TouchDrawing& d = report({touch(16384, 16384, 20000, 1)});
    EXPECT_TRUE(draw.largeContact(DrawTest::kPlainPath, 0));
    const auto dots = shapes(d, Kind::Dot);
    ASSERT_EQ(dots.size(), 1u);
    EXPECT_EQ(dots[0].colour, kInkRed);
    EXPECT_TRUE(shapes(d, Kind::Erase).empty());
}

TEST_F(DrawTestFixture, the_smooth_path_erases_the_whole_box_and_keeps_its_own_flags)
{
    draw.options().drawLine = true;
    report({touch(16384, 16384, 20000, 1)});
    report({touch(16384, 16384, 300, 1)});
    ASSERT_TRUE(draw.largeContact(DrawTest::kPlainPath, 0));
    // The plain path's flag does not carry over: the smooth path draws the line.
    draw.options().smooth = true;
    EXPECT_FALSE(draw.largeContact(DrawTest::kSmoothPath, 0));
    EXPECT_EQ(shapes(report({touch(16500, 16384, 300, 1)}), Kind::Line).size(), 1u);
    // Until a palm shows on it too; then it wipes the box, not an ellipse.
    const auto erased = shapes(report({touch(16384, 16384, 20000, 1)}), Kind::Erase);
    ASSERT_EQ(erased.size(), 1u);
    EXPECT_FALSE(erased[0].ellipse);
    EXPECT_TRUE(draw.largeContact(DrawTest::kSmoothPath, 0));
    EXPECT_TRUE(draw.largeContact(DrawTest::kPlainPath, 0));
}

TEST_F(DrawTestFixture, a_large_contact_keeps_erasing_until_it_is_released)
{
    draw.options().drawLine = true;
    report({touch(16384, 16384, 20000, 1)});
    report({touch(16384, 16384, 20000, 1)});
    // Narrowing under 40 mm does not clear the flag: only the release does.
    EXPECT_EQ(shapes(report({touch(16384, 16384, 500, 1)}), Kind::Erase).size(), 1u);
    EXPECT_EQ(shapes(report({touch(16384, 16384, 500, 1, kStateRelease)}), Kind::Erase).size(), 1u);
    EXPECT_FALSE(draw.largeContact(DrawTest::kPlainPath, 0));
    report({touch(16384, 16384, 500, 1)});
    EXPECT_EQ(shapes(report({touch(17000, 16384, 500, 1)}), Kind::Line).size(), 1u);
}

TEST_F(DrawTestFixture, fixed_size_uses_about_ten_pixels_for_the_size_test_too)
{
    draw.options().drawLine = true;
    draw.options().fixSize = true;
    report({touch(16384, 16384, 20000, 5)});
    const TouchDrawing& d = report({touch(17000, 16384, 20000, 5)});
    EXPECT_FALSE(draw.largeContact(DrawTest::kPlainPath, 0));
    const auto lines = shapes(d, Kind::Line);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].from, (PixelPoint{960, 540}));
    EXPECT_EQ(lines[0].to, (PixelPoint{996, 540}));
    EXPECT_EQ(lines[0].colour, (InkColour{0, 255, 255})) << "the id colour with fixed size";
    EXPECT_EQ(lines[0].penWidth, 1);
    // The caption's centre comes from the fixed box: 17000 ± 85 units.
    EXPECT_EQ(d.caption, "Draw test[FormPoints] 1 - 005:( 996, 539) ");

    draw.options().drawLine = false;
    const auto dots = shapes(report({touch(16384, 16384, 20000, 5)}), Kind::Dot);
    ASSERT_EQ(dots.size(), 1u);
    EXPECT_EQ(dots[0].box, (PixelBox{955, 535, 964, 544}));
}

TEST_F(DrawTestFixture, an_all_release_report_leaves_the_bare_title_yet_ends_the_strokes)
{
    draw.options().drawLine = true;
    report({touch(8192, 8192, 300, 1), touch(8192, 24576, 300, 2)});
    const TouchDrawing& released =
        report({touch(9000, 8192, 300, 1, kStateRelease), touch(9000, 24576, 300, 2, kStateRelease)});
    EXPECT_EQ(released.caption, "Draw test[FormPoints]");
    // The release point still ends each stroke.
    EXPECT_EQ(shapes(released, Kind::Line).size(), 2u);
    EXPECT_EQ(draw.previous(0).state, kStateRelease);
    EXPECT_EQ(draw.previous(1).state, kStateRelease);
    // The next contacts start new strokes instead of joining the old ones.
    EXPECT_TRUE(shapes(report({touch(30000, 30000, 300, 3), touch(100, 100, 300, 4)}), Kind::Line).empty());
}

TEST_F(DrawTestFixture, released_touches_are_listed_but_not_counted)
{
    const TouchDrawing& d = report({touch(16384, 16384, 0, 1), touch(0, 0, 0, 2, kStateRelease)});
    EXPECT_EQ(d.caption, "Draw test[FormPoints] 1 - 001:( 960, 540) 002:(   0,   0) ");
    EXPECT_EQ(shapes(d, Kind::Dot).size(), 1u) << "no dot for a release";
}

TEST_F(DrawTestFixture, records_in_other_states_leave_their_slot_alone)
{
    draw.options().drawLine = true;
    report({touch(8192, 8192, 300, 1)});
    const TouchDrawing& d = report({touch(20000, 20000, 20000, 1, 0x07), touch(100, 100, 300, 2, 0)});
    EXPECT_EQ(d.caption, "Draw test[FormPoints]");
    EXPECT_EQ(d.ops.size(), 1u) << "the border only";
    EXPECT_EQ(draw.previous(0), touch(8192, 8192, 300, 1));
    EXPECT_FALSE(draw.largeContact(DrawTest::kPlainPath, 0));
    EXPECT_EQ(draw.previous(1), TouchRecord{});
    // The stroke goes on from where the slot was.
    const auto lines = shapes(report({touch(16384, 8192, 300, 1)}), Kind::Line);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].from, (PixelPoint{480, 270}));
}

TEST_F(DrawTestFixture, records_after_the_sixth_get_no_slot_and_no_place_in_the_caption)
{
    std::vector<TouchRecord> eight;
    for (int i = 0; i < 8; ++i)
        eight.push_back(touch(1000 + 4000 * i, 16384, 0, uint8_t(i)));
    const TouchDrawing& d = report(eight);
    EXPECT_EQ(shapes(d, Kind::Dot).size(), 6u);
    EXPECT_EQ(d.caption.find("Draw test[FormPoints] 6 - 000:(  58, 540) "), 0u) << d.caption;
    EXPECT_EQ(d.caption.find("006:"), std::string::npos);
    EXPECT_EQ(draw.previous(5).id, 5);
}

TEST_F(DrawTestFixture, negative_x_is_taken_as_0_and_negative_y_as_it_comes)
{
    const TouchDrawing& d = report({touch(-500, -3277, 0, 1)});
    EXPECT_EQ(d.caption, "Draw test[FormPoints] 1 - 001:(   0,-108) ");
    EXPECT_EQ(draw.previous(0).x, 0);
    EXPECT_EQ(draw.previous(0).y, -3277);
}

TEST_F(DrawTestFixture, clearing_whitens_the_canvas_and_keeps_the_strokes_going)
{
    draw.options().drawLine = true;
    report({touch(8192, 8192, 300, 1)});
    const TouchDrawing cleared = draw.clearCanvas();
    ASSERT_EQ(cleared.ops.size(), 1u);
    EXPECT_EQ(cleared.ops[0].kind, Kind::Fill);
    EXPECT_TRUE(cleared.caption.empty()) << "a clear leaves the caption";
    EXPECT_EQ(shapes(report({touch(16384, 8192, 300, 1)}), Kind::Line).size(), 1u);
}

TEST_F(DrawTestFixture, the_client_size_in_force_maps_each_report)
{
    draw.setClientSize({1280, 800});
    EXPECT_EQ(report({touch(16384, 16384, 0, 0)}).caption, "Draw test[FormPoints] 1 - 000:( 640, 400) ");
    // Before the window has a size nothing divides by zero, even with fixed size.
    draw.setClientSize({0, 0});
    draw.options().fixSize = true;
    EXPECT_EQ(report({touch(16384, 16384, 0, 0)}).caption, "Draw test[FormPoints] 1 - 000:(   0,   0) ");
}

TEST(DrawTestWiring, without_a_language_the_title_is_the_key_and_nothing_needs_a_view)
{
    DrawTest draw;
    draw.setClientSize({1920, 1080});
    TouchTable table{};
    table[0] = touch(16384, 16384, 20000, 0);
    draw.HandleTouches(1, table);
    EXPECT_EQ(draw.drawReport(1, table).caption, "FormPoints 1 - 000:( 959, 539) ");
    // Without a layout, one position per axis: 20000 units are 3 mm.
    EXPECT_FALSE(draw.largeContact(DrawTest::kPlainPath, 0));
}

TEST(DrawTestWiring, touch_mode_on_and_off_are_mode_commands_3_and_0)
{
    DrawTest draw;
    std::vector<std::vector<uint8_t>> sent;
    draw.startTouchReports();  // no sender yet: nothing happens
    draw.setCommandSender([&](uint8_t code, const uint8_t* payload, size_t length) {
        std::vector<uint8_t> command{code};
        command.insert(command.end(), payload, payload + length);
        sent.push_back(command);
    });
    draw.startTouchReports();
    draw.stopTouchReports();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (std::vector<uint8_t>{0x21, 0x03, 0xAA}));
    EXPECT_EQ(sent[1], (std::vector<uint8_t>{0x21, 0x00, 0x00}));
    // The same bytes the device link uses for these modes.
    EXPECT_EQ(kTouchReportsOn.code, protocol::kCmdMode);
    EXPECT_EQ(kTouchReportsOn.payload, protocol::kModeTouch);
    EXPECT_EQ(kTouchReportsOff.payload, protocol::kModeStop);
}

}  // namespace
}  // namespace oculant
