#include "widgets/ReadableColour.h"

#include <algorithm>
#include <cmath>

namespace oculant {

namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c)
{
    const QColor rgb = c.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& wanted, const QColor& background, double minimum)
{
    if (contrastRatio(wanted, background) >= minimum)
        return wanted;
    // Towards white on a dark background, towards black on a light one: whichever end has room
    // for the contrast asked, the other end if neither has.
    const bool lighter = contrastRatio(Qt::white, background) >= contrastRatio(Qt::black, background);
    const QColor hsl = wanted.toHsl();
    const float hue = hsl.hslHueF(), saturation = hsl.hslSaturationF();
    const float from = hsl.lightnessF();
    const float to = lighter ? 1.0f : 0.0f;
    // The lightness is searched in steps of 1/64 of the way: exact enough, and the first step
    // that reads is taken, so the colour stays as close to the wanted one as it can.
    QColor best = QColor::fromHslF(hue, saturation, to);
    for (int step = 1; step <= 64; ++step) {
        const QColor candidate = QColor::fromHslF(hue, saturation, from + (to - from) * float(step) / 64.0f);
        if (contrastRatio(candidate, background) >= minimum) {
            best = candidate;
            break;
        }
    }
    return best.toRgb();
}

}  // namespace oculant
