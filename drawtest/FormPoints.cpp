#include "drawtest/FormPoints.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "widgets/WindowFit.h"

namespace oculant {

namespace {

QColor qColour(InkColour c) { return QColor(c.r, c.g, c.b); }

QRectF boxRect(const PixelBox& b) { return QRectF(QPointF(b.left, b.top), QPointF(b.right, b.bottom)).normalized(); }

// A right click that moved less than this is a click, not a drag.
constexpr int kClickSlopPixels = 4;

}  // namespace

TFormPoints::TFormPoints(const SignalStore& store, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    // FormCreate. The canvas image is the double buffer; the antialiased path needs nothing
    // started, so it draws on every showing.
    setObjectName("TFormPoints");
    setWindowTitle("FormPoints");
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(800, 480);

    drawTest_.setLayout(&store);
    drawTest_.setView(this);

    Button1 = new QPushButton(QString::fromUtf8("清  除"), this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton(QString::fromUtf8("退  出"), this);
    Button2->setObjectName("Button2");
    for (QPushButton* b : {Button1, Button2})
        b->setAutoDefault(false);  // Enter neither clears nor leaves
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

    LabelCaption = new QLabel(this);
    LabelCaption->setObjectName("LabelCaption");
    LabelCaption->setAttribute(Qt::WA_TransparentForMouseEvents);
    LabelCaption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    LabelCaption->setStyleSheet("color: #606060; background: transparent;");
    LabelCaption->setText(windowTitle());

    buildMenu();
    FormResize();
}

TFormPoints::~TFormPoints() = default;

void TFormPoints::buildMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    auto item = [this](const char* name, const char* text, bool checkable) {
        QAction* a = PopupMenu1->addAction(QString::fromUtf8(text));
        a->setObjectName(name);
        a->setCheckable(checkable);
        return a;
    };
    DrawLine = item("DrawLine", "Draw Line", true);
    FixSize1 = item("FixSize1", "Fix Size", true);
    GDI1 = item("GDI1", "GDI+", true);
    Close1 = item("Close1", "Close", false);
    connect(DrawLine, &QAction::triggered, this, [this] { DrawLineClick(); });
    connect(FixSize1, &QAction::triggered, this, [this] { DrawLineClick(); });
    connect(GDI1, &QAction::triggered, this, [this] { GDI1Click(); });
    connect(Close1, &QAction::triggered, this, [this] { Close1Click(); });
}

// ---- Window events ----

void TFormPoints::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormPoints::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

void TFormPoints::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), canvas_, event->rect());
}

void TFormPoints::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // Whoever sets the caption (a report, the language), the label shows it too.
    if (event->type() == QEvent::WindowTitleChange && LabelCaption)
        LabelCaption->setText(windowTitle());
}

void TFormPoints::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        rightPressAt_ = event->position().toPoint();
        rightPressed_ = true;
    }
    QDialog::mousePressEvent(event);
}

void TFormPoints::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton && rightPressed_) {
        rightPressed_ = false;
        if ((event->position().toPoint() - rightPressAt_).manhattanLength() < kClickSlopPixels)
            PopupMenu1->popup(event->globalPosition().toPoint());
    }
    QDialog::mouseReleaseEvent(event);
}

void TFormPoints::contextMenuEvent(QContextMenuEvent* event)
{
    // The mouse opens the menu on release (above); the keyboard's menu key opens it here.
    if (event->reason() != QContextMenuEvent::Mouse)
        PopupMenu1->popup(event->globalPos());
}

void TFormPoints::done(int result)
{
    FormClose();
    QDialog::done(result);
}

// ---- Handlers ----

void TFormPoints::FormShow()
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (s)
        setGeometry(s->geometry());
    setWindowState(windowState() | Qt::WindowFullScreen);
    placeControls();
    canvas_.fill(Qt::white);
    update();
}

void TFormPoints::FormResize()
{
    // A new canvas of the client size, white; the slots and flags stay.
    canvas_ = QImage(size(), QImage::Format_RGB888);
    canvas_.fill(Qt::white);
    drawTest_.setClientSize({width(), height()});
    placeControls();
    update();
}

void TFormPoints::placeControls()
{
    // The design's size, larger where a caption (in another language) or the font needs it;
    // both alike.
    const QSize button = QSize(kButtonWidth, kButtonHeight).expandedTo(captionSize(*Button1)).expandedTo(captionSize(*Button2));
    const int top = height() / 2 - button.height() / 2;
    Button1->setGeometry(width() / 2 - button.width() - kButtonGap, top, button.width(), button.height());
    Button2->setGeometry(width() / 2 + kButtonGap, top, button.width(), button.height());
    LabelCaption->setGeometry(0, top + button.height() + kButtonGap, width(), LabelCaption->sizeHint().height());
}

void TFormPoints::FormClose() { drawTest_.stopTouchReports(); }

void TFormPoints::Button1Click() { showDrawing(drawTest_.clearCanvas()); }

void TFormPoints::Button2Click() { close(); }

void TFormPoints::Close1Click() { close(); }

void TFormPoints::DrawLineClick()
{
    drawTest_.options().drawLine = DrawLine->isChecked();
    drawTest_.options().fixSize = FixSize1->isChecked();
}

void TFormPoints::GDI1Click() { drawTest_.options().smooth = GDI1->isChecked(); }

// ---- Painting ----

void TFormPoints::showDrawing(const TouchDrawing& drawing)
{
    {
        QPainter painter(&canvas_);
        if (drawing.antialiased) {
            painter.setRenderHint(QPainter::Antialiasing);
            // The smooth path puts pixel centres on whole coordinates, so that a 1-pixel line
            // along x = 0 covers column 0 rather than half of it.
            painter.translate(0.5, 0.5);
        }
        for (const DrawOp& op : drawing.ops)
            paint(painter, op);
    }
    if (!drawing.caption.empty())
        setWindowTitle(QString::fromStdString(drawing.caption));
    update();
}

void TFormPoints::paint(QPainter& painter, const DrawOp& op)
{
    switch (op.kind) {
    case DrawOp::Kind::Fill:
        painter.save();
        painter.resetTransform();
        painter.fillRect(canvas_.rect(), Qt::white);
        painter.restore();
        break;
    case DrawOp::Kind::Border: {
        const PixelBox& b = op.box;
        const QPoint corners[] = {{b.left, b.top}, {b.left, b.bottom}, {b.right, b.bottom}, {b.right, b.top}, {b.left, b.top}};
        painter.setPen(QPen(qColour(op.colour), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(corners, 5);
        break;
    }
    case DrawOp::Kind::Dot:
        painter.setPen(op.outlined ? QPen(Qt::black, 1) : QPen(Qt::NoPen));
        painter.setBrush(qColour(op.colour));
        painter.drawEllipse(boxRect(op.box));
        break;
    case DrawOp::Kind::Line:
        painter.setPen(QPen(qColour(op.colour), op.penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLine(QPoint(op.from.x, op.from.y), QPoint(op.to.x, op.to.y));
        break;
    case DrawOp::Kind::Erase:
        if (op.ellipse) {
            painter.setPen(QPen(Qt::white, 1));
            painter.setBrush(Qt::white);
            painter.drawEllipse(boxRect(op.box));
        } else {
            painter.fillRect(boxRect(op.box), Qt::white);
        }
        break;
    }
}

}  // namespace oculant
