#include "diagnostics/BoardModel.h"

#include <algorithm>

namespace oculant {

namespace {

void appendAxis(BoardModel& model, uint8_t axis, uint8_t boards, const std::array<uint8_t, protocol::kMaxBoards>& counts)
{
    const size_t n = std::min<size_t>(boards, counts.size());
    uint16_t position = 0;
    for (size_t i = 0; i < n; ++i) {
        PCB_INFO board;
        board.index = uint8_t(i);
        board.kind = kEmitterBoard;
        board.axis = axis;
        board.count = counts[i];
        board.first = position;
        board.last = board.count == 0 ? position : uint16_t(position + board.count - 1);
        board.leds.assign(board.count, LED_STA{});
        model.emitters.push_back(board);
        board.kind = kReceiverBoard;
        model.receivers.push_back(std::move(board));
        // At most 30 boards of 255 elements: the sum stays far below 65536.
        position = uint16_t(position + counts[i]);
    }
}

}  // namespace

void BoardModel::BuildModel(const BoardLayoutTable& table)
{
    emitters.clear();
    receivers.clear();
    appendAxis(*this, kAxisX, table.xBoards, table.xElements);
    appendAxis(*this, kAxisY, table.yBoards, table.yElements);
    ComputeTotals();
}

void BoardModel::ComputeTotals()
{
    unsigned x = 0, y = 0;
    for (const PCB_INFO& b : emitters) {
        if (b.kind != kEmitterBoard)
            continue;
        if (b.axis == kAxisX)
            x += b.count;
        else if (b.axis == kAxisY)
            y += b.count;
    }
    xTotal = uint16_t(x);
    yTotal = uint16_t(y);
}

}  // namespace oculant
