#pragma once
// The calibration buttons of the main window without the window: Start (checks, capture
// settings, then fit, report, block and download), the 200 ms download timer, Reset and Export.
// Every step returns the texts to show, in order, and what the caller does next; the window
// shows them in message boxes and the status bar, the CLI prints them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "calibration/CalibrationData.h"
#include "calibration/CalibrationRun.h"
#include "calibration/CalibrationSettings.h"
#include "calibration/ParameterBlock.h"
#include "calibration/TextLookup.h"

namespace oculant {

// What the flow needs from the device link. DeviceSessionLink (CalibrationFlowDevice.h) is the
// real one; tests use their own.
class CalibrationDeviceLink {
public:
    virtual ~CalibrationDeviceLink() = default;
    virtual bool connected() const = 0;
    virtual uint8_t modelCode() const = 0;
    // The flash calibration area from the version record; size 0 when the model has none.
    virtual uint32_t calibrationAreaAddress() const = 0;
    virtual uint32_t calibrationAreaSize() const = 0;
    // Block write of kind 1; the link copies header and data. False when the worker is busy.
    virtual bool startBlockWrite(uint32_t length, const uint8_t* header, const uint8_t* data) = 0;
    virtual bool workerIdle() const = 0;
    virtual uint32_t blockSent() const = 0;
    virtual uint32_t blockTotal() const = 0;
    virtual void requestRunAndRefresh() = 0;
};

// Texts to show one after the other in message boxes.
using FlowMessages = std::vector<std::string>;

struct FlowStart {
    bool openCapture = false;      // open the capture screen with `settings` now
    FlowMessages messages;         // shown before the capture opens (or instead of it)
    CalibrationSettings settings;  // grid, aux points, margins and window for the capture
};

struct FlowDownloadStart {
    bool started = false;  // disable the device buttons and run the 200 ms timer
    FlowMessages messages;
};

struct FlowTick {
    bool finished = false;   // enable the device buttons; the timer stops
    std::string statusText;  // the status bar's simple text
    std::optional<std::string> messageBox;
};

struct FlowFit {
    bool ok = false;  // the block holds the new set 0 and the download was attempted
    CalibrationCoefficients coefficients;
    float errorPixels = 0;
    float errorMm = 0;
};

class CalibrationFlow {
public:
    CalibrationFlow(CalibrationDeviceLink& link, TextLookup lookup);

    // Button11Click up to the capture: the device checks, step A (reported, never stopping)
    // and step B (stopping). Keeps the group's texts for the rest of the run.
    FlowStart start(const CalibrationGroupTexts& texts, ScreenSize screen);

    // Button11Click after the capture screen closed: a cancelled capture ends silently; else
    // direction, fit, error, extension, report, flags and mask, then the download. The report
    // is the last message; without a frame only "PanelUnconnect" is shown.
    FlowDownloadStart finishCapture(const CalibrationData& capture, PositionCounts positions,
                                    bool chineseReport, FlowFit* fit = nullptr);

    // TimerDownTabTimer: call every 200 ms while downloading(). The end asks the frame to run
    // and to be read again.
    FlowTick downloadTick();
    bool downloading() const { return downloading_; }

    // Button10Click after the user confirmed: the reset image, then the download.
    FlowDownloadStart reset();
    // The warning before a reset: caption and text.
    std::pair<std::string, std::string> resetConfirmation() const;

    // Button13Click: the refusal before the dialog (no completed capture since the capture
    // screen was last opened), the file really written for a chosen name, whether that file
    // exists (ask "ConfirmOverwrite1"/"ConfirmOverwrite2" first), and the write itself, which
    // returns the text to show on failure.
    std::optional<std::string> exportRefusal() const;
    static std::string exportPath(const std::string& chosen);
    std::pair<std::string, std::string> overwriteConfirmation() const;
    std::optional<std::string> exportTo(const std::string& path) const;

    const ParameterBlock& block() const { return block_; }
    const MaskRectangle& mask() const { return mask_; }
    // The download image of the last transfer started (what the worker writes).
    const std::vector<uint8_t>& lastDownload() const { return lastDownload_; }

private:
    FlowDownloadStart DownloadParameterBlock();
    std::optional<std::string> deviceRefusal() const;

    CalibrationDeviceLink& link_;
    TextLookup lookup_;
    // The main window's state of a run; lives until exit.
    ParameterBlock block_;
    MaskRectangle mask_;
    CalibrationGroupTexts texts_;
    ScreenSize screen_;
    CalibrationData lastCapture_;
    std::vector<uint8_t> lastDownload_;
    bool downloading_ = false;
    bool reportShown_ = false;
};

}  // namespace oculant
