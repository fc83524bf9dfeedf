#include "calibration/FormCalibrate.h"

#include "i18n/TextKeys.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <optional>

#include "calibration/CaptureGeometry.h"
#include "calibration/CaptureListener.h"
#include "calibration/CaptureResult.h"
#include "calibration/CaptureSession.h"
#include "calibration/TextFormat.h"
#include "calibration/VerifyPass.h"
#include "signal/SignalFrameListener.h"
#include "widgets/WindowFit.h"

namespace oculant {
namespace {

constexpr int kTimerIntervalMs = 100;

const QColor kSilver(192, 192, 192);
const QColor kInfoBlue(0, 0, 255);
const QColor kPieGreen(0, 255, 0);
const QColor kTargetRed(255, 0, 0);
constexpr int kWarningFrame = 8;  // pixels: the red frame of a result beyond the limit
// The longest residual arrow of a result, in picture pixels.
constexpr int kLongestArrowPx = 60;
// Texts keep this far from a target's centre: the current target's white box reaches 35 out.
constexpr int kTargetClearance = 40;

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

struct TFormCalibrate::Result {
    CaptureResultView view;
    bool pending = false;  // shown at the next opening
    std::optional<VerifyResult> verify;
    std::string verifyText;
};

TFormCalibrate::TFormCalibrate(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      capture_(std::make_unique<Capture>()),
      result_(std::make_unique<Result>())
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

    ButtonVerify = new QPushButton("Verify", this);
    ButtonVerify->setObjectName("ButtonVerify");
    ButtonClose = new QPushButton("Close", this);
    ButtonClose->setObjectName("ButtonClose");
    for (QPushButton* b : {ButtonVerify, ButtonClose}) {
        b->setFocusPolicy(Qt::NoFocus);  // Enter must not press them
        b->hide();
    }
    connect(ButtonVerify, &QPushButton::clicked, this, [this] { ButtonVerifyClick(); });
    connect(ButtonClose, &QPushButton::clicked, this, [this] { reject(); });
}

TFormCalibrate::~TFormCalibrate() = default;

void TFormCalibrate::showResult(const CaptureResultView& result)
{
    result_->view = result;
    result_->pending = true;
}

const VerifyResult* TFormCalibrate::verifyResult() const
{
    return result_->verify ? &*result_->verify : nullptr;
}

QString TFormCalibrate::resultText() const
{
    std::string text = result_->view.summary;
    if (!result_->verifyText.empty())
        text += "\n" + result_->verifyText;
    if (beyondVerifyLimit(result_->view, verifyResult())) {
        const double largest = largestShownErrorMm(result_->view, verifyResult());
        text += "\n" + fillIn(textOf(lookupOr_, textkeys::kBeyondLimit),
                              {formatFixed(largest, 1), formatFixed(result_->view.options.limitMm, 1)});
    }
    return QString::fromStdString(text);
}

SignalFrameListener* TFormCalibrate::touchListener() { return &capture_->feed; }
const CalibrationData& TFormCalibrate::data() const { return capture_->session.data(); }
const CaptureSession& TFormCalibrate::capture() const { return capture_->session; }

void TFormCalibrate::setSettings(const CalibrationSettings& settings, const ScreenSize& screen)
{
    capture_->settings = settings;
    capture_->screen = screen;
}

void TFormCalibrate::setPositions(const PositionCounts& positions)
{
    capture_->session.setMisplacedLimit(CaptureSession::kDefaultMisplacedLimitMm, positions);
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
    if (result_->pending) {
        result_->pending = false;
        result_->verify.reset();
        result_->verifyText.clear();
        if (capture_->session.isOpen())
            capture_->session.close();  // the result takes no touches until Verify
        mode_ = Mode::Result;
        placeButtons();
        ButtonVerify->show();
        ButtonClose->show();
        activateWindow();
        redraw(true);
        return;
    }
    mode_ = Mode::Capture;
    retakeText_.clear();
    retakeTarget_ = -1;
    ButtonVerify->hide();
    ButtonClose->hide();
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
    placeButtons();
    redraw(isActiveWindow());
}

// Below the middle of the calibration window, clear of the summary at its top.
void TFormCalibrate::placeButtons()
{
    const CalibrationWindow& w = capture_->settings.window;
    const int cx = w.x + w.width / 2, y = w.y + w.height / 2 + 40;
    // 100 × 32, or larger where the caption or the font needs it; both alike.
    const QSize size = QSize(100, 32).expandedTo(captionSize(*ButtonVerify)).expandedTo(captionSize(*ButtonClose));
    ButtonVerify->setGeometry(cx - 10 - size.width(), y, size.width(), size.height());
    ButtonClose->setGeometry(cx + 10, y, size.width(), size.height());
}

void TFormCalibrate::ButtonVerifyClick()
{
    if (mode_ != Mode::Result)
        return;
    const std::optional<CalibrationData> targets = verifyTargets(result_->view.verify, result_->view.options.count);
    if (!targets || !capture_->session.open(*targets)) {
        const auto& k = textkeys::kVerifyNoRoom;
        result_->verifyText = textOf(lookupOr_, k);
        redraw(true);
        return;
    }
    mode_ = Mode::Verify;
    ButtonVerify->hide();
    ButtonClose->hide();
    send(&kStartTouchReports);
    redraw(true);
}

// A verify capture ended: its verdict and arrows, or that it was abandoned; the result again.
void TFormCalibrate::endVerify(bool completed)
{
    const CaptureResultView& view = result_->view;
    result_->verify = completed ? evaluateVerify(view.verify, capture_->session.data(), view.options.limitMm)
                                : VerifyResult{};
    result_->verify->limitMm = view.options.limitMm;
    const std::string report = verifyReport(*result_->verify, "", view.chinese);
    result_->verifyText = report.substr(0, report.find('\n'));
    mode_ = Mode::Result;
    ButtonVerify->show();
    ButtonClose->show();
    redraw(true);
}

void TFormCalibrate::Timer1Timer()
{
    if (!isVisible() || !isActiveWindow() || !capture_->session.isOpen())
        return;
    apply(capture_->session.captureStep(++tick_));
}

void TFormCalibrate::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && mode_ == Mode::Result) {
        reject();
        return;
    }
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
    if (result.end != CaptureEnd::None && mode_ == Mode::Verify) {
        endVerify(result.end == CaptureEnd::Completed);
        return;
    }
    if (result.end != CaptureEnd::None) {
        closing_ = true;
        QDialog::done(result.end == CaptureEnd::Completed ? Accepted : Rejected);
        return;
    }
    if (result.retake) {
        retakeText_ = fillIn(textOf(lookupOr_, textkeys::calwords::kTouchAgain),
                             {formatFixed(capture_->session.lastMisplacedMm(), 1),
                              formatFixed(capture_->session.misplacedLimitMm(), 1)});
        retakeTarget_ = capture_->session.current();
    } else if (capture_->session.current() != retakeTarget_) {
        retakeText_.clear();
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
    if (mode_ == Mode::Result) {
        drawResult(p);
        p.end();
        update();
        return;
    }

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
    // At the top, below any target under it (the current one's box reaches 35 pixels out).
    const int infoLeft = w.x + w.width / 2 - 3 * int(info.size());
    std::vector<ScreenPixel> targets;
    for (size_t k = 0; k < d.usedCount(); ++k) {
        const QPoint c = toImage(d.points[k].target, picture_);
        targets.push_back({c.x(), c.y()});
    }
    const int infoTop = clearBandTop(targets, infoLeft, infoLeft + metrics.horizontalAdvance(info), w.y + 10,
                                     w.y + w.height, metrics.height(), kTargetClearance);
    p.drawText(infoLeft, infoTop + metrics.ascent(), info);
    if (mode_ == Mode::Capture && !retakeText_.empty()) {
        const QString again = QString::fromStdString(retakeText_);
        p.setPen(Qt::red);
        p.drawText(w.x + w.width / 2 - metrics.horizontalAdvance(again) / 2, infoTop + 2 * metrics.height() + metrics.ascent(),
                   again);
        p.setPen(kInfoBlue);
    }

    if (active && current >= 0 && size_t(current) < d.usedCount())
        drawCurrentTarget(p, toImage(d.points[size_t(current)].target, picture_), capture_->session.progress());
    p.end();
    update();
}

// A dot on every target and an arrow towards where its touch landed, the largest in red and
// ringed; the verify pass's points once it ended, the fit's before. The summary at the top.
void TFormCalibrate::drawResult(QPainter& p)
{
    const CaptureResultView& view = result_->view;
    const bool verified = result_->verify && result_->verify->completed;
    const FitResiduals& shown = verified ? result_->verify->residuals : view.residuals;
    const ResidualPicture arrows =
        residualArrows(shown, view.verify.screen, {picture_.width(), picture_.height()}, kLongestArrowPx);
    p.setRenderHint(QPainter::Antialiasing);
    for (const ResidualArrow& a : arrows.arrows) {
        const QPoint from(a.from.x, a.from.y), to(a.to.x, a.to.y);
        const QColor colour = a.largest ? kTargetRed : kInfoBlue;
        p.setPen(QPen(colour, a.largest ? 3 : 2));
        p.drawLine(from, to);
        p.setBrush(Qt::black);
        p.setPen(Qt::NoPen);
        p.drawEllipse(from, 3, 3);
        p.setBrush(Qt::NoBrush);
        if (a.largest) {
            p.setPen(QPen(kTargetRed, 2));
            p.drawEllipse(from, 12, 12);
        }
    }
    const CalibrationWindow& w = capture_->settings.window;
    // Errors larger than the arrows' room are drawn shrunk: "0.042 times", not "0 times".
    const QString factor = arrows.scale >= 10 ? QString::number(arrows.scale, 'f', 0) : QString::number(arrows.scale, 'g', 2);
    const auto& k = textkeys::kArrowsScale;
    const QString scale = QString::fromStdString(textOf(lookupOr_, k)).arg(factor);
    // An error beyond the limit: the text in red and the window framed in red.
    const bool beyond = beyondVerifyLimit(result_->view, verifyResult());
    if (beyond) {
        p.setPen(QPen(kTargetRed, kWarningFrame));
        p.drawRect(QRect(w.x + kWarningFrame / 2, w.y + kWarningFrame / 2, w.width - kWarningFrame, w.height - kWarningFrame));
    }
    p.setPen(beyond ? kTargetRed : kInfoBlue);
    // The figures where no target's dot or arrow is: the first clear band from the top.
    const QString figures = resultText() + "\n" + scale;
    const QRect room(w.x + 20, w.y + 10, w.width - 40, w.height - 20);
    const int textHeight = p.fontMetrics().boundingRect(room, Qt::AlignTop | Qt::AlignHCenter | Qt::TextWordWrap, figures).height();
    std::vector<ScreenPixel> dots;
    for (const ResidualArrow& a : arrows.arrows)
        dots.push_back(a.from);
    const int textTop = clearBandTop(dots, room.left(), room.right(), room.top(), room.bottom(), textHeight,
                                     kLongestArrowPx + 12);
    p.drawText(QRect(room.left(), textTop, room.width(), textHeight), Qt::AlignTop | Qt::AlignHCenter | Qt::TextWordWrap,
               figures);
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
