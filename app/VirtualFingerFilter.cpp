#include "app/VirtualFingerFilter.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "diagnostics/FormImgDiag.h"
#include "diagnostics/PictureFinger.h"
#include "link/FrameTestBench.h"

namespace oculant {

VirtualFingerFilter::VirtualFingerFilter(FrameTestBench& bench, QObject* parent)
    : QObject(parent), frame_(bench), fingers_(bench)
{
}

VirtualFingerFilter::Mapping VirtualFingerFilter::mappingFor(QObject* watched)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return Mapping::None;
    QWidget* window = widget->window();
    if (window->inherits("oculant::TFormImgDiag"))
        return Mapping::Picture;
    if (window->inherits("oculant::TFormPoints") || window->inherits("oculant::TFormCalibrate"))
        return Mapping::Display;
    return Mapping::None;
}

std::pair<double, double> VirtualFingerFilter::toFrameMm(Mapping mapping, QObject* watched, QPointF global, QPointF) const
{
    if (mapping == Mapping::Display) {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const double sx = (global.x() - screen.x()) * 32768.0 / std::max(1, screen.width());
        const double sy = (global.y() - screen.y()) * 32768.0 / std::max(1, screen.height());
        return frame_.screenToFrameMm(sx, sy);
    }
    // The picture fills the diagnostic window; its bars show where each element sits.
    auto* window = static_cast<TFormImgDiag*>(static_cast<QWidget*>(watched)->window());
    const QPointF p = window->mapFromGlobal(global);
    return pictureFingerMm(window->session().model(), p.x(), p.y(), window->width(), window->height(),
                           frame_.geometry());
}

bool VirtualFingerFilter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // Ctrl+U is the main window's shortcut, which a modal window (the diagnostic, the capture
    // screen, the draw test) shadows: taken here then, so the cable can be pulled mid-test.
    if (type == QEvent::KeyPress && QApplication::activeModalWidget()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_U && key->modifiers() == Qt::ControlModifier && !key->isAutoRepeat())
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* plugged = w->findChild<QAction*>("VirtualFramePlugged")) {
                    plugged->toggle();
                    return true;
                }
    }
    // The window closing under a held button never gets its release: the finger comes off with it.
    if ((type == QEvent::Hide || type == QEvent::Close) && pressedOn_ && watched == pressedOn_.data()) {
        fingers_.liftAll();
        pressedOn_ = nullptr;
        return false;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const bool leftOrRight = mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton;
    const BenchFingers::Button button = mouse->button() == Qt::RightButton ? BenchFingers::Right : BenchFingers::Left;
    const bool leftHeld = mouse->buttons() & Qt::LeftButton;
    const bool rightHeld = mouse->buttons() & Qt::RightButton;
    // A release lifts its finger wherever it lands, also over a window that maps nothing.
    if (type == QEvent::MouseButtonRelease) {
        if (leftOrRight)
            fingers_.release(button);
        return false;
    }
    if (!pressedOn_)
        fingers_.liftAll();  // the window it was put down on is gone
    const Mapping mapping = mappingFor(watched);
    if (mapping == Mapping::None || !watched->isWidgetType()) {
        if (type == QEvent::MouseMove)
            fingers_.buttonsHeld(leftHeld, rightHeld);
        return false;
    }
    const auto [x, y] = toFrameMm(mapping, watched, mouse->globalPosition(), mouse->position());
    if (type == QEvent::MouseButtonPress) {
        if (leftOrRight) {
            fingers_.press(button, x, y);
            pressedOn_ = static_cast<QWidget*>(watched)->window();
        }
    } else {
        fingers_.move(leftHeld, rightHeld, x, y);
    }
    return false;  // the windows still get their events
}

}  // namespace oculant
