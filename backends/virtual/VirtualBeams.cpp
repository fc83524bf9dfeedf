#include "backends/virtual/VirtualBeams.h"

#include <algorithm>
#include <cmath>

#include "backends/virtual/VirtualRandom.h"

namespace oculant {

namespace {

using namespace virtualrandom;

// Distance from point p to the segment a-b.
double segmentDistance(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// A beam is about 4 mm wide: a finger edge inside it blocks part of the light.
constexpr double kBeamHalfWidthMm = 2.0;
// Even a fully covered receiver sees a little stray light.
constexpr double kBlockedFloor = 0.05;

uint32_t elementIndex(char axis, bool emitterSide, int position)
{
    return (uint32_t(position) << 2) | (axis == 'Y' ? 2u : 0u) | (emitterSide ? 1u : 0u);
}

}  // namespace

VirtualBeams::VirtualBeams(const VirtualFrameProfile& p)
    : nX_(p.xPositions()), nY_(p.yPositions()), xOffsets_(p.xOffsets), yOffsets_(p.yOffsets),
      reference_(p.referenceLevel), noise_(p.noise), weakLevel_(p.weakLevel), ambient_(p.ambient),
      intermittentDuty_(p.intermittentDuty), seed_(p.seed), xEmitters_(size_t(nX_)), xReceivers_(size_t(nX_)),
      yEmitters_(size_t(nY_)), yReceivers_(size_t(nY_))
{
    auto sideOf = [&](char axis, bool emitter) -> std::vector<Element>& {
        return axis == 'X' ? (emitter ? xEmitters_ : xReceivers_) : (emitter ? yEmitters_ : yReceivers_);
    };
    // Spread and drift: fixed per element, from the seed. Without spread every gain is exactly 1.
    const double spread = p.levelSpreadPercent / 100.0;
    for (const char axis : {'X', 'Y'})
        for (const bool emitter : {true, false}) {
            std::vector<Element>& side = sideOf(axis, emitter);
            for (size_t i = 0; i < side.size(); ++i) {
                const uint32_t index = elementIndex(axis, emitter, int(i));
                if (spread > 0)
                    side[i].gain = std::sqrt(1.0 + spread * (2 * unit(seed_, kGainStream, index) - 1));
                if (p.driftPerMinute > 0)
                    side[i].drift = p.driftPerMinute * (2 * unit(seed_, kDriftStream, index) - 1);
            }
        }
    auto mark = [&](const std::vector<VirtualFrameProfile::Element>& list, bool emitter, Health h) {
        for (const auto& e : list) {
            auto& v = sideOf(e.axis, emitter);
            if (e.index >= 0 && size_t(e.index) < v.size())
                v[size_t(e.index)].health = std::max(v[size_t(e.index)].health, h);
        }
    };
    mark(p.intermittentEmitters, true, kIntermittent);
    mark(p.intermittentReceivers, false, kIntermittent);
    mark(p.weakEmitters, true, kWeak);
    mark(p.weakReceivers, false, kWeak);
    mark(p.deadEmitters, true, kDead);
    mark(p.deadReceivers, false, kDead);
    // A dark board: every element of it dead, on the emitter and on the receiver side.
    for (const auto& b : p.darkBoards) {
        const std::vector<int>& boards = b.axis == 'X' ? p.xBoards : p.yBoards;
        if (b.index < 1 || size_t(b.index) > boards.size())
            continue;
        int first = 0;
        for (int i = 0; i < b.index - 1; ++i)
            first += boards[size_t(i)];
        for (int pos = first; pos < first + boards[size_t(b.index - 1)]; ++pos) {
            sideOf(b.axis, true)[size_t(pos)].health = kDead;
            sideOf(b.axis, false)[size_t(pos)].health = kDead;
        }
    }
}

const VirtualBeams::Element& VirtualBeams::element(char axis, bool emitterSide, int position) const
{
    static const Element kMissing{kDead};
    const auto& v = axis == 'X' ? (emitterSide ? xEmitters_ : xReceivers_) : (emitterSide ? yEmitters_ : yReceivers_);
    return position >= 0 && size_t(position) < v.size() ? v[size_t(position)] : kMissing;
}

bool VirtualBeams::darkInScan(char axis, bool emitterSide, int position, uint32_t scan) const
{
    return element(axis, emitterSide, position).health == kIntermittent &&
           unit(seed_ ^ scan * 0x27D4EB2Fu, kIntermittentStream, elementIndex(axis, emitterSide, position)) <
               intermittentDuty_;
}

double VirtualBeams::clearLevel(char axis, int emitter, int receiver, const BeamScan& scan) const
{
    const Element& e = element(axis, true, emitter);
    const Element& r = element(axis, false, receiver);
    if (scan.faultsOn) {
        const Health h = std::max(e.health, r.health);
        if (h == kDead || (scan.live && (darkInScan(axis, true, emitter, scan.scan) ||
                                         darkInScan(axis, false, receiver, scan.scan))))
            return 1;
        if (h == kWeak)
            return std::min(weakLevel_, reference_);
    }
    const double drift = (e.drift + r.drift) / 2 * scan.minutesOn;
    return std::max(0.0, reference_ * e.gain * r.gain + drift);
}

double VirtualBeams::transmission(char axis, int layer, int receiver, const std::vector<VirtualFinger>& fingers) const
{
    const int offset = axis == 'X' ? xOffsets_[size_t(layer)] : yOffsets_[size_t(layer)];
    const double e = (receiver + offset + 0.5) * kPitchMm;
    const double r = (receiver + 0.5) * kPitchMm;
    double through = 1.0;
    for (const VirtualFinger& f : fingers) {
        if (f.lifting)
            continue;
        const double d = axis == 'X' ? segmentDistance(f.xMm, f.yMm, e, 0, r, heightMm())
                                     : segmentDistance(f.xMm, f.yMm, 0, e, widthMm(), r);
        const double covered = std::clamp((f.radiusMm + kBeamHalfWidthMm - d) / (2 * kBeamHalfWidthMm), 0.0, 1.0);
        through *= 1.0 - covered;
    }
    return kBlockedFloor + (1.0 - kBlockedFloor) * through;
}

std::vector<uint8_t> VirtualBeams::levels(const std::vector<VirtualFinger>& fingers, const BeamScan& scan) const
{
    std::vector<uint8_t> out;
    out.reserve(xOffsets_.size() * size_t(nX_) + yOffsets_.size() * size_t(nY_));
    // Seed 1 gives the noise every profile had before the seed existed.
    const uint32_t noiseSeed = scan.scan + (seed_ - 1) * 0x632BE5ABu;
    uint32_t sample = 0;
    auto axisRows = [&](char axis, const std::vector<int>& offsets, int n) {
        for (size_t layer = 0; layer < offsets.size(); ++layer) {
            for (int r = 0; r < n; ++r, ++sample) {
                const int emitter = r + offsets[layer];
                if (emitter < 0 || emitter >= n) {
                    out.push_back(0);
                    continue;
                }
                double level = clearLevel(axis, emitter, r, scan) * transmission(axis, int(layer), r, fingers) + ambient_;
                if (scan.live && noise_ > 0)
                    level += int(mix(noiseSeed * 0x9E3779B9u + sample) % uint32_t(2 * noise_ + 1)) - noise_;
                out.push_back(uint8_t(std::clamp(std::lround(level), 0L, 255L)));
            }
        }
    };
    axisRows('X', xOffsets_, nX_);
    axisRows('Y', yOffsets_, nY_);
    return out;
}

}  // namespace oculant
