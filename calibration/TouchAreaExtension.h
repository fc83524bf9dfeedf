#pragma once
// The touch-area extension: stretches the map so that touches up to the given number of
// millimetres beyond each edge of the frame still land on the screen's edge.

#include "calibration/CalibrationCoefficients.h"

namespace oculant {

struct ExtensionMm {
    int left = 0;
    int right = 0;
    int up = 0;
    int down = 0;
};

// Positions 5.96 mm apart across the frame. Returns false, changing nothing, when a position
// count is not positive or the result would not be finite.
bool ApplyExtension(CalibrationCoefficients& k, const ExtensionMm& mm, int positionsX, int positionsY);

}  // namespace oculant
