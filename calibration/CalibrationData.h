#pragma once
// The captured calibration: each target in screen logical units with the position the frame
// reported for it.

#include <array>
#include <cstdint>
#include <span>

#include "calibration/Coordinates.h"

namespace oculant {

struct CalibrationPoint {
    ScreenLogical target;
    FrameLogical touch;
};

struct CalibrationData {
    // A 6 × 6 grid (36) plus the centres of its 5 × 5 cells (25).
    static constexpr size_t kMaxPoints = 61;
    static constexpr uint32_t kStatusComplete = 1u;

    uint32_t status = 0;  // bit 0: every point captured
    uint8_t gridX = 2;
    uint8_t gridY = 2;
    uint8_t count = 0;
    std::array<CalibrationPoint, kMaxPoints> points{};

    bool complete() const { return (status & kStatusComplete) != 0; }
    size_t usedCount() const { return count < kMaxPoints ? count : kMaxPoints; }
    std::span<const CalibrationPoint> used() const { return {points.data(), usedCount()}; }
    std::span<CalibrationPoint> used() { return {points.data(), usedCount()}; }
};

}  // namespace oculant
