#pragma once
// The signal view window: six charts of the current signal (three X layers on the left, three Y
// layers on the right), the recording switch and the quality-mark switch in its pop-up menu, and
// a status line with the frame rate, the dropped frames and the log being written. The main
// window opens it modally from "Signal View" and "Record Data". What the charts show is computed
// by the core (ChartSeries, ChartRefresh, ChartZoom, ChartLayout, ChartText); this window copies
// it into Qt Charts.
//
// Wiring (by whoever creates the windows):
//   FormSignal.setSession(&session);        // mode commands, model code, ring counters
//   FormSignal.setProcessor(&processor);    // the store charted, LogOn, drops, the log file
//   FormSignal.setTextLookup(lookup);       // caption texts from the language file
//   connect(TimerReDraw, &QTimer::timeout, &FormSignal, &TFormSignal::TimerReDrawTimer);
//   session.setFrameSink([&](const uint8_t* d, uint32_t n) {
//       FormSignal.onFrameProcessed(processor.ProcessFrame(d, n)); });
// Unwired, the window charts an empty store and sends nothing.

#include <QChartView>
#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "signal/AdLogPlayer.h"
#include "signal/ChartFrameRate.h"
#include "signal/FrameProcessor.h"
#include "signal/SignalStore.h"
#include "signal/ChartSeries.h"
#include "i18n/TextKeys.h"
#include "signal/ChartText.h"
#include "signal/ChartZoom.h"

class QAction;
class QAreaSeries;
class QComboBox;
class QPushButton;
class QSlider;
class QTimer;
class QGraphicsRectItem;
class QLineSeries;
class QMessageBox;
class QScatterSeries;
class QStatusBar;
class QValueAxis;

namespace oculant {

class DeviceSession;
class FrameProcessor;
struct FrameResult;

// One signal chart. Its "title" property is the chart's title, so the language file re-captions
// it by the control name like any other control.
class SignalChartView : public QChartView {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)
public:
    SignalChartView(const ChartName& name, QWidget* parent);

    QString title() const;
    void setTitle(const QString& title);
    // Under the position axis: which layer the chart shows.
    void setLayerText(const QString& text);
    QString layerText() const;

    // Replaces the chart's points with `content`. The series are created on first use.
    void showContent(const ChartContent& content);
    // The texts of the level axis, the legend and the value under the mouse; the window's.
    void setWords(const TextLookupOr* words) { words_ = words; }
    // What the mouse over position x (a chart value) shows: empty off the line.
    QString valueAt(double x) const;

    // Null until the first refill.
    QLineSeries* line() const { return line_; }
    QAreaSeries* bars() const { return bars_; }
    // The bars' outline: four points per bar, (x − w/2, 0), (x − w/2, level), (x + w/2, level),
    // (x + w/2, 0).
    QLineSeries* barOutline() const { return barOutline_; }
    QScatterSeries* markLabels() const { return markLabels_; }
    QValueAxis* positionAxis() const { return positionAxis_; }
    QValueAxis* levelAxis() const { return levelAxis_; }
    const ChartZoom& zoom() const { return zoom_; }

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void ensureSeries();
    QString word(const textkeys::KeyFallback& text) const;
    void retitle();
    void showMarks(const ChartContent& content);
    void showMarkLabels();
    void applyRange();
    double chartX(const QPointF& viewPosition) const;

    QChart* chart_;
    QValueAxis* positionAxis_;
    QValueAxis* levelAxis_;
    QLineSeries* line_ = nullptr;         // series 0: the signal
    QAreaSeries* bars_ = nullptr;         // series 1: the quality marks
    QLineSeries* barOutline_ = nullptr;   // the bars' upper edge, a child of bars_
    QScatterSeries* markLabels_ = nullptr;  // each mark's value above its bar
    ChartZoom zoom_;
    QGraphicsRectItem* dragBand_ = nullptr;
    std::optional<double> dragFrom_;  // chart x where a left-button drag began
    std::vector<ChartPoint> marks_;        // the marks last shown, labelled again on zoom
    std::vector<ChartPoint> labelled_;
    double labelWidth_ = 0;                // pixels a three-digit label needs
    // Reused across refreshes.
    QList<QPointF> points_;
    std::vector<ChartPoint> linePoints_;  // the line last shown, for the value under the mouse
    const TextLookupOr* words_ = nullptr;
};

class TFormSignal : public QDialog {
    Q_OBJECT
public:
    using MsClock = std::function<int64_t()>;

    explicit TFormSignal(QWidget* parent = nullptr);

    // ---- Wiring ----
    void setSession(DeviceSession* session) { session_ = session; }
    // Also hands the current LogOn state to the processor's recorder.
    void setProcessor(FrameProcessor* processor);
    void setTextLookup(SignalTextLookup lookup) { lookup_ = std::move(lookup); }
    // The axis and status line texts, with their English fallbacks.
    void setWordLookup(TextLookupOr words)
    {
        words_ = std::move(words);
        updatePlayControls();
    }
    // Milliseconds of a monotonic clock, for the frame rate; tests step their own.
    void setClock(MsClock clock) { clock_ = std::move(clock); }
    // The result of every ProcessFrame: counts the frame for the rate and shows a log error.
    void onFrameProcessed(const FrameResult& result);

    // ---- Controls, by their design names (owned by the window) ----
    SignalChartView *ChartSigX0, *ChartSigX1, *ChartSigX2, *ChartSigY0, *ChartSigY1, *ChartSigY2;
    // Pop-up menu items: recording on/off, quality marks on/off.
    QAction* LogOn;
    QAction* NSignalQulity;
    // Plays a recorded AD log into the charts instead of the live signal, and back.
    QAction* OpenLog;
    QAction* LiveSignal;
    QStatusBar* StatusLine;
    // The player's controls, shown while a log plays: play or pause, one frame on, the position
    // in the log, the speed.
    QWidget* PlayBar;
    QPushButton* ButtonPlay;
    QPushButton* ButtonStep;
    QSlider* SliderPosition;
    QComboBox* ComboSpeed;
    QTimer* TimerPlay;  // 20 ms, as the live drain

    SignalChartView* chart(int index) const;

    // ---- Handlers ----
    void FormShow() {}
    void FormActivate();
    void FormClose();
    void FormResize();
    void LogOnClick();
    void NSignalQulityClick();
    // Asks for a log file and plays it.
    void OpenLogClick();
    // Plays the log at `path` from its first frame; false, with the message shown, when it
    // cannot be played (the live signal stays).
    bool OpenLogFile(const std::string& path);
    void LiveSignalClick();
    void ButtonPlayClick();
    void ButtonStepClick();
    void SliderPositionChange(int frame);
    void ComboSpeedChange(int index);
    void TimerPlayTimer();
    bool playing() const { return player_.isOpen(); }
    const AdLogPlayer& player() const { return player_; }
    // Refills chart `index` (0 … 5; others do nothing) from one layer's samples and offset.
    void UpdateChart(int index, std::span<const uint8_t> samples, int offset);
    // The main window's TimerReDraw (100 ms, shown or not): the charts from the store's current
    // signal, then the status line.
    void TimerReDrawTimer();

    // Every way of closing (Escape, the close button, close()) ends here.
    void done(int result) override;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    const SignalStore& store() const;
    SignalStore unwired_;  // charted until a processor is set
    QString word(const textkeys::KeyFallback& text) const;
    void showPlayer(bool shown);
    void updatePlayControls();
    void showPlayError(const std::string& text);
    AdLogPlayer player_;
    SignalStore playStore_;  // the log's frames land here, never in the live store
    FrameProcessor playProcessor_{playStore_};
    void updateCaption();
    void updateStatus();
    void showLogError(const std::string& text);

    std::array<SignalChartView*, 6> charts_{};
    DeviceSession* session_ = nullptr;
    FrameProcessor* processor_ = nullptr;
    SignalTextLookup lookup_;
    TextLookupOr words_;
    MsClock clock_;
    ChartContent content_;  // reused by every UpdateChart
    ChartFrameRate rate_;
    uint64_t framesProcessed_ = 0;
    QMessageBox* logErrorBox_ = nullptr;
    bool fitted_ = false;  // placed at the first showing; later ones keep where the user put it
};

}  // namespace oculant
