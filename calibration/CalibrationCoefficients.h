#pragma once
// The affine map from frame coordinates to screen logical units:
// X = K0·x + K1·y + K2, Y = K3·x + K4·y + K5.

#include <array>
#include <cmath>

namespace oculant {

struct CalibrationCoefficients {
    std::array<float, 6> k{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f};

    static CalibrationCoefficients identity() { return {}; }
    bool allFinite() const
    {
        for (float v : k)
            if (!std::isfinite(v))
                return false;
        return true;
    }
    bool operator==(const CalibrationCoefficients&) const = default;
};

}  // namespace oculant
