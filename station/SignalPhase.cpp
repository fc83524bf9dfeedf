#include "station/SignalPhase.h"

#include <algorithm>

#include "protocol/SignalFrameLayout.h"
#include "station/Measure.h"

namespace oculant::station {

void SignalSampler::OnSignalFrame()
{
    if (!gate_ || gate_())
        addScan();
}

void SignalSampler::addScan() { levels_.addScan(ScanLayout::of(store_), store_.plane(kPlaneCurrent).data()); }

AxisSignal SignalSampler::axis(bool xAxis) const
{
    AxisSignal a;
    if (levels_.scans() == 0)
        return a;
    double total = 0;
    a.minLevel = 255;
    const int xRows = levels_.layout().bX();
    for (const LevelAccumulator::Beam& b : levels_.beams()) {
        if ((b.row < xRows) != xAxis)
            continue;
        const double mean = levels_.mean(b);
        a.minLevel = std::min(a.minLevel, mean);
        a.noise = std::max(a.noise, double(b.high - b.low));
        total += mean;
        ++a.beams;
    }
    if (a.beams == 0)
        a.minLevel = 0;
    else
        a.meanLevel = total / a.beams;
    return a;
}

namespace {

// At most this many elements are named in the reason; the measurements hold them all.
constexpr size_t kDropsNamed = 8;

// "XEmit2.e40": the element as the measurements name it; without a board table the side alone.
std::string elementName(const LevelDrop& d, const BoardLayoutTable* boards)
{
    const char axis = sideAxis(d.side);
    const ElementKind kind = sideKind(d.side);
    std::string board = boards ? elementBoard(*boards, axis, kind, d.position) : std::string();
    if (board.empty())
        board = std::string(1, axis) + (kind == ElementKind::Emitter ? "Emit" : "Recv");
    return board + ".e" + std::to_string(d.position);
}

}  // namespace

PhaseRecord judgeSignal(const SignalSampler& sampler, uint64_t framesLost, const SignalLimits& limits,
                        const BaseLevels* base, const BoardLayoutTable* boards)
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
    const ElementLevels levels = sampler.elements();
    const std::string kept = encodeLevels(levels);
    if (!limits.compareWithFirstPass) {
        PhaseRecord p = judgedPhase(name, std::move(m));
        p.levels = kept;
        return p;
    }
    auto error = [&](const std::string& why) {
        PhaseRecord p = errorPhase(name, why);
        p.measurements = std::move(m);
        p.levels = kept;
        return p;
    };
    if (!base || !base->levels)
        return error(base ? base->error : "no first passing record to compare with");
    const double limit = limits.maxLevelDropPercent.value_or(kDefaultMaxDropPercent);
    const LevelComparison c = compareLevels(*base->levels, "the first passing record", levels, "this frame", limit);
    if (!c.layoutDifference.empty())
        return error("the signal layout differs from the first passing record " + base->record + ": " +
                     c.layoutDifference);
    m.push_back(textMeasurement("firstPassRecord", base->record));
    m.push_back(numberMeasurement("largestDropPercent", keptLevel(c.largestDrop), "%"));
    const size_t before = m.size();
    std::string dropped;
    for (size_t i = 0; i < c.drops.size(); ++i) {
        const LevelDrop& d = c.drops[i];
        const std::string element = elementName(d, boards);
        m.push_back(numberMeasurement(element + ".dropPercent", d.dropPercent, "%", {}, limit));
        if (i < kDropsNamed)
            dropped += (i ? ", " : "") + element + " " + numberText(keptLevel(d.baseLevel)) + " -> " +
                       numberText(keptLevel(d.level));
    }
    bool failedBefore = false;
    for (size_t i = 0; i < before; ++i)
        failedBefore = failedBefore || m[i].outcome != Outcome::Pass;
    PhaseRecord p = judgedPhase(name, std::move(m));
    p.levels = kept;
    if (!c.drops.empty()) {
        if (c.drops.size() > kDropsNamed)
            dropped += " and " + std::to_string(c.drops.size() - kDropsNamed) + " more";
        const std::string why = std::to_string(c.drops.size()) + " element" + (c.drops.size() > 1 ? "s" : "") +
                                " fell by more than " + numberText(limit) + " % against the first passing record (" +
                                dropped + ")";
        p.reason = failedBefore ? p.reason + "; " + why : why;
    }
    return p;
}

}  // namespace oculant::station
