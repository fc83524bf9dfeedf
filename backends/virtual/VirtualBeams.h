#pragma once
// The physics of the virtual frame: beams between emitters and receivers on opposite edges,
// attenuated by the fingers they pass, with element faults and a little noise.
//
// Geometry (millimetres, origin at the corner where both axes start, x and y growing as the
// frame's logical coordinates do): positions are 5.96 mm apart, position p sits at
// (p + 0.5) x 5.96 along its edge. An X beam of a layer with offset o runs from emitter e on the
// edge y = 0 to receiver r = e - o on the edge y = height; a Y beam from emitter e on the edge
// x = 0 to receiver r = e - o on the edge x = width. The sample at position r of a layer is the beam that ends at receiver
// r, which exists when its emitter r + o lies on the axis.

#include <cstdint>
#include <vector>

#include "backends/virtual/VirtualFrameProfile.h"

namespace oculant {

struct VirtualFinger {
    int id = 0;
    double xMm = 0;
    double yMm = 0;
    double radiusMm = 4.0;
    bool lifting = false;  // off the glass; reported once more with its release, then gone
};

class VirtualBeams {
public:
    static constexpr double kPitchMm = 5.96;
    static constexpr int kWeakLevel = 45;  // a weak element's beams settle here instead

    explicit VirtualBeams(const VirtualFrameProfile& profile);

    double widthMm() const { return nX_ * kPitchMm; }
    double heightMm() const { return nY_ * kPitchMm; }
    int nX() const { return nX_; }
    int nY() const { return nY_; }

    // The levels of every layer as a store plane: X layer rows (nX bytes), then Y layer rows.
    // Positions without a beam read 0. `noiseSeed` varies the noise from scan to scan; with
    // withNoise false the levels are the exact expectation (used for reference frames and tests).
    std::vector<uint8_t> levels(const std::vector<VirtualFinger>& fingers, bool withNoise, uint32_t noiseSeed) const;

    // How much of a beam gets through the fingers: 1 clear, near 0 blocked.
    double transmission(char axis, int layer, int receiver, const std::vector<VirtualFinger>& fingers) const;
    // The clear-beam level of a beam, after element faults: reference, weak or dead.
    int healthyLevel(char axis, int emitter, int receiver) const;

private:
    enum Health : uint8_t { kGood, kWeak, kDead };
    Health health(char axis, bool emitterSide, int position) const;

    int nX_, nY_;
    std::vector<int> xOffsets_, yOffsets_;
    int reference_, noise_;
    std::vector<Health> xEmitters_, xReceivers_, yEmitters_, yReceivers_;
};

}  // namespace oculant
