#pragma once
// The signal phase: every live scan of the recording is sampled, beam by beam, and judged per
// axis: the clear-beam level (lowest and mean over the axis's beams, each beam averaged over
// the scans), the noise (the largest spread of one beam over the scans) and the frames lost.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "signal/ElementLevels.h"
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
// layout starts the sampling again: levels of two layouts do not compare. With a gate, only the
// scans it lets through count (those that went into the log the phase attaches).
class SignalSampler : public SignalFrameListener {
public:
    explicit SignalSampler(const SignalStore& store, std::function<bool()> gate = {})
        : store_(store), gate_(std::move(gate))
    {
    }
    bool wantsLiveScans() const override { return true; }
    void OnSignalFrame() override;
    void addScan();

    int scans() const { return levels_.scans(); }
    AxisSignal axis(bool xAxis) const;
    ElementLevels elements() const { return levels_.elements(); }

private:
    const SignalStore& store_;
    std::function<bool()> gate_;
    LevelAccumulator levels_;
};

// The frame's own first passing record, for a field check: its element levels, or why there
// are none to compare with (no passing record of the serial, the database cannot be read).
struct BaseLevels {
    std::optional<ElementLevels> levels;
    std::string record;  // the record's uid and time, "62de2820… of 2026-01-31T08:00:00.000Z"
    std::string error;
};

// The phase's measurements and, kept in the record, every element's clear level. With
// limits.compareWithFirstPass, each element against `base` (which must then be given): every
// element that fell by more than limits.maxLevelDropPercent is a failed measurement
// "XEmit2.e40.dropPercent", named by the frame's board table `boards`.
PhaseRecord judgeSignal(const SignalSampler& sampler, uint64_t framesLost, const SignalLimits& limits,
                        const BaseLevels* base = nullptr, const BoardLayoutTable* boards = nullptr);

}  // namespace oculant::station
