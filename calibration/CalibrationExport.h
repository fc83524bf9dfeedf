#pragma once
// The 28-byte calibration export: K0..K5 of coefficient set 0 as little-endian floats, then
// Crc32Words over those six words. No header, version or length.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "calibration/CalibrationCoefficients.h"
#include "calibration/CalibrationData.h"

namespace oculant {

inline constexpr std::string_view kCalibrationExportExtension = ".cfg";

std::array<uint8_t, 28> calibrationExportBytes(const CalibrationCoefficients& k);

// The language key that refuses an export before the dialog: there is no completed capture
// since the capture screen was last opened.
std::optional<std::string_view> exportRefusalKey(const CalibrationData& lastCapture);

// A calibration file read back (Import, restore-calibration): the set, or why it is refused:
// not 28 bytes, a CRC that does not match the six words, or a coefficient that is no finite
// number (downloaded, it would put every touch nowhere).
struct CalibrationImport {
    std::optional<CalibrationCoefficients> coefficients;
    std::string refusal;  // a sentence, when refused
};
CalibrationImport parseCalibrationExport(std::string_view bytes);
CalibrationImport readCalibrationExport(const std::string& path);

// Writes the file atomically. On failure returns the language key "CanNotCreateFile".
std::optional<std::string_view> writeCalibrationExport(const std::string& path, const CalibrationCoefficients& k);

}  // namespace oculant
