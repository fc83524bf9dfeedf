#pragma once
// The signal phase: every live scan of the recording is sampled, beam by beam, and judged per
// axis: the clear-beam level (lowest and mean over the axis's beams, each beam averaged over
// the scans), the noise (the largest spread of one beam over the scans) and the frames lost.

#include <cstdint>
#include <vector>

#include "signal/SignalFrameListener.h"
#include "signal/SignalStore.h"
#include "station/TestPlan.h"
#include "station/TestRecord.h"

namespace oculant::station {

struct AxisSignal {
    int beams = 0;
    double minLevel = 0, meanLevel = 0, noise = 0;
};

// Listens to the frame processor for live scans and samples plane 1 after each. A change of
// layout starts the sampling again: levels of two layouts do not compare.
class SignalSampler : public SignalFrameListener {
public:
    explicit SignalSampler(const SignalStore& store) : store_(store) {}
    bool wantsLiveScans() const override { return true; }
    void OnSignalFrame() override { addScan(); }
    void addScan();

    int scans() const { return scans_; }
    AxisSignal axis(bool xAxis) const;

private:
    struct Beam {
        bool x;
        int row, position;
        int lo = 255, hi = 0;
        uint64_t sum = 0;
    };
    const SignalStore& store_;
    std::vector<Beam> beams_;
    int layout_[4] = {-1, -1, -1, -1};  // nX, nY, bX, bY of the beams sampled
    int scans_ = 0;
};

PhaseRecord judgeSignal(const SignalSampler& sampler, uint64_t framesLost, const SignalLimits& limits);

}  // namespace oculant::station
