#pragma once
// Colours that stay readable on whatever palette the desktop gives: a colour that means
// something (the frame's red, the display's blue) keeps its hue and is made lighter or darker
// until it stands out from the background it is drawn on.

#include <QColor>

namespace oculant {

// The contrast ratio of two colours by their relative luminance, 1 (equal) to 21 (black on
// white), as the web's accessibility guidelines count it.
double contrastRatio(const QColor& a, const QColor& b);

// Normal text wants 4.5:1 against its background.
inline constexpr double kReadableContrast = 4.5;

// `wanted` when it contrasts enough with `background`; otherwise the same hue, lighter on a
// dark background and darker on a light one, just as far as it takes (black or white at most).
QColor readableOn(const QColor& wanted, const QColor& background, double minimum = kReadableContrast);

}  // namespace oculant
