#pragma once
// Where the six signal charts sit in the window: two columns (X charts left, Y charts right),
// three rows, each chart half the width and a third of the height (integer division).

#include <array>

namespace oculant {

struct ChartRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ChartRect&) const = default;
};

// The charts' rectangles, by chart index, for a chart area of width × height pixels. Chart k of
// an axis (0, 1, 2) has top 0, height/3 and 2·height/3; negative sizes count as 0.
std::array<ChartRect, 6> chartLayout(int width, int height);

}  // namespace oculant
