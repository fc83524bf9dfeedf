#pragma once
// The display direction (landscape, portrait and their flipped forms) turns the targets before
// the fit, so that the frame's coordinates map onto the rotated picture.

#include "calibration/CalibrationData.h"

namespace oculant {

enum class DisplayDirection : int {
    Landscape = 0,
    Portrait = 1,
    LandscapeFlipped = 2,
    PortraitFlipped = 3,
};

// Any other index (e.g. no selection) is taken as landscape.
DisplayDirection displayDirectionFromIndex(int index);

// Works on either logical space (screen targets, frame rectangles' corners).
template <class Point>
Point applyDisplayDirection(Point p, DisplayDirection direction)
{
    switch (direction) {
    case DisplayDirection::Portrait:
        return {32768 - p.y, p.x};
    case DisplayDirection::LandscapeFlipped:
        return {32768 - p.x, 32768 - p.y};
    case DisplayDirection::PortraitFlipped:
        return {p.y, 32768 - p.x};
    case DisplayDirection::Landscape:
        break;
    }
    return p;
}

// Rewrites the target of every used point.
void TransformTargets(CalibrationData& data, DisplayDirection direction);

}  // namespace oculant
