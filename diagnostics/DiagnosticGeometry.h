#pragma once
// Where each board of the diagnostic picture goes, in pixels: the boards lie along the edges of
// a W × H picture 50 pixels in, X along the bottom (emitters) and top (receivers) with position
// 0 at the left, Y along the right (emitters) and left (receivers) with position 0 at the
// bottom. Integer arithmetic throughout; divisions truncate.

#include <string>
#include <vector>

#include "diagnostics/BoardModel.h"
#include "diagnostics/DiagnosticCanvas.h"

namespace oculant {

// Margin between the picture's edge and the first and last position along an axis.
inline constexpr int kAxisMargin = 50;

// The colour of verdicts 0 to 3: white, yellow, red, green; `fallback` for any other code.
Rgb verdictColour(int32_t status, Rgb fallback = kWhite);

// Pixel along an axis of `extent` pixels (W for X, H for Y) for position p of `total`.
// A total of 1 (or less) has no spacing: its one position maps to the first margin.
int axisPixel(int p, int total, int extent);

// Both ends of a board along its axis. A board's positions span axisPixel(first) to
// axisPixel(last); a lone position on an axis (total 1) spans the whole edge; a board without
// elements is a mark of no width at its first position (kept on the axis).
struct AxisSpan {
    int a = 0, b = 0;
    bool operator==(const AxisSpan&) const = default;
};
AxisSpan boardSpan(const PCB_INFO& board, int total, int extent);

struct TextItem {
    std::string text;
    int x = 0, y = 0;
    bool vertical = false;
    bool operator==(const TextItem&) const = default;
};

// The board's frame (outline corners) and its label ("EmitX1", "RevY2", …).
struct BoardFrame {
    CanvasRect rect;
    TextItem label;
};
BoardFrame boardFrame(const PCB_INFO& board, int width, int height, int xTotal, int yTotal);

// The coloured runs of equal element status inside the frame, element 0 at the left (X) or at
// the bottom (Y); fills exclude their right and bottom edges.
struct ElementRun {
    int firstElement = 0;
    int endElement = 0;  // one past the last
    Rgb colour;
    CanvasRect rect;
};
std::vector<ElementRun> elementRuns(const PCB_INFO& board);

// Share of the board's elements at OK, in percent; 0 for a board without elements.
double okPercentValue(const PCB_INFO& board);
// Elements at OK, in percent with one decimal and a percent sign (87.5%), at its place inside
// the frame; empty text for a board without elements.
TextItem okPercent(const PCB_INFO& board);

// The status dot: 10 pixels across, 10 pixels outside the frame towards the picture's centre.
CanvasRect boardDot(const PCB_INFO& board);

// Pointing at the picture, the inverse of the layout above: which bar a point of the W × H
// picture lies on and where along the axes. A point within kBarBand pixels of an edge is on that
// edge's bar (the nearer edge in a corner), elsewhere on none. Over a board's frame the position
// is the element drawn there (element j's run gives first + j at its middle); elsewhere it
// follows axisPixel. Positions are fractional, within 0 … total − 1. The model's frames must
// be laid out for this size.
inline constexpr int kBarBand = 80;
enum class PictureEdge { None, XEmitters, XReceivers, YEmitters, YReceivers };
struct PictureSpot {
    PictureEdge edge = PictureEdge::None;
    double xPosition = 0;  // along X, from the left
    double yPosition = 0;  // along Y, from the bottom
};
PictureSpot pictureSpot(const BoardModel& model, double px, double py, int width, int height);

}  // namespace oculant
