#include "station/IdentityPhase.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "station/Measure.h"

namespace oculant::station {

namespace {

std::vector<long> versionParts(const std::string& v)
{
    std::vector<long> parts;
    const char* p = v.c_str();
    while (*p) {
        char* end = nullptr;
        parts.push_back(std::strtol(p, &end, 10));
        p = *end == '.' ? end + 1 : end;
        if (end == p && *p)  // not a digit: stop
            break;
    }
    return parts;
}

std::string hex8(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%.8X", unsigned(v));
    return text;
}

}  // namespace

int compareVersions(const std::string& a, const std::string& b)
{
    const std::vector<long> x = versionParts(a), y = versionParts(b);
    for (size_t i = 0; i < std::max(x.size(), y.size()); ++i) {
        const long l = i < x.size() ? x[i] : 0, r = i < y.size() ? y[i] : 0;
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}

std::string firmwareVersionOf(const std::string& softwareVersion)
{
    const size_t dash = softwareVersion.find(" - ");
    return dash == std::string::npos ? softwareVersion : softwareVersion.substr(dash + 3);
}

PhaseRecord judgeIdentity(const IdentityValues& v, const IdentityLimits& limits)
{
    const std::string name(phaseName(PhaseKind::Identity));
    if (!v.answered)
        return errorPhase(name, "the frame did not answer the information sequence");
    std::vector<Measurement> m;

    bool modelOk = limits.allowedModels.empty();
    std::string allowed;
    for (const std::string& model : limits.allowedModels) {
        modelOk = modelOk || model == v.model;
        allowed += (allowed.empty() ? "one of " : ", ") + model;
    }
    m.push_back(textMeasurement("model", v.model, allowed, modelOk));
    m.push_back(textMeasurement("hardwareVersion", v.hardwareVersion));

    const std::string firmware = firmwareVersionOf(v.softwareVersion);
    if (limits.minSoftwareVersion) {
        const bool known = !firmware.empty() && std::isdigit(static_cast<unsigned char>(firmware[0]));
        m.push_back(textMeasurement("softwareVersion", v.softwareVersion, "at least " + *limits.minSoftwareVersion,
                                    known && compareVersions(firmware, *limits.minSoftwareVersion) >= 0));
    } else {
        m.push_back(textMeasurement("softwareVersion", v.softwareVersion));
    }
    m.push_back(textMeasurement("firmwareStatus", v.firmwareStatus, limits.firmwareStatusOk ? "APP_OK" : "",
                                !limits.firmwareStatusOk || v.firmwareStatus == "APP_OK"));
    m.push_back(textMeasurement("runStatus", v.runStatus));
    const bool reportsSerial = !v.serial.empty() && v.serial != "N/A";
    if (v.labelSerial.empty())
        m.push_back(textMeasurement("serial", v.serial));
    else
        m.push_back(textMeasurement("serial", v.serial, v.labelSerial + " (from --serial)",
                                    !reportsSerial || v.serial == v.labelSerial));
    const std::string crc = v.parameterCrc ? hex8(*v.parameterCrc) : "N/A";
    m.push_back(textMeasurement("parameterCrc", crc, limits.parameterCrc ? hex8(*limits.parameterCrc) : "",
                                !limits.parameterCrc || v.parameterCrc == limits.parameterCrc));
    return judgedPhase(name, std::move(m));
}

}  // namespace oculant::station
