#pragma once
// The calibration buttons of the main window without the window: Start (checks, capture
// settings, then fit, report, block and download), the per-area run of the multi-area window
// (one capture and fit per area, then one download), the 200 ms download timer, Reset and Export.
// Every step returns the texts to show, in order, and what the caller does next; the window
// shows them in message boxes and the status bar, the CLI prints them.

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "calibration/CalibrationData.h"
#include "calibration/CalibrationHistory.h"
#include "calibration/CalibrationRun.h"
#include "calibration/CalibrationSettings.h"
#include "calibration/ParameterBlock.h"
#include "calibration/TextLookup.h"
#include "calibration/VerifyPass.h"

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
    // The serial the frame reported, under which the replaced calibrations are kept; empty
    // when unknown (nothing is kept).
    virtual std::string serial() const { return {}; }
    // A recording played back: a download would reach no frame.
    virtual bool isRecording() const { return false; }
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
    // Where the calibration about to be replaced was kept (or why not): for the status bar.
    std::string keptNote;
    std::string keptPath;   // the file, when one was written
    std::string keptError;  // the set about to be replaced could not be kept: say so loudly
};

struct FlowTick {
    bool finished = false;   // enable the device buttons; the timer stops
    bool aborted = false;    // finished before the last byte: the frame was not written
    std::string statusText;  // the status bar's simple text
    std::optional<std::string> messageBox;
    std::string historyError;  // the set now in the frame could not be recorded
};

// A layout without areas would download a block that maps no touch at all.
inline constexpr const char* kNoAreasToCalibrate = "no areas to calibrate!\n";

// One area of a multi-area run.
struct FlowAreaResult {
    int index = 0;           // counts from 0, as the report does
    FrameRect frameLogical;  // as the block stores it: direction applied, corners ordered
    CalibrationCoefficients coefficients;
    float errorPixels = 0;
    float errorMm = 0;
    FitResiduals residuals;
    Orientation orientation;
    VerifySetup verify;  // what a verify pass of this area needs
};

// What follows one area's capture: the next capture, or the end of the run.
struct FlowAreaStep {
    bool openCapture = false;      // open the capture screen for `area` with `settings` now
    int area = -1;                 // the area that capture is for
    CalibrationSettings settings;  // margins of step A, the area's display rectangle as window
    // Set only at the end (openCapture false): the texts to show in order, whether the download
    // started (disable the device buttons and run downloadTick() as after a single-area run),
    // and every area fitted in this run.
    FlowMessages messages;
    bool started = false;
    std::vector<FlowAreaResult> areas;
    std::string keptNote, keptPath, keptError;  // as FlowDownloadStart's
    // The area this capture fitted, when it did (for a result screen between the captures).
    std::optional<FlowAreaResult> fitted;
};

struct FlowFit {
    bool ok = false;  // the block holds the new set 0 and the download was attempted
    CalibrationCoefficients coefficients;  // as stored: after any extension
    float errorPixels = 0;
    float errorMm = 0;
    FitResiduals residuals;
    Orientation orientation;
    VerifySetup verify;  // what a verify pass of this calibration needs
};

class CalibrationFlow {
public:
    CalibrationFlow(CalibrationDeviceLink& link, TextLookup lookup);

    // Button11Click up to the capture: the device checks, step A (reported, never stopping)
    // and step B (stopping). Keeps the group's texts for the rest of the run.
    // Also refused before the capture opens: targets closer on the frame than
    // kMinTargetSpacingMm (checked once the receiver positions are known).
    FlowStart start(const CalibrationGroupTexts& texts, ScreenSize screen, PositionCounts positions = {});

    // Button11Click after the capture screen closed: a cancelled capture ends silently; else
    // direction, fit, error, extension, report, flags and mask, then the download. The report
    // is the last message; without a frame only "PanelUnconnect" is shown.
    FlowDownloadStart finishCapture(const CalibrationData& capture, PositionCounts positions,
                                    bool chineseReport, FlowFit* fit = nullptr);

    // The per-area run of the multi-area window's Start, after its own step B and refresh
    // (the layout's displayPixels are in that step's capture window). The same block, mask and
    // download as the single-area run. Use:
    //
    //   FlowStart s = flow.startMultiArea(groupTexts, screen, layout);
    //   show s.messages;                        // refusals, the step A report
    //   if (!s.openCapture) return;
    //   CalibrationSettings settings = s.settings;   // area 0
    //   for (;;) {
    //       CalibrationData d = <capture screen opened modally with settings>;
    //       FlowAreaStep r = flow.finishAreaCapture(d, positions, chinese);
    //       if (r.openCapture) { settings = r.settings; continue; }   // area r.area
    //       show r.messages; if (r.started) { disable the buttons; run downloadTick(); }
    //       break;
    //   }
    //
    // Refused before any capture opens: the device checks of the single-area run, a layout
    // without areas or with more than the block holds, a failed step B, and any area whose
    // display rectangle has no width or height, areas that leave the frame or the display, lie
    // reversed or overlap (layoutAreaRefusals), and areas whose targets lie too close together
    // (every such area is named, "A<n>: ...").
    FlowStart startMultiArea(const CalibrationGroupTexts& texts, ScreenSize screen,
                             const MultiAreaLayout& layout, PositionCounts positions = {});

    // After the capture of the current area closed. A cancelled capture ends the run silently
    // and a failed fit with "CalibrationFalied"; either way nothing is downloaded, the sets
    // already fitted stay in the block, and the report of the areas fitted so far is the last
    // message. After the last area: the block's multi-area fields and their message, the
    // download, then the report (without a frame only "PanelUnconnect" follows the message).
    // Without a run in progress nothing happens (an empty end).
    FlowAreaStep finishAreaCapture(const CalibrationData& capture, PositionCounts positions, bool chineseReport);
    bool multiAreaRunning() const { return multiArea_.has_value(); }

    // TimerDownTabTimer: call every 200 ms while downloading(). The end asks the frame to run
    // and to be read again.
    FlowTick downloadTick();
    bool downloading() const { return downloading_; }

    // Button10Click after the user confirmed: the reset image, then the download.
    FlowDownloadStart reset();
    // Import (restore-calibration) after the user confirmed: the set read from an export file
    // into set 0, flags as a single-area run without mask sets them, then the download.
    // Refused as a calibration run is, and when the set cannot be a frame's (implausibleMapReason):
    // nothing is kept or sent then. The end of the download shows "DownloadFinish".
    FlowDownloadStart restore(const CalibrationCoefficients& k);

    // Before every download the set it replaces is kept under this folder, per frame serial
    // (CalibrationHistory); without a folder nothing is kept. `now` names the kept files.
    void keepReplacedSetsIn(std::string folder, std::function<std::time_t()> now = [] { return std::time(nullptr); },
                            TextLookupOr words = {});
    // The texts of the refusals from the language file (English without); keepReplacedSetsIn's
    // words are taken as these too.
    void setWords(TextLookupOr words) { words_ = std::move(words); }
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
    std::optional<std::string> targetSpacingRefusal(const CalibrationSettings& settings, ScreenSize screen,
                                                    PositionCounts positions) const;
    bool prepareAreaCapture(int area, CalibrationSettings& settings, FlowMessages& messages);
    FlowAreaStep endMultiArea(FlowMessages messages);
    FlowAreaStep finishMultiArea();
    VerifySetup verifySetup(int area, const CalibrationData& capture, const CalibrationCoefficients& fitted,
                            DisplayDirection direction, PositionCounts positions) const;

    // A multi-area run between its start and its end.
    struct MultiAreaRun {
        MultiAreaLayout layout;
        CalibrationSettings stepA;  // grid, aux points and margins, read once
        int area = 0;               // the area being captured
        std::string report;         // one part per area fitted
        std::vector<FlowAreaResult> results;
    };

    CalibrationDeviceLink& link_;
    TextLookup lookup_;
    TextLookupOr words_;
    // The main window's state of a run; lives until exit.
    ParameterBlock block_;
    MaskRectangle mask_;
    CalibrationGroupTexts texts_;
    ScreenSize screen_;
    CalibrationSettings lastSettings_;  // of the capture last opened
    CalibrationData lastCapture_;
    std::vector<uint8_t> lastDownload_;
    std::optional<CalibrationHistory> history_;
    std::function<std::time_t()> clock_;
    // The download running: the frame's serial and the single-area set it will hold
    // (nullopt for a multi-area block).
    std::string downloadSerial_;
    std::optional<CalibrationCoefficients> downloadSet_;
    bool downloading_ = false;
    bool reportShown_ = false;
    std::optional<MultiAreaRun> multiArea_;
};

}  // namespace oculant
