#include "backends/virtual/VirtualSweep.h"

namespace oculant {

VirtualSweep::VirtualSweep(double widthMm, double heightMm, double speedMmPerS, unsigned edges)
    : width_(widthMm), height_(heightMm), speed_(speedMmPerS > 0 ? speedMmPerS : kDefaultSpeedMmPerS),
      edges_(edges & kAllEdges)
{
}

double VirtualSweep::durationSeconds() const
{
    double seconds = 0;
    for (int e = 0; e < 4; ++e)
        if (edges_ & (1u << e))
            seconds += ((e < 2 ? width_ : height_) + 2 * kOvershootMm) / speed_ + kLiftSeconds;
    return seconds;
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
    for (int i = 0; i < 4; ++i) {
        if (!(edges_ & (1u << i)))
            continue;
        const Edge& e = edges[i];
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
