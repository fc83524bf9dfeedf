#pragma once
// Test plans: which phases run, in which order, with which limits. A plan is an INI file like
// the rest of the tool's files:
//
//   [Plan]
//   Name=VF-43 final test
//   Phases=identity,signal,diagnose
//   [signal]
//   Seconds=2
//   MinClearLevel=150
//
// A plan that cannot be read, or names an unknown phase, section or key, or holds a value that
// is not one, is refused as a whole with the line at fault, before any frame is touched.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oculant {
class IniFile;
}

namespace oculant::station {

enum class PhaseKind { Identity, Signal, Diagnose, CalibrateVerify };

// The name plans and records use: "identity", "signal", "diagnose", "calibrate-verify".
std::string_view phaseName(PhaseKind kind);

struct IdentityLimits {
    std::vector<std::string> allowedModels;         // empty: any model
    std::optional<std::string> minSoftwareVersion;  // the firmware's "a.bb.c"
    bool firmwareStatusOk = false;                  // the firmware must report APP_OK
    std::optional<uint32_t> parameterCrc;
};

struct SignalLimits {
    double seconds = 2;
    std::optional<double> minClearLevel;  // lowest clear-beam level of any element, per axis
    std::optional<double> minMeanLevel;   // mean clear-beam level over the axis's elements
    std::optional<double> maxNoise;       // largest spread of one element over the scans
    std::optional<double> maxFramesLost;
    // CompareWith=first-pass: each element's level against the frame's own first passing
    // record; one that fell by more than maxLevelDropPercent fails the phase.
    bool compareWithFirstPass = false;
    std::optional<double> maxLevelDropPercent;  // 25 when not given
};

struct DiagnoseLimits {
    double timeoutSeconds = 60;
};

struct TestPlan {
    std::string name;
    std::string source;  // the file, or "built-in"
    std::vector<PhaseKind> phases;
    IdentityLimits identity;
    SignalLimits signal;
    DiagnoseLimits diagnose;
};

struct PlanLoad {
    std::optional<TestPlan> plan;
    std::string error;  // "plan.ini line 7: unknown key 'MinLevel' in [signal]"; empty with a plan
};

// The plan of `oculant-cli test` without --plan: every available phase with the limits a frame
// must meet whatever its model.
TestPlan defaultPlan();
PlanLoad loadPlan(const std::string& path);
PlanLoad parsePlan(const IniFile& file, const std::string& source);

}  // namespace oculant::station
