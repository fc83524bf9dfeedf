#include "signal/PartialUpdate.h"

#include <cstring>

namespace oculant {
namespace {

int16_t readS16(const uint8_t* p) { return int16_t(uint16_t(p[0] | (p[1] << 8))); }

struct AxisRange {
    int first;
    int last;
};

// One copy of a listed layer's samples into a row of the store.
struct RowCopy {
    int row;
    size_t start;
    size_t count;
};

// Walks the listed layers in payload order, handing each copy to `visit` with its source offset
// in the payload. Stops at the first fault; nothing is visited past it.
template <typename Visit>
PartialUpdateStatus walkUpdate(std::span<const uint8_t> payload, const LayerShape& shape, Visit&& visit)
{
    if (payload.empty())
        return PartialUpdateStatus::ShortPayload;
    const uint8_t flags = payload[0];
    const bool ranged = (flags & kUpdateRanged) != 0;
    if (!ranged && (flags & kUpdateFullRow) == 0)
        return PartialUpdateStatus::Ok;
    if (payload.size() < kPartialUpdateHeaderBytes)
        return PartialUpdateStatus::ShortPayload;
    const AxisRange ranges[2] = {{readS16(&payload[1]), readS16(&payload[3])},
                                 {readS16(&payload[5]), readS16(&payload[7])}};
    const size_t listed[2] = {payload[9], payload[10]};
    size_t source = kPartialUpdateHeaderBytes + listed[0] + listed[1];
    if (payload.size() < source)
        return PartialUpdateStatus::ShortPayload;

    size_t entry = kPartialUpdateHeaderBytes;
    for (int axis = 0; axis < 2; ++axis) {
        const int layers = axis == 0 ? shape.bX : shape.bY;
        const int positions = axis == 0 ? shape.nX : shape.nY;
        const AxisRange r = ranges[axis];
        for (size_t k = 0; k < listed[axis]; ++k, ++entry) {
            const int number = payload[entry];
            RowCopy copy;
            if (ranged) {
                if (number >= layers || r.first < 0 || r.first > r.last || r.last >= positions)
                    return PartialUpdateStatus::OutOfRange;
                copy = {axis == 0 ? number : shape.bX + number, size_t(r.first), size_t(r.last - r.first + 1)};
            } else {
                if (number >= shape.layerCount() || r.last < 0 || r.last >= shape.rowLength(number))
                    return PartialUpdateStatus::OutOfRange;
                copy = {number, 0, size_t(r.last) + 1};
            }
            if (payload.size() - source < copy.count)
                return PartialUpdateStatus::ShortPayload;
            visit(copy, source);
            source += copy.count;
        }
    }
    return PartialUpdateStatus::Ok;
}

}  // namespace

PartialUpdateStatus checkPartialUpdate(std::span<const uint8_t> payload, const LayerShape& shape)
{
    return walkUpdate(payload, shape, [](const RowCopy&, size_t) {});
}

void applyPartialUpdate(std::span<const uint8_t> payload, SignalStore& store, int plane)
{
    walkUpdate(payload, LayerShape::of(store), [&](const RowCopy& copy, size_t source) {
        std::memcpy(store.row(plane, copy.row).data() + copy.start, payload.data() + source, copy.count);
    });
}

}  // namespace oculant
