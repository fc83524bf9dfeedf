#pragma once
// The 1250-byte image written into the frame's flash calibration area. Every run overwrites only
// the fields it sets; the rest keeps what an earlier run or reset left. Little-endian throughout.

#include <array>
#include <cstddef>
#include <cstdint>

#include "calibration/CalibrationCoefficients.h"
#include "calibration/Coordinates.h"

namespace oculant {

struct MultiAreaLayout;

class ParameterBlock {
public:
    static constexpr size_t kSize = 1250;
    static constexpr int kCoefficientSets = 25;
    static constexpr int kMaxAreas = 25;

    static constexpr uint32_t kFlagCalibrated = 1u << 0;
    static constexpr uint32_t kFlagMaskOutside = 1u << 1;
    static constexpr uint32_t kFlagMultiArea = 1u << 2;

    // Offsets of the fields.
    static constexpr size_t kFlagsAt = 0;
    static constexpr size_t kVersionAt = 4;  // bytes 4 and 5, both 2
    static constexpr size_t kScaleXAt = 6;   // 0x4000
    static constexpr size_t kScaleYAt = 10;  // 0x4000
    static constexpr size_t kCoefficientsAt = 14;
    static constexpr size_t kCoefficientStride = 32;  // 24 bytes used, 8 left as they are
    static constexpr size_t kMaskAt = 806;
    static constexpr size_t kLayoutAt = 822;
    static constexpr size_t kAreaCountAt = 846;
    static constexpr size_t kAreasAt = 850;
    static constexpr size_t kAreaStride = 16;

    // All zero, as at start.
    ParameterBlock() = default;

    // The reset image: all 0xFF except flags 0, the fixed header and the identity in set 0.
    static ParameterBlock resetImage();

    uint32_t flags() const { return readU32(kFlagsAt); }
    void setFlags(uint32_t flags) { writeU32(kFlagsAt, flags); }
    // Bytes 4..13 as every run and the reset write them.
    void writeFixedHeader();

    // Sets 0..24; set 0 is the single-area set. Out-of-range sets are ignored (read as identity).
    CalibrationCoefficients coefficients(int set) const;
    void setCoefficients(int set, const CalibrationCoefficients& k);

    MaskRectangle mask() const;
    void setMask(const MaskRectangle& mask);

    // The six sizes in millimetres and the area count.
    void setLayout(const MultiAreaLayout& layout);
    int32_t areaCount() const { return static_cast<int32_t>(readU32(kAreaCountAt)); }
    // Areas 0..24; out-of-range areas are ignored.
    FrameRect areaRectangle(int area) const;
    void setAreaRectangle(int area, const FrameRect& rect);

    const std::array<uint8_t, kSize>& bytes() const { return bytes_; }

    uint32_t readU32(size_t offset) const;
    float readFloat(size_t offset) const;

private:
    void writeU32(size_t offset, uint32_t value);
    void writeFloat(size_t offset, float value);

    std::array<uint8_t, kSize> bytes_{};
};

}  // namespace oculant
