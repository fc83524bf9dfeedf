#include "station/Measure.h"

#include <cstdio>

namespace oculant::station {

std::string numberText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

Measurement numberMeasurement(std::string name, double value, std::string unit, std::optional<double> low,
                              std::optional<double> high)
{
    Measurement m;
    m.name = std::move(name);
    m.number = value;
    m.text = numberText(value);
    m.low = low;
    m.high = high;
    m.unit = std::move(unit);
    const bool ok = (!low || value >= *low) && (!high || value <= *high);
    m.outcome = ok ? Outcome::Pass : Outcome::Fail;
    return m;
}

Measurement textMeasurement(std::string name, std::string value, std::string limit, bool ok)
{
    Measurement m;
    m.name = std::move(name);
    m.text = std::move(value);
    m.limit = std::move(limit);
    m.outcome = ok ? Outcome::Pass : Outcome::Fail;
    return m;
}

std::string failureText(const Measurement& m)
{
    std::string text = m.name + " " + m.text + (m.unit.empty() ? "" : " " + m.unit);
    if (m.number && m.low && *m.number < *m.low)
        return text + " < " + numberText(*m.low);
    if (m.number && m.high && *m.number > *m.high)
        return text + " > " + numberText(*m.high);
    return m.limit.empty() ? text : text + ", wanted " + m.limit;
}

PhaseRecord judgedPhase(std::string name, std::vector<Measurement> measurements)
{
    PhaseRecord p;
    p.name = std::move(name);
    p.measurements = std::move(measurements);
    for (const Measurement& m : p.measurements) {
        if (m.outcome == Outcome::Pass)
            continue;
        if (p.outcome == Outcome::Pass)
            p.reason = failureText(m);
        p.outcome = worseOf(p.outcome, m.outcome);
    }
    return p;
}

PhaseRecord errorPhase(std::string name, std::string reason)
{
    PhaseRecord p;
    p.name = std::move(name);
    p.outcome = Outcome::Error;
    p.reason = std::move(reason);
    return p;
}

}  // namespace oculant::station
