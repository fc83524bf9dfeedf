#include "protocol/SignalFrameBuilder.h"

#include <stdexcept>



namespace oculant {
namespace {

void putU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(uint8_t(v & 0xFF));
    out.push_back(uint8_t(v >> 8));
}

void putOffsets(std::vector<uint8_t>& out, const std::vector<int16_t>& offsets)
{
    for (int16_t o : offsets)
        putU16(out, uint16_t(o));
}

size_t boundaryLength(const std::vector<int16_t>& offsets)
{
    if (offsets.empty())
        throw std::invalid_argument("boundary rows need at least one layer on each axis");
    const int length = offsets.back() + 1;
    if (length < 0)
        throw std::invalid_argument("last offset gives boundary rows of negative length");
    return size_t(length);
}

}  // namespace

size_t FrameLayout::xBoundaryLength() const { return boundaryLength(xOffsets); }
size_t FrameLayout::yBoundaryLength() const { return boundaryLength(yOffsets); }

size_t FrameLayout::boundaryBlockLength() const
{
    if (family != kFamilyBoundary)
        return 0;
    return kBoundaryRowsPerAxis * (xBoundaryLength() + yBoundaryLength());
}

SignalFrameBuilder::SignalFrameBuilder(FrameLayout layout) : layout_(std::move(layout))
{
    const auto last = [](const std::vector<int16_t>& offsets) { return offsets.empty() ? 0 : int(offsets.back()); };
    const FrameLayoutShape shape{layout_.family, layout_.bX(), layout_.bY(), layout_.nX, layout_.nY,
                                 last(layout_.xOffsets), last(layout_.yOffsets)};
    if (const LayoutCheck check = checkFrameLayout(shape))
        throw std::invalid_argument(check.reason);
    if (hasLongHeader(layout_.family)) {
        if (layout_.xOffsets2.empty() && layout_.yOffsets2.empty()) {
            layout_.xOffsets2 = layout_.xOffsets;
            layout_.yOffsets2 = layout_.yOffsets;
        }
        if (layout_.xOffsets2.size() != layout_.bX() || layout_.yOffsets2.size() != layout_.bY())
            throw std::invalid_argument("second offset set differs in size from the first");
    }
}

size_t SignalFrameBuilder::headerLength() const
{
    return oculant::headerLength(layout_.family, int(layout_.bX() + layout_.bY()));
}

void SignalFrameBuilder::appendFrame(std::vector<uint8_t>& out, uint8_t type, std::span<const uint8_t> payload) const
{
    const size_t start = out.size();
    out.reserve(start + headerLength() + payload.size() + 1);
    out.push_back(uint8_t(layout_.family | frameType(type)));
    out.push_back(layout_.headerByte1);
    out.push_back(layout_.headerByte2);
    putU16(out, layout_.headerWord3);
    out.push_back(uint8_t(layout_.bX()));
    out.push_back(uint8_t(layout_.bY()));
    putU16(out, layout_.nX);
    putU16(out, layout_.nY);
    putOffsets(out, layout_.xOffsets);
    putOffsets(out, layout_.yOffsets);
    if (hasLongHeader(layout_.family)) {
        putOffsets(out, layout_.xOffsets2);
        putOffsets(out, layout_.yOffsets2);
    }
    out.insert(out.end(), payload.begin(), payload.end());
    out.push_back(byteSum8(out.data() + start, out.size() - start));
}

std::vector<uint8_t> SignalFrameBuilder::frame(uint8_t type, std::span<const uint8_t> payload) const
{
    std::vector<uint8_t> out;
    appendFrame(out, type, payload);
    return out;
}

std::vector<uint8_t> SignalFrameBuilder::samples(uint8_t type, std::span<const uint8_t> layers,
                                                 std::span<const uint8_t> boundary) const
{
    if (layers.size() != layout_.sampleBlockLength())
        throw std::invalid_argument("sample block is not bX × nX + bY × nY bytes");
    if (boundary.size() != layout_.boundaryBlockLength())
        throw std::invalid_argument("boundary block does not match the layout");
    std::vector<uint8_t> payload(layers.begin(), layers.end());
    payload.insert(payload.end(), boundary.begin(), boundary.end());
    return frame(type, payload);
}

std::vector<uint8_t> SignalFrameBuilder::liveScan(std::span<const uint8_t> layers, std::span<const uint8_t> boundary) const
{
    if (layout_.family != kFamilyPartialScan)
        return samples(kTypeLiveScan, layers, boundary);
    if (layers.size() != layout_.sampleBlockLength() || !boundary.empty())
        throw std::invalid_argument("sample block does not match the layout");
    PartialScan scan;
    scan.xFirst = 0;
    scan.xLast = int16_t(layout_.nX - 1);
    scan.yFirst = 0;
    scan.yLast = int16_t(layout_.nY - 1);
    for (size_t i = 0; i < layout_.bX(); ++i)
        scan.xLayers.push_back(uint8_t(i));
    for (size_t j = 0; j < layout_.bY(); ++j)
        scan.yLayers.push_back(uint8_t(j));
    scan.samples.assign(layers.begin(), layers.end());
    return rangedUpdate(scan);
}

std::vector<uint8_t> SignalFrameBuilder::partialUpdatePayload(uint8_t flags, const PartialScan& scan)
{
    std::vector<uint8_t> payload;
    payload.reserve(11 + scan.xLayers.size() + scan.yLayers.size() + scan.samples.size());
    payload.push_back(flags);
    putU16(payload, uint16_t(scan.xFirst));
    putU16(payload, uint16_t(scan.xLast));
    putU16(payload, uint16_t(scan.yFirst));
    putU16(payload, uint16_t(scan.yLast));
    payload.push_back(uint8_t(scan.xLayers.size()));
    payload.push_back(uint8_t(scan.yLayers.size()));
    payload.insert(payload.end(), scan.xLayers.begin(), scan.xLayers.end());
    payload.insert(payload.end(), scan.yLayers.begin(), scan.yLayers.end());
    payload.insert(payload.end(), scan.samples.begin(), scan.samples.end());
    return payload;
}

std::vector<uint8_t> SignalFrameBuilder::rangedUpdate(const PartialScan& scan) const
{
    return frame(kTypeLiveScan, partialUpdatePayload(kUpdateRanged, scan));
}

std::vector<uint8_t> SignalFrameBuilder::fullRowUpdate(const PartialScan& scan) const
{
    return frame(kTypeLiveScan, partialUpdatePayload(kUpdateFullRow, scan));
}

std::vector<uint8_t> SignalFrameBuilder::touchPayload(uint8_t count, std::span<const TouchRecord> records)
{
    std::vector<uint8_t> payload;
    payload.reserve(1 + kTouchRecordBytes * records.size());
    payload.push_back(count);
    for (const TouchRecord& r : records) {
        putU16(payload, uint16_t(r.x));
        putU16(payload, uint16_t(r.y));
        putU16(payload, uint16_t(r.width));
        putU16(payload, uint16_t(r.height));
        payload.push_back(r.id);
        payload.push_back(r.state);
    }
    return payload;
}

std::vector<uint8_t> SignalFrameBuilder::touchReport(uint8_t count, std::span<const TouchRecord> records) const
{
    return frame(kTypeTouchReport, touchPayload(count, records));
}

}  // namespace oculant
