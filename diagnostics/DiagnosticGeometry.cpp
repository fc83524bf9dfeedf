#include "diagnostics/DiagnosticGeometry.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

namespace oculant {

namespace {

// Frames lie 35 to 50 pixels in from the picture's edge; labels outside them.
constexpr int kFrameInner = 50;
constexpr int kFrameOuter = 35;
constexpr int kLabelOuter = 30;  // emitter labels: this far in from the far edge
constexpr int kLabelNear = 15;   // receiver labels: this far from the near edge
constexpr int kLabelHalfLength = 15;
constexpr int kDotDistance = 10;
constexpr int kDotRadius = 5;

}  // namespace

Rgb verdictColour(int32_t status, Rgb fallback)
{
    switch (status) {
    case kNotTested: return kWhite;
    case kPending: return kYellow;
    case kFault: return kRed;
    case kOk: return kGreen;
    default: return fallback;
    }
}

int axisPixel(int p, int total, int extent)
{
    if (total <= 1)
        return kAxisMargin;
    return (extent - 2 * kAxisMargin) * p / (total - 1) + kAxisMargin;
}

AxisSpan boardSpan(const PCB_INFO& board, int total, int extent)
{
    if (board.count == 0) {
        const int a = axisPixel(std::min<int>(board.first, std::max(total - 1, 0)), total, extent);
        return {a, a};
    }
    if (total <= 1)
        return {kAxisMargin, extent - kAxisMargin};
    return {axisPixel(board.first, total, extent), axisPixel(board.last, total, extent)};
}

BoardFrame boardFrame(const PCB_INFO& board, int width, int height, int xTotal, int yTotal)
{
    BoardFrame f;
    const bool emitter = board.isEmitter();
    f.label.text = std::string(emitter ? "Emit" : "Rev") + (board.onX() ? "X" : "Y") + std::to_string(board.index + 1);
    if (board.onX()) {
        const AxisSpan s = boardSpan(board, xTotal, width);
        f.rect.left = s.a;
        f.rect.right = s.b;
        f.rect.top = emitter ? height - kFrameInner : kFrameOuter;
        f.rect.bottom = emitter ? height - kFrameOuter : kFrameInner;
        f.label.x = (s.a + s.b) / 2 - kLabelHalfLength;
        f.label.y = emitter ? height - kLabelOuter : kLabelNear;
    } else {
        const AxisSpan s = boardSpan(board, yTotal, height);
        f.rect.top = height - s.b;
        f.rect.bottom = height - s.a;
        f.rect.left = emitter ? width - kFrameInner : kFrameOuter;
        f.rect.right = emitter ? width - kFrameOuter : kFrameInner;
        f.label.x = emitter ? width - kLabelOuter : kLabelNear;
        f.label.y = (f.rect.top + f.rect.bottom) / 2 + kLabelHalfLength;
        f.label.vertical = true;
    }
    return f;
}

std::vector<ElementRun> elementRuns(const PCB_INFO& board)
{
    std::vector<ElementRun> runs;
    const int c = board.count;
    const int l = board.left + 1, r = board.right, t = board.top + 1, b = board.bottom;
    Rgb colour = kWhite;
    for (int s = 0; s < c;) {
        int e = s + 1;
        while (e < c && board.leds[size_t(e)].status == board.leds[size_t(s)].status)
            ++e;
        colour = verdictColour(board.leds[size_t(s)].status, colour);
        ElementRun run{s, e, colour, {}};
        if (board.onX())
            run.rect = {(r - l) * s / c + l, t, (r - l) * e / c + l, b};
        else
            run.rect = {l, b - (b - t) * e / c, r, b - (b - t) * s / c};
        runs.push_back(run);
        s = e;
    }
    return runs;
}

double okPercentValue(const PCB_INFO& board)
{
    if (board.count == 0)
        return 0;
    const auto ok = std::count_if(board.leds.begin(), board.leds.end(), [](const LED_STA& e) { return e.status == kOk; });
    return double(ok) * 100.0 / board.count;
}

TextItem okPercent(const PCB_INFO& board)
{
    TextItem item;
    if (board.count == 0)
        return item;
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%", okPercentValue(board));
    item.text = text;
    const int l = board.left + 1, r = board.right, t = board.top + 1, b = board.bottom;
    if (board.onX()) {
        item.x = (l + r) / 2 - kLabelHalfLength;
        item.y = t + 1;
    } else {
        item.x = l;
        item.y = (t + b) / 2 + kLabelHalfLength;
        item.vertical = true;
    }
    return item;
}

CanvasRect boardDot(const PCB_INFO& board)
{
    int x, y;
    if (board.onX()) {
        x = (board.left + board.right) / 2;
        y = board.isEmitter() ? board.top - kDotDistance : board.bottom + kDotDistance;
    } else {
        y = (board.top + board.bottom) / 2;
        x = board.isEmitter() ? board.left - kDotDistance : board.right + kDotDistance;
    }
    return {x - kDotRadius, y - kDotRadius, x + kDotRadius, y + kDotRadius};
}

namespace {

// The position axisPixel puts at pixel v, clamped to the axis.
double axisPosition(double v, int total, int extent)
{
    if (total <= 1 || extent <= 2 * kAxisMargin)
        return 0;
    return std::clamp((v - kAxisMargin) * (total - 1) / (extent - 2 * kAxisMargin), 0.0, double(total - 1));
}

// Over one of the boards of this axis and side (v along the axis, in picture pixels): the
// position of the element drawn there, as elementRuns draws it.
std::optional<double> boardPosition(const std::vector<PCB_INFO>& boards, uint8_t axis, double v)
{
    for (const PCB_INFO& b : boards) {
        if (b.axis != axis || b.count == 0)
            continue;
        // The inner box of the frame, along the axis; Y runs upwards from its bottom.
        const double lo = axis == kAxisX ? b.left + 1 : b.top + 1;
        const double hi = axis == kAxisX ? b.right : b.bottom;
        if (v < lo || v > hi || hi <= lo)
            continue;
        const double t = axis == kAxisX ? v - lo : hi - v;
        const double element = t * b.count / (hi - lo) - 0.5;
        return b.first + std::clamp(element, 0.0, double(b.count - 1));
    }
    return std::nullopt;
}

}  // namespace

PictureSpot pictureSpot(const BoardModel& model, double px, double py, int width, int height)
{
    PictureSpot spot;
    // Distance to each edge, and the bar along it: X receivers at the top, X emitters at the
    // bottom, Y receivers at the left, Y emitters at the right.
    const std::pair<double, PictureEdge> edges[] = {{py, PictureEdge::XReceivers},
                                                    {height - py, PictureEdge::XEmitters},
                                                    {px, PictureEdge::YReceivers},
                                                    {width - px, PictureEdge::YEmitters}};
    double nearest = kBarBand;
    for (const auto& [distance, edge] : edges)
        if (distance < nearest) {
            nearest = distance;
            spot.edge = edge;
        }
    const bool emitters = spot.edge == PictureEdge::XEmitters || spot.edge == PictureEdge::YEmitters;
    const std::vector<PCB_INFO>& side = emitters ? model.emitters : model.receivers;
    spot.xPosition = boardPosition(side, kAxisX, px).value_or(axisPosition(px, model.xTotal, width));
    spot.yPosition = boardPosition(side, kAxisY, py).value_or(axisPosition(height - py, model.yTotal, height));
    return spot;
}

}  // namespace oculant
