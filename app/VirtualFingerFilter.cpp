#include "app/VirtualFingerFilter.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "backends/virtual/VirtualFrame.h"
#include "backends/virtual/VirtualSweep.h"

namespace oculant {

namespace {
// The part of the picture, at each side, where a drag counts as running along that edge.
constexpr double kEdgeBand = 0.08;
}  // namespace

VirtualFingerFilter::VirtualFingerFilter(std::shared_ptr<VirtualFrame> frame, QObject* parent)
    : QObject(parent), frame_(std::move(frame))
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
        return frame_->screenToFrameMm(sx, sy);
    }
    QWidget* window = static_cast<QWidget*>(watched)->window();
    const QPointF p = window->mapFromGlobal(global);
    double fx = std::clamp(p.x() / std::max(1, window->width()), 0.0, 1.0);
    double fy = std::clamp(p.y() / std::max(1, window->height()), 0.0, 1.0);
    const double w = frame_->beams().widthMm(), h = frame_->beams().heightMm();
    double x = fx * w, y = fy * h;
    // Near an edge of the picture: on that edge of the frame, where the emitters or receivers are.
    if (fy < kEdgeBand)
        y = VirtualSweep::kInsetMm;
    else if (fy > 1 - kEdgeBand)
        y = h - VirtualSweep::kInsetMm;
    if (fx < kEdgeBand)
        x = VirtualSweep::kInsetMm;
    else if (fx > 1 - kEdgeBand)
        x = w - VirtualSweep::kInsetMm;
    return {x, y};
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
            finger = frame_->fingerDown(x, y);
    } else if (type == QEvent::MouseMove) {
        if (leftFinger_ && (mouse->buttons() & Qt::LeftButton))
            frame_->moveFinger(leftFinger_, x, y);
        if (rightFinger_ && (mouse->buttons() & Qt::RightButton))
            frame_->moveFinger(rightFinger_, x, y);
    } else {
        int& finger = mouse->button() == Qt::RightButton ? rightFinger_ : leftFinger_;
        if (finger != 0) {
            frame_->fingerUp(finger);
            finger = 0;
        }
    }
    return false;  // the windows still get their events
}

}  // namespace oculant
