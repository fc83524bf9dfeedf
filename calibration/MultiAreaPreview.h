#pragma once
// The sketch of a multi-area layout that the multi-area window shows above its table: the frame
// outline, each area's rectangle on the frame and its rectangle on the display with the label
// "A<n>", in pixels of the picture. y points up in the layout and down in the picture, hence
// the H − y below. Only geometry here; the window paints it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "calibration/MultiAreaLayout.h"

namespace oculant {

// The picture's design size.
inline constexpr int kPreviewWidth = 795;
inline constexpr int kPreviewHeight = 225;

struct PreviewPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PreviewPoint&) const = default;
};

// A rectangle by the two corners it is drawn through (not normalised).
struct PreviewRect {
    PreviewPoint a;
    PreviewPoint b;
    bool operator==(const PreviewRect&) const = default;
};

// Text drawn with its top-left corner at `at`.
struct PreviewLabel {
    std::string text;
    PreviewPoint at;
    bool operator==(const PreviewLabel&) const = default;
};

struct MultiAreaPreview {
    int width = kPreviewWidth;
    int height = kPreviewHeight;
    PreviewPoint titleAt;
    // Closed: the last point is the first again.
    std::array<PreviewPoint, 5> frameOutline{};
    std::vector<PreviewRect> frameAreas;    // one per area, from frameMm
    std::vector<PreviewRect> displayAreas;  // one per area, from displayMm
    // One per area whose display rectangle does not lie on the bottom line (Y0 + Y1 ≠ 0).
    std::vector<PreviewLabel> labels;
};

// Scales are kept in double (the conversions to frame and pixel units are the ones in float);
// every position is truncated toward zero. A frame size of zero collapses its axis instead of
// giving infinite scales, and positions are held to ±kPreviewCoordinateLimit so that absurd
// sizes still paint.
MultiAreaPreview computeMultiAreaPreview(const MultiAreaLayout& layout, int width = kPreviewWidth,
                                         int height = kPreviewHeight);

inline constexpr int kPreviewCoordinateLimit = 32767;

}  // namespace oculant
