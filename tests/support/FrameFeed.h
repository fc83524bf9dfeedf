#pragma once
// Frames through the real frame processor into the window or slot logic under test, and the
// commands it sends and the drawings it makes, recorded: how the draw test, the capture screen
// and the diagnostic window are driven without a session.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <vector>

#include "drawtest/DrawTest.h"
#include "protocol/SignalFrameBuilder.h"
#include "signal/FrameProcessor.h"
#include "signal/SignalStore.h"

namespace oculant::test {

inline TouchRecord touch(int x, int y, int size, uint8_t id, uint8_t state = kStateContact)
{
    return {int16_t(x), int16_t(y), int16_t(size), int16_t(size), id, state};
}

// Touch reports of a frame of 100 × 60 positions; nothing is logged.
struct FrameFeed {
    SignalStore store;
    FrameProcessor processor{store, "/nonexistent"};
    SignalFrameBuilder builder{[] {
        FrameLayout l;
        l.nX = 100;
        l.nY = 60;
        return l;
    }()};

    FrameResult frame(const std::vector<uint8_t>& bytes) { return processor.ProcessFrame(bytes.data(), bytes.size()); }
    // A report of these records; its count byte says how many unless `countByte` says otherwise.
    FrameResult touches(const std::vector<TouchRecord>& records, int countByte = -1)
    {
        return frame(builder.touchReport(countByte < 0 ? uint8_t(records.size()) : uint8_t(countByte), records));
    }
};

// Every command a window sent, its code first.
struct SentCommands {
    std::vector<std::vector<uint8_t>> sent;

    std::function<void(uint8_t, const uint8_t*, size_t)> sender()
    {
        return [this](uint8_t code, const uint8_t* payload, size_t length) {
            std::vector<uint8_t> c{code};
            c.insert(c.end(), payload, payload + length);
            sent.push_back(c);
        };
    }
    int count(const std::vector<uint8_t>& command) const { return int(std::count(sent.begin(), sent.end(), command)); }
};

// Every drawing the draw test handed to its view.
struct DrawingLog : DrawTestView {
    std::vector<TouchDrawing> drawings;
    void showDrawing(const TouchDrawing& drawing) override { drawings.push_back(drawing); }

    // The shapes of one kind, in one drawing or in all of them.
    static std::vector<DrawOp> shapes(const TouchDrawing& d, DrawOp::Kind kind)
    {
        std::vector<DrawOp> found;
        std::copy_if(d.ops.begin(), d.ops.end(), std::back_inserter(found),
                     [&](const DrawOp& op) { return op.kind == kind; });
        return found;
    }
    std::vector<DrawOp> shapes(DrawOp::Kind kind) const
    {
        std::vector<DrawOp> found;
        for (const TouchDrawing& d : drawings)
            for (const DrawOp& op : shapes(d, kind))
                found.push_back(op);
        return found;
    }
};

}  // namespace oculant::test
