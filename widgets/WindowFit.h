#pragma once
// Windows that fit the screen they open on. A window asks for the size of its contents; where
// the screen's available area is smaller (a 1366 × 768 laptop, a 1920 × 1080 panel at 200 %), it
// opens as large as that area, frame included, and its contents scroll.

#include <QMargins>
#include <QRect>
#include <QScrollArea>
#include <QSize>

class QAbstractButton;
class QWidget;

namespace oculant {

// A window's contents in a frameless scroll area. Unlike QScrollArea it asks for the whole size
// of its contents, so that a window sized to its hint shows everything where there is room.
// When the contents grow (a longer text, a note shown), the window grows with them, as far as
// its screen lets it; it never shrinks on its own, so a size the user chose is kept.
class ContentsScrollArea : public QScrollArea {
    Q_OBJECT
public:
    // Takes `contents` over; the area takes the window's background.
    explicit ContentsScrollArea(QWidget* contents, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// `wanted` made no larger than `available` less the window's `frame`. Where the height is cut,
// the width gains a vertical scroll bar of `scrollBar` pixels (and the height a horizontal one
// where the width is cut), within the same bounds.
QSize sizeWithin(QSize wanted, const QRect& available, const QMargins& frame, int scrollBar = 0);

enum class Placement {
    Centre,      // centred in the available area
    KeepInside,  // where it is, moved just enough to lie inside the available area
};

// Where a window of `size` inside `frame` goes in `available`: the top-left of its frame, as
// QWidget::pos() and move() take it; `at` is where the frame's top-left is now.
QPoint placeWithin(QPoint at, QSize size, const QRect& available, const QMargins& frame, Placement placement);

// The window's frame as far as the window system has told it (none before it has).
QMargins frameMargins(const QWidget& window);

// Sizes `window` to `wanted` (its size hint when empty), no larger than its screen's available
// area with the frame, and places it there. Windows whose contents scroll (ContentsScrollArea)
// get room for the scroll bar where they are cut.
void fitToScreen(QWidget& window, Placement placement, QSize wanted = {});

// Larger, if the window's contents now ask for more and its screen has the room; never smaller,
// and moved (inside the screen) only when it grew.
void growToContents(QWidget& window);

// The least size that shows a button's caption whole in its font, with the style's margins and
// frame (but not the style's preferred minimum width): for buttons placed by hand, which keep
// their design size unless the caption needs more.
QSize captionSize(const QAbstractButton& button);

}  // namespace oculant
