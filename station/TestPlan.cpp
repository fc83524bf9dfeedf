#include "station/TestPlan.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cctype>
#include <functional>
#include <utility>

#include "base/IniFile.h"

namespace oculant::station {

namespace {

struct PhaseInfo {
    PhaseKind kind;
    const char* name;
    // A verify pass checks a calibration against the targets and capture window it was made
    // with, which a station that did not make it does not know yet: a plan that asks for one is
    // refused rather than failing every frame with ERROR.
    bool available;
};

constexpr PhaseInfo kPhases[] = {
    {PhaseKind::Identity, "identity", true},
    {PhaseKind::Signal, "signal", true},
    {PhaseKind::Diagnose, "diagnose", true},
    {PhaseKind::CalibrateVerify, "calibrate-verify", false},
};

std::optional<double> number(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || errno != 0 || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// "1.23.4": digits separated by dots.
bool isVersion(const std::string& text)
{
    if (text.empty() || text.front() == '.' || text.back() == '.')
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(std::isdigit(static_cast<unsigned char>(text[i])) || (text[i] == '.' && text[i - 1] != '.')))
            return false;
    return true;
}

// Sets the field from the value; returns what is wrong with the value, empty when it fits.
using KeySetter = std::function<std::string(TestPlan&, const std::string&)>;

struct KeyInfo {
    const char* section;
    const char* key;
    KeySetter set;
};

KeySetter positive(double SignalLimits::*field)
{
    return [field](TestPlan& plan, const std::string& v) -> std::string {
        const auto n = number(v);
        if (!n || *n <= 0 || *n > 3600)
            return "wants a number of seconds above 0 (at most 3600)";
        plan.signal.*field = *n;
        return {};
    };
}

KeySetter limit(std::optional<double> SignalLimits::*field)
{
    return [field](TestPlan& plan, const std::string& v) -> std::string {
        const auto n = number(v);
        if (!n || *n < 0)
            return "wants a number of 0 or more";
        plan.signal.*field = *n;
        return {};
    };
}

const std::vector<KeyInfo>& keyTable()
{
    static const std::vector<KeyInfo> keys = {
        {"Plan", "Name", [](TestPlan& p, const std::string& v) { p.name = v; return std::string(); }},
        {"Plan", "Phases", nullptr},  // read first, on its own
        {"identity", "AllowedModels",
         [](TestPlan& p, const std::string& v) -> std::string {
             p.identity.allowedModels.clear();
             for (const std::string& m : iniListItems(v)) {
                 if (m.empty())
                     return "wants model names separated by commas";
                 p.identity.allowedModels.push_back(m);
             }
             return {};
         }},
        {"identity", "MinSoftwareVersion",
         [](TestPlan& p, const std::string& v) -> std::string {
             if (!isVersion(v))
                 return "wants a firmware version such as 1.23.4";
             p.identity.minSoftwareVersion = v;
             return {};
         }},
        {"identity", "FirmwareStatusOk",
         [](TestPlan& p, const std::string& v) -> std::string {
             if (sameIniName(v, "yes") || v == "1")
                 p.identity.firmwareStatusOk = true;
             else if (sameIniName(v, "no") || v == "0")
                 p.identity.firmwareStatusOk = false;
             else
                 return "wants yes or no";
             return {};
         }},
        {"identity", "ParameterCrc",
         [](TestPlan& p, const std::string& v) -> std::string {
             char* end = nullptr;
             errno = 0;
             const unsigned long long crc = std::strtoull(v.c_str(), &end, 16);
             const bool hex = v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X');
             if (!hex || *end != '\0' || errno != 0 || crc > 0xFFFFFFFFull)
                 return "wants a 32-bit hexadecimal number such as 0x51A3C90E";
             p.identity.parameterCrc = uint32_t(crc);
             return {};
         }},
        {"signal", "Seconds", positive(&SignalLimits::seconds)},
        {"signal", "MinClearLevel", limit(&SignalLimits::minClearLevel)},
        {"signal", "MinMeanLevel", limit(&SignalLimits::minMeanLevel)},
        {"signal", "MaxNoise", limit(&SignalLimits::maxNoise)},
        {"signal", "MaxFramesLost", limit(&SignalLimits::maxFramesLost)},
        {"signal", "CompareWith",
         [](TestPlan& p, const std::string& v) -> std::string {
             if (sameIniName(v, "first-pass"))
                 p.signal.compareWithFirstPass = true;
             else if (sameIniName(v, "none"))
                 p.signal.compareWithFirstPass = false;
             else
                 return "wants first-pass (the frame's own first passing record) or none";
             return {};
         }},
        {"signal", "MaxLevelDropPercent",
         [](TestPlan& p, const std::string& v) -> std::string {
             const auto n = number(v);
             if (!n || *n < 0 || *n > 100)
                 return "wants a percentage of 0 to 100";
             p.signal.maxLevelDropPercent = *n;
             return {};
         }},
        {"diagnose", "Timeout",
         [](TestPlan& p, const std::string& v) -> std::string {
             const auto n = number(v);
             if (!n || *n <= 0 || *n > 3600)
                 return "wants a number of seconds above 0 (at most 3600)";
             p.diagnose.timeoutSeconds = *n;
             return {};
         }},
    };
    return keys;
}

bool knownSection(std::string_view name)
{
    if (sameIniName(name, "Plan"))
        return true;
    for (const PhaseInfo& p : kPhases)
        if (sameIniName(name, p.name))
            return true;
    return false;
}

std::string at(const std::string& source, size_t line) { return source + " line " + std::to_string(line) + ": "; }

// The phase list of [Plan], or the reason it is refused.
std::string readPhases(const IniEntry& entry, const std::string& source, TestPlan& plan)
{
    for (const std::string& name : iniListItems(entry.value)) {
        const PhaseInfo* found = nullptr;
        for (const PhaseInfo& p : kPhases)
            if (sameIniName(name, p.name))
                found = &p;
        if (!found) {
            std::string known;
            for (const PhaseInfo& p : kPhases)
                if (p.available)
                    known += std::string(known.empty() ? "" : ", ") + p.name;
            return at(source, entry.line) + (name.empty() ? "an empty phase name" : "unknown phase '" + name + "'") +
                   " (phases: " + known + ")";
        }
        if (!found->available)
            return at(source, entry.line) + "the phase '" + name + "' is not available in this build";
        for (PhaseKind k : plan.phases)
            if (k == found->kind)
                return at(source, entry.line) + "the phase '" + name + "' is listed twice";
        plan.phases.push_back(found->kind);
    }
    return {};
}

}  // namespace

std::string_view phaseName(PhaseKind kind)
{
    for (const PhaseInfo& p : kPhases)
        if (p.kind == kind)
            return p.name;
    return "?";
}

TestPlan defaultPlan()
{
    TestPlan plan;
    plan.name = "default";
    plan.source = "built-in";
    plan.phases = {PhaseKind::Identity, PhaseKind::Signal, PhaseKind::Diagnose};
    // Limits that hold for every model: the firmware is whole and the stream loses nothing.
    // Levels and noise depend on the model; a line's own plan sets them.
    plan.identity.firmwareStatusOk = true;
    plan.signal.maxFramesLost = 0;
    return plan;
}

PlanLoad loadPlan(const std::string& path)
{
    std::string error;
    const std::optional<IniFile> file = IniFile::load(path, &error);
    if (!file)
        return {std::nullopt, error};
    return parsePlan(*file, path);
}

PlanLoad parsePlan(const IniFile& file, const std::string& source)
{
    TestPlan plan;
    plan.source = source;
    const std::vector<IniEntry> entries = file.entries();
    bool sawPhases = false;
    std::vector<std::pair<std::string, std::string>> seen;  // section and key, as given
    for (const IniEntry& e : entries) {
        if (e.kind == IniEntry::Kind::Other)
            return {std::nullopt, at(source, e.line) + "neither a [section] nor a key=value line"};
        if (e.section.empty())
            return {std::nullopt, at(source, e.line) + "a key before the first [section]"};
        if (e.kind == IniEntry::Kind::Section) {
            if (!knownSection(e.section))
                return {std::nullopt, at(source, e.line) + "unknown section [" + e.section + "]"};
            continue;
        }
        const KeyInfo* key = nullptr;
        for (const KeyInfo& k : keyTable())
            if (sameIniName(e.section, k.section) && sameIniName(e.key, k.key))
                key = &k;
        if (!key)
            return {std::nullopt, at(source, e.line) + "unknown key '" + e.key + "' in [" + e.section + "]"};
        for (const auto& [section, name] : seen)
            if (sameIniName(section, e.section) && sameIniName(name, e.key))
                return {std::nullopt, at(source, e.line) + e.key + " is given twice in [" + e.section + "]"};
        seen.emplace_back(e.section, e.key);
        if (!key->set) {
            sawPhases = true;
            if (std::string why = readPhases(e, source, plan); !why.empty())
                return {std::nullopt, why};
            continue;
        }
        if (std::string why = key->set(plan, e.value); !why.empty())
            return {std::nullopt, at(source, e.line) + e.key + " " + why + ", not '" + e.value + "'"};
    }
    if (!sawPhases)
        return {std::nullopt, source + ": no Phases= in a [Plan] section"};
    if (plan.signal.maxLevelDropPercent && !plan.signal.compareWithFirstPass)
        return {std::nullopt, source + ": MaxLevelDropPercent in [signal] compares with nothing without "
                                       "CompareWith=first-pass"};
    if (plan.name.empty()) {
        const size_t slash = source.find_last_of('/');
        plan.name = source.substr(slash == std::string::npos ? 0 : slash + 1);
        if (const size_t dot = plan.name.rfind('.'); dot != std::string::npos && dot > 0)
            plan.name.resize(dot);
    }
    return {std::move(plan), {}};
}

}  // namespace oculant::station
