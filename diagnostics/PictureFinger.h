#pragma once
// With --virtual-frame, pressing on the diagnostic picture puts a finger on the virtual frame
// where the picture shows it: on a bar, over that bar's element at the frame's edge, so that
// dragging along a bar blocks the beams of that bar's elements; elsewhere over the point the
// positions of both axes give.

#include <utility>

#include "diagnostics/DiagnosticGeometry.h"
#include "link/FrameTestBench.h"

namespace oculant {

// Frame millimetres for a point of the width × height picture of `model`, laid out for that size.
std::pair<double, double> pictureFingerMm(const BoardModel& model, double px, double py, int width, int height,
                                          const BenchGeometry& frame);

}  // namespace oculant
