// Strokes drawn with fingers on a virtual frame: the touch reports go through the device
// session, reassembly and the frame processor into the draw test, on a simulated clock. Where
// the shapes land is predicted here from the finger's millimetres: the frame reports
// round(mm / span × 32768) logical units, and the canvas takes logical × size / 32768.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "backends/virtual/VirtualFrame.h"
#include "drawtest/DrawTest.h"
#include "signal/FrameProcessor.h"
#include "tests/support/FrameFeed.h"
#include "tests/support/SessionHarness.h"

namespace oculant {
namespace {

using Kind = DrawOp::Kind;
using Mm = std::pair<double, double>;

struct DrawOnVirtualFrame : ::testing::Test {
    static constexpr ClientSize kClient{1280, 800};
    // The default profile: 160 × 90 positions, 5.96 mm apart.
    static constexpr double kWidthMm = 160 * 5.96, kHeightMm = 90 * 5.96;

    test::SessionHarness h;
    DrawTest draw;
    test::DrawingLog view;
    std::shared_ptr<VirtualFrame> frame;

    void SetUp() override
    {
        draw.setView(&view);
        draw.setLayout(&h.core.store());
        draw.setClientSize(kClient);
        h.core.processor().addListener(&draw);
        frame = h.backend.frame(h.start());
        ASSERT_TRUE(h.session.connected());
        h.session.sendModeTouch();
        h.advance(100);
        ASSERT_TRUE(view.drawings.empty()) << "no finger, no reports";
    }

    static int pixel(double mm, double spanMm, int extent)
    {
        const long logical = std::clamp(std::lround(mm / spanMm * 32768.0), 0L, 32767L);
        return int(logical * extent / 32768);
    }
    static PixelPoint predicted(Mm at)
    {
        return {pixel(at.first, kWidthMm, kClient.width), pixel(at.second, kHeightMm, kClient.height)};
    }

    // Down at the first point, through the others, up at the last; 60 ms (three reports) each.
    int stroke(const std::vector<Mm>& path, double radiusMm = 4.0)
    {
        const int id = frame->fingerDown(path[0].first, path[0].second, radiusMm);
        h.advance(60);
        for (size_t i = 1; i < path.size(); ++i) {
            frame->moveFinger(id, path[i].first, path[i].second);
            h.advance(60);
        }
        frame->fingerUp(id);
        h.advance(60);
        return id;
    }
    std::vector<DrawOp> shapes(Kind kind) const { return view.shapes(kind); }
};

// The points a run of lines passes through, repeats dropped.
std::vector<PixelPoint> pathOf(const std::vector<DrawOp>& lines)
{
    std::vector<PixelPoint> points;
    for (const DrawOp& l : lines)
        for (PixelPoint p : {l.from, l.to})
            if (points.empty() || !(points.back() == p))
                points.push_back(p);
    return points;
}

TEST_F(DrawOnVirtualFrame, a_stroke_lands_on_the_pixels_the_mapping_predicts)
{
    draw.options().drawLine = true;
    const std::vector<Mm> path{{100, 60}, {150, 80}, {233.3, 123.4}, {400, 300}, {700.7, 450.1}, {953.6, 536.4}};
    stroke(path);

    const std::vector<DrawOp> lines = shapes(Kind::Line);
    ASSERT_FALSE(lines.empty());
    std::vector<PixelPoint> expected;
    for (const Mm& p : path)
        expected.push_back(predicted(p));
    EXPECT_EQ(expected[1], (PixelPoint{201, 119})) << "150 mm of 953.6 on 1280 pixels; 80 of 536.4 on 800";
    EXPECT_EQ(expected.back(), (PixelPoint{1279, 799})) << "the far corner is 32767, the last pixel";
    EXPECT_EQ(pathOf(lines), expected);
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].from, lines[i - 1].to) << "one unbroken stroke";
    for (const DrawOp& l : lines) {
        EXPECT_EQ(l.colour, kInkBlack);
        EXPECT_EQ(l.penWidth, 2);
    }
    EXPECT_EQ(view.drawings.back().caption, "FormPoints") << "the lift-off report counts no contact";
}

TEST_F(DrawOnVirtualFrame, a_palm_erases_instead_of_drawing_with_the_frames_own_pitch)
{
    // 60 mm across on 160 positions: the size test needs nX from the reports' own layout.
    draw.options().drawLine = true;
    stroke({{400, 250}, {450, 250}}, 30.0);
    EXPECT_EQ(h.core.store().nX(), 160);
    EXPECT_TRUE(shapes(Kind::Line).empty());
    const std::vector<DrawOp> erased = shapes(Kind::Erase);
    ASSERT_FALSE(erased.empty());
    const PixelPoint centre = erased.back().box.centre();
    EXPECT_NEAR(centre.x, predicted({450, 250}).x, 1);
    EXPECT_NEAR(centre.y, predicted({450, 250}).y, 1);
    // 60 mm is about 80 pixels across on this canvas.
    EXPECT_NEAR(erased.back().box.right - erased.back().box.left, 60 / kWidthMm * 1280, 2);
    EXPECT_FALSE(draw.largeContact(DrawTest::kPlainPath, 0)) << "cleared by the lift-off";
}

TEST_F(DrawOnVirtualFrame, two_fingers_leave_dots_in_their_id_colours)
{
    draw.options().fixSize = true;
    const int a = frame->fingerDown(300, 200);
    const int b = frame->fingerDown(600, 400);
    h.advance(60);
    const std::vector<DrawOp> dots = shapes(Kind::Dot);
    ASSERT_GE(dots.size(), 2u);
    const DrawOp& dotA = dots[dots.size() - 2];
    const DrawOp& dotB = dots.back();
    EXPECT_EQ(dotA.colour, idColour(uint8_t(a)));
    EXPECT_EQ(dotB.colour, idColour(uint8_t(b)));
    EXPECT_NE(dotA.colour, dotB.colour);
    for (const auto& [dot, at] : {std::pair{dotA, Mm{300, 200}}, std::pair{dotB, Mm{600, 400}}}) {
        EXPECT_NEAR(dot.box.centre().x, predicted(at).x, 1);
        EXPECT_NEAR(dot.box.centre().y, predicted(at).y, 1);
        EXPECT_NEAR(dot.box.right - dot.box.left, 10, 1) << "fixed size";
    }
    EXPECT_EQ(view.drawings.back().caption.rfind("FormPoints 2 - 00", 0), 0u) << view.drawings.back().caption;
}

}  // namespace
}  // namespace oculant
