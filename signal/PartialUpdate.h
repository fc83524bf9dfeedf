#pragma once
// Checking and storing the partial updates of family 0x30 live scans (their layout is in
// protocol/SignalFrameLayout.h).

#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/SignalFrameLayout.h"
#include "signal/SignalStore.h"

namespace oculant {

enum class PartialUpdateStatus {
    Ok,
    ShortPayload,  // the payload ends before the update header, layer list or samples
    OutOfRange,    // a layer or position range outside the store's layout
};

// The layer counts and row lengths an update is checked against.
struct LayerShape {
    int bX = 0;
    int bY = 0;
    int nX = 0;
    int nY = 0;

    static LayerShape of(const FrameHeader& h) { return {h.bX, h.bY, h.nX, h.nY}; }
    static LayerShape of(const SignalStore& s) { return {s.bX(), s.bY(), s.nX(), s.nY()}; }
    int layerCount() const { return bX + bY; }
    int rowLength(int row) const { return row < bX ? nX : nY; }
};

// Checks a partial-update payload against a layout (the frame's own, before it is stored). With neither flag set
// nothing is stored and only the flag byte is needed. A listed layer must exist on its axis; a
// range must satisfy 0 <= first <= last < positions; a full-row target must be a layer row whose
// length holds the samples. An axis without listed layers ignores its range.
PartialUpdateStatus checkPartialUpdate(std::span<const uint8_t> payload, const LayerShape& shape);

// Stores a payload that checkPartialUpdate accepted for the store's layout into the given plane.
void applyPartialUpdate(std::span<const uint8_t> payload, SignalStore& store, int plane);

}  // namespace oculant
