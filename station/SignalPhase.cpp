#include "station/SignalPhase.h"

#include <algorithm>

#include "protocol/SignalFrameLayout.h"
#include "station/Measure.h"

namespace oculant::station {

void SignalSampler::addScan()
{
    const int layout[4] = {store_.nX(), store_.nY(), store_.bX(), store_.bY()};
    if (!std::equal(layout, layout + 4, layout_)) {
        std::copy(layout, layout + 4, layout_);
        beams_.clear();
        scans_ = 0;
        for (int row = 0; row < store_.layerCount(); ++row) {
            const int positions = int(store_.row(kPlaneCurrent, row).size());
            for (int p = 0; p < positions; ++p)
                if (layerHasBeam(p, store_.rowOffset(row), positions))
                    beams_.push_back({row < store_.bX(), row, p});
        }
    }
    for (Beam& b : beams_) {
        const int level = store_.row(kPlaneCurrent, b.row)[size_t(b.position)];
        b.lo = std::min(b.lo, level);
        b.hi = std::max(b.hi, level);
        b.sum += uint64_t(level);
    }
    ++scans_;
}

AxisSignal SignalSampler::axis(bool xAxis) const
{
    AxisSignal a;
    if (scans_ == 0)
        return a;
    double total = 0;
    a.minLevel = 255;
    for (const Beam& b : beams_) {
        if (b.x != xAxis)
            continue;
        const double mean = double(b.sum) / scans_;
        a.minLevel = std::min(a.minLevel, mean);
        a.noise = std::max(a.noise, double(b.hi - b.lo));
        total += mean;
        ++a.beams;
    }
    if (a.beams == 0)
        a.minLevel = 0;
    else
        a.meanLevel = total / a.beams;
    return a;
}

PhaseRecord judgeSignal(const SignalSampler& sampler, uint64_t framesLost, const SignalLimits& limits)
{
    const std::string name(phaseName(PhaseKind::Signal));
    if (sampler.scans() == 0)
        return errorPhase(name, "no live scan arrived in " + numberText(limits.seconds) + " s");
    std::vector<Measurement> m;
    for (bool x : {true, false}) {
        const AxisSignal a = sampler.axis(x);
        const std::string axis = x ? "X" : "Y";
        m.push_back(numberMeasurement(axis + ".minLevel", a.minLevel, "level", limits.minClearLevel));
        m.push_back(numberMeasurement(axis + ".meanLevel", a.meanLevel, "level", limits.minMeanLevel));
        m.push_back(numberMeasurement(axis + ".noise", a.noise, "level", {}, limits.maxNoise));
    }
    m.push_back(numberMeasurement("scans", sampler.scans(), "frames"));
    m.push_back(numberMeasurement("framesLost", double(framesLost), "frames", {}, limits.maxFramesLost));
    return judgedPhase(name, std::move(m));
}

}  // namespace oculant::station
