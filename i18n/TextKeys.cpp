#include "i18n/TextKeys.h"

#include <algorithm>
#include <type_traits>

namespace oculant::textkeys {

namespace {

void addOnce(std::vector<std::string_view>& keys, std::string_view key) {
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
}

template <typename List>
void addAll(std::vector<std::string_view>& keys, const List& list) {
    for (const auto& item : list) {
        if constexpr (std::is_convertible_v<decltype(item), std::string_view>) {
            addOnce(keys, item);
        } else {
            addOnce(keys, item.key);
        }
    }
}

}  // namespace

std::vector<std::string_view> allTextKeys() {
    std::vector<std::string_view> keys;
    addOnce(keys, kMainCaption.key);
    addOnce(keys, kConnected.key);
    addOnce(keys, kUnconnected.key);
    addOnce(keys, kNotAnswering.key);
    addAll(keys, kMainWindowControls);
    addOnce(keys, kMakerNameLabel);
    addAll(keys, kBlankedWhenAbsent);
    addAll(keys, kDisplayOrientations);
    addOnce(keys, kSignalCaption);
    addOnce(keys, kRecording);
    addAll(keys, kSignalCharts);
    addAll(keys, kSignalMenu);
    addOnce(keys, kDrawTestCaption.key);
    addAll(keys, kDrawTestMenu);
    addOnce(keys, kDiagnosticCaption.key);
    addAll(keys, kLookedUpTexts);
    addOnce(keys, kLanguageNotSaved.key);
    for (const KeyFallback& k : {kMenuOculant, kMenuAbout, kMenuQuit, kAboutText, kAboutNoFrame, kMenuVirtualFrame,
                             kVirtualFramePlugged})
        addOnce(keys, k.key);
    addOnce(keys, kCloseDuringDownloadCaption.key);
    addOnce(keys, kCloseDuringDownload.key);
    addOnce(keys, kClosingAfterDownload.key);
    addOnce(keys, kMultiCalibCaption.key);
    addAll(keys, kMultiCalibCells);
    addAll(keys, kMultiCalibButtons);
    addAll(keys, kMultiCalibLabels);
    addOnce(keys, kMultiCalibTitle.key);
    for (const WindowText& t : kAddedTexts)
        addOnce(keys, t.text.key);
    using namespace history;
    for (const KeyFallback& k : {kCaption, kLineGroup, kStation, kPeriod, kTo, kAllStations, kTipStation, kTipFrom, kTipTo,
                                 kDayAxis, kYieldAxis, kYieldSeries, kFirstPassSeries, kReport, kTipReport, kReportCaption,
                                 kReportFilter, kClose})
        addOnce(keys, k.key);
    addAll(keys, kColumns);
    for (const KeyFallback& k : {kUnreadable, kNoDatabase, kNoLineFigures, kNoRecordsInPeriod, kLineOne, kLineMany, kReportWritten,
                                 kReportFailed, kNoRecords, kRecordsOne, kRecordsMany})
        addOnce(keys, k.key);
    {
        using namespace signalwords;
        for (const KeyFallback& k : {kLayer, kRate, kDropped, kReportsLost, kNotRecording, kRecordingTo, kLastLog,
                                     kOneFrame, kFrames, kNotWritten, kLevelAxis, kLineSeries, kMarkSeries, kValueAt,
                                     kMarked, kOpenLog, kLiveSignal, kPause, kPlay, kStep, kSpeed, kPlaying,
                                     kPlayPaused, kPlayEnded, kPlaySpeed, kOpenLogFailed, kLogFiles})
            addOnce(keys, k.key);
        addAll(keys, kDropReasons);
    }
    addAll(keys, kMultiCalibMessageKeys);
    for (const KeyFallback& k : {diagwords::kNoLevels, diagwords::kLayoutMismatch, diagwords::kLiftHand, diagwords::kProgress,
                                 diagwords::kProgressTimedOut, diagwords::kProgressDone})
        addOnce(keys, k.key);
    for (const KeyFallback& k : {kTouchSettingsMissing, kImportRefused, kImportCaption, kImportQuestion, kArrowsScale,
                                 kBeyondLimit, kVerifyNoRoom, kKeptNoSerial, kKeptMultiArea, kKeptNothingKnown, kKeptFailed, kKept})
        addOnce(keys, k.key);
    for (const KeyFallback& k : calwords::kAll)
        addOnce(keys, k.key);
    return keys;
}

}  // namespace oculant::textkeys
