#pragma once
// The diagnostic picture's surface: a 24-bit QImage painted with QPainter, without
// antialiasing, the way the picture's pixel geometry is stated.

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <memory>

#include "diagnostics/DiagnosticCanvas.h"

namespace oculant {

class QImageCanvas : public DiagnosticCanvas {
public:
    // `font` is the surface's default font; its pixel size is set per text size.
    explicit QImageCanvas(QFont font = QFont());
    ~QImageCanvas() override;

    void resize(int width, int height) override;
    void fillRect(const CanvasRect& r, Rgb colour) override;
    void outlineRect(const CanvasRect& r) override;
    void line(int x0, int y0, int x1, int y1, int penWidth) override;
    void circle(const CanvasRect& bounds, Rgb fill) override;
    void text(int x, int y, std::string_view text, const TextStyle& style) override;

    // The surface as painted so far (painting is finished first).
    const QImage& image();
    void finish();

    // Pixel sizes: the default font's 11 pixels (a −11 font height), and 150 points at 96 dpi.
    static constexpr int kNormalPixels = 11;
    static constexpr int kVerdictPixels = 200;

private:
    QPainter& painter();

    QImage image_;
    QFont normalFont_;
    QFont verdictFont_;
    QFontMetrics normalMetrics_;
    QFontMetrics verdictMetrics_;
    std::unique_ptr<QPainter> painter_;  // open while a Redraw paints
};

}  // namespace oculant
