#pragma once
// Pixels of a window's picture in the window's own colour type (red, green and blue bytes), for
// the few rendered-pixel checks of the window tests.

#include <QImage>
#include <QRect>

#include <cstdint>

namespace oculant::test {

template <typename Colour>
Colour pixelAs(const QImage& image, int x, int y)
{
    const QColor c = image.pixelColor(x, y);
    return {uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())};
}

template <typename Colour>
int countColour(const QImage& image, QRect area, Colour colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += pixelAs<Colour>(image, x, y) == colour;
    return n;
}

}  // namespace oculant::test
