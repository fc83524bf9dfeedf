#pragma once
// Live scans of family 0x30 carry a partial update of plane 0:
//
//   0 flags | 1 X first | 3 X last | 5 Y first | 7 Y last (signed 16-bit) | 9 cX | 10 cY
//   | 11 layer numbers (cX X layers, then cY Y layers) | samples of each listed layer, in list order
//
// Ranged update (flag 0x04): each X layer carries X last − X first + 1 samples for positions
// X first … X last; Y layers likewise, Y layer j going to row bX + j.
// Full-row update (flag 0x08, when 0x04 is clear): each X layer carries X last + 1 samples and
// each Y layer Y last + 1, from position 0; the listed byte is the store row itself.

#include <cstddef>
#include <cstdint>
#include <span>

#include "signal/SignalFrameLayout.h"
#include "signal/SignalStore.h"

namespace oculant {

inline constexpr uint8_t kUpdateRanged = 0x04;
inline constexpr uint8_t kUpdateFullRow = 0x08;
inline constexpr size_t kPartialUpdateHeaderBytes = 11;

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
