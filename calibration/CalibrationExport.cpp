#include "calibration/CalibrationExport.h"

#include <bit>

#include "protocol/Crc32.h"
#include "base/FileIo.h"

namespace oculant {

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
