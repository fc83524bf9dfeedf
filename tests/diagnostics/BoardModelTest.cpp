#include <gtest/gtest.h>

#include "tests/support/DiagnosticTestSupport.h"
#include "diagnostics/BoardModel.h"

namespace oculant {
namespace {

using test::AxisRows;
using test::boardTable;

struct Expected {
    uint8_t axis;
    uint8_t index;
    uint16_t first, last, count;
};

void expectBoards(const std::vector<PCB_INFO>& boards, uint8_t kind, const std::vector<Expected>& expected)
{
    ASSERT_EQ(boards.size(), expected.size());
    for (size_t i = 0; i < boards.size(); ++i) {
        SCOPED_TRACE(i);
        const PCB_INFO& b = boards[i];
        EXPECT_EQ(b.kind, kind);
        EXPECT_EQ(b.axis, expected[i].axis);
        EXPECT_EQ(b.index, expected[i].index);
        EXPECT_EQ(b.first, expected[i].first);
        EXPECT_EQ(b.last, expected[i].last);
        EXPECT_EQ(b.count, expected[i].count);
        EXPECT_EQ(b.leds.size(), expected[i].count);
        EXPECT_EQ(b.status, kNotTested);
        EXPECT_EQ(b.faults, 0u);
    }
}

TEST(BoardModel, two_x_boards_and_one_y_board_number_their_positions_per_axis)
{
    BoardModel m;
    m.BuildModel(boardTable({20, 24}, {16}));
    const std::vector<Expected> boards = {{kAxisX, 0, 0, 19, 20}, {kAxisX, 1, 20, 43, 24}, {kAxisY, 0, 0, 15, 16}};
    expectBoards(m.emitters, kEmitterBoard, boards);
    expectBoards(m.receivers, kReceiverBoard, boards);
    EXPECT_EQ(m.xTotal, 44);
    EXPECT_EQ(m.yTotal, 16);
}

TEST(BoardModel, no_x_boards_gives_an_empty_x_axis)
{
    BoardModel m;
    m.BuildModel(boardTable({}, {16, 16}));
    EXPECT_EQ(m.xTotal, 0);
    EXPECT_EQ(m.yTotal, 32);
    ASSERT_EQ(m.emitters.size(), 2u);
    EXPECT_EQ(m.emitters[0].axis, kAxisY);
}

TEST(BoardModel, a_board_without_elements_keeps_its_number_and_holds_no_position)
{
    BoardModel m;
    m.BuildModel(boardTable({0, 10, 0}, {5}));
    expectBoards(m.emitters, kEmitterBoard,
                 {{kAxisX, 0, 0, 0, 0}, {kAxisX, 1, 0, 9, 10}, {kAxisX, 2, 10, 10, 0}, {kAxisY, 0, 0, 4, 5}});
    EXPECT_EQ(m.xTotal, 10);
}

TEST(BoardModel, board_counts_beyond_the_table_are_taken_as_thirty)
{
    BoardLayoutTable t;
    t.xBoards = 40;  // the table has 30 entries; nothing beyond them may be read
    t.yBoards = 1;
    t.xElements.fill(2);
    t.yElements[0] = 3;
    BoardModel m;
    m.BuildModel(t);
    EXPECT_EQ(m.emitters.size(), 31u);
    EXPECT_EQ(m.xTotal, 60);
}

TEST(BoardModel, building_twice_gives_the_same_model_with_every_verdict_back_to_zero)
{
    const BoardLayoutTable t = boardTable({3, 4}, {2});
    BoardModel m;
    m.BuildModel(t);
    m.emitters[1].status = kFault;
    m.emitters[1].leds[2].status = kFault;
    m.emitters[1].faults = faultBit(kFaultDarkElement);
    m.receivers[0].left = 99;
    m.BuildModel(t);
    expectBoards(m.emitters, kEmitterBoard, {{kAxisX, 0, 0, 2, 3}, {kAxisX, 1, 3, 6, 4}, {kAxisY, 0, 0, 1, 2}});
    EXPECT_EQ(m.emitters[1].leds[2].status, kNotTested);
    EXPECT_EQ(m.receivers[0].left, 0);
}

TEST(BoardModel, the_table_is_read_when_the_model_is_built)
{
    BoardLayoutTable t = boardTable({8}, {4});
    BoardModel m;
    m.BuildModel(t);
    t.xElements[0] = 12;
    EXPECT_EQ(m.xTotal, 8);
    m.BuildModel(t);
    EXPECT_EQ(m.xTotal, 12);
}

// Which emitters and receivers a layer covers on an axis of 10 positions.
TEST(BeamCoverage, a_layer_covers_only_the_positions_whose_beam_exists)
{
    struct Case {
        int offset;
        int firstEmitter, lastEmitter, firstReceiver, lastReceiver;
    };
    for (const Case c : {Case{2, 2, 9, 0, 7}, Case{-3, 0, 6, 3, 9}, Case{0, 0, 9, 0, 9}}) {
        SCOPED_TRACE(c.offset);
        const AxisRows rows(10, {c.offset});
        const AxisSignal axis = rows.view();
        for (int p = -1; p <= 10; ++p) {
            const int e = axis.byteOf(0, p, kEmitterBoard);
            const int r = axis.byteOf(0, p, kReceiverBoard);
            if (p >= c.firstEmitter && p <= c.lastEmitter)
                EXPECT_EQ(e, p - c.offset) << p;
            else
                EXPECT_EQ(e, -1) << p;
            if (p >= c.firstReceiver && p <= c.lastReceiver)
                EXPECT_EQ(r, p) << p;
            else
                EXPECT_EQ(r, -1) << p;
        }
    }
}

// A board's covered elements, worked out at once, are exactly those byteOf covers one by one.
TEST(BeamCoverage, a_whole_board_is_covered_as_its_positions_are)
{
    AxisRows rows(12, {0, 3, -3, 11, -12});
    rows.current[1].resize(10);  // a short row
    const AxisSignal axis = rows.view();
    for (int d = 0; d < axis.layerCount; ++d)
        for (const BoardKind side : {kEmitterBoard, kReceiverBoard})
            for (int first = 0; first <= 12; ++first)
                for (int count = 0; count <= 14; ++count) {
                    const LayerCoverage c = axis.coverage(d, first, count, side);
                    for (int j = 0; j < count; ++j) {
                        const int k = axis.byteOf(d, first + j, side);
                        const bool inside = j >= c.begin && j < c.end;
                        ASSERT_EQ(inside, k >= 0) << d << " " << side << " " << first << " " << j;
                        if (inside) {
                            ASSERT_EQ(k, j + c.shift);
                        }
                    }
                }
}

TEST(BeamCoverage, a_row_shorter_than_the_axis_covers_nothing_beyond_it)
{
    AxisRows rows(10, {0});
    rows.current[0].resize(6);
    const AxisSignal axis = rows.view();
    EXPECT_EQ(axis.byteOf(0, 5, kReceiverBoard), 5);
    EXPECT_EQ(axis.byteOf(0, 6, kReceiverBoard), -1);
    EXPECT_EQ(axis.byteOf(1, 0, kReceiverBoard), -1);  // no such layer
}

}  // namespace
}  // namespace oculant
