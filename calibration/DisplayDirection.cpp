#include "calibration/DisplayDirection.h"

namespace oculant {

DisplayDirection displayDirectionFromIndex(int index)
{
    if (index >= 0 && index <= 3)
        return static_cast<DisplayDirection>(index);
    return DisplayDirection::Landscape;
}

void TransformTargets(CalibrationData& data, DisplayDirection direction)
{
    for (CalibrationPoint& p : data.used())
        p.target = applyDisplayDirection(p.target, direction);
}

}  // namespace oculant
