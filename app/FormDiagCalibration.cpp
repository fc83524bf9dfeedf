// The calibration group's buttons of the main window: Start (Button11), Reset (Button10),
// Export (Button13), Import (Button16) and the download timer TimerDownTab (run by the session
// core), over CalibrationFlow; after each fit the capture screen shows its result. A unit of its
// own because the calibration core's headers must not meet the diagnostic window's.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <utility>

#include "app/FormDiag.h"

#include "session/SessionCore.h"

#include <QProgressBar>
#include <QStatusBar>

#include "calibration/CalibrationControls.h"
#include "calibration/CalibrationExport.h"
#include "calibration/CalibrationFlow.h"
#include "calibration/CalibrationLimits.h"
#include "calibration/CalibrationReport.h"
#include "calibration/CaptureResult.h"
#include "calibration/TextFormat.h"
#include "session/SessionCore.h"
#include "calibration/CalibrationFlowDevice.h"
#include "calibration/CaptureSession.h"
#include "calibration/FormCalibrate.h"
#include "calibration/FormMultiCalib.h"

namespace oculant {
namespace {

std::string textOf(const QLineEdit* edit) { return edit->text().toStdString(); }
std::string textOf(const QComboBox* box) { return box->currentText().toStdString(); }

}  // namespace

// The flow, its device link, and the multi-area window's host: its Start runs step B and the
// per-area run here, the one place that opens the capture screen and downloads.
struct TFormDiag::Calibration final : MultiCalibHost {
    TFormDiag& window;
    DeviceSessionLink link;
    CalibrationFlow flow;
    Calibration(TFormDiag& w, DeviceSession& session, TextLookup lookup)
        : window(w), link(session), flow(link, std::move(lookup))
    {
        flow.keepReplacedSetsIn(
            CalibrationHistory::userFolder(), [] { return std::time(nullptr); },
            [&w](std::string_view key, std::string_view fallback) { return w.language_.LookupTextOr(key, fallback); });
    }
    std::optional<std::pair<int, int>> stepB() override { return window.multiAreaWindowSize(); }
    void runAreas(const MultiAreaLayout& layout) override { window.runMultiArea(layout); }
};

void TFormDiag::attachCalibration()
{
    calibration_ = std::make_shared<Calibration>(
        *this, session_, [this](std::string_view key) { return language_.LookupText(key); });
    connect(Button11, &QPushButton::clicked, this, &TFormDiag::Button11Click);
    connect(Button10, &QPushButton::clicked, this, &TFormDiag::Button10Click);
    connect(Button13, &QPushButton::clicked, this, &TFormDiag::Button13Click);
    connect(Button16, &QPushButton::clicked, this, &TFormDiag::Button16Click);
    connect(Button12, &QPushButton::clicked, this, &TFormDiag::Button12Click);
    connect(CheckBoxWindowCalib, &QCheckBox::clicked, this, &TFormDiag::CheckBoxWindowCalibClick);
    connect(CheckBoxEx, &QCheckBox::clicked, this, &TFormDiag::CheckBoxExClick);
    downloadProgress_ = new QProgressBar(this);
    downloadProgress_->setRange(0, 100);
    downloadProgress_->setMaximumWidth(200);
    downloadProgress_->hide();
    StatusBar1->addPermanentWidget(downloadProgress_);
    applyCalibrationEnables();
    if (TFormCalibrate* w = windows_.calibrate) {
        frameProcessor_.addListener(w->touchListener());
        w->setCommandSender([this](uint8_t code, const uint8_t* payload, size_t length) {
            session_.talk().SendCommand(code, payload, length);
        });
        w->setTextLookup([this](std::string_view key) { return language_.LookupText(key); });
        w->setTextLookupOr([this](std::string_view key, std::string_view fallback) {
            return language_.LookupTextOr(key, fallback);
        });
    }
}

void TFormDiag::showCalibrationMessages(const std::vector<std::string>& messages)
{
    for (const std::string& m : messages)
        showMessage(QString::fromStdString(m));
}

void TFormDiag::startCalibrationDownload(bool started, const std::string& keptNote, const std::string& keptError)
{
    if (!started)
        return;
    keptNote_ = keptNote;
    keptFailed_ = !keptError.empty();
    LabelKept->hide();
    disableDeviceButtons();
    downloadProgress_->setValue(0);
    downloadProgress_->show();
    core_.followDownload([this] { return TimerDownTabTimer(); });
}

// The window and extension fields follow their check boxes.
void TFormDiag::applyCalibrationEnables()
{
    CalibrationGroupState state;
    state.connected = session_.connected();
    state.windowCalib = CheckBoxWindowCalib->isChecked();
    state.extension = CheckBoxEx->isChecked();
    const CalibrationGroupEnables e = calibrationGroupEnables(state);
    for (QLineEdit* edit : {EditOffsetX, EditOffsetY, EditWidth, EditHeight})
        edit->setEnabled(e.windowEdits);
    CheckBoxArea->setEnabled(e.maskCheckBox);
    for (QLineEdit* edit : {EditLeftEx, EditRightEx, EditUpEx, EditDownEx})
        edit->setEnabled(e.extensionEdits);
}

void TFormDiag::CheckBoxWindowCalibClick()
{
    CheckBoxArea->setChecked(maskCheckedAfterWindowCalibClick(CheckBoxWindowCalib->isChecked(), CheckBoxArea->isChecked()));
    applyCalibrationEnables();
}

void TFormDiag::CheckBoxExClick()
{
    if (const auto key = extensionClickWarningKey(CheckBoxEx->isChecked()))
        showMessage(QString::fromStdString(language_.LookupText(*key)));
    applyCalibrationEnables();
}

// The calibration group's settings as its controls show them.
static CalibrationGroupTexts groupTextsOf(const TFormDiag& w)
{
    CalibrationGroupTexts t;
    t.gridX = textOf(w.ComboBoxClibXPoints);
    t.gridY = textOf(w.ComboBoxClibYPoints);
    t.auxPoints = w.CheckBoxCalibAuxPoint->isChecked();
    t.marginLeft = textOf(w.EditLeftPxiMargin), t.marginRight = textOf(w.EditRightPxiMargin);
    t.marginUp = textOf(w.EditUpPxiMargin), t.marginDown = textOf(w.EditDownPxiMargin);
    t.windowCalib = w.CheckBoxWindowCalib->isChecked();
    t.offsetX = textOf(w.EditOffsetX), t.offsetY = textOf(w.EditOffsetY);
    t.width = textOf(w.EditWidth), t.height = textOf(w.EditHeight);
    t.maskOutside = w.CheckBoxArea->isChecked();
    t.extension = w.CheckBoxEx->isChecked();
    t.leftEx = textOf(w.EditLeftEx), t.rightEx = textOf(w.EditRightEx);
    t.upEx = textOf(w.EditUpEx), t.downEx = textOf(w.EditDownEx);
    t.direction = w.ComboBoxDisplayDir->currentIndex();
    return t;
}

void TFormDiag::Button11Click()
{
    const CalibrationGroupTexts t = groupTextsOf(*this);
    const ScreenSize screen{screenWidth_, screenHeight_};
    CalibrationFlow& flow = calibration_->flow;
    const FlowStart start = flow.start(t, screen, receiverPositionCounts(frameProcessor_.store(), session_.records().boards));
    showCalibrationMessages(start.messages);
    if (!start.openCapture || !windows_.calibrate)
        return;
    windows_.calibrate->setSettings(start.settings, screen);
    windows_.calibrate->setPositions(receiverPositionCounts(frameProcessor_.store(), session_.records().boards));
    session_.sendModeTouch();
    execModal(*windows_.calibrate);
    const bool chinese = language_.usesChineseReport();
    FlowFit fit;
    const FlowDownloadStart download = flow.finishCapture(
        windows_.calibrate->data(), receiverPositionCounts(frameProcessor_.store(), session_.records().boards), chinese, &fit);
    startCalibrationDownload(download.started, download.keptNote, download.keptError);
    if (fit.ok)
        showFitResult({fit.residuals,
                       fitSummary(fit.errorPixels, fit.errorMm, fit.residuals, fit.orientation, fit.verify.direction,
                                  chinese),
                       fit.verify, VerifyOptions{}, chinese});
    showCalibrationMessages(download.messages);
}

// The technician is still at the screen: the result comes there first, the report after it.
void TFormDiag::showFitResult(const CaptureResultView& view)
{
    if (!windows_.calibrate)
        return;
    windows_.calibrate->showResult(view);
    execModal(*windows_.calibrate);
}

// Step B of the calibration group: the capture window's size, or nullopt once its message
// was shown.
std::optional<std::pair<int, int>> TFormDiag::multiAreaWindowSize()
{
    CalibrationSettings settings;
    MaskRectangle mask;
    const CheckResult window = readCalibrationWindow(groupTextsOf(*this), {screenWidth_, screenHeight_}, settings, mask);
    if (!window.valid) {
        showMessage(QString::fromStdString(window.message));
        return std::nullopt;
    }
    return std::pair{settings.window.width, settings.window.height};
}

// The multi-area window opens only over a valid calibration window (step B), whose size its
// refresh converts the display millimetres to.
void TFormDiag::Button12Click()
{
    const auto size = multiAreaWindowSize();
    if (!size || !windows_.multiCalib)
        return;
    windows_.multiCalib->setHost(calibration_.get());
    windows_.multiCalib->setCaptureWindowSize(size->first, size->second);
    openModal(windows_.multiCalib, ActiveWindow::None);
}

// The per-area run: one capture screen per area, opened over the multi-area window, then the
// download of every area's set together, with the same timer and progress as a single area.
void TFormDiag::runMultiArea(const MultiAreaLayout& layout)
{
    const ScreenSize screen{screenWidth_, screenHeight_};
    CalibrationFlow& flow = calibration_->flow;
    const FlowStart start = flow.startMultiArea(groupTextsOf(*this), screen, layout,
                                                 receiverPositionCounts(frameProcessor_.store(), session_.records().boards));
    showCalibrationMessages(start.messages);
    if (!start.openCapture || !windows_.calibrate)
        return;
    CalibrationSettings settings = start.settings;
    for (;;) {
        windows_.calibrate->setSettings(settings, screen);
        windows_.calibrate->setPositions(receiverPositionCounts(frameProcessor_.store(), session_.records().boards));
        session_.sendModeTouch();
        execModal(*windows_.calibrate);
        const bool chinese = language_.usesChineseReport();
        const FlowAreaStep step = flow.finishAreaCapture(
            windows_.calibrate->data(), receiverPositionCounts(frameProcessor_.store(), session_.records().boards), chinese);
        if (const std::optional<FlowAreaResult>& a = step.fitted)
            showFitResult({a->residuals,
                           "A" + formatInt(a->index + 1) + "\n" +
                               fitSummary(a->errorPixels, a->errorMm, a->residuals, a->orientation, a->verify.direction,
                                          chinese),
                           a->verify, VerifyOptions{}, chinese});
        if (step.openCapture) {
            settings = step.settings;
            continue;
        }
        startCalibrationDownload(step.started, step.keptNote, step.keptError);
        showCalibrationMessages(step.messages);
        return;
    }
}

bool TFormDiag::TimerDownTabTimer()
{
    if (!calibration_)
        return false;
    const FlowTick tick = calibration_->flow.downloadTick();
    if (!tick.statusText.empty())
        setStatusText(QString::fromStdString(tick.statusText) +
                      (closeAfterDownload_ ? " — " + text(textkeys::kClosingAfterDownload) : QString()));
    downloadProgress_->setValue(downloadPercent());
    if (!tick.finished)
        return true;
    downloadProgress_->hide();
    // A frame unplugged during the write is gone: its buttons stay off.
    setDeviceButtonsEnabled(session_.connected());
    std::string status = tick.statusText;
    if (!tick.historyError.empty())
        status += (status.empty() ? "" : " — ") + tick.historyError;
    setStatusText(QString::fromStdString(status));
    LabelKept->setText(QString::fromStdString(keptNote_));
    LabelKept->setVisible(!keptNote_.empty());
    // The way back is lost: not only a line under the buttons.
    if (keptFailed_ || !tick.historyError.empty())
        showMessage(QString::fromStdString(keptFailed_ ? keptNote_ + (tick.historyError.empty() ? "" : "\n" + tick.historyError)
                                                       : tick.historyError));
    keptNote_.clear();
    keptFailed_ = false;
    if (tick.messageBox)
        showMessage(QString::fromStdString(*tick.messageBox));
    if (std::exchange(closeAfterDownload_, false))
        QTimer::singleShot(0, this, &QWidget::close);
    return false;
}

void TFormDiag::Button10Click()
{
    CalibrationFlow& flow = calibration_->flow;
    const auto [caption, question] = flow.resetConfirmation();
    if (!confirm(QString::fromStdString(caption), QString::fromStdString(question)))
        return;
    const FlowDownloadStart download = flow.reset();
    startCalibrationDownload(download.started, download.keptNote, download.keptError);
    showCalibrationMessages(download.messages);
}

void TFormDiag::Button13Click()
{
    CalibrationFlow& flow = calibration_->flow;
    if (const auto refusal = flow.exportRefusal()) {
        showMessage(QString::fromStdString(*refusal));
        return;
    }
    const QString chosen = QFileDialog::getSaveFileName(this, QString(), QString(), text("CalibExportFile"));
    if (chosen.isEmpty())
        return;
    const std::string path = CalibrationFlow::exportPath(chosen.toStdString());
    if (QFileInfo::exists(QString::fromStdString(path))) {
        const auto [caption, question] = flow.overwriteConfirmation();
        if (!confirm(QString::fromStdString(caption), QString::fromStdString(question)))
            return;
    }
    if (const auto failure = flow.exportTo(path))
        showMessage(QString::fromStdString(*failure));
}

}  // namespace oculant

namespace oculant {

// Import: a calibration file (an export, or a set kept before a download) is checked, its
// coefficients shown for confirmation, then downloaded as a single-area calibration.
// Where Import opens: the connected frame's kept calibrations, else the folder of all frames,
// else the working folder.
QString TFormDiag::calibrationImportFolder() const
{
    const std::string all = CalibrationHistory::userFolder();
    const std::string frame = CalibrationHistory(all).frameFolder(EditSerialNum->text().toStdString());
    for (const std::string& folder : {frame, all})
        if (!folder.empty() && QFileInfo(QString::fromStdString(folder)).isDir())
            return QString::fromStdString(folder);
    return {};
}

void TFormDiag::Button16Click()
{
    CalibrationFlow& flow = calibration_->flow;
    const QString chosen =
        QFileDialog::getOpenFileName(this, QString(), calibrationImportFolder(), text("CalibExportFile"));
    if (chosen.isEmpty())
        return;
    const CalibrationImport file = readCalibrationExport(chosen.toStdString());
    if (!file.coefficients) {
        showMessage(text(textkeys::kImportRefused).arg(chosen, QString::fromStdString(file.refusal)));
        return;
    }
    std::string shown = text(textkeys::kImportQuestion).toStdString() + "\n";
    for (size_t i = 0; i < file.coefficients->k.size(); ++i)
        shown += "K" + formatInt(long(i)) + ": " + formatFixed(file.coefficients->k[i], 6) + "\n";
    if (!confirm(text(textkeys::kImportCaption), QString::fromStdString(shown)))
        return;
    const FlowDownloadStart download = flow.restore(*file.coefficients);
    startCalibrationDownload(download.started, download.keptNote, download.keptError);
    showCalibrationMessages(download.messages);
}

}  // namespace oculant
