#include "deviceinfo/DeviceInfoText.h"

#include <cstdio>
#include <cstring>

#include "protocol/Protocol.h"

namespace oculant {

namespace {

constexpr std::string_view kNotAvailableText = "N/A";
constexpr uint16_t kUnknownVersion = 0xFFFF;
constexpr uint8_t kUnknownModel = 0xFF;
constexpr uint8_t kRunning = 1;
constexpr uint8_t kStopped = 2;

// Version record offsets.
constexpr size_t kModelCode = 0;
constexpr size_t kHardwareVersion = 8;
constexpr size_t kSoftwareVersion = 10;
constexpr size_t kFirmwareStatus = 12;
constexpr size_t kFlashSizeCode = 13;
constexpr size_t kRunFlags = 14;

// Identity record offsets.
constexpr size_t kShipTime = 12;
constexpr size_t kSerial = 16;
constexpr uint8_t kNoSerial = 0xFF;

template <typename... Args>
std::string format(const char* pattern, Args... args)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

// A zero-terminated text starting at `from`, bounded by the record: a text without its
// terminator ends with the record. Returns the position after the terminator (or the end).
size_t readText(const uint8_t* record, size_t size, size_t from, std::string& text)
{
    text.clear();
    size_t i = from;
    while (i < size && record[i] != 0)
        text.push_back(char(record[i++]));
    return i < size ? i + 1 : size;
}

}  // namespace

LocalTimeConverter systemLocalTime()
{
    return [](int64_t seconds) -> std::optional<std::tm> {
        const std::time_t t = std::time_t(seconds);
        std::tm out{};
        if (!localtime_r(&t, &out))
            return std::nullopt;
        return out;
    };
}

std::string formatHardwareVersion(uint16_t h)
{
    if (h == kUnknownVersion)
        return std::string(kNotAvailableText);
    return format("%d.%d", h / 100, h % 100);
}

std::string formatSoftwareVersion(uint8_t modelCode, uint16_t s)
{
    if (s == kUnknownVersion)
        return std::string(kNotAvailableText);
    const int p = modelCode & 0x7F;
    // Model number as "major.minor", then the firmware version as "a.bb.c" from its digits.
    return format("%d.%d - ", p / 10, p % 10) + format("%d", s / 1000) + format(".%d", (s % 1000) / 10) +
           format(".%d", s % 10);
}

std::string_view firmwareStatusKey(uint8_t status)
{
    switch (status) {
    case 1:
        return "APP_OK";
    case 2:
        return "APP_Empty";
    case 3:
        return "APP_Corrupt";
    default:
        return "APP_Unknown";
    }
}

std::string_view firmwareStatusKeyOf(const std::array<uint8_t, 16>& versionStatus)
{
    return firmwareStatusKey(versionStatus[kFirmwareStatus]);
}

std::string formatRunStatus(uint8_t flags, const TextLookup& lookup)
{
    switch (flags & 0x03) {
    case kRunning: {
        // The error bits in the order the firmware ranks them, with the number each one shows.
        static constexpr struct {
            uint8_t bit;
            const char* number;
        } kErrors[] = {{0x40, " 5"}, {0x04, " 1"}, {0x08, " 2"}, {0x20, " 3"}, {0x10, " 4"}};
        for (const auto& e : kErrors)
            if (flags & e.bit)
                return lookup("Sta_Err") + e.number;
        return lookup("Sta_Run");
    }
    case kStopped:
        return lookup("Sta_Stop");
    default:
        return std::string(kNotAvailableText);
    }
}

std::string formatParameterCrc(uint32_t crc) { return format("0x%.8X", unsigned(crc)); }

std::string displayModelName(std::string_view name)
{
    if (name == "T7-4.2")
        return "T7-54.2";
    if (name == "R15.6-2-CX")
        return "R-15.6-2-CX";
    return std::string(name);
}

bool modelRestrictsButtons(uint8_t modelCode) { return modelCode == 16 || modelCode == 18; }

VersionStatusText describeVersionStatus(const std::array<uint8_t, 16>& r, const TextLookup& lookup)
{
    using protocol::readLe16;
    VersionStatusText t;
    const uint8_t model = r[kModelCode];
    t.hardwareVersion = formatHardwareVersion(readLe16(&r[kHardwareVersion]));
    t.softwareVersion = formatSoftwareVersion(model, readLe16(&r[kSoftwareVersion]));
    t.firmwareStatus = lookup(firmwareStatusKey(r[kFirmwareStatus]));
    t.runStatus = formatRunStatus(r[kRunFlags], lookup);
    if (model != kUnknownModel) {
        t.calibrationArea = BuildFlashMap(model & 0x7F, r[kFlashSizeCode]);
        t.restrictButtons = modelRestrictsButtons(model);
    }
    return t;
}

IdentityText describeIdentity(const std::array<uint8_t, 61>& id, const LocalTimeConverter& localTime)
{
    IdentityText t;
    const int32_t shipTime = int32_t(protocol::readLe32(&id[kShipTime]));
    std::optional<std::tm> tm;
    if (shipTime != -1 && localTime)
        tm = localTime(shipTime);
    if (tm) {
        t.shipDate = format("%d-%d-%d", tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday);
        t.shipTime = format("%.2d:%.2d:%.2d", tm->tm_hour, tm->tm_min, tm->tm_sec);
    } else {
        t.shipDate = t.shipTime = kNotAvailableText;
    }

    if (id[kSerial] == kNoSerial) {
        t.serial = t.model = kNotAvailableText;
        return t;
    }
    std::string name;
    const size_t next = readText(id.data(), id.size(), kSerial, t.serial);
    readText(id.data(), id.size(), next, name);
    t.model = displayModelName(name);
    return t;
}

UserParamsText describeUserParams(const std::array<uint8_t, 58>& r, const TextLookup& lookup)
{
    UserParamsText t;
    if (r[0] == 0xFF) {
        t.statusText = lookup("InvalidUserParam");
        return t;
    }
    t.valid = true;
    t.statusText = lookup("ReadParamOK");
    t.frames = format("%d", r[0]);
    t.featureWord = protocol::readLe32(&r[51]);
    return t;
}

}  // namespace oculant
