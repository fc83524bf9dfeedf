#include "protocol/SignalFrameLayout.h"

#include <cstdio>
#include <tuple>
#include <utility>

namespace oculant {
namespace {

uint16_t readU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

}  // namespace

std::optional<size_t> boundaryRowLength(size_t layers, int lastOffset, size_t positions)
{
    if (layers == 0)
        return std::nullopt;
    const long length = long(lastOffset) + 1;
    if (length < 0 || size_t(length) > positions)
        return std::nullopt;
    return size_t(length);
}

LayoutCheck checkFrameLayout(const FrameLayoutShape& s)
{
    const std::string limit = std::to_string(kMaxFrameBytes);
    if (!isKnownFamily(s.family) || frameType(s.family) != 0)
    {
        char family[8];
        std::snprintf(family, sizeof family, "0x%02X", s.family);
        return {LayoutFault::Family, 0, std::string("signal family ") + family + " is not 0x00, 0x10, 0x30 or 0x40"};
    }
    for (const auto& [axis, layers] : {std::pair{'X', s.bX}, {'Y', s.bY}})
        if (layers > size_t(kMaxLayersPerAxis))
            return {LayoutFault::Layers, axis, std::to_string(layers) + " " + axis + " layers: a frame carries at most " +
                                                   std::to_string(kMaxLayersPerAxis) + " per axis"};
    for (const auto& [axis, positions] : {std::pair{'X', s.nX}, {'Y', s.nY}})
        if (positions > kMaxFrameBytes)
            return {LayoutFault::Rows, axis, std::to_string(positions) + " " + axis + " positions: a row longer than the " +
                                                 limit + " bytes a frame holds"};
    size_t boundary = 0;
    if (s.family == kFamilyBoundary) {
        for (const auto& [axis, layers, last, positions] :
             {std::tuple{'X', s.bX, s.lastXOffset, s.nX}, {'Y', s.bY, s.lastYOffset, s.nY}}) {
            const std::optional<size_t> row = boundaryRowLength(layers, last, positions);
            if (!row)
                return {LayoutFault::Boundary, axis,
                        layers == 0 ? std::string("family 0x40 needs a ") + axis + " layer for its boundary rows"
                                    : std::string("family 0x40: the last ") + axis + " offset " + std::to_string(last) +
                                          " gives boundary rows of " + std::to_string(long(last) + 1) +
                                          " samples, outside 0 to the " + std::to_string(positions) + " positions"};
            boundary += kBoundaryRowsPerAxis * *row;
        }
    }
    // The largest frame of the layout, a reference or threshold scan, must fit the reassembly.
    const size_t samples = s.bX * s.nX + s.bY * s.nY;
    const size_t scan = headerLength(s.family, int(s.bX + s.bY)) + samples + boundary + 1;
    if (scan > kMaxFrameBytes)
        return {LayoutFault::Rows, 0, "a scan of " + std::to_string(scan) + " bytes (" + std::to_string(samples) +
                                          " samples): more than the " + limit + " bytes a frame holds"};
    return {};
}

uint8_t byteSum8(const uint8_t* data, size_t length)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum += data[i];
    return uint8_t(sum);
}

std::optional<size_t> FrameHeader::xBoundaryLength() const
{
    return boundaryRowLength(bX, bX > 0 ? xOffset(bX - 1) : 0, nX);
}

std::optional<size_t> FrameHeader::yBoundaryLength() const
{
    return boundaryRowLength(bY, bY > 0 ? yOffset(bY - 1) : 0, nY);
}

std::optional<size_t> FrameHeader::boundaryBlockLength() const
{
    const auto x = xBoundaryLength();
    const auto y = yBoundaryLength();
    if (!x || !y)
        return std::nullopt;
    return kBoundaryRowsPerAxis * (*x + *y);
}

std::optional<size_t> announcedFrameLength(const FrameHeader& h)
{
    const uint8_t type = h.type();
    if (type != kTypeLiveScan && type != kTypeThreshold && type != kTypeReference)
        return std::nullopt;
    if (type == kTypeLiveScan && h.family() == kFamilyPartialScan)
        return std::nullopt;
    size_t payload = h.sampleBlockLength();
    if (h.family() == kFamilyBoundary) {
        const std::optional<size_t> boundary = h.boundaryBlockLength();
        if (!boundary)
            return std::nullopt;
        payload += *boundary;
    }
    return h.length + payload + 1;
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
    out.length = headerLength(out.family(), out.layerCount());
    if (length < out.length + 1)
        return HeaderStatus::Truncated;
    auto offsetAt = [&](int i) { return int16_t(readU16(frame + kFixedHeaderBytes + 2 * size_t(i))); };
    const FrameLayoutShape shape{out.family(), out.bX, out.bY, out.nX, out.nY,
                                 out.bX > 0 ? offsetAt(out.bX - 1) : 0, out.bY > 0 ? offsetAt(out.layerCount() - 1) : 0};
    // Boundary rows that do not fit are left to the payload check, which refuses the frame as
    // out of range with the lengths FrameHeader gives (the same rule).
    const LayoutCheck check = checkFrameLayout(shape);
    if (check && check.fault != LayoutFault::Boundary)
        return HeaderStatus::BeyondLimits;
    const int count = out.offsetCount();
    for (int i = 0; i < count; ++i)
        out.offsets[size_t(i)] = offsetAt(i);
    for (int i = count; i < int(out.offsets.size()); ++i)
        out.offsets[size_t(i)] = 0;
    out.sumAfterKind = 0;
    for (size_t i = 1; i < out.length; ++i)
        out.sumAfterKind += frame[i];
    return HeaderStatus::Ok;
}

}  // namespace oculant
