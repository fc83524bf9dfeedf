#pragma once
// The device side of the main window without the window: connection probe, information
// sequence, device choice and change handling, and the drain of the receive ring. Each timer of
// the main window is a tick method here; the session core (session/SessionCore.h) holds the
// schedule that calls them, and tests of this class call them directly.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "protocol/DeviceRecords.h"
#include "link/HIDTalk.h"
#include "link/ResponseDispatcher.h"

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
    // Frames that were recognised but may not be opened: for each the reason, then the fix when
    // there is one. Sent when the list changes (empty: none is left); shown until then.
    virtual void showAccessProblems(const std::vector<std::string>& lines) {}
    // The information sequence ended without these answers though it asked again (empty:
    // every answer came). `none` when not one came: the frame does not answer.
    virtual void showMissingAnswers(const std::vector<std::string>& names, bool none) {}
};

class DeviceSession {
public:
    static constexpr const char* kCannotOpenText = "Can not open this device!";

    explicit DeviceSession(HidBackend& backend, HIDTalk::Threading threading = HIDTalk::Threading::Thread);
    ~DeviceSession();

    void setView(SessionView* view);
    // Where assembled signal frames go on each drain tick (the frame processor).
    void setFrameSink(ResponseDispatcher::FrameSink sink) { frameSink_ = std::move(sink); }
    void setActiveWindow(ActiveWindow w) { active_ = w; }
    ActiveWindow activeWindow() const { return active_; }

    // ---- Ticks ----
    // Drain (every 20 ms): dispatch received reports, hand over signal frames (as they are
    // assembled when more wait than the frame ring holds), then follow the device:
    // a frame the worker found gone is shown unconnected and the devices are scanned again; a
    // change held back during a download is handled once the download has ended.
    void drainTick();
    void probeTick();   // the connection probe, while probeTimerEnabled()
    void infoTick();    // the information sequence, while infoTimerEnabled()
    // After the sequence, on the same 100 ms timer while answerWatchEnabled(): waits for its
    // answers, asks again for those that did not come (a lossy link), and after kInfoResends
    // rounds ends, telling the view which answers are missing (none: every one came).
    void answerWatchTick();
    // While rescanTimerEnabled(): a scan of its own, for what no change report
    // tells. It runs while unconnected, where arrival and removal are not reported (hidraw
    // without udev) or a frame that may not be opened is listed (access may be given without a
    // replug).
    void rescanTick();
    bool probeTimerEnabled() const { return probeEnabled_; }
    bool infoTimerEnabled() const { return infoEnabled_; }
    bool answerWatchEnabled() const { return watchEnabled_; }
    // Ticks the watch waits for the answers of one round before asking again, and the rounds.
    static constexpr int kAnswerWaitTicks = 5;
    static constexpr int kInfoResends = 3;
    // The answers the last information sequence still lacked when its watch ended.
    uint8_t missingAnswers() const { return missing_; }
    // Their names, in the sequence's order ("identity and serial number (0x17)", ...).
    std::vector<std::string> missingAnswerNames() const;
    // Not one answer to the last sequence, asked again and again: the frame is connected but
    // does not answer.
    bool notAnswering() const { return missing_ == kAllInformationAnswers; }
    // How often the last sequence asked for what is missing: once on a recording, which cannot
    // be asked again.
    int timesAsked() const { return 1 + resends_; }
    // What the tool says of the missing answers, in the CLI and the window alike; empty when
    // every answer came.
    std::string missingAnswersText() const;
    static constexpr const char* kNotAnsweringText = "not answering";
    bool rescanTimerEnabled() const;
    int probeState() const { return probeState_; }

    // ---- Operations of the main window ----
    bool RescanDevices();
    // A device interface arrived or was removed: the list is scanned again (or, during a
    // download, the scan waits for its end).
    void DeviceChangeHook(DeviceChange change);
    // Device chosen in the device list; returns the message box text, empty when none.
    std::string ComboBox1Change(int index, const std::string& text);
    void startInformationSequence();
    // A calibration download (block write of kind 1). Until RequestRunAndRefresh, which its end
    // calls, other devices' arrival and removal wait: handled at once, their rescan would take
    // the frame away in the middle of its flash write, or before it was told to run again.
    bool startDownload(uint32_t length, const uint8_t* header, const uint8_t* data);
    bool downloadInProgress() const { return !talk_.idle() || downloadEndPending_; }
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
    // Connected to a recording played back (--replay): nothing written reaches a frame.
    bool connectedToRecording() const
    {
        return connected() && talk_.currentDevice() && talk_.backend().isRecording(talk_.currentDevice()->path);
    }
    // What showAccessProblems() last sent.
    const std::vector<std::string>& accessProblems() const { return accessProblems_; }

private:
    void probeOpenNext();
    void probeReconnect();
    void refillDeviceList();
    void followDevice();
    void currentFrameGone();
    void rescanWhileUnconnected();
    void reportAccessProblems();
    void endAnswerWatch();

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
    bool watchEnabled_ = false;
    int watchTicks_ = 0;
    int resends_ = 0;
    uint8_t missing_ = 0;
    bool changeHeld_ = false;         // a device change came during a download
    bool downloadEndPending_ = false; // a download started whose end was not yet handled
    std::vector<std::string> accessProblems_;
};

}  // namespace oculant
