#include "diagnostics/BeamView.h"

#include <algorithm>

#include "signal/SignalStore.h"

namespace oculant {

int AxisSignal::byteOf(int d, int p, BoardKind side) const
{
    // A position off the axis has no element and so no beam.
    if (d < 0 || d >= layerCount || p < 0 || p >= positions)
        return -1;
    const LayerRows& layer = layers[size_t(d)];
    const int partner = side == kEmitterBoard ? p - layer.offset : p + layer.offset;
    if (partner < 0 || partner >= positions)
        return -1;
    const int k = side == kEmitterBoard ? partner : p;
    if (k < 0 || size_t(k) >= layer.current.size() || size_t(k) >= layer.reference.size()
        || size_t(k) >= layer.threshold.size())
        return -1;
    return k;
}

LayerCoverage AxisSignal::coverage(int d, int first, int count, BoardKind side) const
{
    if (d < 0 || d >= layerCount)
        return {};
    const LayerRows& layer = layers[size_t(d)];
    const int rowLength = int(std::min({layer.current.size(), layer.reference.size(), layer.threshold.size()}));
    const int o = layer.offset;
    // Position p = first + j must lie on the axis, its partner (p - o or p + o) too, and its
    // byte (p - o or p) within the rows.
    int lowest = std::max(0, -first);
    int highest = std::min(count, positions - first);  // exclusive
    if (side == kEmitterBoard) {
        lowest = std::max(lowest, o - first);
        highest = std::min({highest, positions + o - first, rowLength + o - first});
    } else {
        lowest = std::max(lowest, -o - first);
        highest = std::min({highest, positions - o - first, rowLength - first});
    }
    if (highest <= lowest)
        return {};
    return {lowest, highest, side == kEmitterBoard ? first - o : first};
}

namespace {

void fillAxis(AxisSignal& axis, const SignalStore& store, int firstRow, int layers, int positions)
{
    axis.positions = positions;
    axis.layerCount = layers;
    for (int d = 0; d < layers; ++d) {
        const int row = firstRow + d;
        LayerRows& rows = axis.layers[size_t(d)];
        rows.offset = store.rowOffset(row);
        rows.current = store.row(kPlaneCurrent, row);
        rows.reference = store.row(kPlaneReference, row);
        rows.threshold = store.row(kPlaneThreshold, row);
    }
}

}  // namespace

BeamView BeamView::of(const SignalStore& store)
{
    BeamView view;
    fillAxis(view.x, store, 0, std::min<int>(store.bX(), kMaxLayersPerAxis), store.nX());
    fillAxis(view.y, store, store.bX(), std::min<int>(store.bY(), kMaxLayersPerAxis), store.nY());
    return view;
}

}  // namespace oculant
