#include "diagnostics/FormImgDiag.h"

#include "diagnostics/DiagnosticText.h"

#include <QEvent>

#include <algorithm>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "signal/SignalStore.h"
#include "widgets/WindowFit.h"

namespace oculant {

namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 41;
constexpr int kButtonGap = 10;

}  // namespace

ImgDiagTestState& ImgDiagTestState::operator=(int32_t value)
{
    if (value == int32_t(TestState::ModelBuilt))
        session_.restartTest();
    return *this;
}

void ImgView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (surface_)
        p.drawImage(0, 0, *surface_);
}

void ImgView::mouseDoubleClickEvent(QMouseEvent*)
{
    if (onDoubleClick)
        onDoubleClick();
}

TFormImgDiag::TFormImgDiag(SignalStore& store, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), session_(store, noBoards_), canvas_(QFont("Tahoma"))
{
    setObjectName("TFormImgDiag");
    setWindowTitle("Diagnostic");
    QFont font("Tahoma");
    font.setPixelSize(11);
    setFont(font);
    resize(800, 480);

    Img = new ImgView(this);
    Img->setObjectName("Img");
    Img->setGeometry(rect());
    Img->onDoubleClick = [this] { ImgDblClick(); };

    Button1 = new QPushButton(QString::fromUtf8("重  置"), this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton(QString::fromUtf8("退  出"), this);
    Button2->setObjectName("Button2");
    for (QPushButton* b : {Button1, Button2}) {
        b->resize(kButtonWidth, kButtonHeight);
        b->raise();
    }
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

    // Under the buttons, red on the picture's white, so that it is seen from a step away.
    LabelNotice = new QLabel(this);
    LabelNotice->setObjectName("LabelNotice");
    LabelNotice->setAlignment(Qt::AlignCenter);
    LabelNotice->setStyleSheet("QLabel { color: rgb(255, 0, 0); background: white; padding: 4px; }");
    QFont noticeFont = font;
    noticeFont.setPixelSize(18);
    noticeFont.setBold(true);
    LabelNotice->setFont(noticeFont);
    LabelNotice->hide();

    // At the bottom, in the middle: how far the test is, on the picture's white.
    LabelProgress = new QLabel(this);
    LabelProgress->setObjectName("LabelProgress");
    LabelProgress->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    LabelProgress->setWordWrap(true);
    LabelProgress->setStyleSheet("QLabel { color: black; background: white; padding: 2px; }");
    QFont progressFont = font;
    progressFont.setPixelSize(16);
    LabelProgress->setFont(progressFont);
    LabelProgress->hide();

    Timer = new QTimer(this);
    Timer->setInterval(DiagnosticSession::kTimerIntervalMs);
    connect(Timer, &QTimer::timeout, this, [this] { TimerTimer(); });

    setTextLookup({});
}

TFormImgDiag::~TFormImgDiag() = default;

void TFormImgDiag::setTextLookup(TextLookup lookup)
{
    // Without a language file every text reads as the look-up's own "N/A".
    lookup_ = lookup ? std::move(lookup) : TextLookup([](std::string_view) { return std::string("N/A"); });
}

void TFormImgDiag::send(const DiagnosticCommand& command)
{
    if (send_)
        send_(command);
}

void TFormImgDiag::showNotice()
{
    showProgress();
    const QString text = QString::fromStdString(session_.noticeText(words_));
    if (text == LabelNotice->text() && LabelNotice->isVisible() == !text.isEmpty())
        return;
    LabelNotice->setText(text);
    LabelNotice->setVisible(!text.isEmpty());
    if (text.isEmpty())
        return;
    LabelNotice->adjustSize();
    const int top = Button1->y() + Button1->height() + kButtonGap;
    LabelNotice->move((width() - LabelNotice->width()) / 2, top);
    LabelNotice->raise();
}

void TFormImgDiag::showProgress()
{
    const QString text =
        QString::fromStdString(progressText(session_.progress(), DiagnosticSession::kWindowTimeoutMs, words_));
    LabelProgress->setText(text);
    LabelProgress->setVisible(!text.isEmpty());
    // Right of the buttons, in the picture's empty middle; long texts wrap there, so that
    // nothing of the boards' bars and names is covered.
    const int left = Button2->x() + Button2->width() + 2 * kButtonGap;
    const int room = std::max(Button2->width() * 2, width() * 7 / 8 - left);
    LabelProgress->setFixedWidth(room);
    LabelProgress->setFixedHeight(LabelProgress->heightForWidth(room));
    LabelProgress->move(left, Button2->y() + (Button2->height() - LabelProgress->height()) / 2);
    LabelProgress->raise();
}

void TFormImgDiag::syncTimer()
{
    if (session_.timerEnabled() && !Timer->isActive())
        Timer->start();
    else if (!session_.timerEnabled() && Timer->isActive())
        Timer->stop();
}

bool TFormImgDiag::isActiveForm() const { return isActiveWindow(); }

// ---- Window events ----

void TFormImgDiag::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TFormImgDiag::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TFormImgDiag::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Img->setGeometry(rect());
    FormResize();
}

void TFormImgDiag::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TFormImgDiag::FormShow()
{
    // Without a window manager nobody honours the maximised state: take the screen ourselves.
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (s)
        setGeometry(s->geometry());
    setWindowState(windowState() | Qt::WindowMaximized);
    const QSize size = s ? s->size() : QSize(800, 480);
    // The design's size, larger where a caption (in another language) or the font needs it;
    // both alike.
    const QSize button = QSize(kButtonWidth, kButtonHeight).expandedTo(captionSize(*Button1)).expandedTo(captionSize(*Button2));
    Button1->setGeometry(size.width() / 2 - button.width() - kButtonGap, size.height() / 5, button.width(), button.height());
    Button2->setGeometry(size.width() / 2 + kButtonGap, size.height() / 5, button.width(), button.height());
    if (session_.FormShow())
        Redraw();
    showNotice();
}

void TFormImgDiag::FormActivate() { send(session_.FormActivate()); }

void TFormImgDiag::FormResize() { Redraw(); }

void TFormImgDiag::FormClose() { send(session_.FormClose()); }

void TFormImgDiag::Button1Click()
{
    send(session_.Button1Click());
    Redraw();
    showNotice();
}

void TFormImgDiag::Button2Click() { close(); }

void TFormImgDiag::TimerTimer()
{
    const TickStep step = session_.TimerTimer(isActiveForm());
    if (!step.captionKey.empty())
        setWindowTitle(QString::fromStdString(lookup_(step.captionKey)));
    if (step.redraw)
        Redraw();
    showNotice();
    syncTimer();
}

void TFormImgDiag::Redraw()
{
    if (session_.Redraw(canvas_, Img->width(), Img->height(), lookup_) == RedrawOutcome::Skipped)
        return;
    Img->setSurface(&canvas_.image());
    Img->update();
}

// ---- Live scans ----

bool TFormImgDiag::wantsLiveScans() const { return isActiveForm(); }

void TFormImgDiag::OnSignalFrame()
{
    const FrameStep step = session_.handleSignalFrame();
    syncTimer();
    if (step.redraw)
        Redraw();
    showNotice();
}

}  // namespace oculant
