#pragma once
// What the fitted map says about how the frame sits on the display: a touch axis that runs
// backwards, X and Y swapped, or the frame turned by a quarter, a half or three quarters
// against the display direction chosen, and what the technician changes to put it right.

#include <string>

#include "calibration/CalibrationCoefficients.h"
#include "calibration/DisplayDirection.h"

namespace oculant {

// One of the eight ways a frame's axes can lie on the display's: a turn (rotationDeg) or a
// mirror (one of the three flags, swappedXY also with rotationDeg 180 for X and Y swapped and
// both reversed). rotationDeg is the turn that takes display positions to the frame's,
// clockwise on the screen.
struct Orientation {
    bool mirroredX = false;
    bool mirroredY = false;
    bool swappedXY = false;
    int rotationDeg = 0;  // 0, 90, 180 or 270

    bool flagged() const { return mirroredX || mirroredY || swappedXY || rotationDeg != 0; }
    bool operator==(const Orientation&) const = default;
};

// From K0, K1, K3, K4 (the offsets K2, K5 say where, not which way).
Orientation checkOrientation(const CalibrationCoefficients& k);

// The lines that tell what is wrong and what to change, relative to the direction the
// calibration ran with; empty when nothing is flagged.
std::string orientationAdvice(const Orientation& orientation, DisplayDirection chosen, bool chinese);

}  // namespace oculant
