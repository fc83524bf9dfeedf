#pragma once
// The diagnostic picture: a schematic of every board along the edges, coloured element by
// element by verdict, with a status dot and OK percentage per board, the legend in the middle,
// the fault list and, once known, a huge PASS or FAIL.
//
// The legend and the board frames are painted only when the picture is laid out (the surface
// size differs from the image's: after every model rebuild and every resize); the bars, dots,
// percentages, fault list and verdict word are painted over them on every Redraw.

#include "diagnostics/BoardModel.h"
#include "diagnostics/DiagnosticCanvas.h"
#include "diagnostics/DiagnosticText.h"

namespace oculant {

// Below this size the picture is left as it is.
inline constexpr int kMinPictureWidth = 800;
inline constexpr int kMinPictureHeight = 480;

enum class RedrawOutcome {
    Skipped,   // window smaller than 800 × 480, or an axis without elements: image unchanged
    Painted,   // board contents, fault list and verdict painted over the existing layout
    LaidOut,   // the surface was resized and everything painted from white
};

// Owned by the diagnostic session with the model it draws.
class DiagnosticPicture {
public:
    // The model was rebuilt: the surface becomes 0 × 0, so the next Redraw lays out again.
    void invalidate() { width_ = height_ = 0; }

    // Paints the picture for an image of width × height. Stores each board's frame rectangle
    // in the model at a layout.
    RedrawOutcome Redraw(DiagnosticCanvas& canvas, BoardModel& model, int width, int height, const TextLookup& lookup);

    int surfaceWidth() const { return width_; }
    int surfaceHeight() const { return height_; }

private:
    int width_ = 0;
    int height_ = 0;
};

// ---- The steps of Redraw; W × H is the surface, (cx, cy) = (W/2, H/2) ----
void DrawLegend(DiagnosticCanvas& canvas, int width, int height, const TextLookup& lookup);
// Sets left/right/top/bottom of every board of the list, outlines it and draws its label.
void DrawBoardFrames(DiagnosticCanvas& canvas, std::vector<PCB_INFO>& boards, int width, int height, int xTotal,
                     int yTotal);
void DrawElementBar(DiagnosticCanvas& canvas, const PCB_INFO& board);
void DrawBoardDot(DiagnosticCanvas& canvas, const PCB_INFO& board);
void DrawFaultList(DiagnosticCanvas& canvas, const BoardModel& model, int width, int height, const TextLookup& lookup);

}  // namespace oculant
