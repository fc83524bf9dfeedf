#include "backends/virtual/VirtualBeams.h"

#include <algorithm>
#include <cmath>

namespace oculant {

namespace {

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

uint32_t mix(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

}  // namespace

VirtualBeams::VirtualBeams(const VirtualFrameProfile& p)
    : nX_(p.xPositions()), nY_(p.yPositions()), xOffsets_(p.xOffsets), yOffsets_(p.yOffsets),
      reference_(p.referenceLevel), noise_(p.noise), xEmitters_(size_t(nX_), kGood), xReceivers_(size_t(nX_), kGood),
      yEmitters_(size_t(nY_), kGood), yReceivers_(size_t(nY_), kGood)
{
    auto mark = [&](const std::vector<VirtualFrameProfile::Element>& list, bool emitter, Health h) {
        for (const auto& e : list) {
            auto& v = e.axis == 'X' ? (emitter ? xEmitters_ : xReceivers_) : (emitter ? yEmitters_ : yReceivers_);
            if (e.index >= 0 && size_t(e.index) < v.size())
                v[size_t(e.index)] = std::max(v[size_t(e.index)], h);
        }
    };
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
            (b.axis == 'X' ? xEmitters_ : yEmitters_)[size_t(pos)] = kDead;
            (b.axis == 'X' ? xReceivers_ : yReceivers_)[size_t(pos)] = kDead;
        }
    }
}

VirtualBeams::Health VirtualBeams::health(char axis, bool emitterSide, int position) const
{
    const auto& v = axis == 'X' ? (emitterSide ? xEmitters_ : xReceivers_) : (emitterSide ? yEmitters_ : yReceivers_);
    return position >= 0 && size_t(position) < v.size() ? v[size_t(position)] : kDead;
}

int VirtualBeams::healthyLevel(char axis, int emitter, int receiver) const
{
    const Health h = std::max(health(axis, true, emitter), health(axis, false, receiver));
    return h == kDead ? 1 : h == kWeak ? std::min(kWeakLevel, reference_) : reference_;
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

std::vector<uint8_t> VirtualBeams::levels(const std::vector<VirtualFinger>& fingers, bool withNoise, uint32_t seed) const
{
    std::vector<uint8_t> out;
    out.reserve(xOffsets_.size() * size_t(nX_) + yOffsets_.size() * size_t(nY_));
    uint32_t sample = 0;
    auto axisRows = [&](char axis, const std::vector<int>& offsets, int n) {
        for (size_t layer = 0; layer < offsets.size(); ++layer) {
            for (int r = 0; r < n; ++r, ++sample) {
                const int emitter = r + offsets[layer];
                if (emitter < 0 || emitter >= n) {
                    out.push_back(0);
                    continue;
                }
                double level = healthyLevel(axis, emitter, r) * transmission(axis, int(layer), r, fingers);
                if (withNoise && noise_ > 0)
                    level += int(mix(seed * 0x9E3779B9u + sample) % uint32_t(2 * noise_ + 1)) - noise_;
                out.push_back(uint8_t(std::clamp(std::lround(level), 0L, 255L)));
            }
        }
    };
    axisRows('X', xOffsets_, nX_);
    axisRows('Y', yOffsets_, nY_);
    return out;
}

}  // namespace oculant
