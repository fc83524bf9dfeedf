#include "widgets/WindowFit.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace oculant {

namespace {

int scrollBarExtent(const QWidget& window)
{
    return window.findChild<ContentsScrollArea*>() ? window.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &window)
                                                   : 0;
}

QRect availableArea(const QWidget& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

bool followsItsContents(const QWidget& window)
{
    return window.isVisible() && !(window.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
}

}  // namespace

ContentsScrollArea::ContentsScrollArea(QWidget* contents, QWidget* parent) : QScrollArea(parent)
{
    setObjectName("ContentsScrollArea");
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setWidget(contents);
    // The contents are drawn on the window's background, as without the area.
    viewport()->setBackgroundRole(QPalette::Window);
    contents->setAutoFillBackground(false);
    contents->installEventFilter(this);
}

QSize ContentsScrollArea::sizeHint() const
{
    const QMargins frame = contentsMargins();
    const QSize contents = widget() ? widget()->sizeHint().expandedTo(widget()->minimumSizeHint()) : QSize();
    return contents.grownBy(frame);
}

bool ContentsScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == widget() && event->type() == QEvent::LayoutRequest) {
        // The window's layout keeps the area's hint until told; once it has taken the new one,
        // the window grows to show it, if it can.
        updateGeometry();
        QWidget* top = window();
        if (followsItsContents(*top)) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (QWidget* w = window(); followsItsContents(*w))
                        growToContents(*w);
                },
                Qt::QueuedConnection);
        }
    }
    return QScrollArea::eventFilter(watched, event);
}

QSize sizeWithin(QSize wanted, const QRect& available, const QMargins& frame, int scrollBar)
{
    const QSize room = available.size().shrunkBy(frame);
    if (wanted.height() > room.height())
        wanted.rwidth() += scrollBar;
    if (wanted.width() > room.width())
        wanted.rheight() += scrollBar;
    return wanted.boundedTo(room).expandedTo(QSize(1, 1));
}

QPoint placeWithin(QPoint at, QSize size, const QRect& available, const QMargins& frame, Placement placement)
{
    QRect outer(at, size.grownBy(frame));
    if (placement == Placement::Centre)
        outer.moveCenter(available.center());
    // Inside the area, and where it is larger anyway, its top-left corner (the title bar) in it.
    outer.moveRight(std::min(outer.right(), available.right()));
    outer.moveBottom(std::min(outer.bottom(), available.bottom()));
    outer.moveLeft(std::max(outer.left(), available.left()));
    outer.moveTop(std::max(outer.top(), available.top()));
    return outer.topLeft();
}

QMargins frameMargins(const QWidget& window)
{
    const QRect inner = window.geometry(), outer = window.frameGeometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

void growToContents(QWidget& window)
{
    const QRect available = availableArea(window);
    const QSize grown = sizeWithin(window.size().expandedTo(window.sizeHint()), available, frameMargins(window),
                                   scrollBarExtent(window))
                            .expandedTo(window.size());
    if (grown != window.size())
        fitToScreen(window, Placement::KeepInside, grown);
}

void fitToScreen(QWidget& window, Placement placement, QSize wanted)
{
    const QRect available = availableArea(window);
    if (available.isEmpty())
        return;
    if (wanted.isEmpty())
        wanted = window.sizeHint();
    const QMargins frame = frameMargins(window);
    const QSize size =
        sizeWithin(wanted.expandedTo(window.minimumSize()), available, frame, scrollBarExtent(window));
    window.resize(size);
    window.move(placeWithin(window.pos(), window.size(), available, frame, placement));
}

QSize captionSize(const QAbstractButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QStyle* style = button.style();
    const int edge = style->pixelMetric(QStyle::PM_ButtonMargin, &option, &button) +
                     style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &button);
    return button.fontMetrics().size(Qt::TextShowMnemonic, button.text()) + QSize(2 * edge, 2 * edge);
}

}  // namespace oculant
