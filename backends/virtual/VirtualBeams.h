#pragma once
// The physics of the virtual frame: beams between emitters and receivers on opposite edges,
// attenuated by the fingers they pass, with element faults and a little noise. A beam's clear
// level is the reference level times its emitter's strength and its receiver's gain (each the
// square root of a factor within the profile's spread, so a beam stays within it), plus each
// element's drift; ambient light adds to every sample.
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

// What one scan looks like beyond the fingers.
struct BeamScan {
    // With noise: a live scan, with its noise and the intermittent elements dark in some scans.
    // Without: the exact expectation (the reference frames the frame sends, and tests).
    bool live = false;
    uint32_t scan = 0;      // varies the noise and the intermittent faults from scan to scan
    bool faultsOn = true;   // the profile's element faults have begun
    double minutesOn = 0;   // since power-on, for the drift
};

class VirtualBeams {
public:
    static constexpr double kPitchMm = 5.96;
    static constexpr int kWeakLevel = 45;  // the default level a weak element's beams settle at

    explicit VirtualBeams(const VirtualFrameProfile& profile);

    double widthMm() const { return nX_ * kPitchMm; }
    double heightMm() const { return nY_ * kPitchMm; }
    int nX() const { return nX_; }
    int nY() const { return nY_; }

    // The levels of every layer as a store plane: X layer rows (nX bytes), then Y layer rows.
    // Positions without a beam read 0. `noiseSeed` varies the noise from scan to scan; with
    // withNoise false the levels are the exact expectation (used for reference frames and tests).
    // Faults are on and nothing has drifted yet, unless the BeamScan says otherwise.
    std::vector<uint8_t> levels(const std::vector<VirtualFinger>& fingers, bool withNoise, uint32_t noiseSeed) const
    {
        return levels(fingers, BeamScan{withNoise, noiseSeed});
    }
    std::vector<uint8_t> levels(const std::vector<VirtualFinger>& fingers, const BeamScan& scan) const;

    // How much of a beam gets through the fingers: 1 clear, near 0 blocked.
    double transmission(char axis, int layer, int receiver, const std::vector<VirtualFinger>& fingers) const;
    // The clear-beam level of a beam in that scan: spread and drift, then element faults (weak
    // or dead, an intermittent element dark in this scan), before fingers and ambient light.
    double clearLevel(char axis, int emitter, int receiver, const BeamScan& scan) const;

private:
    enum Health : uint8_t { kGood, kIntermittent, kWeak, kDead };
    // Per element of one side of one axis.
    struct Element {
        Health health = kGood;
        double gain = 1.0;   // emitter strength or receiver gain
        double drift = 0.0;  // its share of the drift, levels per minute
    };
    const Element& element(char axis, bool emitterSide, int position) const;
    bool darkInScan(char axis, bool emitterSide, int position, uint32_t scan) const;

    int nX_, nY_;
    std::vector<int> xOffsets_, yOffsets_;
    int reference_, noise_, weakLevel_, ambient_;
    double intermittentDuty_;
    uint32_t seed_;
    std::vector<Element> xEmitters_, xReceivers_, yEmitters_, yReceivers_;
};

}  // namespace oculant
