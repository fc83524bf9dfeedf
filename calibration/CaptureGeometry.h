#pragma once
// Where the capture screen draws: targets on the picture and the tip of the progress sector.

#include <cstddef>
#include <vector>

#include "calibration/CalibrationResiduals.h"
#include "calibration/Coordinates.h"

namespace oculant {

// A target's position on a picture of the given size.
inline ScreenPixel targetOnPicture(ScreenLogical target, ScreenSize picture)
{
    return toPixels(target, picture);
}

// The end of the progress radius, 30 pixels from the target's centre: at twelve o'clock for
// progress 0, turning clockwise a full circle over 0..100.
ScreenPixel progressRadialEnd(ScreenPixel centre, int progress);

// Where the instruction text starts: centred roughly by 3 pixels per character.
ScreenPixel infoTextOrigin(const CalibrationWindow& window, size_t characters);

// The top of a band `height` pixels high, at or below `top` and above `bottom`, that no target
// within `clearance` of the columns left … right comes nearer than `clearance` to: the first
// such band from the top, so that text never covers a target; where none fits, the top of the
// widest gap between them.
int clearBandTop(const std::vector<ScreenPixel>& targets, int left, int right, int top, int bottom, int height,
                 int clearance);

// The result of a fit (or a verify pass) on the picture: an arrow per target from where it was
// shown towards where its touch landed, all scaled alike so that the longest is `longest`
// pixels (a residual of a pixel or two would not be seen unscaled), the largest error marked.
struct ResidualArrow {
    ScreenPixel from;
    ScreenPixel to;
    bool largest = false;
};
struct ResidualPicture {
    std::vector<ResidualArrow> arrows;
    double scale = 1;  // picture pixels per screen pixel of residual
};
ResidualPicture residualArrows(const FitResiduals& residuals, ScreenSize screen, ScreenSize picture, int longest);

}  // namespace oculant
