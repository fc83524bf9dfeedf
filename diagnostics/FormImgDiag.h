#pragma once
// The emitter/receiver diagnostic window: full screen, borderless, the picture filling it and
// two buttons (reset, exit). The main window opens it modally from "Diagnostic". The test
// itself is DiagnosticSession's; this window feeds it live scans and timer ticks, sends the mode
// commands it returns and paints its picture.
//
// Wiring (by whoever creates the windows): register frameListener() with the frame processor
// that fills the window's store, give it the board layout table, a command sender and the
// language look-up.

#include <QDialog>
#include <cstdint>
#include <functional>

#include "diagnostics/DiagnosticSession.h"
#include "diagnostics/FormImgDiagPainter.h"
#include "signal/SignalFrameListener.h"

class QLabel;
class QPushButton;
class QTimer;

namespace oculant {

class SignalStore;
class TFormImgDiag;

// `testState` as the main window sets it: assigning 1 restarts the test (DiagnosticSession::
// restartTest); reading gives the session's state. No other value is ever assigned.
class ImgDiagTestState {
public:
    explicit ImgDiagTestState(DiagnosticSession& session) : session_(session) {}
    ImgDiagTestState& operator=(int32_t value);
    operator int32_t() const { return int32_t(session_.testState()); }

private:
    DiagnosticSession& session_;
};

// The window's image control: shows the picture's surface as Redraw last left it.
class ImgView : public QWidget {
public:
    explicit ImgView(QWidget* parent) : QWidget(parent) {}
    void setSurface(const QImage* surface) { surface_ = surface; }
    std::function<void()> onDoubleClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    const QImage* surface_ = nullptr;
};

class TFormImgDiag : public QDialog, public SignalFrameListener {
    Q_OBJECT
public:
    using CommandSender = std::function<void(const DiagnosticCommand&)>;

    // On the session core's signal store; it must outlive the window.
    explicit TFormImgDiag(SignalStore& store, QWidget* parent = nullptr);
    ~TFormImgDiag() override;

    // ---- Wiring ----
    void setBoardLayout(const BoardLayoutTable& table) { session_.setBoardLayout(table); }
    void setCommandSender(CommandSender send) { send_ = std::move(send); }
    void setTextLookup(TextLookup lookup);
    // The notices and the progress line, with their English fallbacks.
    void setTextLookupOr(TextLookupOr words) { words_ = std::move(words); }
    SignalFrameListener* frameListener() { return this; }

    DiagnosticSession& session() { return session_; }
    // The picture as last painted.
    const QImage& picture() { return canvas_.image(); }

    ImgDiagTestState testState{session_};

    // ---- Controls, by their design names (owned by the window) ----
    ImgView* Img;
    QPushButton* Button1;  // reset
    QPushButton* Button2;  // exit
    QLabel* LabelProgress;  // elements accepted of all, and the time left
    QTimer* Timer;         // 200 ms frame watch, running only while the session's timer is
    QLabel* LabelNotice;   // why the test does not go on (lift the hand, no levels, …); hidden when none

    // ---- Handlers ----
    void FormShow();
    void FormActivate();
    void FormResize();
    void FormClose();
    void Button1Click();
    void Button2Click();
    void TimerTimer();
    void ImgDblClick() {}
    void Redraw();

    // ---- SignalFrameListener: live scans while this is the active window ----
    bool wantsLiveScans() const override;
    void OnSignalFrame() override;

    // Every way of closing (exit button, Escape, close()) ends here.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Whether this is the application's active window; tests replace it.
    virtual bool isActiveForm() const;

private:
    void send(const DiagnosticCommand& command);
    void syncTimer();
    void showNotice();
    void showProgress();

    // Until a layout table is given: no boards.
    BoardLayoutTable noBoards_;
    DiagnosticSession session_;
    QImageCanvas canvas_;
    CommandSender send_;
    TextLookup lookup_;
    TextLookupOr words_;
};

}  // namespace oculant
