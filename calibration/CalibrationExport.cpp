#include "calibration/CalibrationExport.h"

#include <bit>
#include <cstdio>
#include <tuple>

#include "protocol/Crc32.h"
#include "base/FileIo.h"

namespace oculant {
namespace {

std::string hex32(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

}  // namespace

std::array<uint8_t, 28> calibrationExportBytes(const CalibrationCoefficients& k)
{
    std::array<uint32_t, 6> words{};
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = std::bit_cast<uint32_t>(k.k[i]);
    const uint32_t crc = Crc32Words(words.data(), words.size());

    std::array<uint8_t, 28> bytes{};
    auto put = [&bytes](size_t at, uint32_t value) {
        for (size_t i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    for (size_t i = 0; i < words.size(); ++i)
        put(4 * i, words[i]);
    put(24, crc);
    return bytes;
}

CalibrationImport parseCalibrationExport(std::string_view bytes)
{
    CalibrationImport result;
    constexpr size_t kSize = std::tuple_size_v<decltype(calibrationExportBytes({}))>;
    if (bytes.size() != kSize) {
        result.refusal = "it is " + std::to_string(bytes.size()) + " bytes long, not the 28 of a calibration file";
        return result;
    }
    std::array<uint32_t, 7> words{};
    for (size_t i = 0; i < words.size(); ++i)
        for (size_t b = 0; b < 4; ++b)
            words[i] |= uint32_t(uint8_t(bytes[4 * i + b])) << (8 * b);
    const uint32_t crc = Crc32Words(words.data(), 6);
    if (crc != words[6]) {
        result.refusal = "its CRC " + hex32(words[6]) + " does not match its coefficients (" + hex32(crc) +
                         "): the file is damaged";
        return result;
    }
    CalibrationCoefficients k;
    for (size_t i = 0; i < 6; ++i)
        k.k[i] = std::bit_cast<float>(words[i]);
    if (!k.allFinite()) {
        result.refusal = "it holds a coefficient that is not a finite number";
        return result;
    }
    result.coefficients = k;
    return result;
}

CalibrationImport readCalibrationExport(const std::string& path)
{
    std::string error;
    // A little more than a calibration file, so that a longer one is refused for its size.
    const std::optional<std::string> bytes = readFileLimited(path, 4096, &error);
    if (!bytes) {
        CalibrationImport result;
        result.refusal = error;
        return result;
    }
    return parseCalibrationExport(*bytes);
}

std::optional<std::string_view> exportRefusalKey(const CalibrationData& lastCapture)
{
    if (!lastCapture.complete())
        return std::string_view("InvalidCalibData");
    return std::nullopt;
}

std::optional<std::string_view> writeCalibrationExport(const std::string& path, const CalibrationCoefficients& k)
{
    const auto bytes = calibrationExportBytes(k);
    const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!writeFileAtomically(path, view))
        return std::string_view("CanNotCreateFile");
    return std::nullopt;
}

}  // namespace oculant
