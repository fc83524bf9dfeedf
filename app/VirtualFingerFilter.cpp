#include "app/VirtualFingerFilter.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "diagnostics/FormImgDiag.h"
#include "diagnostics/PictureFinger.h"
#include "link/FrameTestBench.h"

namespace oculant {

VirtualFingerFilter::VirtualFingerFilter(FrameTestBench& bench, QObject* parent)
    : QObject(parent), frame_(bench)
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
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    const Mapping mapping = mappingFor(watched);
    if (mapping == Mapping::None || !watched->isWidgetType())
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const auto [x, y] = toFrameMm(mapping, watched, mouse->globalPosition(), mouse->position());
    if (type == QEvent::MouseButtonPress) {
        int& finger = mouse->button() == Qt::RightButton ? rightFinger_ : leftFinger_;
        if (finger == 0 && (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton))
            finger = frame_.fingerDown(x, y);
    } else if (type == QEvent::MouseMove) {
        if (leftFinger_ && (mouse->buttons() & Qt::LeftButton))
            frame_.moveFinger(leftFinger_, x, y);
        if (rightFinger_ && (mouse->buttons() & Qt::RightButton))
            frame_.moveFinger(rightFinger_, x, y);
    } else {
        int& finger = mouse->button() == Qt::RightButton ? rightFinger_ : leftFinger_;
        if (finger != 0) {
            frame_.fingerUp(finger);
            finger = 0;
        }
    }
    return false;  // the windows still get their events
}

}  // namespace oculant
