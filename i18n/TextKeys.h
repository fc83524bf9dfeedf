#pragma once
// Every key the program looks up in lan.ini, in one place: the windows take their keys and
// design captions from here, and the shipped lan.ini is checked against this list.

#include <array>
#include <string_view>
#include <vector>

namespace oculant::textkeys {

// A control whose caption comes from the language file. The design caption is what the
// window shows before any language is applied (and the fallback for an absent key).
struct ControlText {
    std::string_view control;
    std::string_view key;
    std::string_view design;
};

// A text with the fallback the program uses when the key is absent.
struct KeyFallback {
    std::string_view key;
    std::string_view fallback;
};

// Window class names, used to address the window captions.
inline constexpr std::string_view kMainWindow = "TFormDiag";
inline constexpr std::string_view kSignalWindow = "TFormSignal";
inline constexpr std::string_view kDrawTestWindow = "TFormPoints";
inline constexpr std::string_view kDiagnosticWindow = "TFormImgDiag";
inline constexpr std::string_view kMultiCalibWindow = "TFormMultiCalib";

inline constexpr std::string_view kMainWindowDesignCaption = "Quillon Diagnostic Tools V3.0 - Unconnected";
inline constexpr std::string_view kStatusBar = "StatusBar1";
inline constexpr std::string_view kStatusBarDesignText = "触摸屏未连接！";

// Connection-dependent captions. The fallbacks apply only when a language is applied
// ("Unonnected" is the program's own spelling).
inline constexpr KeyFallback kMainCaption{"FormDiagCaption", ""};
inline constexpr KeyFallback kConnected{"PanelConnect", "Connected"};
inline constexpr KeyFallback kUnconnected{"PanelUnconnect", "Unonnected"};
// A frame connected that answered none of the information sequence's questions (the program's
// own addition; the command line says the same, "not answering").
inline constexpr KeyFallback kNotAnswering{"PanelNotAnswering", "not answering"};

// Main window controls re-captioned by their own name, in the order of application.
// "：" is the full-width colon of the design captions.
inline constexpr auto kMainWindowControls = std::to_array<ControlText>({
    // Status panel
    {"GroupBox1", "GroupBox1", "Status"},
    {"Label1", "Label1", "Model:"},
    {"Label2", "Label2", "Ship Date:"},
    {"Label3", "Label3", "Ship Time:"},
    {"Label4", "Label4", "Serial:"},
    {"Label5", "Label5", "Hardware Version:"},
    {"Label6", "Label6", "Software Version:"},
    {"Label7", "Label7", "Firmware Status:"},
    {"Label8", "Label8", "Run Status:"},
    {"Button4", "Button4", "Refresh"},
    {"Button6", "Button6", "Stop / Run"},
    {"Label39", "Label39", "Paramter CRC:"},
    // Feature panel
    {"GroupBox2", "GroupBox2", "Screen Rotate"},
    {"Label11", "Label11", "Frames："},
    {"Label12", "Label12", "Click Sensitivity："},
    {"Label13", "Label13", "Double Click："},
    {"CheckBoxFeatureSmooth", "CheckBoxFeatureSmooth", "Enable Smooth"},
    {"CheckBoxFeatureReverseX", "CheckBoxFeatureReverseX", "Reverse x"},
    {"CheckBoxFeatureReverseY", "CheckBoxFeatureReverseY", "Reverse y"},
    {"CheckBoxFeatureExchangeXY", "CheckBoxFeatureExchangeXY", "Swap x y"},
    {"CheckBoxFeatureUSARTOn", "CheckBoxFeatureUSARTOn", "Enable Serial Report"},
    {"CheckBoxFeatureSmallPointOn", "CheckBoxFeatureSmallPointOn", "Small Point Identify"},
    {"Button7", "Button7", "Read"},
    {"Button8", "Button8", "Default"},
    {"Button9", "Button9", "Set"},
    // Calibration panel
    {"GroupBox3", "GroupBox3", "Calibration"},
    {"Label9", "Label9", "Grid："},
    {"GroupBox5", "GroupBox5", "Margin"},
    {"Label10", "Label10", "X"},
    {"Label14", "Label14", "Left ："},
    {"Label15", "Label15", "Up："},
    {"Label37", "Label37", "Right ："},
    {"Label38", "Label38", "Down："},
    {"CheckBoxCalibAuxPoint", "CheckBoxCalibAuxPoint", "Aux Calibrate Points"},
    {"Button10", "Button10", "Reset"},
    {"Button11", "Button11", "Start"},
    {"Button12", "Button12", "Result"},
    {"Button13", "Button13", "Export"},
    // Tools panel
    {"GroupBox4", "GroupBox4", "Diagnostic"},
    {"Button1", "Button1", "Diagnostic"},
    {"Button2", "Button2", "Draw Test"},
    {"Button3", "Button3", "Signal View"},
    {"Button5", "Button5", "Send Report"},
    {"Button15", "Button15", "Record Data"},
    {"Label18", "Label18", "Language"},
    // Window calibration
    {"CheckBoxWindowCalib", "CheckBoxWindowCalib", "Window Calibrate "},
    {"CheckBoxArea", "CheckBoxArea", "Mask Touch Outof Window"},
    {"Label19", "Label19", "Window Offset X："},
    {"Label20", "Label20", "Window Offset Y："},
    {"Label21", "Label21", "Widow Hight："},
    {"Label22", "Label22", "Window Width："},
    {"CheckBoxEx", "CheckBoxEx", "Touch Area Extension"},
    {"Label24", "Label24", "Left："},
    {"Label25", "Label25", "Right："},
    {"Label26", "Label26", "Up："},
    {"Label27", "Label27", "Down："},
    {"Label31", "Label31", "显示方向："},
});

// The maker's name keeps its caption when absent; the maker's web address and the device
// path label are blanked when absent.
inline constexpr std::string_view kMakerNameLabel = "Label16";
inline constexpr std::array<std::string_view, 2> kBlankedWhenAbsent{"Label17", "Label36"};
inline constexpr std::string_view kDevicePathDesignCaption = "Device Path:";

inline constexpr std::string_view kDisplayDirCombo = "ComboBoxDisplayDir";
inline constexpr std::array<KeyFallback, 4> kDisplayOrientations{{
    {"DisplayOrientation1", "Landscape"},
    {"DisplayOrientation2", "portrait"},
    {"DisplayOrientation3", "Landscape(flipped)"},
    {"DisplayOrientation4", "portrait(flipped)"},
}};

// Signal window: caption, chart titles (first line) and pop-up menu.
inline constexpr std::string_view kSignalCaption = "FormSignal";
inline constexpr std::string_view kRecording = "Recording";
inline constexpr std::string_view kSignalDesignCaption = "Signal";
inline constexpr std::array<ControlText, 6> kSignalCharts{{
    {"ChartSigX0", "ChartSigX0", "长边信号 X0"},
    {"ChartSigX1", "ChartSigX1", "长边信号 X1"},
    {"ChartSigX2", "ChartSigX2", "长边信号 X2"},
    {"ChartSigY0", "ChartSigY0", "短边信号 Y0"},
    {"ChartSigY1", "ChartSigY1", "短边信号 Y1"},
    {"ChartSigY2", "ChartSigY2", "短边信号 Y2"},
}};
inline constexpr std::array<ControlText, 2> kSignalMenu{{
    {"LogOn", "PopupMenu11", "记录数据"},
    {"NSignalQulity", "PopupMenu12", "信号质量"},
}};

// Draw test window: caption and the two re-captioned pop-up items.
inline constexpr ControlText kDrawTestCaption{"", "FormPoints", "FormPoints"};
inline constexpr std::array<ControlText, 2> kDrawTestMenu{{
    {"DrawLine", "PopupMenu21", "Draw Line"},
    {"FixSize1", "PopupMenu22", "Fix Size"},
}};

// Diagnostic window caption.
inline constexpr ControlText kDiagnosticCaption{"", "FormImgDiag", "Diagnostic"};

// Texts looked up when shown, with "N/A" for an absent key.
inline constexpr auto kLookedUpTexts = std::to_array<std::string_view>({
    "FormDiagCaption", "PanelConnect", "PanelUnconnect", "FormImgDiag",
    "InvalidUserParam", "ReadParamOK",
    "APP_OK", "APP_Empty", "APP_Corrupt", "APP_Unknown",
    "Sta_Run", "Sta_Stop", "Sta_Err",
    "InvalidParamLeft", "InvalidParamRight", "InvalidParamUp", "UseDefault",
    "FunctionNotValid", "CalibrationFinished", "CalibrationFalied",
    "CalibrateInfo",
    "DownloadWait", "DownloadFinish",
    "ResetDlgCap", "ResetConfirm1", "ResetConfirm2",
    "CalibExportFile", "ConfirmOverwrite1", "ConfirmOverwrite2", "CanNotCreateFile",
    "InvalidCalibData",
    "ExtersionWanning",
    "DiagnosticTitle1", "DiagnosticTitle2",
    "TestSteps", "TestStep1", "TestStep2", "TestStep3", "TestStep4",
    "TestResults", "TestResult1", "TestResult2", "TestResult3", "TestResult4",
    "Faults", "Fault1", "Fault2", "Fault3", "Fault4",
    "FaultStatus", "Emit", "Receive",
    "FormSignal", "Recording",
    "FormPoints",
});

// Status bar text when a language choice could not be written back; the program's own
// addition, read with this fallback.
inline constexpr KeyFallback kLanguageNotSaved{"LanguageNotSaved", "Language choice not saved"};

// The main window's own menu: About and Quit (the program's own additions). %1 in the About text
// is the version, %2 the connected frame's path.
inline constexpr KeyFallback kMenuOculant{"MenuOculant", "&Oculant"};
inline constexpr KeyFallback kMenuAbout{"MenuAbout", "&About Oculant"};
inline constexpr KeyFallback kMenuQuit{"MenuQuit", "&Quit"};
inline constexpr KeyFallback kAboutText{
    "AboutText",
    "Oculant %1\nService tool for infrared multi-touch frames.\nLicence: MIT.\nConnected frame: %2"};
inline constexpr KeyFallback kAboutNoFrame{"AboutNoFrame", "none"};
// With a virtual frame: its menu and the item that plugs it in and out (%1: its path).
inline constexpr KeyFallback kMenuVirtualFrame{"MenuVirtualFrame", "&Virtual frame"};
inline constexpr KeyFallback kVirtualFramePlugged{"VirtualFramePlugged", "%1 plugged in"};

// The main window closed while a calibration is being written: the question, with the share
// already written in place of %1 (Yes closes it once the write has ended: a write is never
// cut), and the status line meanwhile. The program's own addition, read with these fallbacks.
inline constexpr KeyFallback kCloseDuringDownloadCaption{"CloseDuringDownloadCap", "Calibration being written"};
inline constexpr KeyFallback kCloseDuringDownload{
    "CloseDuringDownload",
    "A calibration is being written into the frame's flash (%1 % written). Cut now, the frame would keep a "
    "calibration written only in part. Close the window as soon as the write has ended?"};
inline constexpr KeyFallback kClosingAfterDownload{"ClosingAfterDownload",
                                                   "The window closes when the calibration is written."};

// Multi-area calibration window, read with the fallback given.
inline constexpr ControlText kMultiCalibCaption{"", "MultiCalibFormCaption", "MultiAreaCalib"};
inline constexpr std::array<KeyFallback, 9> kMultiCalibCells{{
    {"Cell0", "No."},
    {"Cell1", "Frame x0"},
    {"Cell2", "Frame y0"},
    {"Cell3", "Frame x1"},
    {"Cell4", "Frame y1"},
    {"Cell5", "Display x0"},
    {"Cell6", "Display y0"},
    {"Cell7", "Display x1"},
    {"Cell8", "Display y1"},
}};
inline constexpr std::array<ControlText, 6> kMultiCalibButtons{{
    {"Button1", "MButton1", "Start"},
    {"Button2", "MButton2", "Refreash"},
    {"Button3", "MButton3", "Export"},
    {"Button4", "MButton4", "Import"},
    {"Button5", "MButton5", "Add"},
    {"Button6", "MButton6", "Remove"},
}};
inline constexpr std::array<ControlText, 7> kMultiCalibLabels{{
    {"Label20", "MLable20", "Frame X:"},
    {"Label1", "MLable1", "Frame Y:"},
    {"Label3", "MLable3", "Display X:"},
    {"Label4", "MLable4", "Display Y:"},
    {"Label10", "MLable10", "Display Offx:"},
    {"Label11", "MLable11", "Display OffY:"},
    {"Label8", "MLable8", "Areas:"},
}};
inline constexpr KeyFallback kMultiCalibTitle{"MultiCalibTitle", "平面展开示意图"};

// Texts the program adds to its windows beside the design's, by window and object name, applied
// with every language; the fallback is the English text. toolTip: the control's tool tip
// rather than its caption.
inline constexpr std::string_view kCalibrateWindow = "TFormCalibrate";
inline constexpr std::string_view kHistoryWindow = "FormHistory";
struct WindowText {
    std::string_view window;
    std::string_view control;  // empty: the window's caption
    KeyFallback text;
    bool toolTip = false;
};
inline constexpr auto kAddedTexts = std::to_array<WindowText>({
    {kMainWindow, "ButtonHistory", {"ButtonHistory", "&History"}},
    {kMainWindow, "Button16", {"Button16", "&Import"}},
    {kMainWindow, "Button14", {"Button14", "&Touch settings"}},
    {kMainWindow, "LabelPixel", {"LabelPixel", "pixel"}},
    {kMainWindow, "CheckBoxFeatureMac", {"CheckBoxFeatureMac", "Mac coordinate conversion (not used)"}},
    {kDiagnosticWindow, "Button1", {"DiagButtonReset", "重  置"}},
    {kDiagnosticWindow, "Button2", {"DiagButtonExit", "退  出"}},
    {kDrawTestWindow, "Button1", {"DrawButtonClear", "清  除"}},
    {kDrawTestWindow, "Button2", {"DrawButtonExit", "退  出"}},
    {kDrawTestWindow, "Close1", {"DrawMenuClose", "Close"}},
    {kCalibrateWindow, "", {"FormCalibrate", "Calibrate"}},
    {kCalibrateWindow, "ButtonVerify", {"CalibButtonVerify", "&Verify"}},
    {kCalibrateWindow, "ButtonClose", {"CalibButtonClose", "&Close"}},
    // Tool tips of the controls whose caption does not say all
    {kMainWindow, "ComboBox1", {"TipDevice", "The frames found; the one chosen is opened and read"}, true},
    {kMainWindow, "Button4", {"TipRefresh", "Reads the frame's information again"}, true},
    {kMainWindow, "ButtonHistory", {"TipHistory", "This frame's test records, and the line's yield per day"}, true},
    {kMainWindow, "Button1", {"TipDiagnostic", "Tests every emitter and receiver: PASS or FAIL with the faults found"}, true},
    {kMainWindow, "Button2", {"TipDrawTest", "Full screen: draw with your fingers to try the touch (Esc leaves)"}, true},
    {kMainWindow, "Button3", {"TipSignal", "The receivers' raw signals as live charts"}, true},
    {kMainWindow, "Button15", {"TipRecord", "Records the raw signals to a log file in the working folder"}, true},
    {kMainWindow, "Button11", {"TipCalibrate", "Full screen: touch each target, then the result is written into the frame (Esc cancels)"}, true},
    {kMainWindow, "Button10", {"TipReset", "Writes the frame's default calibration; the current one is kept in a file first"}, true},
    {kMainWindow, "Button13", {"TipExport", "Saves the last calibration's coefficients to a file"}, true},
    {kMainWindow, "Button16", {"TipImport", "Writes a calibration file's coefficients into the frame"}, true},
    {kMainWindow, "Button12", {"TipMultiArea", "Calibrates a screen split into areas, each with its own targets"}, true},
    {kMainWindow, "Button14", {"TipTouchSettings", "Opens the desktop's own touch screen settings"}, true},
    {kMainWindow, "CheckBoxCalibAuxPoint", {"TipAuxPoints", "Adds a target in the centre of every grid cell"}, true},
    {kMainWindow, "CheckBoxWindowCalib", {"TipWindowCalib", "Calibrates only the window given below instead of the whole screen"}, true},
    {kMainWindow, "CheckBoxEx", {"TipExtension", "Widens the touch area beyond the display's edges by the millimetres given"}, true},
    {kMainWindow, "ComboBoxDisplayDir", {"TipDisplayDir", "How the display is turned; the calibration follows it"}, true},
});

// The History dialog's texts. %1... are filled in as named in the English text.
namespace history {
inline constexpr KeyFallback kCaption{"HistoryCaption", "History"};
inline constexpr KeyFallback kLineGroup{"HistoryLine", "Line yield per day"};
inline constexpr KeyFallback kStation{"HistoryStation", "&Station:"};
inline constexpr KeyFallback kPeriod{"HistoryPeriod", "Period:"};
inline constexpr KeyFallback kTo{"HistoryTo", "to"};
inline constexpr KeyFallback kAllStations{"HistoryAllStations", "All stations"};
inline constexpr KeyFallback kTipStation{"HistoryTipStation", "The station whose days are shown and reported; all stations together by default"};
inline constexpr KeyFallback kTipFrom{"HistoryTipFrom", "The first day of the period (local time)"};
inline constexpr KeyFallback kTipTo{"HistoryTipTo", "The last day of the period, included"};
inline constexpr KeyFallback kDayAxis{"HistoryDayAxis", "day"};
inline constexpr KeyFallback kYieldAxis{"HistoryYieldAxis", "yield (%)"};
inline constexpr KeyFallback kYieldSeries{"HistoryYieldSeries", "yield (records that passed)"};
inline constexpr KeyFallback kFirstPassSeries{"HistoryFirstPassSeries", "first-pass yield (frames)"};
inline constexpr KeyFallback kReport{"HistoryReport", "&Write report..."};
inline constexpr KeyFallback kTipReport{"HistoryTipReport", "Writes the line report of this station and period as one HTML page that opens anywhere, without a server or network"};
inline constexpr KeyFallback kReportCaption{"HistoryReportCaption", "Write the line report"};
inline constexpr KeyFallback kReportFilter{"HistoryReportFilter", "HTML pages (*.html)"};
inline constexpr KeyFallback kClose{"HistoryClose", "&Close"};
inline constexpr std::array<KeyFallback, 7> kColumns{{
    {"HistoryColStarted", "Started"},
    {"HistoryColOutcome", "Outcome"},
    {"HistoryColStation", "Station"},
    {"HistoryColOperator", "Operator"},
    {"HistoryColPlan", "Plan"},
    {"HistoryColPhases", "Phases"},
    {"HistoryColReason", "Reason"},
}};
inline constexpr KeyFallback kUnreadable{"HistoryUnreadable", "The results database cannot be read: %1"};
inline constexpr KeyFallback kNoDatabase{"HistoryNoDatabase", "No test records yet: the results database %1 is made when this station stores its first record."};
inline constexpr KeyFallback kNoLineFigures{"HistoryNoLineFigures", "No line figures: %1"};
inline constexpr KeyFallback kNoRecordsInPeriod{"HistoryNoRecordsInPeriod", "No test records in the period."};
inline constexpr KeyFallback kLineOne{"HistoryLineOne", "%1 record, yield %2 %, first-pass yield %3 % (%4 of %5 frame passed first time)"};
inline constexpr KeyFallback kLineMany{"HistoryLineMany", "%1 records, yield %2 %, first-pass yield %3 % (%4 of %5 frames passed first time)"};
inline constexpr KeyFallback kReportWritten{"HistoryReportWritten", "Line report written to %1"};
inline constexpr KeyFallback kReportFailed{"HistoryReportFailed", "The report could not be written: %1"};
inline constexpr KeyFallback kNoRecords{"HistoryNoRecords", "No test records of %1 yet."};
inline constexpr KeyFallback kRecordsOne{"HistoryRecordsOne", "1 test record of %1"};
inline constexpr KeyFallback kRecordsMany{"HistoryRecordsMany", "%1 test records of %2, newest first"};
}  // namespace history

// The signal window's axis and status line. %1... are filled in as named in the English text.
namespace signalwords {
inline constexpr KeyFallback kLayer{"SignalLayer", "%1 layer %2, offset %3"};
inline constexpr KeyFallback kRate{"SignalRate", "%1 frames/s"};
inline constexpr KeyFallback kDropped{"SignalDropped", "dropped %1"};
inline constexpr KeyFallback kReportsLost{"SignalReportsLost", "%1 reports lost"};
inline constexpr KeyFallback kNotRecording{"SignalNotRecording", "not recording"};
inline constexpr KeyFallback kRecordingTo{"SignalRecordingTo", "recording %1"};
inline constexpr KeyFallback kLastLog{"SignalLastLog", "last log %1"};
inline constexpr KeyFallback kOneFrame{"SignalOneFrame", "%1 frame"};
inline constexpr KeyFallback kFrames{"SignalFrames", "%1 frames"};
inline constexpr KeyFallback kNotWritten{"SignalNotWritten", "%1 not written (disk too slow)"};
inline constexpr KeyFallback kLevelAxis{"SignalLevelAxis", "level (0-255)"};
inline constexpr KeyFallback kLineSeries{"SignalLineSeries", "signal level"};
inline constexpr KeyFallback kMarkSeries{"SignalMarkSeries", "quality marks (outside 60-240)"};
inline constexpr KeyFallback kValueAt{"SignalValueAt", "position %1: level %2"};
inline constexpr KeyFallback kMarked{"SignalMarked", ", quality mark"};
// Playing a recorded AD log into the charts: the pop-up menu, the player's controls, the
// status line.
inline constexpr KeyFallback kOpenLog{"SignalOpenLog", "Open log..."};
inline constexpr KeyFallback kLiveSignal{"SignalLive", "Back to the live signal"};
inline constexpr KeyFallback kPause{"SignalPause", "Pause"};
inline constexpr KeyFallback kPlay{"SignalPlay", "Play"};
inline constexpr KeyFallback kStep{"SignalStep", "Step"};
inline constexpr KeyFallback kSpeed{"SignalSpeed", "Speed"};
inline constexpr KeyFallback kPlaying{"SignalPlaying", "log %1: frame %2 of %3"};
inline constexpr KeyFallback kPlayPaused{"SignalPlayPaused", "paused"};
inline constexpr KeyFallback kPlayEnded{"SignalPlayEnded", "end of the log"};
inline constexpr KeyFallback kPlaySpeed{"SignalPlaySpeed", "speed %1x"};
inline constexpr KeyFallback kOpenLogFailed{"SignalOpenLogFailed", "The log cannot be played: %1"};
inline constexpr KeyFallback kLogFiles{"SignalLogFiles", "AD logs (*.txt);;All files (*)"};
// The reasons a frame is dropped, by the processor's status (accepted first, never shown).
inline constexpr std::array<KeyFallback, 8> kDropReasons{{
    {"DropAccepted", "accepted"},
    {"DropBadChecksum", "bad checksum"},
    {"DropUnknownFamily", "unknown family"},
    {"DropTruncated", "truncated"},
    {"DropBeyondLimits", "beyond limits"},
    {"DropShortPayload", "short payload"},
    {"DropOutOfRange", "out of range"},
    {"DropRingFull", "frame ring full"},
}};
}  // namespace signalwords

// The multi-area window's messages and file filters, by key; the window keeps their Chinese
// texts as fallbacks.
inline constexpr auto kMultiCalibMessageKeys = std::to_array<std::string_view>({
    "LayoutTooManyAreas", "LayoutSelectRow", "LayoutCreateFailed", "LayoutExported", "LayoutImported",
    "LayoutOpenFailed", "LayoutOverwrite", "LayoutOverwriteCap", "LayoutExportFilter", "LayoutImportFilter",
});

// The main window's and the capture window's own messages.
inline constexpr KeyFallback kTouchSettingsMissing{"TouchSettingsMissing", "No touch settings program found (tried %1)"};
inline constexpr KeyFallback kImportRefused{"ImportRefused", "The calibration file %1 is refused: %2"};
inline constexpr KeyFallback kImportCaption{"ImportCap", "Import"};
inline constexpr KeyFallback kImportQuestion{"ImportConfirm", "Download this calibration into the frame?"};
inline constexpr KeyFallback kArrowsScale{"CalibArrowsScale", "Arrows drawn %1 times their length"};
inline constexpr KeyFallback kBeyondLimit{"CalibBeyondLimit", "The largest error, %1 mm, is beyond the verify limit of %2 mm: calibrate again."};
inline constexpr KeyFallback kVerifyNoRoom{"CalibVerifyNoRoom", "Verify: no room for the verify targets in this calibration window."};

// What became of the calibration a download replaces, under the main window's run buttons.
inline constexpr KeyFallback kKeptNoSerial{"KeptNoSerial", "The frame has no serial number: the calibration it holds cannot be kept for it."};
inline constexpr KeyFallback kKeptMultiArea{"KeptMultiArea", "Frame %1 holds a multi-area calibration by this tool, which no calibration file can keep: nothing kept."};
inline constexpr KeyFallback kKeptNothingKnown{"KeptNothingKnown", "No earlier calibration of frame %1 by this tool is known: nothing to keep."};
inline constexpr KeyFallback kKeptFailed{"KeptFailed", "The calibration about to be replaced could not be kept: %1"};
inline constexpr KeyFallback kKept{"Kept", "The calibration about to be replaced is kept in %1"};

// What a calibration refuses before the capture opens or before anything is written.
namespace calwords {
inline constexpr KeyFallback kTargetsTooClose{"CalibTargetsTooClose", "Targets %1 and %2 would be %3 mm apart on the frame, closer than the %4 mm a calibration needs: choose fewer targets, smaller margins or a larger window!"};
inline constexpr KeyFallback kMapImplausible{"CalibMapImplausible", "This calibration cannot be a frame's: %1. Nothing was written to the frame."};
inline constexpr KeyFallback kMapNotFinite{"CalibMapNotFinite", "a coefficient is not a finite number"};
inline constexpr KeyFallback kMapScale{"CalibMapScale", "it stretches touch X by %1 and touch Y by %2, where a frame under its display needs %3 to %4"};
inline constexpr KeyFallback kMapSingular{"CalibMapSingular", "its touch axes are only %1 degrees apart (a frame's are 90), the map is as good as singular"};
inline constexpr KeyFallback kMapOffScreen{"CalibMapOffScreen", "it puts the middle of the frame at (%1, %2), a whole screen beyond the screen's 0 to 32767"};
inline constexpr KeyFallback kAreaFrameEmpty{"LayoutAreaFrameEmpty", "A%1: the frame rectangle (%2, %3) to (%4, %5) mm needs x0 < x1 and y0 < y1!"};
inline constexpr KeyFallback kAreaDisplayEmpty{"LayoutAreaDisplayEmpty", "A%1: the display rectangle (%2, %3) to (%4, %5) mm needs x0 < x1 and y0 < y1!"};
inline constexpr KeyFallback kAreaFrameOutside{"LayoutAreaFrameOutside", "A%1: the frame rectangle (%2, %3) to (%4, %5) mm leaves the frame (0 to %6 by 0 to %7 mm)!"};
inline constexpr KeyFallback kAreaDisplayOutside{"LayoutAreaDisplayOutside", "A%1: the display rectangle (%2, %3) to (%4, %5) mm leaves the display (0 to %6 by 0 to %7 mm)!"};
inline constexpr KeyFallback kAreasOverlapFrame{"LayoutAreasOverlapFrame", "A%1 and A%2 overlap on the frame!"};
inline constexpr KeyFallback kAreasOverlapDisplay{"LayoutAreasOverlapDisplay", "A%1 and A%2 overlap on the display!"};
// On the capture screen, in red under the instructions, until the target is taken.
inline constexpr KeyFallback kTouchAgain{"CalibTouchAgain", "Touch the target again: that touch was %1 mm from it (limit %2 mm)."};
inline constexpr auto kAll = std::to_array<KeyFallback>({kTouchAgain, kTargetsTooClose, kMapImplausible, kMapNotFinite, kMapScale,
    kMapSingular, kMapOffScreen, kAreaFrameEmpty, kAreaDisplayEmpty, kAreaFrameOutside, kAreaDisplayOutside,
    kAreasOverlapFrame, kAreasOverlapDisplay});
}  // namespace calwords

// The diagnostic window's notices and progress line. %1... are filled in as the English texts name.
namespace diagwords {
inline constexpr KeyFallback kNoLevels{"DiagNoLevels", "No verdict: this frame's live scans (signal family 0x00) carry no signal levels."};
inline constexpr KeyFallback kLayoutMismatch{"DiagLayoutMismatch", "No verdict: the signal has %1 x %2 positions, the board table %3 x %4."};
inline constexpr KeyFallback kLiftHand{"DiagLiftHand", "Lift your hand off the frame: most beams are blocked at once."};
inline constexpr KeyFallback kProgress{"DiagProgress", "%1 of %2 elements accepted (%3 %), %4 s left before the time-out"};
inline constexpr KeyFallback kProgressTimedOut{"DiagProgressTimedOut", "%1 of %2 elements accepted (%3 %): no verdict within %4 s; the boards still wanted are in the fault list"};
inline constexpr KeyFallback kProgressDone{"DiagProgressDone", "All %1 elements accepted in %2 s"};
}  // namespace diagwords

// Every key above, each once, in the order listed.
std::vector<std::string_view> allTextKeys();

}  // namespace oculant::textkeys
