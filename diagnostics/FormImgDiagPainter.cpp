#include "diagnostics/FormImgDiagPainter.h"

#include <algorithm>
#include <cstring>

namespace oculant {

namespace {

QColor qcolor(Rgb c) { return QColor(c.r, c.g, c.b); }

QFont withPixelSize(QFont font, int pixels)
{
    font.setPixelSize(pixels);
    return font;
}

}  // namespace

QImageCanvas::QImageCanvas(QFont font)
    : image_(1, 1, QImage::Format_RGB888),
      normalFont_(withPixelSize(font, kNormalPixels)),
      verdictFont_(withPixelSize(font, kVerdictPixels)),
      normalMetrics_(normalFont_),
      verdictMetrics_(verdictFont_)
{
    image_.fill(Qt::white);
}

QImageCanvas::~QImageCanvas() = default;

QPainter& QImageCanvas::painter()
{
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&image_);
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setRenderHint(QPainter::TextAntialiasing, true);
    }
    return *painter_;
}

void QImageCanvas::finish() { painter_.reset(); }

const QImage& QImageCanvas::image()
{
    finish();
    return image_;
}

void QImageCanvas::resize(int width, int height)
{
    finish();
    image_ = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB888);
}

void QImageCanvas::fillRect(const CanvasRect& r, Rgb colour)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    if (colour == kWhite && r.left <= 0 && r.top <= 0 && r.right >= image_.width() && r.bottom >= image_.height()) {
        // The whole surface white, as every layout starts: white is all ones in RGB888.
        finish();
        std::memset(image_.bits(), 0xFF, size_t(image_.sizeInBytes()));
        return;
    }
    painter().fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), qcolor(colour));
}

void QImageCanvas::outlineRect(const CanvasRect& r)
{
    // Four one-pixel bands on the edges, corners included: the pixels of a 1-pixel outline,
    // filled far faster than a stroked polyline.
    QPainter& p = painter();
    const int w = r.right - r.left + 1, h = r.bottom - r.top + 1;
    p.fillRect(QRect(r.left, r.top, w, 1), Qt::black);
    p.fillRect(QRect(r.left, r.bottom, w, 1), Qt::black);
    p.fillRect(QRect(r.left, r.top, 1, h), Qt::black);
    p.fillRect(QRect(r.right, r.top, 1, h), Qt::black);
}

void QImageCanvas::line(int x0, int y0, int x1, int y1, int penWidth)
{
    QPainter& p = painter();
    p.setPen(QPen(Qt::black, penWidth <= 1 ? 0 : penWidth));
    p.drawLine(x0, y0, x1, y1);
}

void QImageCanvas::circle(const CanvasRect& bounds, Rgb fill)
{
    QPainter& p = painter();
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(qcolor(fill));
    // The outline is drawn inside the box: its right and bottom edges are excluded.
    p.drawEllipse(QRect(bounds.left, bounds.top, bounds.right - bounds.left - 1, bounds.bottom - bounds.top - 1));
    p.setBrush(Qt::NoBrush);
}

void QImageCanvas::text(int x, int y, std::string_view text, const TextStyle& style)
{
    if (text.empty())
        return;
    QPainter& p = painter();
    const QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
    const bool verdict = style.size == TextSize::Verdict;
    const QFont& font = verdict ? verdictFont_ : normalFont_;
    const QFontMetrics& metrics = verdict ? verdictMetrics_ : normalMetrics_;
    p.save();
    p.setFont(font);
    p.translate(x, y);
    if (style.vertical)
        p.rotate(-90);  // runs from bottom to top; the glyphs' tops face left
    if (!style.transparent)
        p.fillRect(QRect(0, 0, metrics.horizontalAdvance(s), metrics.height()), Qt::white);
    p.setPen(qcolor(style.colour));
    p.drawText(0, metrics.ascent(), s);
    p.restore();
}

}  // namespace oculant
