#pragma once
// The device side of the main window without the window: connection probe, information
// sequence, device choice and change handling, and the 20 ms drain of the receive ring. Every
// timer of the main window is a tick method here; the window's QTimers call them, the CLI and
// the tests call them directly.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/DeviceRecords.h"
#include "device/HIDTalk.h"
#include "device/ResponseDispatcher.h"

namespace oculant {

// Which secondary window is active decides what a (re)connected frame is asked to do.
enum class ActiveWindow { None, Signal, DrawTest, Diagnostic };

// What the main window shows. Every hook has an empty default, so the CLI implements only what
// it prints.
class SessionView : public ResponseListener {
public:
    virtual void showConnected() {}
    virtual void showUnconnected() {}
    virtual void enableDeviceButtons() {}
    virtual void disableDeviceButtons() {}
    virtual void refillDeviceList(const std::vector<std::string>& paths, int currentIndex) {}
    virtual void setRefreshEnabled(bool enabled) {}
    // A frame came back while the diagnostic window is active: its test restarts.
    virtual void restartDiagnostic() {}
};

// Device-change message and codes, as the platform layer reports arrival and removal.
constexpr uint32_t kWmDeviceChange = 0x219;
constexpr uint32_t kDbtDeviceArrival = 0x8000;
constexpr uint32_t kDbtDeviceRemoveComplete = 0x8004;

class DeviceSession {
public:
    static constexpr int kDrainIntervalMs = 20;
    static constexpr int kProbeIntervalMs = 50;
    static constexpr int kInfoIntervalMs = 100;
    static constexpr const char* kCannotOpenText = "Can not open this device!";

    explicit DeviceSession(HidBackend& backend, HIDTalk::Threading threading = HIDTalk::Threading::Thread);
    ~DeviceSession();

    void setView(SessionView* view);
    // Where assembled signal frames go on each drain tick (the frame processor).
    void setFrameSink(ResponseDispatcher::FrameSink sink) { frameSink_ = std::move(sink); }
    void setActiveWindow(ActiveWindow w) { active_ = w; }
    ActiveWindow activeWindow() const { return active_; }

    // ---- Ticks ----
    void drainTick();  // every 20 ms: dispatch received reports, then hand over signal frames
    void probeTick();  // every 50 ms while probeTimerEnabled()
    void infoTick();   // every 100 ms while infoTimerEnabled()
    bool probeTimerEnabled() const { return probeEnabled_; }
    bool infoTimerEnabled() const { return infoEnabled_; }
    int probeState() const { return probeState_; }

    // ---- Operations of the main window ----
    bool RescanDevices();
    bool DeviceChangeHook(uint32_t message, uint32_t code);
    // Device chosen in the device list; returns the message box text, empty when none.
    std::string ComboBox1Change(int index, const std::string& text);
    void startInformationSequence();
    void RequestRunAndRefresh();
    void refresh();              // Refresh button: clears the summary and reads everything again
    void mainWindowActivated();  // back to mode 0 unless the model has no modes
    void ShowConnected();
    void ShowUnconnected();
    void close();  // mode 0 when connected, then the worker ends

    // Mode commands (0x21).
    void sendModeStop();
    void sendModeTouch();
    void sendModeStream(uint8_t mode);

    HIDTalk& talk() { return talk_; }
    DeviceRecords& records() { return records_; }
    ResponseDispatcher& dispatcher() { return dispatcher_; }
    bool connected() const { return talk_.connected(); }

private:
    void probeOpenNext();
    void probeReconnect();
    void refillDeviceList();

    DeviceRecords records_;
    ResponseDispatcher dispatcher_;
    HIDTalk talk_;
    SessionView* view_ = nullptr;
    ResponseDispatcher::FrameSink frameSink_;
    ActiveWindow active_ = ActiveWindow::None;

    bool probeEnabled_ = false;
    int probeState_ = 0;
    QuillonDevice savedDevice_;
    bool infoEnabled_ = false;
    int infoStep_ = 0;
};

}  // namespace oculant
