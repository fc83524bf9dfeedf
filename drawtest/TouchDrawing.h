#pragma once
// What one touch report (or a clear) puts on the draw-test canvas, as plain shapes in pixels.
// The window paints them in order; the core decides them.

#include <string>
#include <vector>

#include "drawtest/TouchGeometry.h"

namespace oculant {

struct DrawOp {
    enum class Kind {
        Fill,    // the whole client area white (clear, resize, show)
        Border,  // red outline of pen width 1 from (0, 0) to (0, H), (W, H), (W, 0)
        Dot,     // ellipse over `box` filled with `colour`; black outline of width 1 when `outlined`
        Line,    // `from` to `to` in `colour`, `penWidth` pixels wide
        Erase,   // white over `box`: an ellipse with white outline, or the whole box when !`ellipse`
    };
    Kind kind = Kind::Fill;
    PixelBox box;
    PixelPoint from, to;
    InkColour colour;
    int penWidth = 1;
    bool outlined = false;
    bool ellipse = true;

    bool operator==(const DrawOp&) const = default;
};

struct TouchDrawing {
    ClientSize client;
    // The smoothing path: the same shapes drawn with antialiasing.
    bool antialiased = false;
    std::vector<DrawOp> ops;
    // The window caption after this report; empty for a clear, which leaves it as it is.
    std::string caption;
};

}  // namespace oculant
