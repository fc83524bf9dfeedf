#pragma once
// A display split into areas, as the multi-area window holds it: the texts of its edits and grid
// rows, and the layout parsed from them with each area in frame logical units and screen pixels.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calibration/Coordinates.h"

#include "base/TextLookup.h"

namespace oculant {

struct AreaRecord {
    std::array<float, 4> frameMm{};    // x0, y0 (bottom), x1, y1 (top)
    std::array<float, 4> displayMm{};  // x0, y0, x1, y1
    FrameRect frameLogical;
    PixelRect displayPixels;
};

struct MultiAreaLayout {
    static constexpr int kMaxAreas = 25;
    float frameWidth = 0, frameHeight = 0;
    float displayWidth = 0, displayHeight = 0;
    float displayOffsetX = 0, displayOffsetY = 0;
    int32_t areaCount = 0;
    std::array<AreaRecord, kMaxAreas> areas{};
};

// The texts as the window shows them: the six edits and one row of eight cells per area.
struct LayoutTexts {
    static constexpr size_t kFrameX = 0, kFrameY = 1, kDisplayX = 2, kDisplayY = 3,
                            kDisplayOffX = 4, kDisplayOffY = 5;
    using Row = std::array<std::string, 8>;
    std::array<std::string, 6> edits;  // Edit1, Edit2, Edit3, Edit4, Edit7, Edit8
    std::vector<Row> rows;             // grid rows 1..areas, columns 1..8
};

// The layout the window shows at its first opening.
LayoutTexts builtInLayoutTexts();

// The most areas a refresh accepts (grid rows minus the header).
inline constexpr int kMaxRefreshAreas = 23;
// The most areas Add creates.
inline constexpr int kMaxGridAreas = 25;
inline constexpr const char* kTooManyAreas = "too many areas!\n";

struct LayoutRefresh {
    bool accepted = false;
    std::string message;  // "too many areas!\n" when refused
    MultiAreaLayout layout;
};

// Refresh: parses every edit and cell as a number (leading number, otherwise 0), rewrites them
// with one decimal, and converts each area to frame logical units and to pixels of the capture
// window of the last step B. More than 23 areas is refused and changes nothing.
LayoutRefresh refreshLayout(LayoutTexts& texts, int32_t windowWidth, int32_t windowHeight);

// Why the areas of a refreshed layout cannot be calibrated, one line per fault, each naming its
// area as the grid does (A1, A2, ...): a frame or display rectangle without width or height
// (x0 >= x1 or y0 >= y1), one that leaves the frame (0..frame width x 0..frame height) or the
// display, and two areas that overlap on the frame or on the display (sharing an edge is not
// overlapping). Empty when every area can be calibrated.
std::string layoutAreaRefusals(const MultiAreaLayout& layout, const TextLookupOr& words);

// Add: inserts a row of "0" after the selected area row (selectedRow counts grid rows, 1 is the
// first area), or appends one when no area row is selected. False when there are already 25.
bool addLayoutRow(LayoutTexts& texts, int selectedRow);

// Remove: removes the selected area row. Nothing happens with a single area; without a selected
// area row the result is the message to show.
std::optional<std::string> removeLayoutRow(LayoutTexts& texts, int selectedRow);

inline constexpr const char* kSelectRowToRemove = "选中单元格以确定需要删除的行！";

}  // namespace oculant
