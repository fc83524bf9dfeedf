#pragma once
// A display that sits under the virtual frame scaled, rotated and shifted, for the calibrate
// tests: the profile text that places it, and where a screen position lands on the frame,
// computed here independently of the virtual frame.
#include <cmath>
#include <sstream>
#include <string>
#include <utility>

namespace oculant::misaligned {

constexpr double kScaleX = 0.97, kScaleY = 1.02, kRotationDeg = 0.5, kOffsetX = 300, kOffsetY = -200;

inline std::string profileText()
{
    std::ostringstream s;
    s << "[Geometry]\nNoise=0\n[Screen]\nScaleX=" << kScaleX << "\nScaleY=" << kScaleY
      << "\nRotationDeg=" << kRotationDeg << "\nOffsetX=" << kOffsetX << "\nOffsetY=" << kOffsetY << "\n";
    return s.str();
}

inline std::pair<double, double> screenToFrame(double sx, double sy)
{
    const double t = kRotationDeg * M_PI / 180.0;
    return {kScaleX * (std::cos(t) * sx - std::sin(t) * sy) + kOffsetX,
            kScaleY * (std::sin(t) * sx + std::cos(t) * sy) + kOffsetY};
}

}  // namespace oculant::misaligned
