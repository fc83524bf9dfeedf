#include "protocol/FlashMap.h"

namespace oculant {

CalibrationArea BuildFlashMap(uint8_t m, uint8_t flashSizeCode)
{
    const uint32_t flashSize = uint32_t(flashSizeCode) * 32768u;
    constexpr uint32_t kAreaSize = 2048;
    if (m <= 9)
        // Small parts keep it in the second-to-last 2 KiB page. A flash smaller than 4 KiB (code 0)
        // has no room for it.
        return flashSize >= 4096 ? CalibrationArea{flashSize - 4096, kAreaSize} : CalibrationArea{};
    if (m == 16 || m == 18 || m == 25 || (m >= 27 && m <= 49) || (m >= 60 && m <= 79))
        return {0x4800, kAreaSize};
    if (m >= 80 && m <= 89)
        return {0x5800, kAreaSize};
    if ((m >= 90 && m <= 99) || (m >= 102 && m <= 127))
        return {0x8800, kAreaSize};
    return {};
}

}  // namespace oculant
