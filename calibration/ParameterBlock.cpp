#include "calibration/ParameterBlock.h"

#include <bit>

#include "calibration/MultiAreaLayout.h"

namespace oculant {

ParameterBlock ParameterBlock::resetImage()
{
    ParameterBlock block;
    block.bytes_.fill(0xFF);
    block.setFlags(0);
    block.writeFixedHeader();
    block.setCoefficients(0, CalibrationCoefficients::identity());
    return block;
}

void ParameterBlock::writeFixedHeader()
{
    bytes_[kVersionAt] = 2;
    bytes_[kVersionAt + 1] = 2;
    writeU32(kScaleXAt, 0x4000);
    writeU32(kScaleYAt, 0x4000);
}

CalibrationCoefficients ParameterBlock::coefficients(int set) const
{
    CalibrationCoefficients k;
    if (set < 0 || set >= kCoefficientSets)
        return k;
    const size_t at = kCoefficientsAt + kCoefficientStride * static_cast<size_t>(set);
    for (size_t i = 0; i < k.k.size(); ++i)
        k.k[i] = readFloat(at + 4 * i);
    return k;
}

void ParameterBlock::setCoefficients(int set, const CalibrationCoefficients& k)
{
    if (set < 0 || set >= kCoefficientSets)
        return;
    const size_t at = kCoefficientsAt + kCoefficientStride * static_cast<size_t>(set);
    for (size_t i = 0; i < k.k.size(); ++i)
        writeFloat(at + 4 * i, k.k[i]);
}

MaskRectangle ParameterBlock::mask() const
{
    return {static_cast<int32_t>(readU32(kMaskAt)), static_cast<int32_t>(readU32(kMaskAt + 4)),
            static_cast<int32_t>(readU32(kMaskAt + 8)), static_cast<int32_t>(readU32(kMaskAt + 12))};
}

void ParameterBlock::setMask(const MaskRectangle& mask)
{
    writeU32(kMaskAt, static_cast<uint32_t>(mask.x0));
    writeU32(kMaskAt + 4, static_cast<uint32_t>(mask.y0));
    writeU32(kMaskAt + 8, static_cast<uint32_t>(mask.x1));
    writeU32(kMaskAt + 12, static_cast<uint32_t>(mask.y1));
}

void ParameterBlock::setLayout(const MultiAreaLayout& layout)
{
    writeFloat(kLayoutAt, layout.frameWidth);
    writeFloat(kLayoutAt + 4, layout.frameHeight);
    writeFloat(kLayoutAt + 8, layout.displayWidth);
    writeFloat(kLayoutAt + 12, layout.displayHeight);
    writeFloat(kLayoutAt + 16, layout.displayOffsetX);
    writeFloat(kLayoutAt + 20, layout.displayOffsetY);
    writeU32(kAreaCountAt, static_cast<uint32_t>(layout.areaCount));
}

FrameRect ParameterBlock::areaRectangle(int area) const
{
    if (area < 0 || area >= kMaxAreas)
        return {};
    const size_t at = kAreasAt + kAreaStride * static_cast<size_t>(area);
    return {static_cast<int32_t>(readU32(at)), static_cast<int32_t>(readU32(at + 4)),
            static_cast<int32_t>(readU32(at + 8)), static_cast<int32_t>(readU32(at + 12))};
}

void ParameterBlock::setAreaRectangle(int area, const FrameRect& rect)
{
    if (area < 0 || area >= kMaxAreas)
        return;
    const size_t at = kAreasAt + kAreaStride * static_cast<size_t>(area);
    writeU32(at, static_cast<uint32_t>(rect.x0));
    writeU32(at + 4, static_cast<uint32_t>(rect.y0));
    writeU32(at + 8, static_cast<uint32_t>(rect.x1));
    writeU32(at + 12, static_cast<uint32_t>(rect.y1));
}

uint32_t ParameterBlock::readU32(size_t offset) const
{
    return uint32_t{bytes_[offset]} | uint32_t{bytes_[offset + 1]} << 8 |
           uint32_t{bytes_[offset + 2]} << 16 | uint32_t{bytes_[offset + 3]} << 24;
}

float ParameterBlock::readFloat(size_t offset) const
{
    return std::bit_cast<float>(readU32(offset));
}

void ParameterBlock::writeU32(size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        bytes_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void ParameterBlock::writeFloat(size_t offset, float value)
{
    writeU32(offset, std::bit_cast<uint32_t>(value));
}

}  // namespace oculant
