#include <gtest/gtest.h>

#include "tests/support/DiagnosticTestSupport.h"
#include "diagnostics/DiagnosticGeometry.h"
#include "diagnostics/DiagnosticPicture.h"
#include "diagnostics/PictureFinger.h"
#include "backends/virtual/VirtualBackend.h"

namespace oculant {
namespace {

PCB_INFO board(uint8_t axis, uint8_t kind, uint8_t index, uint16_t first, uint16_t count)
{
    PCB_INFO b;
    b.axis = axis;
    b.kind = kind;
    b.index = index;
    b.first = first;
    b.count = count;
    b.last = count == 0 ? first : uint16_t(first + count - 1);
    b.leds.resize(count);
    return b;
}

TEST(BoardGeometry, x_positions_spread_between_the_margins)
{
    EXPECT_EQ(axisPixel(0, 101, 1000), 50);
    EXPECT_EQ(axisPixel(100, 101, 1000), 950);
    EXPECT_EQ(axisPixel(39, 101, 1000), 401);
}

// Frames and labels of every kind of board; W × H = 1000 × 600.
TEST(BoardGeometry, frames_and_labels_lie_along_the_four_edges)
{
    struct Case {
        PCB_INFO board;
        int xTotal, yTotal;
        CanvasRect rect;
        TextItem label;
    };
    const Case cases[] = {
        {board(kAxisX, kEmitterBoard, 1, 20, 20), 101, 16, {230, 550, 401, 565}, {"EmitX2", 300, 570, false}},
        {board(kAxisX, kReceiverBoard, 1, 20, 20), 101, 16, {230, 35, 401, 50}, {"RevX2", 300, 15, false}},
        {board(kAxisY, kReceiverBoard, 0, 0, 16), 101, 16, {35, 50, 50, 550}, {"RevY1", 15, 315, true}},
        {board(kAxisY, kEmitterBoard, 2, 0, 16), 101, 16, {950, 50, 965, 550}, {"EmitY3", 970, 315, true}},
        // Y position 0 is at the bottom: positions 4-7 of 16 span 183 to 283 from the bottom.
        {board(kAxisY, kEmitterBoard, 1, 4, 4), 101, 16, {950, 317, 965, 417}, {"EmitY2", 970, 382, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label.text);
        const BoardFrame f = boardFrame(c.board, 1000, 600, c.xTotal, c.yTotal);
        EXPECT_EQ(f.rect, c.rect);
        EXPECT_EQ(f.label, c.label);
    }
}

TEST(BoardGeometry, a_lone_position_spans_the_whole_edge)
{
    const BoardFrame x = boardFrame(board(kAxisX, kEmitterBoard, 0, 0, 1), 1000, 600, 1, 1);
    EXPECT_EQ(x.rect, (CanvasRect{50, 550, 950, 565}));
    EXPECT_EQ(x.label.x, 485);
    const BoardFrame y = boardFrame(board(kAxisY, kReceiverBoard, 0, 0, 1), 1000, 600, 1, 1);
    EXPECT_EQ(y.rect, (CanvasRect{35, 50, 50, 550}));
}

TEST(BoardGeometry, a_board_without_elements_is_a_mark_of_no_width_on_the_axis)
{
    // Boards of 10, 0 and 0 elements: both empty boards sit at position 10, the last one (9)
    // kept on the axis.
    const BoardFrame middle = boardFrame(board(kAxisX, kEmitterBoard, 1, 10, 0), 1000, 600, 10, 5);
    EXPECT_EQ(middle.rect.left, 950);
    EXPECT_EQ(middle.rect.right, 950);
    const BoardFrame first = boardFrame(board(kAxisY, kEmitterBoard, 0, 0, 0), 1000, 600, 10, 5);
    EXPECT_EQ(first.rect.top, 550);
    EXPECT_EQ(first.rect.bottom, 550);
    EXPECT_TRUE(elementRuns(board(kAxisX, kEmitterBoard, 1, 10, 0)).empty());
    EXPECT_TRUE(okPercent(board(kAxisX, kEmitterBoard, 1, 10, 0)).text.empty());
}

PCB_INFO barBoard(uint8_t axis, std::vector<int32_t> statuses)
{
    PCB_INFO b = board(axis, kEmitterBoard, 0, 0, uint16_t(statuses.size()));
    for (size_t j = 0; j < statuses.size(); ++j)
        b.leds[j].status = statuses[j];
    // Inner box 80 pixels long, 10 per element of 8.
    if (axis == kAxisX) {
        b.left = 100, b.right = 181, b.top = 550, b.bottom = 565;
    } else {
        b.left = 950, b.right = 965, b.top = 100, b.bottom = 181;
    }
    return b;
}

TEST(ElementBar, runs_of_equal_status_are_coloured_by_verdict)
{
    const PCB_INFO b = barBoard(kAxisX, {3, 3, 3, 1, 1, 2, 3, 3});
    const auto runs = elementRuns(b);
    ASSERT_EQ(runs.size(), 4u);
    const Rgb colours[] = {kGreen, kYellow, kRed, kGreen};
    const CanvasRect rects[] = {{101, 551, 131, 565}, {131, 551, 151, 565}, {151, 551, 161, 565}, {161, 551, 181, 565}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(runs[i].colour, colours[i]) << i;
        EXPECT_EQ(runs[i].rect, rects[i]) << i;
    }
    const TextItem p = okPercent(b);
    EXPECT_EQ(p, (TextItem{"62.5%", 126, 552, false}));
}

TEST(ElementBar, on_a_y_board_element_0_is_lowest)
{
    const PCB_INFO b = barBoard(kAxisY, {3, 3, 3, 1, 1, 2, 3, 3});
    const auto runs = elementRuns(b);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].rect, (CanvasRect{951, 151, 965, 181}));
    EXPECT_EQ(runs[3].rect, (CanvasRect{951, 101, 965, 121}));
    EXPECT_EQ(okPercent(b), (TextItem{"62.5%", 951, 156, true}));
}

TEST(ElementBar, an_unknown_status_keeps_the_previous_colour)
{
    const auto runs = elementRuns(barBoard(kAxisX, {0, 2, 9, 9}));
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].colour, kWhite);
    EXPECT_EQ(runs[1].colour, kRed);
    EXPECT_EQ(runs[2].colour, kRed);
}

TEST(ElementBar, the_percentage_has_one_decimal)
{
    EXPECT_EQ(okPercent(barBoard(kAxisX, {3, 1, 1})).text, "33.3%");
    EXPECT_EQ(okPercent(barBoard(kAxisX, {3, 3, 1})).text, "66.7%");
    EXPECT_EQ(okPercent(barBoard(kAxisX, {1, 1})).text, "0.0%");
    EXPECT_EQ(okPercent(barBoard(kAxisX, {3})).text, "100.0%");
}

TEST(BoardDot, sits_ten_pixels_inside_the_frame)
{
    PCB_INFO b = board(kAxisX, kEmitterBoard, 0, 0, 4);
    b.left = 100, b.right = 200, b.top = 550, b.bottom = 565;
    EXPECT_EQ(boardDot(b), (CanvasRect{145, 535, 155, 545}));
    b.kind = kReceiverBoard, b.top = 35, b.bottom = 50;
    EXPECT_EQ(boardDot(b), (CanvasRect{145, 55, 155, 65}));
    b.axis = kAxisY, b.left = 35, b.right = 50, b.top = 100, b.bottom = 300;
    EXPECT_EQ(boardDot(b), (CanvasRect{55, 195, 65, 205}));
    b.kind = kEmitterBoard, b.left = 950, b.right = 965;
    EXPECT_EQ(boardDot(b), (CanvasRect{935, 195, 945, 205}));
}

TEST(FaultLine, reads_axis_side_number_and_faults)
{
    struct Case {
        uint8_t axis, kind, index;
        int32_t status;
        uint32_t faults;
        std::string line;
    };
    const Case cases[] = {
        {kAxisX, kEmitterBoard, 0, kOk, 0, "XEmit1: OK"},
        {kAxisX, kEmitterBoard, 0, kFault, faultBit(2) | faultBit(4), "XEmit1: 2/4"},
        {kAxisY, kReceiverBoard, 2, kFault, faultBit(1) | faultBit(2) | faultBit(3) | faultBit(4), "YRecv3: 1/2/3/4"},
        {kAxisY, kReceiverBoard, 0, kFault, faultBit(3), "YRecv1: 3"},
        {kAxisX, kEmitterBoard, 4, kNotTested, 0, "XEmit5: NG"},
        {kAxisX, kEmitterBoard, 4, kPending, 0, "XEmit5: NG"},
        {kAxisX, kReceiverBoard, 4, kNotTested, 0, "XRecv5: NA"},
        {kAxisY, kReceiverBoard, 29, kPending, 0, "YRecv30: NA"},
    };
    const TextLookup lookup = test::keyEcho();
    for (const Case& c : cases) {
        PCB_INFO b;
        b.axis = c.axis, b.kind = c.kind, b.index = c.index, b.status = c.status, b.faults = c.faults;
        EXPECT_EQ(FaultLine(b, lookup), c.line);
    }
}

TEST(FaultLine, an_empty_word_leaves_only_axis_and_number)
{
    PCB_INFO b;
    b.status = kOk;
    EXPECT_EQ(FaultLine(b, [](std::string_view) { return std::string(); }), "X1: OK");
}

TEST(DiagnosticCaption, joins_the_window_caption_and_the_connection_text)
{
    const TextLookup lookup = test::keyEcho();
    EXPECT_EQ(diagnosticCaption(lookup, true), "<FormImgDiag> - <PanelConnect>");
    EXPECT_EQ(diagnosticCaption(lookup, false), "<FormImgDiag> - <PanelUnconnect>");
}

// With --virtual-frame, a press on element j of a bar puts the finger where that element sits on
// the frame: every beam of the element is blocked (as the diagnostic counts it, a quarter of the
// clear level), and not every beam of the element of the same position on the other side.
TEST(PictureFinger, pressing_an_element_of_a_bar_blocks_the_beams_of_that_element)
{
    const VirtualFrameProfile profile;  // 5 X boards of 32, 3 Y boards of 30; offsets 0, 4, -4
    const VirtualBeams beams(profile);
    VirtualBackend backend;
    const BenchGeometry frame = backend.testBench(backend.attach(std::make_shared<VirtualFrame>(profile)))->geometry();
    BoardModel model;
    model.BuildModel(test::boardTable({32, 32, 32, 32, 32}, {30, 30, 30}));
    DiagnosticPicture picture;
    test::RecordingCanvas canvas;
    const int W = 1920, H = 1080;
    ASSERT_EQ(picture.Redraw(canvas, model, W, H, test::keyEcho()), RedrawOutcome::LaidOut);

    // Every beam of element p of the given side blocked by the finger.
    const auto allBlocked = [&](const VirtualFinger& f, uint8_t axis, bool emitter, int p) {
        const std::vector<int>& offsets = axis == kAxisX ? profile.xOffsets : profile.yOffsets;
        const int n = axis == kAxisX ? beams.nX() : beams.nY();
        for (size_t d = 0; d < offsets.size(); ++d) {
            const int receiver = emitter ? p - offsets[d] : p;
            const bool exists = receiver >= 0 && receiver < n && receiver + offsets[d] >= 0 && receiver + offsets[d] < n;
            if (exists && beams.transmission(axis == kAxisX ? 'X' : 'Y', int(d), receiver, {f}) > 0.25)
                return false;
        }
        return true;
    };
    for (const auto* list : {&model.emitters, &model.receivers})
        for (const PCB_INFO& b : *list)
            for (int j = 0; j < b.count; ++j) {
                // The middle of element j's run, as elementRuns draws it.
                const double l = b.left + 1, r = b.right, t = b.top + 1, bottom = b.bottom;
                const double x = b.onX() ? l + (r - l) * (j + 0.5) / b.count : (l + r) / 2;
                const double y = b.onX() ? (t + bottom) / 2 : bottom - (bottom - t) * (j + 0.5) / b.count;
                VirtualFinger f;
                std::tie(f.xMm, f.yMm) = pictureFingerMm(model, x, y, W, H, frame);
                SCOPED_TRACE(FaultLine(b, test::keyEcho()) + " element " + std::to_string(j));
                EXPECT_TRUE(allBlocked(f, b.axis, b.isEmitter(), b.first + j));
                EXPECT_FALSE(allBlocked(f, b.axis, !b.isEmitter(), b.first + j));
            }
}

}  // namespace
}  // namespace oculant
