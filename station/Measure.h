#pragma once
// Measurements with their limits, judged where they are made: a number against a low and a
// high limit (each optional), a text against what the plan allows.

#include <optional>
#include <string>
#include <vector>

#include "station/TestRecord.h"

namespace oculant::station {

// Without limits a measurement is recorded and passes.
Measurement numberMeasurement(std::string name, double value, std::string unit, std::optional<double> low = {},
                              std::optional<double> high = {});
// `limit` describes what was wanted ("one of VF-43, VF-55"); `ok` is the judgement.
Measurement textMeasurement(std::string name, std::string value, std::string limit = {}, bool ok = true);

// FAIL when any measurement failed, with the first failed one named as the reason.
PhaseRecord judgedPhase(std::string name, std::vector<Measurement> measurements);
// A phase that could not run, with why.
PhaseRecord errorPhase(std::string name, std::string reason);

// Numbers as the records print them: up to six significant digits, no trailing zeros.
std::string numberText(double value);
// "X min level 12 < 150": what a failed measurement was against its limits.
std::string failureText(const Measurement& m);

}  // namespace oculant::station
