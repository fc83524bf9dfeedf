#include "calibration/FormCalibrate.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cmath>

#include "calibration/CaptureListener.h"
#include "calibration/CaptureSession.h"
#include "signal/SignalFrameListener.h"

namespace oculant {
namespace {

constexpr int kTimerIntervalMs = 100;

const QColor kSilver(192, 192, 192);
const QColor kInfoBlue(0, 0, 255);
const QColor kPieGreen(0, 255, 0);
const QColor kTargetRed(255, 0, 0);

QPoint toImage(ScreenLogical t, const QImage& image)
{
    return {int(int64_t{t.x} * image.width() / kLogicalSpan), int(int64_t{t.y} * image.height() / kLogicalSpan)};
}

void drawCross(QPainter& p, QPoint c, int arm)
{
    p.drawLine(c.x() - arm, c.y(), c.x() + arm, c.y());
    p.drawLine(c.x(), c.y() - arm, c.x(), c.y() + arm);
}

// The current target: a white patch, the green sector of the progress growing clockwise from
// twelve o'clock, and the red cross, hand and circle over it.
void drawCurrentTarget(QPainter& p, QPoint c, int progress)
{
    p.fillRect(QRect(QPoint(c.x() - 35, c.y() - 35), QPoint(c.x() + 60, c.y() + 35)), Qt::white);
    const double a = progress * (-6.2831852) / 100 + 1.5707963;
    const QPoint hand(int(std::trunc(c.x() + 30 * std::cos(a))), int(std::trunc(c.y() - 30 * std::sin(a))));
    const QRect circle(c.x() - 20, c.y() - 20, 40, 40);
    if (progress > 0) {
        p.setPen(QPen(kPieGreen, 3));
        p.setBrush(kPieGreen);
        // From the hand counter-clockwise up to twelve o'clock (Qt angles: 1/16 degree).
        const int start = int(std::lround(a * 180.0 / M_PI * 16));
        p.drawPie(circle, start, int(std::lround(progress * 3.6 * 16)));
        p.setBrush(Qt::NoBrush);
    }
    p.setPen(QPen(kTargetRed, 2));
    drawCross(p, c, 30);
    if (progress > 0)
        p.drawLine(c, hand);
    p.drawEllipse(circle);
}

}  // namespace

struct TFormCalibrate::Capture {
    CaptureSession session;
    CaptureListener feed{session};
    CalibrationSettings settings;
    ScreenSize screen;
};

TFormCalibrate::TFormCalibrate(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), capture_(std::make_unique<Capture>())
{
    setObjectName("TFormCalibrate");
    setWindowTitle("Calibrate");
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(800, 480);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        capture_->screen = {s->size().width(), s->size().height()};
    capture_->settings.window = {0, 0, capture_->screen.width, capture_->screen.height};

    Timer1 = new QTimer(this);
    Timer1->setInterval(kTimerIntervalMs);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();
}

TFormCalibrate::~TFormCalibrate() = default;

SignalFrameListener* TFormCalibrate::touchListener() { return &capture_->feed; }
const CalibrationData& TFormCalibrate::data() const { return capture_->session.data(); }
const CaptureSession& TFormCalibrate::capture() const { return capture_->session; }

void TFormCalibrate::setSettings(const CalibrationSettings& settings, const ScreenSize& screen)
{
    capture_->settings = settings;
    capture_->screen = screen;
}

void TFormCalibrate::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormCalibrate::FormShow()
{
    closing_ = false;
    // Without a window manager nobody honours the full-screen state: take the screen ourselves.
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        setGeometry(s->geometry());
    setWindowState(windowState() | Qt::WindowFullScreen);
    // A window or screen without area is refused by step B before the screen opens; should
    // one get here all the same, the screen closes at once as a cancelled capture.
    if (!capture_->session.open(capture_->settings, capture_->screen)) {
        QTimer::singleShot(0, this, [this] { reject(); });
        return;
    }
    activateWindow();
    redraw(true);
}

void TFormCalibrate::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    redraw(isActiveWindow());
}

void TFormCalibrate::Timer1Timer()
{
    if (!isVisible() || !isActiveWindow() || !capture_->session.isOpen())
        return;
    apply(capture_->session.captureStep(++tick_));
}

void TFormCalibrate::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        apply(capture_->session.keyPress(CaptureSession::kEscapeKey));
        return;
    }
    // Enter and the other keys do nothing (QDialog would accept on Enter).
    event->accept();
}

void TFormCalibrate::apply(const CaptureStepResult& result)
{
    if (result.refused != StepRefusal::None)
        return;
    send(result.command ? &*result.command : nullptr);
    if (result.end != CaptureEnd::None) {
        closing_ = true;
        QDialog::done(result.end == CaptureEnd::Completed ? Accepted : Rejected);
        return;
    }
    if (result.redraw)
        redraw(true);
}

void TFormCalibrate::done(int result)
{
    // Closed from outside (close(), reject()): the capture ends without success, mode 0 is sent.
    if (!closing_ && capture_->session.isOpen())
        {
        const CaptureStepResult r = capture_->session.close();
        send(r.command ? &*r.command : nullptr);
    }
    else if (!closing_)
        send(&kStopStreaming);
    closing_ = false;
    (void)result;  // only a completed capture is a success
    QDialog::done(capture_->session.data().complete() ? Accepted : Rejected);
}

void TFormCalibrate::send(const ModeCommand* command)
{
    if (command && send_)
        send_(command->code, command->payload.data(), command->payload.size());
}

void TFormCalibrate::redraw(bool active)
{
    if (width() <= 0 || height() <= 0)
        return;
    if (picture_.size() != size())
        picture_ = QImage(size(), QImage::Format_RGB888);
    picture_.fill(Qt::black);
    QPainter p(&picture_);
    const CalibrationWindow& w = capture_->settings.window;
    p.fillRect(QRect(w.x, w.y, w.width, w.height), Qt::white);

    const CalibrationData& d = capture_->session.data();
    const int current = capture_->session.current();
    for (size_t k = 0; k < d.usedCount(); ++k) {
        p.setPen(QPen(int(k) < current ? kSilver : Qt::black, 1));
        const QPoint c = toImage(d.points[k].target, picture_);
        drawCross(p, c, 15);
        p.drawEllipse(QRect(c.x() - 10, c.y() - 10, 20, 20));
    }

    const QString info = lookup_ ? QString::fromStdString(lookup_("CalibrateInfo")) : QString();
    p.setPen(kInfoBlue);
    const QFontMetrics metrics(p.font());
    p.drawText(w.x + w.width / 2 - 3 * int(info.size()), w.y + 10 + metrics.ascent(), info);

    if (active && current >= 0 && size_t(current) < d.usedCount())
        drawCurrentTarget(p, toImage(d.points[size_t(current)].target, picture_), capture_->session.progress());
    p.end();
    update();
}

void TFormCalibrate::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (picture_.isNull())
        p.fillRect(rect(), Qt::black);
    else
        p.drawImage(0, 0, picture_);
}

}  // namespace oculant
