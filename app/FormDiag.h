#pragma once
// The main window: the device panel (connection, status, features), the calibration settings,
// the buttons that open the other windows, and the timers that drive the device session.
// The device logic is DeviceSession's; this window shows what it reports.

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "i18n/TextKeys.h"
#include "deviceinfo/DeviceInfoText.h"
#include "link/DeviceSession.h"
#include "deviceinfo/FeatureWord.h"
#include "i18n/Language.h"
#include "i18n/LanguageApply.h"
#include "signal/FrameProcessor.h"

class QCheckBox;
class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class TFormHistory;
class QRadioButton;
class QSlider;
class QStatusBar;
class QTimer;

class QMenu;
class QAction;

namespace oculant {

class TFormSignal;
class TFormPoints;
class TFormImgDiag;
class TFormCalibrate;
class TFormMultiCalib;
struct MultiAreaLayout;
struct CaptureResultView;
class FrameTestBench;
class SessionCore;

// The windows the main window opens; created after it by main(), which owns them.
struct SecondaryWindows {
    TFormSignal* signal = nullptr;
    TFormPoints* points = nullptr;
    TFormImgDiag* imgDiag = nullptr;
    TFormCalibrate* calibrate = nullptr;
    TFormMultiCalib* multiCalib = nullptr;
};

struct FormDiagOptions {
    std::string languagePath;  // lan.ini beside the program
    std::string logoPath;      // logo.jpg beside the program
    LocalTimeConverter localTime = systemLocalTime();
    // The session clock in milliseconds (default: the steady clock); tests step their own.
    std::function<int64_t()> clockMs;
    // With --virtual-frame: the built-in frame's test bench and path, so that the technician
    // can unplug it and plug it back in (Ctrl+U). Null without.
    FrameTestBench* virtualBench = nullptr;
    std::string virtualFramePath;
};

class TFormDiag : public QMainWindow, private SessionView {
    Q_OBJECT
public:
    // Opens the language file and shows what the session core reports; `core` (made and stopped
    // by main) must outlive the window.
    TFormDiag(SessionCore& core, FormDiagOptions options, QWidget* parent = nullptr);
    ~TFormDiag() override;

    void attachWindows(const SecondaryWindows& windows);
    // The signal window playing a recorded AD log (the menu's Open log, --open-log FILE); no
    // frame needs to be connected. Shows why when the log cannot be played.
    void openSignalLog(const std::string& path);

    SessionCore& core() { return core_; }
    DeviceSession& session() { return session_; }
    // Every assembled signal frame goes through the core's processor on the drain tick; the
    // windows that want frames or touches register with it.
    FrameProcessor& frameProcessor() { return frameProcessor_; }
    Language& language() { return language_; }
    // Where the frame keeps its calibration (from the version record); size 0: none.
    CalibrationArea calibrationArea() const { return calibrationArea_; }
    int screenWidth() const { return screenWidth_; }
    int screenHeight() const { return screenHeight_; }

    // ---- Controls, by their design names (owned by the window) ----
    QLabel* Image1;
    QLabel* Label16;  // maker's name
    QLabel* Label17;  // maker's web address
    QLabel* Label36;  // "Device Path:"
    QComboBox* ComboBox1;
    // Frames that were found but may not be opened, with the fix; hidden while there are none.
    QLabel* LabelAccess;
    QLabel* LabelKept;  // the note naming the kept calibration, under the run buttons

    QGroupBox* GroupBox1;  // Status
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label39;
    QLineEdit *EditType, *EditHardwareVer, *EditSoftwareVer, *EditSta, *EditRunSta, *EditDate, *EditTime,
        *EditSerialNum, *EditCRC;
    QPushButton* Button4;  // Refresh
    QPushButton* Button6;  // Stop / Run, invisible
    QPushButton* ButtonHistory;  // the frame's test records
    TFormHistory* FormHistory = nullptr;  // made at the first click; a child of this window

    QGroupBox* GroupBox2;  // Screen Rotate
    QCheckBox *CheckBoxFeatureSmooth, *CheckBoxFeatureMac, *CheckBoxFeatureReverseX, *CheckBoxFeatureReverseY,
        *CheckBoxFeatureExchangeXY, *CheckBoxFeatureUSARTOn, *CheckBoxFeatureSmallPointOn;
    QRadioButton *RadioButton1, *RadioButton2, *RadioButton3, *RadioButton4;
    QLabel *Label11, *Label12, *Label13;
    QLineEdit* Edit1;  // frames
    QSlider* TrackBar1;
    QPushButton *Button7, *Button8, *Button9;  // invisible

    QGroupBox* GroupBox3;  // Calibration
    QLabel *Label9, *Label10;
    QComboBox *ComboBoxClibXPoints, *ComboBoxClibYPoints;
    QCheckBox* CheckBoxCalibAuxPoint;
    QGroupBox* GroupBox5;  // Margin
    QLabel *Label14, *Label15, *Label37, *Label38;
    QLineEdit *EditLeftPxiMargin, *EditRightPxiMargin, *EditUpPxiMargin, *EditDownPxiMargin;
    QCheckBox *CheckBoxWindowCalib, *CheckBoxArea;
    QLabel *Label19, *Label20, *Label21, *Label22;
    QLineEdit *EditOffsetX, *EditOffsetY, *EditWidth, *EditHeight;
    QCheckBox* CheckBoxEx;
    QProgressBar* downloadProgress_ = nullptr;  // in the status bar while a block is written
    QLabel *Label24, *Label25, *Label26, *Label27;
    QLineEdit *EditLeftEx, *EditRightEx, *EditUpEx, *EditDownEx;
    QLabel* Label31;
    QComboBox* ComboBoxDisplayDir;
    QPushButton *Button10, *Button11, *Button12, *Button13, *Button14;
    QPushButton* Button16;  // Import, beside Export

    QGroupBox* GroupBox4;  // Diagnostic tools
    QPushButton *Button1, *Button2, *Button3, *Button5, *Button15;
    QLabel* Label18;
    QComboBox* ComboBoxLan;

    QStatusBar* StatusBar1;

    // Ticks the session core, whose schedule runs the drain, the probe, the information
    // sequence, the rescan, the charts' redraw and the download's progress.
    QTimer* TimerSession;

    // ---- Handlers ----
    void FormShow();
    void FormActivate();
    void FormClose();
    void TimerSessionTimer();
    void Button1Click();
    void Button2Click();
    void Button3Click(QObject* sender);  // Signal View and Record Data
    void Button4Click();
    void ButtonHistoryClick();
    void Button14Click();
    void Button11Click();  // calibration: Start, Reset, Export and the download timer
    void Button10Click();
    void Button13Click();
    void Button16Click();  // Import: a calibration file downloaded into the frame
    QString calibrationImportFolder() const;  // where Import's file dialog opens
    void Button12Click();  // step B, then the multi-area window
    // Every 200 ms of a download: progress, then its end; false once it has ended.
    bool TimerDownTabTimer();
    void CheckBoxWindowCalibClick();
    void CheckBoxExClick();
    void ComboBox1Change(int index);
    void ComboBoxLanChange(bool userChoice);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The window's message box and modal show; tests replace them.
    virtual void showMessage(const QString& text);
    virtual void execModal(QDialog& window);
    // A warning with OK and Cancel; true for OK.
    virtual bool confirm(const QString& caption, const QString& question);

private:
    // SessionView: what the device session asks the window to show.
    void showConnected() override;
    void showUnconnected() override;
    void enableDeviceButtons() override;
    void disableDeviceButtons() override;
    void refillDeviceList(const std::vector<std::string>& paths, int currentIndex) override;
    void setRefreshEnabled(bool enabled) override;
    void showMissingAnswers(const std::vector<std::string>& names, bool none) override;
    void restartDiagnostic() override;
    void showAccessProblems(const std::vector<std::string>& lines) override;
    void onVersionStatus(const DeviceRecords& records) override;
    void onIdentity(const DeviceRecords& records) override;
    void onUserParams(const DeviceRecords& records) override;
    void onParameterBlock(const DeviceRecords& records, uint32_t crc) override;
    void onStatusText(const std::string& text) override;

    void buildControls();
    void colourNotes();  // from the palette
    QWidget* buildHeader();
    QGroupBox* buildStatusGroup();
    QGroupBox* buildFeatureGroup();
    QGroupBox* buildCalibrationGroup();
    QGroupBox* buildToolsGroup();
    void buildTimers();
    void buildVirtualFrameMenu();
    void buildAppMenu();
    void captionAppMenu();  // from the language chosen
    void showAbout();

    QString text(std::string_view key) const;
    QString text(const textkeys::KeyFallback& t) const;  // the program's own texts, with their fallbacks
    int downloadPercent() const;  // of the block being written, 0 before it starts
    void showConnectionState(std::string_view connectionKey);
    void showStateText(const QString& state);  // the status bar and both titles
    void setDeviceButtonsEnabled(bool enabled);
    void setStatusText(const QString& text);
    void applyFeatureState(const FeatureState& state);
    FeatureState currentFeatureState() const;
    void openModal(QDialog* window, ActiveWindow active);
    void loadLogo();
    void readScreenSize();
    void attachCalibration();
    void applyCalibrationEnables();
    void showCalibrationMessages(const std::vector<std::string>& messages);
    // keptError: the calibration the download replaces could not be kept (said in a message box
    // at the end of the download, with any failure to record the new one).
    void startCalibrationDownload(bool started, const std::string& keptNote = {}, const std::string& keptError = {});
    // The capture screen again, showing the result of the fit it captured (and its Verify).
    void showFitResult(const CaptureResultView& view);
    std::optional<std::pair<int, int>> multiAreaWindowSize();
    void runMultiArea(const MultiAreaLayout& layout);

    QWidget* windowNamed(std::string_view name);
    std::string captionOf(const CaptionTarget& target);
    void setCaption(const CaptionTarget& target, const std::string& text);

    SessionCore& core_;
    FormDiagOptions options_;
    Language language_;  // owned by the main window; lives until it closes
    DeviceSession& session_;          // the core's
    bool notAnsweringShown_ = false;
    QMenu* appMenu_ = nullptr;  // About, Quit
    QMenu* virtualMenu_ = nullptr;  // with a virtual frame only
    QObject* focusBack_ = nullptr;   // gives the main window the keyboard when its windows close
    void watchFocus(QWidget* window);
    QAction* pluggedAction_ = nullptr;

    QAction* aboutAction_ = nullptr;
    QAction* openLogAction_ = nullptr;
    QAction* quitAction_ = nullptr;  // the title says "not answering" and the buttons are off
    FrameProcessor& frameProcessor_;  // the core's, on the process's signal store
    SecondaryWindows windows_;
    std::array<QCheckBox*, kFeatureBoxCount> featureBoxes_{};  // the feature list, built at first show
    CalibrationArea calibrationArea_;
    // The calibration flow and its device link; made by attachCalibration, lives until exit.
    struct Calibration;
    std::shared_ptr<Calibration> calibration_;
    // Where the calibration a running download replaces was kept: said when it ends.
    std::string keptNote_;
    bool keptFailed_ = false;  // the set the running download replaces could not be kept
    bool closeAfterDownload_ = false;  // asked to close during a write: closes when it ends
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    bool deviceButtonsEnabled_ = false;
    bool shown_ = false;
    bool closed_ = false;
};

}  // namespace oculant
