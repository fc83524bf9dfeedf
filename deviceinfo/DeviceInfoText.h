#pragma once
// The texts of the main window's "Status" group, made from the records the frame answers the
// information sequence with. The window and `oculant-cli info` show exactly these.

#include "base/TextLookup.h"
#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/FlashMap.h"

namespace oculant {

// Seconds since 1970 to broken-down local time; nullopt when the conversion fails. Injected so
// that tests do not depend on the machine's time zone.
using LocalTimeConverter = std::function<std::optional<std::tm>(int64_t secondsSince1970)>;
LocalTimeConverter systemLocalTime();

// 0xFFFF marks a version the frame does not know.
std::string formatHardwareVersion(uint16_t version);
std::string formatSoftwareVersion(uint8_t modelCode, uint16_t version);
std::string_view firmwareStatusKey(uint8_t status);
// The key of the firmware status a version and status record (answer 0x10) holds.
std::string_view firmwareStatusKeyOf(const std::array<uint8_t, 16>& versionStatus);
std::string formatRunStatus(uint8_t runFlags, const TextLookup& lookup);
std::string formatParameterCrc(uint32_t crc);
// Two model names are shown under the name the product is sold as.
std::string displayModelName(std::string_view name);
// Models 16 and 18 (the whole byte) have no draw test, diagnostic or calibration.
bool modelRestrictsButtons(uint8_t modelCode);

// From the version and status record (answer 0x10).
struct VersionStatusText {
    std::string hardwareVersion;
    std::string softwareVersion;
    std::string firmwareStatus;
    std::string runStatus;
    CalibrationArea calibrationArea;  // size 0: the model has none, or the model is unknown
    bool restrictButtons = false;
};
VersionStatusText describeVersionStatus(const std::array<uint8_t, 16>& record, const TextLookup& lookup);

// From the identity record (answer 0x17, report bytes 3-63).
struct IdentityText {
    std::string shipDate;
    std::string shipTime;
    std::string serial;
    std::string model;
};
IdentityText describeIdentity(const std::array<uint8_t, 61>& identity, const LocalTimeConverter& localTime);

// From the user parameter record (answer 0x18 or 0x19).
struct UserParamsText {
    bool valid = false;      // byte 0 is not 0xFF; otherwise only the status text applies
    std::string statusText;  // for the status bar
    std::string frames;      // Edit1
    uint32_t featureWord = 0;
};
UserParamsText describeUserParams(const std::array<uint8_t, 58>& record, const TextLookup& lookup);

}  // namespace oculant
