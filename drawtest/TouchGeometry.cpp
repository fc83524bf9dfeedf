#include "drawtest/TouchGeometry.h"

#include <algorithm>
#include <array>

namespace oculant {

InkColour idColour(uint8_t id)
{
    static constexpr std::array<InkColour, 8> colours{{
        {0, 0, 0},        // black
        {255, 0, 0},      // red
        {0, 255, 0},      // green
        {0, 0, 255},      // blue
        {255, 0, 255},    // magenta
        {0, 255, 255},    // cyan
        {255, 255, 0},    // yellow
        {128, 128, 128},  // grey
    }};
    return colours[id % colours.size()];
}

int logicalToPixel(int v, int extent)
{
    // 64-bit: a logical value times a screen size overflows nothing, whatever the record holds.
    return int(int64_t(v) * extent / kLogicalUnitsPerAxis);
}

PixelPoint logicalToPixel(int x, int y, ClientSize client)
{
    return {logicalToPixel(x, client.width), logicalToPixel(y, client.height)};
}

PixelBox logicalBox(int x, int y, int width, int height)
{
    return {x - width / 2, y - height / 2, x + width / 2, y + height / 2};
}

PixelBox boxToPixels(const PixelBox& b, ClientSize client)
{
    return {logicalToPixel(b.left, client.width), logicalToPixel(b.top, client.height),
            logicalToPixel(b.right, client.width), logicalToPixel(b.bottom, client.height)};
}

int fixedTouchSize(int extent) { return 0x50000 / std::max(extent, 1); }

int logicalToMm(int size, int positions)
{
    return int(int64_t(size) * kPitchHundredthsMm * positions / (int64_t(100) * kLogicalUnitsPerAxis));
}

bool isLargeContact(int width, int height, int nX, int nY)
{
    return logicalToMm(width, nX) > kLargeContactMm || logicalToMm(height, nY) > kLargeContactMm;
}

}  // namespace oculant
