#pragma once
// Where the capture screen draws: targets on the picture and the tip of the progress sector.

#include <cstddef>

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

}  // namespace oculant
