#include "signal/FormSignal.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QAreaSeries>
#include <QChart>
#include <QEvent>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsRectItem>
#include <QLineSeries>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QShowEvent>
#include <QStatusBar>
#include <QValueAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QToolTip>
#include <QWheelEvent>
#include <chrono>

#include "link/DeviceSession.h"
#include "protocol/Protocol.h"
#include "signal/ChartLayout.h"
#include "widgets/ReadableColour.h"
#include "widgets/WindowFit.h"
#include "signal/ChartRefresh.h"
#include "signal/FrameProcessor.h"
#include "signal/SignalStore.h"
#include "base/SteadyClock.h"
#include "widgets/QtText.h"

namespace oculant {
namespace {

const QColor kSignalBlue(0, 0, 255);
const QColor kMarkRed(255, 0, 0);
const QColor kAxisSilver(192, 192, 192);
const QColor kGridGrey(232, 232, 232);
// Models that take no working-mode commands.
constexpr uint8_t kModelsWithoutModes[] = {16, 18};
// Position labels need about this much room each.
constexpr int kPixelsPerPositionTick = 45;
// The drag band's pen.
constexpr int kDragPenWidth = 4;

// The player's speeds; 1x (the log's own rate) to start with.
constexpr double kPlaySpeeds[] = {0.25, 0.5, 1, 2, 4, 8, 16};
constexpr int kNormalSpeedIndex = 2;

QFont windowFont()
{
    QFont font;
    font.setFamilies({"Tahoma", "DejaVu Sans", "WenQuanYi Micro Hei"});
    font.setPointSize(8);
    return font;
}

QValueAxis* makeAxis(const QFont& font)
{
    auto* axis = new QValueAxis;
    axis->setLinePenColor(kAxisSilver);
    axis->setGridLineColor(kGridGrey);
    axis->setMinorTickCount(0);
    axis->setLabelFormat("%d");
    axis->setLabelsFont(font);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    return axis;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// One chart

SignalChartView::SignalChartView(const ChartName& name, QWidget* parent)
    // The view made with its chart: a chart handed over later by setChart() leaves the view's
    // first one to whoever made it (nobody: a chart and its legend lost per view).
    : QChartView(new QChart, parent), chart_(QChartView::chart()), positionAxis_(makeAxis(windowFont())), levelAxis_(makeAxis(windowFont()))
{
    setObjectName(name.control);
    // The window's pop-up menu serves the charts too.
    setContextMenuPolicy(Qt::NoContextMenu);
    setFrameShape(QFrame::NoFrame);

    // The legend names the line and the marks; the bars' edge and the labels stay out of it.
    chart_->legend()->setAlignment(Qt::AlignTop);
    chart_->legend()->setFont(windowFont());
    chart_->legend()->hide();  // shown with the first content
    setMouseTracking(true);  // the value under the mouse
    chart_->setDropShadowEnabled(false);
    chart_->setBackgroundRoundness(0);
    chart_->setMargins(QMargins(2, 2, 6, 2));
    chart_->layout()->setContentsMargins(0, 0, 0, 0);
    QFont titleFont = windowFont();
    titleFont.setBold(true);
    chart_->setTitleFont(titleFont);
    chart_->setTitle(QString::fromUtf8(name.designTitle));

    levelAxis_->setRange(kLevelAxisMin, kLevelAxisMax);
    levelAxis_->setTickInterval(kLevelAxisTick);
    positionAxis_->setTitleFont(windowFont());
    // The layer text is grey, a step back from the title, as dark as the chart's background
    // needs to read it.
    positionAxis_->setTitleBrush(readableOn(QColor(96, 96, 96), chart_->backgroundBrush().color()));
    chart_->addAxis(positionAxis_, Qt::AlignBottom);
    chart_->addAxis(levelAxis_, Qt::AlignLeft);
    applyRange();
    // The tick spacing and the room for mark labels follow the plot's width, which the chart
    // lays out after the view is resized.
    connect(chart_, &QChart::plotAreaChanged, this, [this] { applyRange(); });
}

QString SignalChartView::title() const { return chart_->title(); }
void SignalChartView::setTitle(const QString& title) { chart_->setTitle(title); }
void SignalChartView::setLayerText(const QString& text)
{
    if (positionAxis_->titleText() != text)
        positionAxis_->setTitleText(text);
}
QString SignalChartView::layerText() const { return positionAxis_->titleText(); }

void SignalChartView::ensureSeries()
{
    if (chart_->series().size() >= 2)
        return;
    line_ = new QLineSeries;
    line_->setPen(QPen(kSignalBlue, 1));
    // The bars are one red area whose outline rises to each mark and runs along the axis between
    // them: a bar series keeps an item for every position, and refilling it took 20 ms a tick.
    // The area has no pen, so the stretches along the axis stay invisible; the fill is the
    // outline's red.
    bars_ = new QAreaSeries;
    barOutline_ = new QLineSeries(bars_);  // an area series does not own its edge
    bars_->setUpperSeries(barOutline_);
    bars_->setPen(Qt::NoPen);
    bars_->setBrush(kMarkRed);
    // Value labels come from a series of their own: a bar series hides the label of a bar of
    // height 0, and a dead beam (level 0) is the mark that matters most.
    markLabels_ = new QScatterSeries;
    markLabels_->setMarkerSize(1);
    markLabels_->setColor(Qt::transparent);
    markLabels_->setBorderColor(Qt::transparent);
    markLabels_->setPointLabelsFormat("@yPoint");
    markLabels_->setPointLabelsVisible(true);
    markLabels_->setPointLabelsClipping(false);
    markLabels_->setPointLabelsColor(readableOn(Qt::black, chart_->backgroundBrush().color()));
    markLabels_->setPointLabelsFont(windowFont());
    labelWidth_ = QFontMetricsF(windowFont()).horizontalAdvance("000") + 4;
    for (QAbstractSeries* s : std::initializer_list<QAbstractSeries*>{line_, bars_, markLabels_}) {
        chart_->addSeries(s);
        s->attachAxis(positionAxis_);
        s->attachAxis(levelAxis_);
    }
    for (QLegendMarker* m : chart_->legend()->markers(markLabels_))
        m->setVisible(false);
    // Every chart draws the same two series: the top row's legends say it for all of them.
    chart_->legend()->setVisible(objectName().endsWith('0'));
}

QString SignalChartView::word(const textkeys::KeyFallback& t) const
{
    return qs(textOf(words_ ? *words_ : TextLookupOr{}, t));
}

// The level axis and the legend in the window's language.
void SignalChartView::retitle()
{
    namespace w = textkeys::signalwords;
    const QString level = word(w::kLevelAxis), line = word(w::kLineSeries), marks = word(w::kMarkSeries);
    if (levelAxis_->titleText() != level)
        levelAxis_->setTitleText(level);
    if (line_ && line_->name() != line)
        line_->setName(line);
    if (bars_ && bars_->name() != marks)
        bars_->setName(marks);
}

QString SignalChartView::valueAt(double x) const
{
    const ChartPoint* p = pointAt(linePoints_, x);
    if (!p)
        return {};
    const bool marked = pointAt(marks_, x) != nullptr;
    return qs(chartValueText(p->x, p->level, marked, words_ ? *words_ : TextLookupOr{}));
}

void SignalChartView::showContent(const ChartContent& content)
{
    ensureSeries();
    const int before = zoom_.positions();
    zoom_.setPositions(content.positions);
    if (zoom_.positions() != before)
        applyRange();

    points_.clear();
    points_.reserve(qsizetype(content.line.size()));
    for (const ChartPoint& p : content.line)
        points_.append(QPointF(p.x, p.level));
    line_->replace(points_);
    linePoints_.assign(content.line.begin(), content.line.end());
    showMarks(content);
    retitle();
}

// Each mark a bar of 95 % of a position's width from the axis up to its level.
void SignalChartView::showMarks(const ChartContent& content)
{
    marks_ = content.marks;
    points_.clear();
    constexpr double half = kMarkBarWidth / 2;
    for (const ChartPoint& p : marks_) {
        // A dead beam's mark (level 0) still gets a bar to see.
        const double top = std::max(p.level, kMinMarkBarLevel);
        points_.append(QPointF(p.x - half, 0));
        points_.append(QPointF(p.x - half, top));
        points_.append(QPointF(p.x + half, top));
        points_.append(QPointF(p.x + half, 0));
    }
    if (!points_.isEmpty() || barOutline_->count() > 0)
        barOutline_->replace(points_);
    showMarkLabels();
}

// Labels of neighbouring marks would print over each other; those that do not fit at this zoom
// are left out (zooming in brings them back), and so are marks outside the visible range.
void SignalChartView::showMarkLabels()
{
    if (!markLabels_)
        return;
    const QRectF plot = chart_->plotArea();
    const AxisRange& r = zoom_.range();
    const double minGap = plot.width() > 0 ? labelWidth_ * r.span() / plot.width() : 0;
    selectMarkLabels(labelled_, marks_, r.min, r.max, minGap);
    points_.clear();
    for (const ChartPoint& p : labelled_)
        points_.append(QPointF(p.x, p.level));
    if (!points_.isEmpty() || markLabels_->count() > 0)
        markLabels_->replace(points_);
}

void SignalChartView::applyRange()
{
    const AxisRange& r = zoom_.range();
    const int maxTicks = std::max(2, int(chart_->plotArea().width()) / kPixelsPerPositionTick);
    const double interval = positionTickInterval(r, maxTicks);
    // The axis lays out every tick at once: a wide range under a fine interval (1 position over
    // 300) costs tens of milliseconds, so the order keeps the in-between state coarse.
    if (interval >= positionAxis_->tickInterval()) {
        positionAxis_->setTickInterval(interval);
        positionAxis_->setRange(r.min, r.max);
    } else {
        positionAxis_->setRange(r.min, r.max);
        positionAxis_->setTickInterval(interval);
    }
    showMarkLabels();
}

double SignalChartView::chartX(const QPointF& viewPosition) const
{
    return chart_->mapFromScene(mapToScene(viewPosition.toPoint())).x();
}

void SignalChartView::wheelEvent(QWheelEvent* event)
{
    const QRectF plot = chart_->plotArea();
    if (plot.width() <= 0 || event->angleDelta().y() == 0)
        return;
    const AxisRange& r = zoom_.range();
    const double anchor = r.min + (chartX(event->position()) - plot.left()) / plot.width() * r.span();
    zoom_.wheel(event->angleDelta().y(), anchor);
    applyRange();
    event->accept();
}

void SignalChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QChartView::mousePressEvent(event);
        return;
    }
    dragFrom_ = chartX(event->position());
    if (!dragBand_) {
        dragBand_ = new QGraphicsRectItem(chart_);
        dragBand_->setPen(QPen(QColor(0, 0, 0, 96), kDragPenWidth));
        dragBand_->setZValue(1000);
    }
    dragBand_->setRect(QRectF(*dragFrom_, chart_->plotArea().top(), 0, chart_->plotArea().height()));
    dragBand_->hide();
    event->accept();
}

void SignalChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragFrom_) {
        // The value under the mouse, in a tool tip that follows it.
        const QPointF at = chart_->mapFromScene(mapToScene(event->position().toPoint()));
        const QString value = line_ && chart_->plotArea().contains(at) ? valueAt(chart_->mapToValue(at, line_).x()) : QString();
        if (value.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(event->globalPosition().toPoint(), value, this);
        QChartView::mouseMoveEvent(event);
        return;
    }
    const double from = *dragFrom_;
    const double x = chartX(event->position());
    const QRectF plot = chart_->plotArea();
    dragBand_->setRect(QRectF(std::min(from, x), plot.top(), std::abs(x - from), plot.height()));
    dragBand_->setVisible(std::abs(x - from) >= ChartZoom::kMinDragPixels);
    event->accept();
}

void SignalChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !dragFrom_) {
        QChartView::mouseReleaseEvent(event);
        return;
    }
    const QRectF plot = chart_->plotArea();
    if (zoom_.drag(*dragFrom_, chartX(event->position()), plot.left(), plot.width()))
        applyRange();
    dragFrom_.reset();
    dragBand_->hide();
    event->accept();
}

void SignalChartView::mouseDoubleClickEvent(QMouseEvent* event)
{
    zoom_.reset();
    applyRange();
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// The window

TFormSignal::TFormSignal(QWidget* parent) : QDialog(parent), clock_(steadyMs)
{
    setObjectName("TFormSignal");
    setWindowTitle(kSignalDesignCaption);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setFont(windowFont());
    setAutoFillBackground(true);

    SignalChartView** controls[] = {&ChartSigX0, &ChartSigX1, &ChartSigX2, &ChartSigY0, &ChartSigY1, &ChartSigY2};
    for (size_t k = 0; k < charts_.size(); ++k) {
        charts_[k] = new SignalChartView(kSignalChartNames[k], this);
        charts_[k]->setWords(&words_);
        *controls[k] = charts_[k];
    }

    LogOn = new QAction(QString::fromUtf8(kLogOnDesignText), this);
    LogOn->setObjectName("LogOn");
    LogOn->setCheckable(true);
    NSignalQulity = new QAction(QString::fromUtf8(kSignalQualityDesignText), this);
    NSignalQulity->setObjectName("NSignalQulity");
    NSignalQulity->setCheckable(true);
    addAction(LogOn);
    addAction(NSignalQulity);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    // Whoever checks LogOn (the menu, the opening button, closing), the recorder follows.
    connect(LogOn, &QAction::toggled, this, [this](bool on) {
        if (processor_)
            processor_->recorder().setLogOn(on);
        updateCaption();
    });

    OpenLog = new QAction(this);
    OpenLog->setObjectName("OpenLog");
    LiveSignal = new QAction(this);
    LiveSignal->setObjectName("LiveSignal");
    LiveSignal->setVisible(false);
    addAction(OpenLog);
    addAction(LiveSignal);
    connect(OpenLog, &QAction::triggered, this, &TFormSignal::OpenLogClick);
    connect(LiveSignal, &QAction::triggered, this, &TFormSignal::LiveSignalClick);

    PlayBar = new QWidget(this);
    PlayBar->setObjectName("PlayBar");
    auto* bar = new QHBoxLayout(PlayBar);
    bar->setContentsMargins(4, 2, 4, 2);
    ButtonPlay = new QPushButton(PlayBar);
    ButtonPlay->setObjectName("ButtonPlay");
    ButtonStep = new QPushButton(PlayBar);
    ButtonStep->setObjectName("ButtonStep");
    SliderPosition = new QSlider(Qt::Horizontal, PlayBar);
    SliderPosition->setObjectName("SliderPosition");
    ComboSpeed = new QComboBox(PlayBar);
    ComboSpeed->setObjectName("ComboSpeed");
    for (double speed : kPlaySpeeds)
        ComboSpeed->addItem(QString::number(speed) + "x", speed);
    ComboSpeed->setCurrentIndex(kNormalSpeedIndex);
    bar->addWidget(ButtonPlay);
    bar->addWidget(ButtonStep);
    bar->addWidget(SliderPosition, 1);
    bar->addWidget(ComboSpeed);
    PlayBar->hide();
    connect(ButtonPlay, &QPushButton::clicked, this, &TFormSignal::ButtonPlayClick);
    connect(ButtonStep, &QPushButton::clicked, this, &TFormSignal::ButtonStepClick);
    connect(SliderPosition, &QSlider::sliderMoved, this, &TFormSignal::SliderPositionChange);
    connect(SliderPosition, &QSlider::actionTriggered, this, [this](int action) {
        // Page and arrow keys move the slider without a drag.
        if (action != QAbstractSlider::SliderMove && action != QAbstractSlider::SliderNoAction)
            SliderPositionChange(SliderPosition->sliderPosition());
    });
    connect(ComboSpeed, &QComboBox::currentIndexChanged, this, &TFormSignal::ComboSpeedChange);
    TimerPlay = new QTimer(this);
    TimerPlay->setObjectName("TimerPlay");
    TimerPlay->setInterval(20);
    connect(TimerPlay, &QTimer::timeout, this, &TFormSignal::TimerPlayTimer);

    StatusLine = new QStatusBar(this);
    StatusLine->setObjectName("StatusLine");
    StatusLine->setSizeGripEnabled(true);  // without a window manager the only way to resize

    // The design's client area of 1162 × 581 holds the charts; the status line comes on top.
    // A smaller screen gets a smaller window (showEvent); the charts share what there is.
    resize(1162, 581 + StatusLine->sizeHint().height());
    updatePlayControls();
    updateStatus();
}

SignalChartView* TFormSignal::chart(int index) const
{
    return index >= 0 && index < int(charts_.size()) ? charts_[size_t(index)] : nullptr;
}

void TFormSignal::setProcessor(FrameProcessor* processor)
{
    processor_ = processor;
    if (processor_)
        processor_->recorder().setLogOn(LogOn->isChecked());
}

const SignalStore& TFormSignal::store() const
{
    if (player_.isOpen())
        return playStore_;
    return processor_ ? processor_->store() : unwired_;
}

QString TFormSignal::word(const textkeys::KeyFallback& text) const { return qs(textOf(words_, text)); }

bool TFormSignal::OpenLogFile(const std::string& path)
{
    std::string error;
    if (!player_.open(path, error)) {
        showPlayError(error);
        return false;
    }
    // A played log is not the frame: nothing of it is recorded again.
    LogOn->setChecked(false);
    playStore_ = SignalStore();
    player_.setSpeed(ComboSpeed->currentData().toDouble(), clock_());
    SliderPosition->setRange(0, int(player_.frameCount()) - 1);
    player_.step(playProcessor_);
    showPlayer(true);
    TimerReDrawTimer();
    return true;
}

void TFormSignal::OpenLogClick()
{
    const QString path = QFileDialog::getOpenFileName(this, word(textkeys::signalwords::kOpenLog).remove("..."),
                                                      QString(), word(textkeys::signalwords::kLogFiles));
    if (!path.isEmpty())
        OpenLogFile(path.toStdString());
}

void TFormSignal::LiveSignalClick()
{
    player_.close();
    showPlayer(false);
    TimerReDrawTimer();
}

void TFormSignal::ButtonPlayClick()
{
    player_.togglePlay(playProcessor_, clock_());  // at the end, Play starts the log again
    updatePlayControls();
}

void TFormSignal::ButtonStepClick()
{
    if (!player_.isOpen())
        return;
    player_.setPaused(true, clock_());
    if (!player_.step(playProcessor_) && !player_.error().empty())
        showPlayError(player_.error());
    updatePlayControls();
    TimerReDrawTimer();
}

void TFormSignal::SliderPositionChange(int frame)
{
    if (!player_.isOpen() || frame < 0)
        return;
    if (!player_.seek(size_t(frame), playProcessor_, clock_()) && !player_.error().empty())
        showPlayError(player_.error());
    updatePlayControls();
    TimerReDrawTimer();
}

void TFormSignal::ComboSpeedChange(int index)
{
    if (index >= 0)
        player_.setSpeed(ComboSpeed->itemData(index).toDouble(), clock_());
}

void TFormSignal::TimerPlayTimer()
{
    if (!player_.isOpen())
        return;
    // The player pauses itself at the end and on a file gone bad; the latter is said once.
    const bool wasPaused = player_.paused();
    player_.tick(clock_(), playProcessor_);
    if (!wasPaused && !player_.error().empty())
        showPlayError(player_.error());
    updatePlayControls();
}

void TFormSignal::showPlayer(bool shown)
{
    PlayBar->setVisible(shown);
    LiveSignal->setVisible(shown);
    LogOn->setEnabled(!shown);
    if (shown)
        TimerPlay->start();
    else
        TimerPlay->stop();
    updatePlayControls();
    FormResize();
}

void TFormSignal::updatePlayControls()
{
    namespace w = textkeys::signalwords;
    OpenLog->setText(word(w::kOpenLog));
    LiveSignal->setText(word(w::kLiveSignal));
    ButtonPlay->setText(word(player_.paused() || player_.atEnd() ? w::kPlay : w::kPause));
    ButtonStep->setText(word(w::kStep));
    ComboSpeed->setToolTip(word(w::kSpeed));
    ButtonStep->setEnabled(!player_.atEnd());
    if (player_.isOpen() && !SliderPosition->isSliderDown()) {
        const QSignalBlocker quiet(SliderPosition);
        SliderPosition->setValue(int(std::max<size_t>(player_.position(), 1) - 1));
    }
}

void TFormSignal::showPlayError(const std::string& text)
{
    QMessageBox::warning(this, windowTitle(),
                         word(textkeys::signalwords::kOpenLogFailed).arg(qs(text)));
}

void TFormSignal::onFrameProcessed(const FrameResult& result)
{
    if (result.status == FrameStatus::Accepted)
        ++framesProcessed_;
    if (!result.logError.empty())
        showLogError(result.logError);
}

// A failed log ends the recording request: otherwise every following frame would try again
// and raise the same message many times a second. Checking LogOn again starts a new log.
void TFormSignal::showLogError(const std::string& text)
{
    LogOn->setChecked(false);
    if (!logErrorBox_) {
        logErrorBox_ = new QMessageBox(QMessageBox::Warning, windowTitle(), {}, QMessageBox::Ok, this);
        logErrorBox_->setObjectName("LogErrorBox");
    }
    // One box at a time, shown without a nested event loop: this runs inside the drain timer.
    logErrorBox_->setText(qs(text));
    if (!logErrorBox_->isVisible())
        logErrorBox_->open();
}

void TFormSignal::updateCaption() { setWindowTitle(qs(signalCaption(LogOn->isChecked(), lookup_))); }

void TFormSignal::FormActivate()
{
    if (session_ && !player_.isOpen()) {
        const uint8_t model = session_->records().modelCode();
        if (std::find(std::begin(kModelsWithoutModes), std::end(kModelsWithoutModes), model) ==
            std::end(kModelsWithoutModes))
            session_->sendModeStream(protocol::kModeSignal);
    }
    updateCaption();
}

void TFormSignal::FormClose()
{
    if (player_.isOpen()) {
        player_.close();
        showPlayer(false);
    }
    if (session_)
        session_->sendModeStop();
    LogOn->setChecked(false);
    // The stream stops with the window, so no frame may come to close the log: close it now,
    // with everything queued for it written.
    if (processor_) {
        const std::string failure = processor_->recorder().finish();
        if (!failure.empty())
            showLogError(failure);
    }
}

void TFormSignal::FormResize()
{
    const int statusHeight = StatusLine->sizeHint().height();
    // isHidden: the bar counts before the window is first shown (a log opened at start).
    const int barHeight = PlayBar->isHidden() ? 0 : PlayBar->sizeHint().height();
    const int chartsHeight = std::max(0, height() - statusHeight - barHeight);
    const auto rects = chartLayout(width(), chartsHeight);
    for (size_t k = 0; k < charts_.size(); ++k)
        charts_[k]->setGeometry(rects[k].left, rects[k].top, rects[k].width, rects[k].height);
    PlayBar->setGeometry(0, chartsHeight, width(), barHeight);
    StatusLine->setGeometry(0, chartsHeight + barHeight, width(), statusHeight);
}

void TFormSignal::LogOnClick() { LogOn->toggle(); }
void TFormSignal::NSignalQulityClick() { NSignalQulity->toggle(); }

void TFormSignal::UpdateChart(int index, std::span<const uint8_t> samples, int offset)
{
    SignalChartView* view = chart(index);
    if (!view)
        return;
    fillChartContent(content_, samples, offset, NSignalQulity->isChecked());
    view->showContent(content_);
}

void TFormSignal::TimerReDrawTimer()
{
    const SignalStore& s = store();
    const auto plan = chartRefreshPlan(s);
    for (const ChartSource& c : plan.charts()) {
        UpdateChart(c.chart, c.samples, c.offset);
        const bool x = c.chart < kChartY0;
        charts_[size_t(c.chart)]->setLayerText(qs(chartLayerText(x, x ? c.row : c.row - s.bX(), c.offset, words_)));
    }
    updateStatus();
}

void TFormSignal::updateStatus()
{
    rate_.sample(clock_(), framesProcessed_);
    const SignalStore& s = store();
    if (player_.isOpen()) {
        PlaybackStatus p;
        p.path = player_.path();
        p.frame = player_.position();
        p.frames = player_.frameCount();
        p.paused = player_.paused();
        p.ended = player_.atEnd();
        p.speed = player_.speed();
        p.bX = s.bX();
        p.bY = s.bY();
        p.nX = s.nX();
        p.nY = s.nY();
        const QString text = qs(playbackStatusText(p, words_));
        if (StatusLine->currentMessage() != text)
            StatusLine->showMessage(text);
        return;
    }
    SignalStatus status;
    status.framesPerSecond = rate_.perSecond();
    status.bX = s.bX();
    status.bY = s.bY();
    status.nX = s.nX();
    status.nY = s.nY();
    if (session_) {
        status.ringDrops = session_->dispatcher().droppedFrames();
        status.lostReports = session_->talk().receiveOverruns();
    }
    if (processor_) {
        status.drops = processor_->drops();
        const AdLogRecorder& recorder = processor_->recorder();
        status.recording = recorder.recording();
        status.logPath = recorder.path();
        status.framesWritten = recorder.framesWritten();
        status.framesNotWritten = recorder.framesNotWritten();
    }
    const QString text = qs(signalStatusText(status, words_));
    if (StatusLine->currentMessage() != text)
        StatusLine->showMessage(text);
}

void TFormSignal::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TFormSignal::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TFormSignal::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

void TFormSignal::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        fitToScreen(*this, fitted_ ? Placement::KeepInside : Placement::Centre, size());
        fitted_ = true;
    }
    // The player's texts in the language chosen since the window was last shown.
    updatePlayControls();
    FormShow();
}

}  // namespace oculant
