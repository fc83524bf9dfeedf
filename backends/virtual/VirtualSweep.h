#pragma once
// The scripted sweep of the emitter/receiver test: a finger slid along the emitter edge and the
// receiver edge of both axes, one after the other, at a technician's pace, lifted between edges;
// or only along some of them, as a technician goes back to the boards not yet accepted.

#include <optional>
#include <utility>

namespace oculant {

class VirtualSweep {
public:
    static constexpr double kDefaultSpeedMmPerS = 120.0;
    static constexpr double kInsetMm = 6.0;     // finger centre from the bezel edge
    static constexpr double kOvershootMm = 12.0;  // start and end a little past the corners
    static constexpr double kLiftSeconds = 0.3;   // finger off the glass between edges
    // The edges, in the order the finger takes them (SweepEdge bits of link/FrameTestBench.h).
    static constexpr unsigned kAllEdges = 0xF;

    VirtualSweep(double widthMm, double heightMm, double speedMmPerS = kDefaultSpeedMmPerS,
                 unsigned edges = kAllEdges);

    // Where the finger is `seconds` after the start (millimetres), or nullopt while it is lifted
    // or once the sweep has ended.
    std::optional<std::pair<double, double>> fingerAt(double seconds) const;
    double durationSeconds() const;

private:
    double width_, height_, speed_;
    unsigned edges_;
};

}  // namespace oculant
