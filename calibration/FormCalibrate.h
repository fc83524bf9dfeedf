#pragma once
// The calibration capture screen: full screen and borderless, black outside the calibration
// window and white inside, a cross per target and, on the current one, the red cross with the
// green pie that fills while the finger is held. The capture logic is CaptureSession's; this
// window runs its step from a 100 ms timer while it is active and paints what it says.
//
// Wiring (by whoever creates the windows): register touchListener() with the frame processor,
// give the window a command sender and the language look-up; before each exec() hand it the
// settings of steps A and B with setSettings(), and read data() after it closed.

#include "base/TextLookup.h"
#include <QDialog>
#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QTimer;

// Only forward declarations of the core here: moc compiles every window header into one unit,
// and the core headers of different subsystems are not meant to meet there.
namespace oculant {

class CaptureSession;
class SignalFrameListener;
struct CalibrationData;
struct CalibrationSettings;
struct ScreenSize;
struct CaptureStepResult;
struct ModeCommand;

class TFormCalibrate : public QDialog {
    Q_OBJECT
public:
    using CommandSender = std::function<void(uint8_t code, const uint8_t* payload, size_t length)>;

    explicit TFormCalibrate(QWidget* parent = nullptr);
    ~TFormCalibrate() override;

    // ---- Wiring ----
    void setCommandSender(CommandSender send) { send_ = std::move(send); }
    void setTextLookup(TextLookup lookup) { lookup_ = std::move(lookup); }
    SignalFrameListener* touchListener();

    // Grid, aux points, margins and window for the next opening; screen = the display's size.
    void setSettings(const CalibrationSettings& settings, const ScreenSize& screen);
    // The capture as the screen left it: status bit 0 set when every target was taken.
    const CalibrationData& data() const;
    const CaptureSession& capture() const;
    // The picture as last painted.
    const QImage& picture() const { return picture_; }

    QTimer* Timer1 = nullptr;  // 100 ms, always running; steps the capture while active

    // ---- Handlers ----
    void FormShow();
    void Timer1Timer();
    // Every way of closing (success, Escape, two fingers, close()) ends here: mode 0 is sent.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Capture;  // the capture session and what feeds it

    void redraw(bool active);
    void send(const ModeCommand* command);
    void apply(const CaptureStepResult& result);

    std::unique_ptr<Capture> capture_;
    CommandSender send_;
    TextLookup lookup_;
    QImage picture_;
    uint64_t tick_ = 0;
    bool closing_ = false;
};

}  // namespace oculant
