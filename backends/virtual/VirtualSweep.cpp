#include "backends/virtual/VirtualSweep.h"

namespace oculant {

VirtualSweep::VirtualSweep(double widthMm, double heightMm, double speedMmPerS)
    : width_(widthMm), height_(heightMm), speed_(speedMmPerS > 0 ? speedMmPerS : kDefaultSpeedMmPerS)
{
}

double VirtualSweep::durationSeconds() const
{
    const double path = 2 * (width_ + 2 * kOvershootMm) + 2 * (height_ + 2 * kOvershootMm);
    return path / speed_ + 4 * kLiftSeconds;
}

std::optional<std::pair<double, double>> VirtualSweep::fingerAt(double t) const
{
    if (t < 0)
        return std::nullopt;
    // X emitters (edge y = 0), X receivers (y = height), Y emitters (x = 0), Y receivers (x = width).
    struct Edge {
        bool alongX;
        double fixed;
    };
    const Edge edges[4] = {{true, kInsetMm}, {true, height_ - kInsetMm}, {false, kInsetMm}, {false, width_ - kInsetMm}};
    for (const Edge& e : edges) {
        const double length = (e.alongX ? width_ : height_) + 2 * kOvershootMm;
        const double travel = length / speed_;
        if (t < travel) {
            const double along = t * speed_ - kOvershootMm;
            return e.alongX ? std::pair{along, e.fixed} : std::pair{e.fixed, along};
        }
        t -= travel;
        if (t < kLiftSeconds)
            return std::nullopt;
        t -= kLiftSeconds;
    }
    return std::nullopt;
}

}  // namespace oculant
