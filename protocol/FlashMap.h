#pragma once
#include <cstdint>

namespace oculant {

// Where a model keeps its calibration area in flash. A size of 0: the model has none.
struct CalibrationArea {
    uint32_t address = 0;
    uint32_t size = 0;
};

// modelNumber is the low 7 bits of the model code; the flash holds flashSizeCode x 32 KiB.
CalibrationArea BuildFlashMap(uint8_t modelNumber, uint8_t flashSizeCode);

}  // namespace oculant
