// The Status group's texts from the frame's records, and where each model keeps its calibration.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "deviceinfo/DeviceInfoText.h"
#include "protocol/Protocol.h"
#include "tests/support/ShownTexts.h"

namespace oculant {
namespace {

// Shows which key was looked up.
std::string keyLookup(std::string_view key) { return "<" + std::string(key) + ">"; }

using test::utc;

std::array<uint8_t, 16> versionRecord(uint8_t model, uint16_t hw, uint16_t sw, uint8_t status, uint8_t flashCode,
                                      uint8_t runFlags)
{
    std::array<uint8_t, 16> r{};
    r[0] = model;
    protocol::writeLe16(&r[8], hw);
    protocol::writeLe16(&r[10], sw);
    r[12] = status;
    r[13] = flashCode;
    r[14] = runFlags;
    return r;
}

std::array<uint8_t, 61> identityRecord(int32_t shipTime, const std::string& serialAndName)
{
    std::array<uint8_t, 61> r{};
    protocol::writeLe32(&r[12], uint32_t(shipTime));
    std::memcpy(&r[16], serialAndName.data(), std::min(serialAndName.size(), r.size() - 16));
    return r;
}

TEST(DeviceInfoText, hardware_version_is_hundreds_dot_remainder)
{
    EXPECT_EQ(formatHardwareVersion(0x0102), "2.58");
    EXPECT_EQ(formatHardwareVersion(100), "1.0");
    EXPECT_EQ(formatHardwareVersion(205), "2.5");  // the remainder is not padded
    EXPECT_EQ(formatHardwareVersion(0), "0.0");
    EXPECT_EQ(formatHardwareVersion(0xFFFF), "N/A");
    EXPECT_EQ(formatHardwareVersion(0xFFFE), "655.34");
}

TEST(DeviceInfoText, software_version_carries_the_model_number)
{
    EXPECT_EQ(formatSoftwareVersion(35, 1234), "3.5 - 1.23.4");
    EXPECT_EQ(formatSoftwareVersion(35 | 0x80, 1234), "3.5 - 1.23.4");  // high bit of the code is not the model
    EXPECT_EQ(formatSoftwareVersion(7, 5), "0.7 - 0.0.5");
    EXPECT_EQ(formatSoftwareVersion(127, 65534), "12.7 - 65.53.4");
    EXPECT_EQ(formatSoftwareVersion(35, 0xFFFF), "N/A");  // no model prefix either
}

TEST(DeviceInfoText, firmware_status_keys)
{
    EXPECT_EQ(firmwareStatusKey(1), "APP_OK");
    EXPECT_EQ(firmwareStatusKey(2), "APP_Empty");
    EXPECT_EQ(firmwareStatusKey(3), "APP_Corrupt");
    for (uint8_t other : {0, 4, 0x80, 0xFF})
        EXPECT_EQ(firmwareStatusKey(other), "APP_Unknown") << int(other);
}

TEST(DeviceInfoText, run_status_from_the_run_flags)
{
    const struct {
        uint8_t flags;
        const char* text;
    } cases[] = {
        {0x45, "<Sta_Err> 5"},  // running, bits 2 and 6: bit 6 is tested first
        {0x01, "<Sta_Run>"},
        {0x02, "<Sta_Stop>"},
        {0x03, "N/A"},
        {0x00, "N/A"},
        {0x05, "<Sta_Err> 1"},
        {0x09, "<Sta_Err> 2"},
        {0x21, "<Sta_Err> 3"},
        {0x11, "<Sta_Err> 4"},
        {0x31, "<Sta_Err> 3"},  // bit 5 ranks before bit 4
        {0x0D, "<Sta_Err> 1"},  // bit 2 ranks before bit 3
        {0x7E, "<Sta_Stop>"},   // error bits are shown only while running
        {0x83, "N/A"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatRunStatus(c.flags, keyLookup), c.text) << std::hex << int(c.flags);
}

TEST(DeviceInfoText, version_record_gives_every_field)
{
    const VersionStatusText t = describeVersionStatus(versionRecord(35, 258, 1234, 1, 4, 0x01), keyLookup);
    EXPECT_EQ(t.hardwareVersion, "2.58");
    EXPECT_EQ(t.softwareVersion, "3.5 - 1.23.4");
    EXPECT_EQ(t.firmwareStatus, "<APP_OK>");
    EXPECT_EQ(t.runStatus, "<Sta_Run>");
    EXPECT_EQ(t.calibrationArea.address, 0x4800u);
    EXPECT_EQ(t.calibrationArea.size, 2048u);
    EXPECT_FALSE(t.restrictButtons);
}

TEST(DeviceInfoText, models_16_and_18_restrict_the_buttons_but_not_with_the_high_bit)
{
    const struct {
        uint8_t model;
        bool restricted;
        uint32_t address, size;
    } cases[] = {
        {16, true, 0x4800, 2048},
        {18, true, 0x4800, 2048},
        {0x90, false, 0x4800, 2048},  // model number 16, but the whole byte is not 16
        {0x92, false, 0x4800, 2048},
        {17, false, 0, 0},
        {55, false, 0, 0},  // no calibration area
        {0xFF, false, 0, 0},  // unknown model: the area is cleared
    };
    for (const auto& c : cases) {
        const VersionStatusText t = describeVersionStatus(versionRecord(c.model, 1, 1, 1, 4, 1), keyLookup);
        EXPECT_EQ(t.restrictButtons, c.restricted) << int(c.model);
        EXPECT_EQ(t.calibrationArea.address, c.address) << int(c.model);
        EXPECT_EQ(t.calibrationArea.size, c.size) << int(c.model);
    }
}

TEST(DeviceInfoText, flash_map_for_every_model_range)
{
    const struct {
        uint8_t model, flashCode;
        uint32_t address, size;
    } cases[] = {
        {0, 4, 4 * 32768 - 4096, 2048},
        {9, 1, 32768 - 4096, 2048},
        {5, 0, 0, 0},  // no flash to speak of: no area, rather than an address below zero
        {10, 4, 0, 0},   {15, 4, 0, 0},      {16, 4, 0x4800, 2048}, {17, 4, 0, 0},
        {18, 4, 0x4800, 2048}, {19, 4, 0, 0}, {24, 4, 0, 0},         {25, 4, 0x4800, 2048},
        {26, 4, 0, 0},   {27, 4, 0x4800, 2048}, {49, 4, 0x4800, 2048}, {50, 4, 0, 0},
        {55, 4, 0, 0},   {59, 4, 0, 0},      {60, 4, 0x4800, 2048}, {79, 4, 0x4800, 2048},
        {80, 4, 0x5800, 2048}, {89, 4, 0x5800, 2048}, {90, 4, 0x8800, 2048}, {99, 4, 0x8800, 2048},
        {100, 4, 0, 0},  {101, 4, 0, 0},     {102, 4, 0x8800, 2048}, {127, 4, 0x8800, 2048},
        {16, 0, 0x4800, 2048},  // fixed addresses do not depend on the flash size code
    };
    for (const auto& c : cases) {
        const CalibrationArea a = BuildFlashMap(c.model, c.flashCode);
        EXPECT_EQ(a.address, c.address) << int(c.model) << "/" << int(c.flashCode);
        EXPECT_EQ(a.size, c.size) << int(c.model) << "/" << int(c.flashCode);
    }
}

TEST(DeviceInfoText, ship_date_and_time_in_local_time_unpadded_date_padded_time)
{
    IdentityText t = describeIdentity(identityRecord(1767261600, std::string("S\0M", 3)), utc);
    EXPECT_EQ(t.shipDate, "2026-1-1");
    EXPECT_EQ(t.shipTime, "10:00:00");
    t = describeIdentity(identityRecord(1741064767, std::string("S\0M", 3)), utc);  // 2025-03-04 05:06:07 UTC
    EXPECT_EQ(t.shipDate, "2025-3-4");
    EXPECT_EQ(t.shipTime, "05:06:07");
}

TEST(DeviceInfoText, ship_time_not_available)
{
    IdentityText t = describeIdentity(identityRecord(-1, std::string("S\0M", 3)), utc);
    EXPECT_EQ(t.shipDate, "N/A");
    EXPECT_EQ(t.shipTime, "N/A");
    const LocalTimeConverter failing = [](int64_t) -> std::optional<std::tm> { return std::nullopt; };
    t = describeIdentity(identityRecord(0, std::string("S\0M", 3)), failing);
    EXPECT_EQ(t.shipDate, "N/A");
    EXPECT_EQ(t.shipTime, "N/A");
    EXPECT_EQ(t.serial, "S");  // the serial does not depend on the time
}

TEST(DeviceInfoText, system_local_time_follows_the_time_zone)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "CST-8", 1);  // eight hours east of UTC, no rules file needed
    ::tzset();
    const auto tm = systemLocalTime()(0);
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
    ASSERT_TRUE(tm);
    EXPECT_EQ(tm->tm_year, 70);
    EXPECT_EQ(tm->tm_hour, 8);
}

TEST(DeviceInfoText, serial_and_model_name_with_the_two_renames)
{
    const struct {
        const char* name;
        const char* shown;
    } cases[] = {
        {"T7-4.2", "T7-54.2"},
        {"R15.6-2-CX", "R-15.6-2-CX"},
        {"T7-4.20", "T7-4.20"},
        {"VF-43", "VF-43"},
        {"", ""},
    };
    for (const auto& c : cases) {
        const IdentityText t = describeIdentity(identityRecord(0, std::string("SN123") + '\0' + c.name), utc);
        EXPECT_EQ(t.serial, "SN123");
        EXPECT_EQ(t.model, c.shown) << c.name;
    }
}

TEST(DeviceInfoText, serial_starting_with_ff_is_not_available)
{
    const IdentityText t = describeIdentity(identityRecord(0, std::string("\xFF" "ABC\0T7-4.2", 11)), utc);
    EXPECT_EQ(t.serial, "N/A");
    EXPECT_EQ(t.model, "N/A");
}

TEST(DeviceInfoText, unterminated_texts_end_with_the_record)
{
    // A serial filling the record to its last byte: the model name has no room and is empty.
    const IdentityText t = describeIdentity(identityRecord(0, std::string(45, 'S')), utc);
    EXPECT_EQ(t.serial, std::string(45, 'S'));
    EXPECT_EQ(t.model, "");
    // A model name without its terminator ends with the record too.
    const IdentityText u = describeIdentity(identityRecord(0, std::string("A\0", 2) + std::string(43, 'M')), utc);
    EXPECT_EQ(u.serial, "A");
    EXPECT_EQ(u.model, std::string(43, 'M'));
}

TEST(DeviceInfoText, user_parameters_valid_and_not)
{
    std::array<uint8_t, 58> r{};
    r[0] = 50;
    protocol::writeLe32(&r[51], 0x12345624);
    UserParamsText t = describeUserParams(r, keyLookup);
    EXPECT_TRUE(t.valid);
    EXPECT_EQ(t.statusText, "<ReadParamOK>");
    EXPECT_EQ(t.frames, "50");
    EXPECT_EQ(t.featureWord, 0x12345624u);

    r[0] = 0xFF;
    t = describeUserParams(r, keyLookup);
    EXPECT_FALSE(t.valid);
    EXPECT_EQ(t.statusText, "<InvalidUserParam>");
    EXPECT_EQ(t.frames, "");

    r[0] = 0;
    EXPECT_EQ(describeUserParams(r, keyLookup).frames, "0");
}

TEST(DeviceInfoText, parameter_crc_has_eight_upper_case_digits)
{
    EXPECT_EQ(formatParameterCrc(0xC704DD7B), "0xC704DD7B");
    EXPECT_EQ(formatParameterCrc(0x1A), "0x0000001A");
}

}  // namespace
}  // namespace oculant
