#include "protocol/SignalFrameLayout.h"

namespace oculant {
namespace {

uint16_t readU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

std::optional<size_t> boundaryLength(int layers, int16_t lastOffset, uint16_t positions)
{
    if (layers == 0)
        return std::nullopt;
    const int length = lastOffset + 1;
    if (length < 0 || length > positions)
        return std::nullopt;
    return size_t(length);
}

}  // namespace

uint8_t byteSum8(const uint8_t* data, size_t length)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum += data[i];
    return uint8_t(sum);
}

std::optional<size_t> FrameHeader::xBoundaryLength() const
{
    return boundaryLength(bX, bX > 0 ? xOffset(bX - 1) : 0, nX);
}

std::optional<size_t> FrameHeader::yBoundaryLength() const
{
    return boundaryLength(bY, bY > 0 ? yOffset(bY - 1) : 0, nY);
}

std::optional<size_t> FrameHeader::boundaryBlockLength() const
{
    const auto x = xBoundaryLength();
    const auto y = yBoundaryLength();
    if (!x || !y)
        return std::nullopt;
    return kBoundaryRowsPerAxis * (*x + *y);
}

HeaderStatus parseFrameHeader(const uint8_t* frame, size_t length, FrameHeader& out)
{
    if (length < kFixedHeaderBytes + 1)
        return HeaderStatus::Truncated;
    out.kind = frame[0];
    out.byte1 = frame[1];
    out.byte2 = frame[2];
    out.word3 = readU16(frame + 3);
    out.bX = frame[5];
    out.bY = frame[6];
    out.nX = readU16(frame + 7);
    out.nY = readU16(frame + 9);
    if (out.bX > kMaxLayersPerAxis || out.bY > kMaxLayersPerAxis)
        return HeaderStatus::BeyondLimits;
    // A row longer than a frame, or more layer samples than a frame holds, can never be filled.
    if (out.nX > kMaxFrameBytes || out.nY > kMaxFrameBytes || out.sampleBlockLength() > kMaxFrameBytes)
        return HeaderStatus::BeyondLimits;
    out.length = headerLength(out.family(), out.layerCount());
    if (length < out.length + 1)
        return HeaderStatus::Truncated;
    const int count = out.offsetCount();
    for (int i = 0; i < count; ++i)
        out.offsets[size_t(i)] = int16_t(readU16(frame + kFixedHeaderBytes + 2 * size_t(i)));
    for (int i = count; i < int(out.offsets.size()); ++i)
        out.offsets[size_t(i)] = 0;
    out.sumAfterKind = 0;
    for (size_t i = 1; i < out.length; ++i)
        out.sumAfterKind += frame[i];
    return HeaderStatus::Ok;
}

}  // namespace oculant
