#pragma once
// The draw test window: full screen, borderless and white, with the touches the frame reports
// drawn on it as dots or strokes, a clear and an exit button in the middle and a pop-up menu for
// the drawing modes. The main window opens it modally from "Draw Test". The slot logic is
// DrawTest's; this window gives it the client size and the menu's options and paints the shapes
// it hands over on a 24-bit image, which is the only record of the strokes.
//
// Wiring (by whoever creates the windows): register touchListener() with the frame processor
// that fills the session core's signal store, and give the window a command sender and the language
// look-up.

#include <QDialog>
#include <QImage>

#include "drawtest/DrawTest.h"

class QAction;
class QLabel;
class QMenu;
class QPainter;
class QPushButton;

namespace oculant {

class TFormPoints : public QDialog, private DrawTestView {
    Q_OBJECT
public:
    // The buttons' size at least; larger where a caption or the font needs it.
    static constexpr int kButtonWidth = 75;
    static constexpr int kButtonHeight = 41;
    static constexpr int kButtonGap = 10;  // each button's distance from the centre line

    // On the session core's signal store (nX and nY for the size test); it must outlive the window.
    explicit TFormPoints(const SignalStore& store, QWidget* parent = nullptr);
    ~TFormPoints() override;

    // ---- Wiring ----
    void setCommandSender(DrawTest::CommandSender send) { drawTest_.setCommandSender(std::move(send)); }
    void setTextLookup(TextLookup lookup) { drawTest_.setTextLookup(std::move(lookup)); }
    SignalFrameListener* touchListener() { return &drawTest_; }

    DrawTest& drawTest() { return drawTest_; }
    // The canvas as painted so far.
    const QImage& canvas() const { return canvas_; }

    // ---- Controls, by their design names (owned by the window) ----
    QPushButton* Button1 = nullptr;  // clear
    QPushButton* Button2 = nullptr;  // exit
    QMenu* PopupMenu1 = nullptr;
    QAction* DrawLine = nullptr;  // strokes instead of dots
    QAction* FixSize1 = nullptr;  // every touch about 10 pixels across
    QAction* GDI1 = nullptr;      // the antialiased path
    QAction* Close1 = nullptr;
    // The caption, shown on the canvas too: a borderless full-screen window shows no title bar.
    QLabel* LabelCaption = nullptr;

    // ---- Handlers ----
    void FormShow();
    void FormResize();
    void FormClose();
    void Button1Click();
    void Button2Click();
    void DrawLineClick();  // DrawLine and FixSize1: the item has toggled its own check mark
    void GDI1Click();
    void Close1Click();

    // Every way of closing (exit button, menu, Escape, close()) ends here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showDrawing(const TouchDrawing& drawing) override;
    void paint(QPainter& painter, const DrawOp& op);
    void placeControls();
    void buildMenu();

    DrawTest drawTest_;
    QImage canvas_;
    // The pop-up menu opens on a right click that did not drag: with the virtual frame a right
    // drag is a second finger.
    QPoint rightPressAt_;
    bool rightPressed_ = false;
};

}  // namespace oculant
