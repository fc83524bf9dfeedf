#pragma once
// The rows of the signal store that the diagnostic reads, per axis and layer, with the rule that
// says which byte of a layer's row belongs to an emitter or a receiver position.
//
// In the row of layer d, byte k is the beam from emitter k + offset(d) to receiver k. So emitter
// e is seen at byte e − offset(d), receiver r at byte r, and a layer covers a position only
// where that beam exists on the axis.

#include <array>
#include <cstdint>
#include <span>

#include "diagnostics/BoardModel.h"
#include "protocol/SignalFrameLayout.h"

namespace oculant {

class SignalStore;

struct LayerRows {
    int offset = 0;
    std::span<const uint8_t> current;    // plane 1: latest live scan
    std::span<const uint8_t> reference;  // plane 3
    std::span<const uint8_t> threshold;  // plane 2
};

// The elements of a board that one layer covers: j from `begin` to `end` (excluded), element j
// seen at byte j + shift.
struct LayerCoverage {
    int begin = 0;
    int end = 0;
    int shift = 0;
};

struct AxisSignal {
    int positions = 0;  // nX or nY
    int layerCount = 0;
    std::array<LayerRows, kMaxLayersPerAxis> layers{};

    // The byte of layer d that shows position p from the given side, or -1 when d does not
    // cover p (also when the rows are shorter than the axis claims).
    int byteOf(int d, int p, BoardKind side) const;
    // The same rule for a whole board of `count` elements from position `first` at once.
    LayerCoverage coverage(int d, int first, int count, BoardKind side) const;
};

// A view of the store, valid until the store's layout next changes. Cheap to make per frame.
struct BeamView {
    AxisSignal x;
    AxisSignal y;

    static BeamView of(const SignalStore& store);
    const AxisSignal& axis(uint8_t boardAxis) const { return boardAxis == kAxisX ? x : y; }
};

}  // namespace oculant
