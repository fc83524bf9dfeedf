#pragma once
// The calibration capture screen: full screen and borderless, black outside the calibration
// window and white inside, a cross per target and, on the current one, the red cross with the
// green pie that fills while the finger is held. The capture logic is CaptureSession's; this
// window runs its step from a 100 ms timer while it is active and paints what it says.
//
// After a fit the window shows its result when opened with showResult(): an arrow per target
// towards where its touch landed (scaled, the largest in red), the summary, and the buttons
// Verify (a verify pass of fresh targets, then its own arrows and verdict) and Close.
//
// Wiring (by whoever creates the windows): register touchListener() with the frame processor,
// give the window a command sender and the language look-up; before each exec() hand it the
// settings of steps A and B with setSettings(), and read data() after it closed.

#include "base/TextLookup.h"
#include <QDialog>
#include <QString>
#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QPainter;
class QPushButton;
class QTimer;

// Only forward declarations of the core here: moc compiles every window header into one unit,
// and the core headers of different subsystems are not meant to meet there.
namespace oculant {

class CaptureSession;
class SignalFrameListener;
struct CalibrationData;
struct CalibrationSettings;
struct ScreenSize;
struct PositionCounts;
struct CaptureStepResult;
struct ModeCommand;
struct CaptureResultView;
struct VerifyResult;

class TFormCalibrate : public QDialog {
    Q_OBJECT
public:
    using CommandSender = std::function<void(uint8_t code, const uint8_t* payload, size_t length)>;

    explicit TFormCalibrate(QWidget* parent = nullptr);
    ~TFormCalibrate() override;

    // ---- Wiring ----
    void setCommandSender(CommandSender send) { send_ = std::move(send); }
    void setTextLookup(TextLookup lookup) { lookup_ = std::move(lookup); }
    // The window's own texts, with their English fallbacks.
    void setTextLookupOr(TextLookupOr lookup) { lookupOr_ = std::move(lookup); }
    SignalFrameListener* touchListener();

    // Grid, aux points, margins and window for the next opening; screen = the display's size.
    void setSettings(const CalibrationSettings& settings, const ScreenSize& screen);
    // The frame's receiver positions, by which a misplaced touch is judged (none: not judged).
    void setPositions(const PositionCounts& positions);
    // "Touch the target again: ..." while the current target is to be taken again; else empty.
    const std::string& retakeText() const { return retakeText_; }
    // The capture as the screen left it: status bit 0 set when every target was taken.
    const CalibrationData& data() const;
    const CaptureSession& capture() const;
    // The picture as last painted.
    const QImage& picture() const { return picture_; }

    // The next exec() shows this result of a fit instead of capturing (once).
    void showResult(const CaptureResultView& result);
    // The last verify pass of the result shown; null before one ended.
    const VerifyResult* verifyResult() const;
    // The text under the title of the result (summary, then the verify's verdict).
    QString resultText() const;

    QTimer* Timer1 = nullptr;  // 100 ms, always running; steps the capture while active
    QPushButton* ButtonVerify = nullptr;
    QPushButton* ButtonClose = nullptr;

    // ---- Handlers ----
    void FormShow();
    void Timer1Timer();
    void ButtonVerifyClick();
    // Every way of closing (success, Escape, two fingers, close()) ends here: mode 0 is sent.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Capture;  // the capture session and what feeds it
    struct Result;   // the fit shown and its verify pass
    // Capturing a calibration, showing its result, capturing a verify pass.
    enum class Mode { Capture, Result, Verify };

    void redraw(bool active);
    void drawResult(QPainter& p);
    void placeButtons();
    void endVerify(bool completed);
    void send(const ModeCommand* command);
    void apply(const CaptureStepResult& result);

    std::unique_ptr<Capture> capture_;
    std::unique_ptr<Result> result_;
    Mode mode_ = Mode::Capture;
    CommandSender send_;
    TextLookup lookup_;
    TextLookupOr lookupOr_;
    QImage picture_;
    uint64_t tick_ = 0;
    bool closing_ = false;
    std::string retakeText_;
    int retakeTarget_ = -1;
};

}  // namespace oculant
