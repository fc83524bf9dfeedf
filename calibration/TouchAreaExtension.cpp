#include "calibration/TouchAreaExtension.h"

namespace oculant {

bool ApplyExtension(CalibrationCoefficients& k, const ExtensionMm& mm, int positionsX, int positionsY)
{
    if (positionsX <= 0 || positionsY <= 0)
        return false;
    // Float steps as the frame's firmware expects them; the pitch here is 5.96 mm.
    const auto widthMm = static_cast<float>(positionsX * 5.96);
    const auto heightMm = static_cast<float>(positionsY * 5.96);
    const float sx = (static_cast<float>(mm.left + mm.right) + widthMm) / widthMm;
    const float tx = static_cast<float>(mm.left) / widthMm * 32767;
    const float sy = (static_cast<float>(mm.down + mm.up) + heightMm) / heightMm;
    const float ty = static_cast<float>(mm.up) / heightMm * 32767;

    CalibrationCoefficients r = k;
    r.k[0] *= sx;
    r.k[1] *= sx;
    r.k[2] = (r.k[2] - tx) * sx;
    r.k[3] *= sy;
    r.k[4] *= sy;
    r.k[5] = (r.k[5] - ty) * sy;
    if (!r.allFinite())
        return false;
    k = r;
    return true;
}

}  // namespace oculant
