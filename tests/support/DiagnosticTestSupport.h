#pragma once
// Shared helpers of the diagnostic tests: board layout tables, hand-made signal rows, a
// recording canvas, and a scene that renders live scans of a frame with faults and a finger.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diagnostics/BeamView.h"
#include "diagnostics/DiagnosticCanvas.h"
#include "diagnostics/DiagnosticText.h"
#include "protocol/SignalFrameBuilder.h"

namespace oculant::test {

// The board layout record of boards with these element counts, X then Y.
inline BoardLayoutTable boardTable(const std::vector<int>& x, const std::vector<int>& y)
{
    BoardLayoutTable t;
    t.xBoards = uint8_t(x.size());
    t.yBoards = uint8_t(y.size());
    std::transform(x.begin(), x.end(), t.xElements.begin(), [](int n) { return uint8_t(n); });
    std::transform(y.begin(), y.end(), t.yElements.begin(), [](int n) { return uint8_t(n); });
    t.valid = true;
    return t;
}

// The language file's English words for the texts the picture uses, keys otherwise.
inline TextLookup keyEcho()
{
    return [](std::string_view key) {
        if (key == "Emit")
            return std::string("Emit");
        if (key == "Receive")
            return std::string("Recv");
        return "<" + std::string(key) + ">";
    };
}

// The rows of one axis, owned here; view() lends them to the analysis.
struct AxisRows {
    int positions = 0;
    std::vector<int> offsets;
    std::vector<std::vector<uint8_t>> current, reference, threshold;

    AxisRows(int n, std::vector<int> layerOffsets, uint8_t level = 200)
        : positions(n), offsets(std::move(layerOffsets))
    {
        for (size_t d = 0; d < offsets.size(); ++d) {
            current.emplace_back(size_t(n), level);
            reference.emplace_back(size_t(n), level);
            threshold.emplace_back(size_t(n), uint8_t(level / 4));
        }
    }

    AxisSignal view() const
    {
        AxisSignal a;
        a.positions = positions;
        a.layerCount = int(offsets.size());
        for (size_t d = 0; d < offsets.size(); ++d)
            a.layers[d] = {offsets[d], current[d], reference[d], threshold[d]};
        return a;
    }
};

inline BeamView beamView(const AxisRows& x, const AxisRows& y) { return {x.view(), y.view()}; }

// Every call a canvas received, in order.
struct CanvasCall {
    enum Op { Resize, Fill, Outline, Line, Circle, Text } op;
    CanvasRect rect;  // resize: {0, 0, w, h}; line: {x0, y0, x1, y1}; text: {x, y, x, y}
    Rgb colour;
    std::string text;
    TextStyle style;
    int penWidth = 0;
};

class RecordingCanvas : public DiagnosticCanvas {
public:
    std::vector<CanvasCall> calls;

    void resize(int w, int h) override { calls.push_back({CanvasCall::Resize, {0, 0, w, h}, {}, {}, {}, 0}); }
    void fillRect(const CanvasRect& r, Rgb c) override { calls.push_back({CanvasCall::Fill, r, c, {}, {}, 0}); }
    void outlineRect(const CanvasRect& r) override { calls.push_back({CanvasCall::Outline, r, kBlack, {}, {}, 1}); }
    void line(int x0, int y0, int x1, int y1, int w) override
    {
        calls.push_back({CanvasCall::Line, {x0, y0, x1, y1}, kBlack, {}, {}, w});
    }
    void circle(const CanvasRect& r, Rgb fill) override { calls.push_back({CanvasCall::Circle, r, fill, {}, {}, 1}); }
    void text(int x, int y, std::string_view t, const TextStyle& s) override
    {
        calls.push_back({CanvasCall::Text, {x, y, x, y}, s.colour, std::string(t), s, 0});
    }

    const CanvasCall* findText(std::string_view t) const
    {
        for (const CanvasCall& c : calls)
            if (c.op == CanvasCall::Text && c.text == t)
                return &c;
        return nullptr;
    }
    int count(CanvasCall::Op op) const
    {
        int n = 0;
        for (const CanvasCall& c : calls)
            n += c.op == op;
        return n;
    }
};

// A frame's beams as its live scans show them: every beam at its reference level (with a little
// deterministic noise), dead and weak elements, and a finger that blocks every beam leaving a
// range of emitters or reaching a range of receivers. Bytes without a beam read 0.
class BeamScene {
public:
    static constexpr uint8_t kReference = 200;
    static constexpr uint8_t kDead = 3;
    static constexpr uint8_t kWeak = 45;
    static constexpr uint8_t kBlocked = 12;

    explicit BeamScene(FrameLayout layout)
        : layout_(std::move(layout)),
          caps_{std::vector<uint8_t>(layout_.nX, 255), std::vector<uint8_t>(layout_.nX, 255),
                std::vector<uint8_t>(layout_.nY, 255), std::vector<uint8_t>(layout_.nY, 255)}
    {
    }

    const FrameLayout& layout() const { return layout_; }

    void killEmitter(char axis, int p) { cap(axis, 'e', p, kDead); }
    void killReceiver(char axis, int p) { cap(axis, 'r', p, kDead); }
    void weakenEmitter(char axis, int p) { cap(axis, 'e', p, kWeak); }
    // Every element of positions first…last dark, on both sides.
    void darkenRange(char axis, int first, int last)
    {
        for (int p = first; p <= last; ++p) {
            killEmitter(axis, p);
            killReceiver(axis, p);
        }
    }

    // A finger over `width` positions from `p` on the emitter ('e') or receiver ('r') edge.
    void placeFinger(char axis, char edge, int p, int width = 2) { finger_ = Finger{axis, edge, p, width, true}; }
    void liftFinger() { finger_.down = false; }

    // A finger two positions wide slid along the emitter edge, then the receiver edge, of X and
    // of Y, `scan` after every step while `going`; then lifted, and one scan more while `going`,
    // which shows the last elements clear again.
    template <typename Scan, typename Going>
    void sweep(Scan scan, Going going)
    {
        for (const char axis : {'X', 'Y'})
            for (const char edge : {'e', 'r'})
                for (int p = 0; p < (axis == 'X' ? layout_.nX : layout_.nY) && going(); ++p) {
                    placeFinger(axis, edge, p);
                    scan();
                }
        liftFinger();
        if (going())
            scan();
    }

    // The A bytes of a live scan, as a store plane holds them.
    std::vector<uint8_t> levels()
    {
        std::vector<uint8_t> out;
        out.reserve(layout_.sampleBlockLength());
        appendAxis(out, 'X', layout_.nX, layout_.xOffsets);
        appendAxis(out, 'Y', layout_.nY, layout_.yOffsets);
        return out;
    }

    std::vector<uint8_t> liveScan()
    {
        const SignalFrameBuilder builder(layout_);
        const std::vector<uint8_t> boundary(layout_.boundaryBlockLength(), 0);
        return builder.liveScan(levels(), boundary);
    }

private:
    struct Finger {
        char axis = 'X';
        char edge = 'e';
        int first = 0;
        int width = 0;
        bool down = false;
    };

    std::vector<uint8_t>& caps(char axis, char side) { return caps_[(axis == 'X' ? 0 : 2) + (side == 'e' ? 0 : 1)]; }
    void cap(char axis, char side, int p, uint8_t level) { caps(axis, side).at(size_t(p)) = level; }

    bool fingerBlocks(char axis, char edge, int p) const
    {
        return finger_.down && finger_.axis == axis && finger_.edge == edge && p >= finger_.first
            && p < finger_.first + finger_.width;
    }

    uint8_t noisy()
    {
        seed_ = seed_ * 1103515245u + 12345u;
        return uint8_t(kReference - 2 + int((seed_ >> 16) % 5));
    }

    void appendAxis(std::vector<uint8_t>& out, char axis, int n, const std::vector<int16_t>& offsets)
    {
        const std::vector<uint8_t>& emitters = caps(axis, 'e');
        const std::vector<uint8_t>& receivers = caps(axis, 'r');
        for (int16_t o : offsets)
            for (int k = 0; k < n; ++k) {
                const int e = k + o, r = k;
                if (e < 0 || e >= n) {
                    out.push_back(0);
                    continue;
                }
                uint8_t level = std::min({noisy(), emitters[size_t(e)], receivers[size_t(r)]});
                if (fingerBlocks(axis, 'e', e) || fingerBlocks(axis, 'r', r))
                    level = std::min(level, kBlocked);
                out.push_back(level);
            }
    }

    FrameLayout layout_;
    // Highest level of the beams of each element: X emitters, X receivers, Y emitters, Y receivers.
    std::array<std::vector<uint8_t>, 4> caps_;
    Finger finger_;
    uint32_t seed_ = 12345;
};

}  // namespace oculant::test
