#pragma once
// The identity phase judged: what the information sequence told of the frame, against the
// plan's allowed models, minimum firmware version, firmware status and parameter CRC.

#include <cstdint>
#include <optional>
#include <string>

#include "station/TestPlan.h"
#include "station/TestRecord.h"

namespace oculant::station {

// The answers as the Status group shows them; the firmware status as its key (APP_OK, ...), so
// that the record does not depend on the language.
struct IdentityValues {
    bool answered = false;  // the version and identity records arrived
    std::string model, hardwareVersion, softwareVersion, firmwareStatus, runStatus, serial;
    std::optional<uint32_t> parameterCrc;
    // The serial the station was given (a label scanned into --serial); empty: none. A frame that
    // reports another one fails identity.
    std::string labelSerial;
};

PhaseRecord judgeIdentity(const IdentityValues& values, const IdentityLimits& limits);

// -1, 0 or 1 as dotted version a is below, equal to or above b ("1.23.4" against "1.3");
// missing parts count as 0.
int compareVersions(const std::string& a, const std::string& b);
// The firmware part of the Software version text ("3.5 - 1.23.4" gives "1.23.4").
std::string firmwareVersionOf(const std::string& softwareVersion);

}  // namespace oculant::station
