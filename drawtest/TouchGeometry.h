#pragma once
// From a touch record to the canvas: logical units to pixels, the touch box, the size in
// millimetres and the colours of the touch ids. Integer arithmetic; divisions truncate toward zero.

#include <cstdint>

namespace oculant {

// Logical units span each axis with 32768 (values 0 … 32767).
inline constexpr int kLogicalUnitsPerAxis = 32768;
// Positions of the frame are 5.96 mm apart: 596 hundredths, kept whole so that sizes are exact.
inline constexpr int kPitchHundredthsMm = 596;
// A contact wider or taller than this is a palm or an arm, not a finger.
inline constexpr int kLargeContactMm = 40;

struct InkColour {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const InkColour&) const = default;
};
inline constexpr InkColour kInkBlack{0, 0, 0};
inline constexpr InkColour kInkWhite{255, 255, 255};
inline constexpr InkColour kInkRed{255, 0, 0};

// The colour of a touch id: eight colours, by id modulo 8.
InkColour idColour(uint8_t id);

struct ClientSize {
    int width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    bool operator==(const ClientSize&) const = default;
};

struct PixelPoint {
    int x = 0, y = 0;
    bool operator==(const PixelPoint&) const = default;
};

// Left, top, right, bottom; right and bottom are where the box ends (GDI's convention).
struct PixelBox {
    int left = 0, top = 0, right = 0, bottom = 0;
    PixelPoint centre() const { return {(left + right) / 2, (top + bottom) / 2}; }
    bool operator==(const PixelBox&) const = default;
};

// A logical coordinate on an axis of `extent` pixels: v × extent / 32768.
int logicalToPixel(int v, int extent);
PixelPoint logicalToPixel(int x, int y, ClientSize client);

// The box of a touch of the given size around (x, y), in logical units, halves truncated.
PixelBox logicalBox(int x, int y, int width, int height);
PixelBox boxToPixels(const PixelBox& logical, ClientSize client);

// Fixed touch size along an axis of `extent` pixels: about 10 pixels on screen (0x50000 is
// 10 × 32768). An empty axis counts as one pixel.
int fixedTouchSize(int extent);

// A size in logical units across an axis of `positions` positions, in whole millimetres.
int logicalToMm(int size, int positions);
// Either side above 40 mm.
bool isLargeContact(int width, int height, int nX, int nY);

}  // namespace oculant
