#pragma once
// What the diagnostic picture is painted with: a 24-bit surface that can fill, outline, draw
// lines, circles and text. The window implements it with QPainter on a QImage; tests record the
// calls. All coordinates are integer pixels.

#include <cstdint>
#include <string_view>

namespace oculant {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kBlack{0, 0, 0};

// left/top/right/bottom. For fills and circles the right and bottom edges are excluded
// (the rectangle covers right − left by bottom − top pixels); an outline runs on all four edges.
struct CanvasRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const CanvasRect&) const = default;
};

enum class TextSize : uint8_t {
    Normal,   // the surface's default font
    Verdict,  // the 150-point PASS or FAIL
};

struct TextStyle {
    Rgb colour = kBlack;
    bool transparent = false;  // otherwise on an opaque white background
    bool vertical = false;     // runs from bottom to top, turned about its anchor
    TextSize size = TextSize::Normal;
    bool operator==(const TextStyle&) const = default;
};

class DiagnosticCanvas {
public:
    virtual ~DiagnosticCanvas() = default;
    // A new surface of this size; its content is undefined until painted.
    virtual void resize(int width, int height) = 0;
    virtual void fillRect(const CanvasRect& r, Rgb colour) = 0;
    // A black 1-pixel outline on all four edges.
    virtual void outlineRect(const CanvasRect& r) = 0;
    // A black line of the given pen width.
    virtual void line(int x0, int y0, int x1, int y1, int penWidth) = 0;
    // A circle in the bounding box, filled and outlined in black.
    virtual void circle(const CanvasRect& bounds, Rgb fill) = 0;
    // Text whose top-left corner (in its own orientation) is at (x, y).
    virtual void text(int x, int y, std::string_view text, const TextStyle& style) = 0;
};

}  // namespace oculant
