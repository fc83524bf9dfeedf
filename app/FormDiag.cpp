#include "app/FormDiag.h"

#include <QAction>
#include <chrono>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/FormHistory.h"
#include "app/JpegFile.h"
#include "app/ReadOnlyCheckBox.h"
#include "calibration/BlockDownload.h"
#include "calibration/FormCalibrate.h"
#include "calibration/FormMultiCalib.h"
#include "session/SessionCore.h"
#include "diagnostics/FormImgDiag.h"
#include "drawtest/FormPoints.h"
#include "app/CommandLine.h"
#include "i18n/TextKeys.h"
#include "results/DatabaseUrl.h"
#include "signal/FormSignal.h"
#include "widgets/ReadableColour.h"
#include "widgets/WindowFit.h"
#include "base/SteadyClock.h"
#include "widgets/QtText.h"

namespace oculant {

namespace {

using namespace textkeys;

std::string_view designCaption(std::string_view control)
{
    for (const auto& c : kMainWindowControls)
        if (c.control == control)
            return c.design;
    return control;
}

template <typename W>
W* make(QWidget* parent, const char* name)
{
    auto* w = new W(parent);
    w->setObjectName(name);
    return w;
}

QLabel* makeLabel(QWidget* parent, const char* name, std::string_view caption = {})
{
    auto* l = make<QLabel>(parent, name);
    l->setText(qs(caption.empty() ? designCaption(name) : caption));
    return l;
}

QPushButton* makeButton(QWidget* parent, const char* name, std::string_view caption = {})
{
    auto* b = make<QPushButton>(parent, name);
    b->setText(qs(caption.empty() ? designCaption(name) : caption));
    return b;
}

template <typename Box = QCheckBox>
QCheckBox* makeCheck(QWidget* parent, const char* name, std::string_view caption = {})
{
    auto* c = make<Box>(parent, name);
    c->setText(qs(caption.empty() ? designCaption(name) : caption));
    return c;
}

// A short number field: wide enough for five digits.
QLineEdit* makeNumberEdit(QWidget* parent, const char* name, const char* text)
{
    auto* e = make<QLineEdit>(parent, name);
    e->setText(text);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance("000000") + 12);
    return e;
}

QLineEdit* makeField(QWidget* parent, const char* name)
{
    auto* e = make<QLineEdit>(parent, name);
    e->setReadOnly(true);
    e->setText(qs(kNotAvailable));
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance("3.5 - 1.23.4  ") + 12);
    return e;
}

QComboBox* makeList(QWidget* parent, const char* name, const QStringList& items)
{
    auto* c = make<QComboBox>(parent, name);
    c->addItems(items);
    c->setCurrentIndex(0);
    return c;
}

// Desktop programs that show the touch and tablet settings, tried in this order.
struct SettingsProgram {
    const char* program;
    QStringList arguments;
};
const SettingsProgram kTabletSettings[] = {
    {"gnome-control-center", {"wacom"}},
    {"systemsettings", {"kcm_tablet"}},
    {"kcmshell6", {"kcm_tablet"}},
    {"kcmshell5", {"kcm_tablet"}},
};

}  // namespace

TFormDiag::TFormDiag(SessionCore& core, FormDiagOptions options, QWidget* parent)
    : QMainWindow(parent), core_(core), options_(std::move(options)), language_(options_.languagePath),
      session_(core.device()), frameProcessor_(core.processor())
{
    if (!options_.clockMs)
        options_.clockMs = [] { return steadyMs(); };
    setObjectName(qs(kMainWindow));
    // A resizable window: it opens at the size of its contents where the screen has room for
    // them, and its contents scroll where it has not.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(qs(kMainWindowDesignCaption));
    buildControls();
    buildTimers();
    buildAppMenu();
    if (options_.virtualBench)
        buildVirtualFrameMenu();
    core_.setView(this);
}

TFormDiag::~TFormDiag()
{
    core_.setView(nullptr);
    core_.setRedraw({});
}

// Wires the windows to the session, the frame processor and the language, as each window's
// header asks of whoever creates the windows.
namespace {

// The property that keeps a control's own tool tip while a notice stands in its place.
constexpr const char* kOwnTip = "oculantOwnTip";

// Where no window manager runs, the keyboard focus stays with a window that closed: the main
// window takes it back when one of its own windows hides, as a window manager would hand it.
class FocusBackOnHide : public QObject {
public:
    explicit FocusBackOnHide(QWidget* main) : QObject(main), main_(main) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
            QTimer::singleShot(0, main_, [main = main_] {
                if (main->isVisible() && !QApplication::activeModalWidget() && !QApplication::activeWindow())
                    main->activateWindow();
            });
        return false;
    }

private:
    QWidget* main_;
};

}  // namespace

void TFormDiag::watchFocus(QWidget* window)
{
    if (!focusBack_)
        focusBack_ = new FocusBackOnHide(this);
    if (window)
        window->installEventFilter(focusBack_);
}

void TFormDiag::attachWindows(const SecondaryWindows& windows)
{
    windows_ = windows;
    for (QWidget* w : std::initializer_list<QWidget*>{windows_.signal, windows_.points, windows_.imgDiag,
                                                      windows_.calibrate, windows_.multiCalib})
        watchFocus(w);
    const TextLookup lookup = [this](std::string_view key) { return language_.LookupText(key); };
    const TextLookupOr lookupOr = [this](std::string_view key, std::string_view fallback) {
        return language_.LookupTextOr(key, fallback);
    };
    if (TFormSignal* w = windows_.signal) {
        w->setSession(&session_);
        w->setProcessor(&frameProcessor_);
        w->setTextLookup(lookup);
        w->setWordLookup(lookupOr);
        // The signal window keeps the recorder in step with LogOn, which Button3/Button15 set.
        core_.setRedraw([w] { w->TimerReDrawTimer(); });
        // It counts the frames and shows a log that cannot be written.
        core_.addFrameObserver([w](const uint8_t*, uint32_t, const FrameResult& result) { w->onFrameProcessed(result); });
    }
    if (TFormPoints* w = windows_.points) {
        frameProcessor_.addListener(w->touchListener());
        w->setCommandSender([this](uint8_t code, const uint8_t* payload, size_t length) {
            session_.talk().SendCommand(code, payload, length);
        });
        w->setTextLookup(lookup);
    }
    if (TFormImgDiag* w = windows_.imgDiag) {
        frameProcessor_.addListener(w->frameListener());
        w->setBoardLayout(session_.records().boards);  // kept by reference: follows every 0x22 answer
        w->setCommandSender([this](const DiagnosticCommand& c) {
            session_.talk().SendCommand(c.code, c.payload.data(), c.payload.size());
        });
        w->setTextLookup(lookup);
        w->setTextLookupOr(lookupOr);
    }
    if (TFormMultiCalib* w = windows_.multiCalib) {
        w->setTextLookupOr(lookupOr);
        w->setDeviceButtonsEnabled(deviceButtonsEnabled_);
    }
    attachCalibration();
}

// ---------------------------------------------------------------------------------------------
// Controls and layout. The groups are stacked: header with the device list, then Status beside
// the tools, then Screen Rotate, then Calibration, each fully visible.

void TFormDiag::buildControls()
{
    // The groups scroll between the menu and the status bar, which stay in view; the window
    // grows with its contents (a longer language, a note shown) as far as the screen lets it.
    auto* central = new QWidget;
    central->setObjectName("Contents");
    setCentralWidget(new ContentsScrollArea(central, this));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(8, 6, 8, 4);
    column->setSpacing(6);

    column->addWidget(buildHeader());
    LabelAccess = makeLabel(central, "LabelAccess", " ");
    LabelAccess->setWordWrap(true);
    LabelAccess->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LabelAccess->hide();
    column->addWidget(LabelAccess);
    auto* middle = new QHBoxLayout;
    middle->addWidget(buildStatusGroup(), 1);
    middle->addWidget(buildToolsGroup());
    column->addLayout(middle);
    column->addWidget(buildFeatureGroup());
    column->addWidget(buildCalibrationGroup());

    StatusBar1 = statusBar();
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(true);  // without a window manager the only way to resize
    colourNotes();
    StatusBar1->showMessage(qs(kStatusBarDesignText));
}

QWidget* TFormDiag::buildHeader()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    Image1 = make<QLabel>(header, "Image1");
    Image1->hide();  // until a logo is loaded
    Label16 = makeLabel(header, "Label16", "Quillon");
    QFont maker = Label16->font();
    maker.setBold(true);
    maker.setPointSizeF(maker.pointSizeF() * 1.3);
    Label16->setFont(maker);
    Label17 = makeLabel(header, "Label17", " ");
    auto* names = new QVBoxLayout;
    names->setSpacing(0);
    names->addWidget(Label16);
    names->addWidget(Label17);
    Label36 = makeLabel(header, "Label36", kDevicePathDesignCaption);
    ComboBox1 = make<QComboBox>(header, "ComboBox1");
    ComboBox1->setMinimumWidth(ComboBox1->fontMetrics().horizontalAdvance("/dev/hidraw00") + 40);
    ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(ComboBox1, &QComboBox::activated, this, &TFormDiag::ComboBox1Change);

    row->addWidget(Image1);
    row->addLayout(names);
    row->addStretch(1);
    row->addWidget(Label36);
    row->addWidget(ComboBox1);
    return header;
}

QGroupBox* TFormDiag::buildStatusGroup()
{
    GroupBox1 = make<QGroupBox>(this, "GroupBox1");
    GroupBox1->setTitle(qs(designCaption("GroupBox1")));
    auto* grid = new QGridLayout(GroupBox1);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    auto pair = [&](QLabel*& label, const char* labelName, QLineEdit*& field, const char* fieldName, int row,
                    int column) {
        label = makeLabel(GroupBox1, labelName);
        field = makeField(GroupBox1, fieldName);
        grid->addWidget(label, row, column);
        grid->addWidget(field, row, column + 1);
    };
    pair(Label1, "Label1", EditType, "EditType", 0, 0);
    pair(Label4, "Label4", EditSerialNum, "EditSerialNum", 1, 0);
    pair(Label2, "Label2", EditDate, "EditDate", 2, 0);
    pair(Label3, "Label3", EditTime, "EditTime", 3, 0);
    pair(Label39, "Label39", EditCRC, "EditCRC", 4, 0);
    pair(Label5, "Label5", EditHardwareVer, "EditHardwareVer", 0, 2);
    pair(Label6, "Label6", EditSoftwareVer, "EditSoftwareVer", 1, 2);
    pair(Label7, "Label7", EditSta, "EditSta", 2, 2);
    pair(Label8, "Label8", EditRunSta, "EditRunSta", 3, 2);
    grid->setColumnMinimumWidth(2, 12);

    Button4 = makeButton(GroupBox1, "Button4");
    Button4->setEnabled(false);
    connect(Button4, &QPushButton::clicked, this, &TFormDiag::Button4Click);
    grid->addWidget(Button4, 4, 3, Qt::AlignRight);
    ButtonHistory = makeButton(GroupBox1, "ButtonHistory", "History");
    ButtonHistory->setEnabled(false);
    connect(ButtonHistory, &QPushButton::clicked, this, &TFormDiag::ButtonHistoryClick);
    grid->addWidget(ButtonHistory, 4, 2, Qt::AlignRight);
    Button6 = makeButton(GroupBox1, "Button6");  // no action, never shown
    Button6->setEnabled(false);
    Button6->hide();
    return GroupBox1;
}

QGroupBox* TFormDiag::buildToolsGroup()
{
    GroupBox4 = make<QGroupBox>(this, "GroupBox4");
    GroupBox4->setTitle(qs(designCaption("GroupBox4")));
    auto* grid = new QGridLayout(GroupBox4);
    Button1 = makeButton(GroupBox4, "Button1");
    Button2 = makeButton(GroupBox4, "Button2");
    Button3 = makeButton(GroupBox4, "Button3");
    Button15 = makeButton(GroupBox4, "Button15");
    Button5 = makeButton(GroupBox4, "Button5");  // no action; outside the group's visible area
    Button5->hide();
    for (QPushButton* b : {Button1, Button2, Button3, Button15, Button5})
        b->setEnabled(false);
    connect(Button1, &QPushButton::clicked, this, &TFormDiag::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFormDiag::Button2Click);
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(Button3); });
    connect(Button15, &QPushButton::clicked, this, [this] { Button3Click(Button15); });
    grid->addWidget(Button1, 0, 0);
    grid->addWidget(Button2, 0, 1);
    grid->addWidget(Button3, 1, 0);
    grid->addWidget(Button15, 1, 1);

    Label18 = makeLabel(GroupBox4, "Label18");
    ComboBoxLan = make<QComboBox>(GroupBox4, "ComboBoxLan");
    ComboBoxLan->addItem(qs(kDesignLanguage));
    ComboBoxLan->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(ComboBoxLan, &QComboBox::activated, this, [this] { ComboBoxLanChange(true); });
    auto* language = new QHBoxLayout;
    language->addWidget(Label18);
    language->addWidget(ComboBoxLan, 1);
    grid->addLayout(language, 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    return GroupBox4;
}

QGroupBox* TFormDiag::buildFeatureGroup()
{
    GroupBox2 = make<QGroupBox>(this, "GroupBox2");
    GroupBox2->setTitle(qs(designCaption("GroupBox2")));
    auto* row = new QHBoxLayout(GroupBox2);

    // The feature boxes show the frame's feature word; nothing writes them back to the frame.
    auto* checks = new QGridLayout;
    CheckBoxFeatureSmooth = makeCheck<ReadOnlyCheckBox>(GroupBox2, "CheckBoxFeatureSmooth");
    CheckBoxFeatureReverseX = makeCheck<ReadOnlyCheckBox>(GroupBox2, "CheckBoxFeatureReverseX");
    CheckBoxFeatureReverseY = makeCheck<ReadOnlyCheckBox>(GroupBox2, "CheckBoxFeatureReverseY");
    CheckBoxFeatureExchangeXY = makeCheck<ReadOnlyCheckBox>(GroupBox2, "CheckBoxFeatureExchangeXY");
    CheckBoxFeatureUSARTOn = makeCheck<ReadOnlyCheckBox>(GroupBox2, "CheckBoxFeatureUSARTOn");
    CheckBoxFeatureSmallPointOn = makeCheck<ReadOnlyCheckBox>(GroupBox2, "CheckBoxFeatureSmallPointOn");
    CheckBoxFeatureMac = makeCheck(GroupBox2, "CheckBoxFeatureMac", featureBoxInfo(FeatureBox::Mac).design);
    CheckBoxFeatureMac->setEnabled(false);
    CheckBoxFeatureMac->hide();
    CheckBoxFeatureSmooth->setChecked(true);
    CheckBoxFeatureReverseY->setChecked(true);
    checks->addWidget(CheckBoxFeatureSmooth, 0, 0);
    checks->addWidget(CheckBoxFeatureReverseX, 0, 1);
    checks->addWidget(CheckBoxFeatureReverseY, 0, 2);
    checks->addWidget(CheckBoxFeatureExchangeXY, 1, 0);
    checks->addWidget(CheckBoxFeatureUSARTOn, 1, 1);
    checks->addWidget(CheckBoxFeatureSmallPointOn, 1, 2);

    // The four rotation choices are exclusive among themselves (their own layout, same parent).
    auto* rotations = new QGridLayout;
    QRadioButton** radios[] = {&RadioButton1, &RadioButton2, &RadioButton3, &RadioButton4};
    const char* radioNames[] = {"RadioButton1", "RadioButton2", "RadioButton3", "RadioButton4"};
    for (int i = 0; i < 4; ++i) {
        *radios[i] = make<QRadioButton>(GroupBox2, radioNames[i]);
        (*radios[i])->setText(qs(kRotationCaptions[size_t(i)]));
        rotations->addWidget(*radios[i], i / 2, i % 2);
    }
    RadioButton1->setChecked(true);

    auto* others = new QGridLayout;
    Label11 = makeLabel(GroupBox2, "Label11");
    Edit1 = makeNumberEdit(GroupBox2, "Edit1", "50");
    Label12 = makeLabel(GroupBox2, "Label12");
    TrackBar1 = make<QSlider>(GroupBox2, "TrackBar1");
    TrackBar1->setOrientation(Qt::Horizontal);
    TrackBar1->setRange(0, 10);
    TrackBar1->setValue(5);
    TrackBar1->setEnabled(false);
    TrackBar1->setFixedWidth(100);
    Label13 = makeLabel(GroupBox2, "Label13");
    others->addWidget(Label11, 0, 0);
    others->addWidget(Edit1, 0, 1, Qt::AlignLeft);
    others->addWidget(Label12, 1, 0);
    others->addWidget(TrackBar1, 1, 1);
    others->addWidget(Label13, 2, 0, 1, 2);

    Button7 = makeButton(GroupBox2, "Button7");  // no action, never shown
    Button8 = makeButton(GroupBox2, "Button8");
    Button9 = makeButton(GroupBox2, "Button9");
    for (QPushButton* b : {Button7, Button8, Button9}) {
        b->setEnabled(false);
        b->hide();
    }

    row->addLayout(checks);
    row->addSpacing(16);
    row->addLayout(rotations);
    row->addSpacing(16);
    row->addLayout(others);
    row->addStretch(1);
    return GroupBox2;
}

QGroupBox* TFormDiag::buildCalibrationGroup()
{
    GroupBox3 = make<QGroupBox>(this, "GroupBox3");
    GroupBox3->setTitle(qs(designCaption("GroupBox3")));
    auto* column = new QVBoxLayout(GroupBox3);

    // Grid, auxiliary points and display direction.
    auto* top = new QHBoxLayout;
    const QStringList gridSizes{"2", "3", "4", "5"};
    Label9 = makeLabel(GroupBox3, "Label9");
    ComboBoxClibXPoints = makeList(GroupBox3, "ComboBoxClibXPoints", gridSizes);
    Label10 = makeLabel(GroupBox3, "Label10");
    ComboBoxClibYPoints = makeList(GroupBox3, "ComboBoxClibYPoints", gridSizes);
    CheckBoxCalibAuxPoint = makeCheck(GroupBox3, "CheckBoxCalibAuxPoint");
    CheckBoxCalibAuxPoint->setChecked(true);
    Label31 = makeLabel(GroupBox3, "Label31");
    ComboBoxDisplayDir = makeList(GroupBox3, "ComboBoxDisplayDir", {"横向", "纵向", "横向翻转", "纵向翻转"});
    ComboBoxDisplayDir->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (QWidget* w : std::initializer_list<QWidget*>{Label9, ComboBoxClibXPoints, Label10, ComboBoxClibYPoints})
        top->addWidget(w);
    top->addSpacing(16);
    top->addWidget(CheckBoxCalibAuxPoint);
    top->addStretch(1);
    top->addWidget(Label31);
    top->addWidget(ComboBoxDisplayDir);
    column->addLayout(top);

    auto* settings = new QHBoxLayout;
    // Margins in pixels.
    GroupBox5 = make<QGroupBox>(GroupBox3, "GroupBox5");
    GroupBox5->setTitle(qs(designCaption("GroupBox5")));
    auto* margins = new QGridLayout(GroupBox5);
    Label14 = makeLabel(GroupBox5, "Label14");
    Label37 = makeLabel(GroupBox5, "Label37");
    Label15 = makeLabel(GroupBox5, "Label15");
    Label38 = makeLabel(GroupBox5, "Label38");
    EditLeftPxiMargin = makeNumberEdit(GroupBox5, "EditLeftPxiMargin", "80");
    EditRightPxiMargin = makeNumberEdit(GroupBox5, "EditRightPxiMargin", "80");
    EditUpPxiMargin = makeNumberEdit(GroupBox5, "EditUpPxiMargin", "80");
    EditDownPxiMargin = makeNumberEdit(GroupBox5, "EditDownPxiMargin", "80");
    margins->addWidget(Label14, 0, 0);
    margins->addWidget(EditLeftPxiMargin, 0, 1);
    margins->addWidget(Label37, 0, 2);
    margins->addWidget(EditRightPxiMargin, 0, 3);
    margins->addWidget(Label15, 1, 0);
    margins->addWidget(EditUpPxiMargin, 1, 1);
    margins->addWidget(Label38, 1, 2);
    margins->addWidget(EditDownPxiMargin, 1, 3);
    margins->addWidget(makeLabel(GroupBox5, "LabelPixel", "pixel"), 2, 0, 1, 4, Qt::AlignRight);
    settings->addWidget(GroupBox5, 0, Qt::AlignTop);

    // Calibration window; its fields are enabled with CheckBoxWindowCalib.
    auto* window = new QGridLayout;
    CheckBoxWindowCalib = makeCheck(GroupBox3, "CheckBoxWindowCalib");
    CheckBoxArea = makeCheck(GroupBox3, "CheckBoxArea");
    Label19 = makeLabel(GroupBox3, "Label19");
    Label20 = makeLabel(GroupBox3, "Label20");
    Label22 = makeLabel(GroupBox3, "Label22");
    Label21 = makeLabel(GroupBox3, "Label21");
    EditOffsetX = makeNumberEdit(GroupBox3, "EditOffsetX", "192");
    EditOffsetY = makeNumberEdit(GroupBox3, "EditOffsetY", "144");
    EditWidth = makeNumberEdit(GroupBox3, "EditWidth", "896");
    EditHeight = makeNumberEdit(GroupBox3, "EditHeight", "512");
    for (QWidget* w : std::initializer_list<QWidget*>{EditOffsetX, EditOffsetY, EditWidth, EditHeight, CheckBoxArea})
        w->setEnabled(false);
    window->addWidget(CheckBoxWindowCalib, 0, 0, 1, 4);
    window->addWidget(Label19, 1, 0);
    window->addWidget(EditOffsetX, 1, 1);
    window->addWidget(Label20, 1, 2);
    window->addWidget(EditOffsetY, 1, 3);
    window->addWidget(Label22, 2, 0);
    window->addWidget(EditWidth, 2, 1);
    window->addWidget(Label21, 2, 2);
    window->addWidget(EditHeight, 2, 3);
    window->addWidget(CheckBoxArea, 3, 0, 1, 4);
    settings->addSpacing(8);
    settings->addLayout(window);

    // Touch area extension in millimetres; enabled with CheckBoxEx.
    auto* extension = new QGridLayout;
    CheckBoxEx = makeCheck(GroupBox3, "CheckBoxEx");
    Label24 = makeLabel(GroupBox3, "Label24");
    Label25 = makeLabel(GroupBox3, "Label25");
    Label26 = makeLabel(GroupBox3, "Label26");
    Label27 = makeLabel(GroupBox3, "Label27");
    EditLeftEx = makeNumberEdit(GroupBox3, "EditLeftEx", "3");
    EditRightEx = makeNumberEdit(GroupBox3, "EditRightEx", "3");
    EditUpEx = makeNumberEdit(GroupBox3, "EditUpEx", "0");
    EditDownEx = makeNumberEdit(GroupBox3, "EditDownEx", "0");
    extension->addWidget(CheckBoxEx, 0, 0, 1, 6);
    const struct {
        QLabel* label;
        QLineEdit* edit;
        int row, column;
    } cells[] = {{Label24, EditLeftEx, 1, 0}, {Label25, EditRightEx, 1, 3}, {Label26, EditUpEx, 2, 0},
                 {Label27, EditDownEx, 2, 3}};
    for (const auto& c : cells) {
        c.edit->setEnabled(false);
        c.edit->setFixedWidth(c.edit->fontMetrics().horizontalAdvance("0000") + 12);
        extension->addWidget(c.label, c.row, c.column);
        extension->addWidget(c.edit, c.row, c.column + 1);
        extension->addWidget(new QLabel("mm", GroupBox3), c.row, c.column + 2);
    }
    extension->setRowStretch(3, 1);
    settings->addSpacing(8);
    settings->addLayout(extension);
    settings->addStretch(1);
    column->addLayout(settings);

    // The run buttons. Start, Reset, Export and Import need a frame; Result opens the multi-area
    // window.
    auto* buttons = new QHBoxLayout;
    Button11 = makeButton(GroupBox3, "Button11");
    Button10 = makeButton(GroupBox3, "Button10");
    Button13 = makeButton(GroupBox3, "Button13");
    Button16 = makeButton(GroupBox3, "Button16", "Import");
    Button12 = makeButton(GroupBox3, "Button12");
    Button14 = makeButton(GroupBox3, "Button14", "Windows");
    for (QPushButton* b : {Button11, Button10, Button13, Button16})
        b->setEnabled(false);
    connect(Button14, &QPushButton::clicked, this, &TFormDiag::Button14Click);
    for (QPushButton* b : {Button11, Button10, Button13, Button16, Button12})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(Button14);
    column->addLayout(buttons);
    // Where the calibration a download replaced was kept: a long path, wrapped, shown until the
    // next calibration action (the status bar's next text would take it away within a second).
    LabelKept = makeLabel(GroupBox3, "LabelKept", " ");
    LabelKept->clear();
    LabelKept->setWordWrap(true);
    LabelKept->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LabelKept->hide();
    column->addWidget(LabelKept);
    return GroupBox3;
}

void TFormDiag::buildTimers()
{
    auto timer = [this](const char* name, int intervalMs) {
        auto* t = new QTimer(this);
        t->setObjectName(name);
        t->setInterval(intervalMs);
        return t;
    };
    TimerSession = timer("TimerSession", SessionCore::kTickMs);
    connect(TimerSession, &QTimer::timeout, this, &TFormDiag::TimerSessionTimer);
    TimerSession->start();
}

// Quit (Ctrl+Q) closes the window as its close button does, asking first during a write; it
// works without a window manager too, where the window has no close button.
void TFormDiag::buildAppMenu()
{
    appMenu_ = menuBar()->addMenu(QString());
    appMenu_->setObjectName("MenuOculant");
    aboutAction_ = appMenu_->addAction(QString(), this, &TFormDiag::showAbout);
    aboutAction_->setObjectName("MenuAbout");
    openLogAction_ = appMenu_->addAction(QString(), this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                          text(textkeys::signalwords::kLogFiles));
        if (!path.isEmpty())
            openSignalLog(path.toStdString());
    });
    openLogAction_->setObjectName("MenuOpenLog");
    appMenu_->addSeparator();
    quitAction_ = appMenu_->addAction(QString(), this, &QWidget::close);
    quitAction_->setObjectName("MenuQuit");
    quitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quitAction_->setShortcutContext(Qt::ApplicationShortcut);
    captionAppMenu();
}

void TFormDiag::captionAppMenu()
{
    appMenu_->setTitle(text(kMenuOculant));
    aboutAction_->setText(text(kMenuAbout));
    openLogAction_->setText(text(textkeys::signalwords::kOpenLog));
    quitAction_->setText(text(kMenuQuit));
    if (virtualMenu_) {
        virtualMenu_->setTitle(text(kMenuVirtualFrame));
        pluggedAction_->setText(text(kVirtualFramePlugged).arg(qs(options_.virtualFramePath)));
    }
}

void TFormDiag::showAbout()
{
    const QuillonDevice* device = session_.connected() ? session_.talk().currentDevice() : nullptr;
    showMessage(text(kAboutText)
                    .replace("\\n", "\n")
                    .arg(QString::fromLatin1(appVersion()), device ? qs(device->path) : text(kAboutNoFrame)));
}

void TFormDiag::buildVirtualFrameMenu()
{
    QMenu* menu = menuBar()->addMenu(text(kMenuVirtualFrame));
    menu->setObjectName("MenuVirtualFrame");
    QAction* plugged = menu->addAction(text(kVirtualFramePlugged).arg(qs(options_.virtualFramePath)));
    plugged->setObjectName("VirtualFramePlugged");
    virtualMenu_ = menu;
    pluggedAction_ = plugged;
    plugged->setCheckable(true);
    plugged->setChecked(true);
    plugged->setShortcut(QKeySequence("Ctrl+U"));
    connect(plugged, &QAction::toggled, this, [this](bool on) { options_.virtualBench->setPlugged(on); });
}

// ---------------------------------------------------------------------------------------------
// Window events

void TFormDiag::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TFormDiag::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
    if (event->type() == QEvent::PaletteChange)
        colourNotes();
}

// The access note is red, as dark or as light as the window's background needs to read it.
void TFormDiag::colourNotes()
{
    QPalette notePalette = LabelAccess->palette();
    notePalette.setColor(QPalette::WindowText, readableOn(QColor(0xa0, 0, 0), palette().color(QPalette::Window)));
    LabelAccess->setPalette(notePalette);
}

void TFormDiag::closeEvent(QCloseEvent* event)
{
    // A write is never cut (the frame's flash would be left half written): asked first, and the
    // window closes once the write has ended.
    if (core_.followingDownload()) {
        if (!closeAfterDownload_ &&
            confirm(text(kCloseDuringDownloadCaption), text(kCloseDuringDownload).arg(downloadPercent()))) {
            closeAfterDownload_ = true;
            setStatusText(text(kClosingAfterDownload));
        }
        event->ignore();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(event);
}

void TFormDiag::FormShow()
{
    core_.start(options_.clockMs());

    featureBoxes_ = {CheckBoxFeatureSmooth,   CheckBoxFeatureMac,     CheckBoxFeatureReverseX,
                     CheckBoxFeatureReverseY, CheckBoxFeatureExchangeXY, CheckBoxFeatureUSARTOn,
                     CheckBoxFeatureSmallPointOn};

    readScreenSize();

    const Language::StartupChoice choice = language_.startupSelection();
    ComboBoxLan->clear();
    for (const std::string& item : choice.items)
        ComboBoxLan->addItem(qs(item));
    ComboBoxLan->setCurrentIndex(choice.selectedIndex ? int(*choice.selectedIndex) : -1);
    if (choice.selectedIndex)
        ComboBoxLanChange(false);

    if (const auto message = language_.startupMessage())
        showMessage(qs(*message));
    else if (const std::string error = language_.loadError(); !error.empty())
        showMessage(qs(language_.path() + ": " + error + "\nThe texts show their built-in defaults."));

    loadLogo();
    fitToScreen(*this, Placement::Centre);
}

void TFormDiag::readScreenSize()
{
    const QRect screenArea = screen()->geometry();
    screenWidth_ = screenArea.width();
    screenHeight_ = screenArea.height();
    const QString horizontal = QString::number(unsigned(screenWidth_) / 20);
    const QString vertical = QString::number(unsigned(screenHeight_) / 20);
    EditLeftPxiMargin->setText(horizontal);
    EditRightPxiMargin->setText(horizontal);
    EditUpPxiMargin->setText(vertical);
    EditDownPxiMargin->setText(vertical);
    EditOffsetX->setText("0");
    EditOffsetY->setText("0");
    EditWidth->setText(QString::number(screenWidth_));
    EditHeight->setText(QString::number(screenHeight_));
}

void TFormDiag::loadLogo()
{
    // A missing logo is normal; a damaged one is hidden as well, without a message box.
    if (!QFileInfo::exists(qs(options_.logoPath))) {
        Image1->hide();
        return;
    }
    const JpegResult logo = decodeJpegFile(options_.logoPath);
    if (!logo.ok) {
        Image1->hide();
        setStatusText(qs(options_.logoPath + ": " + logo.error));
        return;
    }
    const QImage image(logo.image.pixels.data(), logo.image.width, logo.image.height, logo.image.width * 3,
                       QImage::Format_RGB888);
    // Scaled to the height of the header, keeping its proportions.
    const int height = std::min(logo.image.height, 2 * Label16->sizeHint().height() + 8);
    Image1->setPixmap(QPixmap::fromImage(image.scaledToHeight(height, Qt::SmoothTransformation)));
    Image1->show();
}

void TFormDiag::FormActivate() { session_.mainWindowActivated(); }

void TFormDiag::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    // Mode 0 is queued when connected and written before the worker ends (SessionCore::stop).
    TimerSession->stop();
    core_.stop();
}

// ---------------------------------------------------------------------------------------------
// Timers

void TFormDiag::TimerSessionTimer() { core_.tick(options_.clockMs()); }

// ---------------------------------------------------------------------------------------------
// Connection state

QString TFormDiag::text(std::string_view key) const { return qs(language_.LookupText(key)); }
QString TFormDiag::text(const KeyFallback& t) const { return qs(language_.LookupTextOr(t.key, t.fallback)); }

int TFormDiag::downloadPercent() const
{
    const uint32_t total = session_.talk().blockTotal();
    return total > 0 ? int(uint64_t(session_.talk().blockSent()) * 100 / total) : 0;
}

void TFormDiag::showConnectionState(std::string_view connectionKey) { showStateText(text(connectionKey)); }

void TFormDiag::showStateText(const QString& state)
{
    setStatusText(state);
    if (windows_.imgDiag)
        windows_.imgDiag->setWindowTitle(text(kDiagnosticCaption.key) + " - " + state);
    setWindowTitle(text(kMainCaption.key) + " - " + state);
}

void TFormDiag::showConnected() { showConnectionState(kConnected.key); }

// A frame that answers nothing is not shown as connected with empty fields; one that left some
// answers out says which, until the next status text.
// Its buttons follow: nothing can be calibrated, tested or read on a frame that does not answer,
// and Refresh (which asks again) stays on; a frame that answers again gets them back.
void TFormDiag::showMissingAnswers(const std::vector<std::string>& names, bool none)
{
    if (none) {
        showStateText(text(kNotAnswering));
        setDeviceButtonsEnabled(false);
        Button4->setEnabled(true);
        notAnsweringShown_ = true;
    } else if (notAnsweringShown_) {
        notAnsweringShown_ = false;
        showConnected();
        setDeviceButtonsEnabled(session_.connected());
    }
    if (!names.empty())
        setStatusText(qs(session_.missingAnswersText()));
}

void TFormDiag::showUnconnected()
{
    notAnsweringShown_ = false;
    showConnectionState(kUnconnected.key);
}

// A frame we may not open is worth more than "not connected": why, and what to do. Apart from
// the status bar, so that no later status text or language change hides it.
void TFormDiag::showAccessProblems(const std::vector<std::string>& lines)
{
    QStringList text;
    for (const std::string& line : lines)
        text << qs(line);
    LabelAccess->setText(text.join('\n'));
    LabelAccess->setVisible(!lines.empty());
}

void TFormDiag::enableDeviceButtons() { setDeviceButtonsEnabled(true); }
void TFormDiag::disableDeviceButtons() { setDeviceButtonsEnabled(false); }

void TFormDiag::setDeviceButtonsEnabled(bool enabled)
{
    deviceButtonsEnabled_ = enabled;
    for (QPushButton* b : {Button1, Button2, Button3, Button4, Button6, Button7, Button8, Button9, Button10, Button11,
                           Button13, Button15, Button16, ButtonHistory})
        b->setEnabled(enabled);
    if (!enabled)
        Button5->setEnabled(false);  // never enabled: it has no action
    // A recording played back takes what is written and drops it: the buttons that download
    // (Start, Reset, Import, the multi-area Start) stay off, and say why.
    const bool recording = session_.connectedToRecording();
    const QString why = recording ? qs(kRecordingText) : QString();
    for (QPushButton* b : {Button11, Button10, Button16}) {
        b->setEnabled(enabled && !recording);
        b->setToolTip(recording ? why : b->property(kOwnTip).toString());
    }
    if (windows_.multiCalib)
        windows_.multiCalib->setDeviceButtonsEnabled(enabled && !recording);  // its Start
}

// The connected frame's records, by the serial the Status group shows, from the default
// database: what the line's stations wrote on this PC.
void TFormDiag::ButtonHistoryClick()
{
    if (!FormHistory)
        FormHistory = new TFormHistory(this, [this](std::string_view key, std::string_view fallback) {
            return language_.LookupTextOr(key, fallback);
        });
        watchFocus(FormHistory);
    FormHistory->load(EditSerialNum->text().toStdString(), results::defaultDatabaseUrl());
    FormHistory->open();
}

void TFormDiag::refillDeviceList(const std::vector<std::string>& paths, int currentIndex)
{
    ComboBox1->clear();
    for (const std::string& p : paths)
        ComboBox1->addItem(qs(p));
    ComboBox1->setCurrentIndex(currentIndex);
}

void TFormDiag::setRefreshEnabled(bool enabled) { Button4->setEnabled(enabled); }

void TFormDiag::restartDiagnostic()
{
    if (windows_.imgDiag)
        windows_.imgDiag->testState = 1;
}

void TFormDiag::setStatusText(const QString& message) { StatusBar1->showMessage(message); }

void TFormDiag::ComboBox1Change(int index)
{
    const std::string message = session_.ComboBox1Change(index, ComboBox1->itemText(index).toStdString());
    if (!message.empty())
        showMessage(qs(message));
}

// ---------------------------------------------------------------------------------------------
// What the frame tells

void TFormDiag::onVersionStatus(const DeviceRecords& records)
{
    const VersionStatusText t =
        describeVersionStatus(records.versionStatus, [this](std::string_view key) { return language_.LookupText(key); });
    EditHardwareVer->setText(qs(t.hardwareVersion));
    EditSoftwareVer->setText(qs(t.softwareVersion));
    EditSta->setText(qs(t.firmwareStatus));
    EditRunSta->setText(qs(t.runStatus));
    calibrationArea_ = t.calibrationArea;
    if (t.restrictButtons)
        for (QPushButton* b : {Button2, Button1, Button10, Button11, Button13, Button16})
            b->setEnabled(false);
}

void TFormDiag::onIdentity(const DeviceRecords& records)
{
    const IdentityText t = describeIdentity(records.identity, options_.localTime);
    EditDate->setText(qs(t.shipDate));
    EditTime->setText(qs(t.shipTime));
    EditSerialNum->setText(qs(t.serial));
    EditType->setText(qs(t.model));
}

void TFormDiag::onUserParams(const DeviceRecords& records)
{
    const UserParamsText t =
        describeUserParams(records.userParams, [this](std::string_view key) { return language_.LookupText(key); });
    setStatusText(qs(t.statusText));
    if (!t.valid)
        return;
    Edit1->setText(qs(t.frames));
    // The dispatcher has copied the word into the parameter summary already.
    applyFeatureState(applyFeatureWord(t.featureWord, currentFeatureState()));
}

void TFormDiag::onParameterBlock(const DeviceRecords&, uint32_t crc) { EditCRC->setText(qs(formatParameterCrc(crc))); }

void TFormDiag::onStatusText(const std::string& message) { setStatusText(qs(message)); }

FeatureState TFormDiag::currentFeatureState() const
{
    FeatureState s;
    for (size_t b = 0; b < kFeatureBoxCount; ++b)
        s.checked[b] = featureBoxes_[b] && featureBoxes_[b]->isChecked();
    const QRadioButton* radios[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
    for (int i = 0; i < 4; ++i)
        if (radios[i]->isChecked())
            s.rotation = Rotation(i);
    return s;
}

void TFormDiag::applyFeatureState(const FeatureState& state)
{
    for (size_t b = 0; b < kFeatureBoxCount; ++b)
        if (featureBoxes_[b])
            featureBoxes_[b]->setChecked(state.checked[b]);
    QRadioButton* radios[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
    radios[size_t(state.rotation)]->setChecked(true);
}

// ---------------------------------------------------------------------------------------------
// Buttons

void TFormDiag::Button4Click()
{
    for (QLineEdit* field : {EditType, EditHardwareVer, EditSoftwareVer, EditSta, EditRunSta, EditDate, EditTime,
                             EditSerialNum, EditCRC})
        field->clear();
    session_.refresh();
}

void TFormDiag::openModal(QDialog* window, ActiveWindow active)
{
    if (!window)
        return;
    session_.setActiveWindow(active);
    execModal(*window);
    session_.setActiveWindow(ActiveWindow::None);
}

void TFormDiag::Button1Click()
{
    if (session_.connected()) {
        session_.sendModeStream(protocol::kModeDiagnostic);
        restartDiagnostic();
    }
    openModal(windows_.imgDiag, ActiveWindow::Diagnostic);
}

void TFormDiag::Button2Click()
{
    if (session_.connected()) {
        session_.sendModeTouch();
        restartDiagnostic();
    }
    openModal(windows_.points, ActiveWindow::DrawTest);
}

void TFormDiag::Button3Click(QObject* sender)
{
    if (!session_.connected()) {
        showMessage(text(kUnconnected.key));
        return;
    }
    if (session_.records().runState() != 1)
        session_.talk().SendCommand(protocol::kCmdRun);
    session_.sendModeStream(protocol::kModeSignal);
    if (windows_.signal)
        windows_.signal->LogOn->setChecked(sender == Button15);
    openModal(windows_.signal, ActiveWindow::Signal);
}

void TFormDiag::openSignalLog(const std::string& path)
{
    if (windows_.signal && windows_.signal->OpenLogFile(path))
        openModal(windows_.signal, ActiveWindow::Signal);
}

void TFormDiag::Button14Click()
{
    for (const SettingsProgram& p : kTabletSettings) {
        const QString program = QStandardPaths::findExecutable(p.program);
        if (!program.isEmpty() && QProcess::startDetached(program, p.arguments))
            return;
    }
    QStringList tried;
    for (const SettingsProgram& p : kTabletSettings)
        tried << p.program;
    setStatusText(text(kTouchSettingsMissing).arg(tried.join(", ")));
}

void TFormDiag::showMessage(const QString& message) { QMessageBox::information(this, windowTitle(), message); }

void TFormDiag::execModal(QDialog& window) { window.exec(); }

bool TFormDiag::confirm(const QString& caption, const QString& question)
{
    return QMessageBox::warning(this, caption, question, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

// ---------------------------------------------------------------------------------------------
// Language

void TFormDiag::ComboBoxLanChange(bool userChoice)
{
    language_.select(ComboBoxLan->currentText().toStdString());
    CaptionState state;
    state.connected = session_.connected();
    state.recording = windows_.signal && windows_.signal->LogOn->isChecked();
    state.currentCaption = [this](const CaptionTarget& target) { return captionOf(target); };
    const LanguageApplied applied = oculant::ComboBoxLanChange(language_, userChoice, state);
    for (const CaptionChange& change : applied.captions)
        setCaption(change.target, change.text);
    const int direction = ComboBoxDisplayDir->currentIndex();
    ComboBoxDisplayDir->clear();
    for (const std::string& item : applied.displayDirItems)
        ComboBoxDisplayDir->addItem(qs(item));
    ComboBoxDisplayDir->setCurrentIndex(direction);
    captionAppMenu();
    // The History dialog takes its texts when made: the next one is made in the new language.
    if (FormHistory && !FormHistory->isVisible()) {
        delete FormHistory;
        FormHistory = nullptr;
    }
}

QWidget* TFormDiag::windowNamed(std::string_view name)
{
    if (name == kMainWindow)
        return this;
    if (name == kSignalWindow)
        return windows_.signal;
    if (name == kDrawTestWindow)
        return windows_.points;
    if (name == kDiagnosticWindow)
        return windows_.imgDiag;
    if (name == kMultiCalibWindow)
        return windows_.multiCalib;
    if (name == kCalibrateWindow)
        return windows_.calibrate;
    return nullptr;
}

// Captions go to the window's child whose object name is the control's name: its "text"
// property (buttons, labels, menu items), or the first line of its "title" (group boxes, charts).
namespace {

QString firstLine(const QString& text) { return text.section('\n', 0, 0); }

QString withFirstLine(const QString& text, const QString& line)
{
    QStringList lines = text.split('\n');
    lines[0] = line;
    return lines.join('\n');
}

QString objectCaption(const QObject* object)
{
    if (const QVariant text = object->property("text"); text.isValid())
        return text.toString();
    return firstLine(object->property("title").toString());
}

void setObjectCaption(QObject* object, const QString& caption)
{
    if (object->property("text").isValid())
        object->setProperty("text", caption);
    else if (object->property("title").isValid())
        object->setProperty("title", withFirstLine(object->property("title").toString(), caption));
}

}  // namespace

std::string TFormDiag::captionOf(const CaptionTarget& target)
{
    QWidget* window = windowNamed(target.window);
    if (!window)
        return {};
    if (target.control.empty())
        return window->windowTitle().toStdString();
    if (window == this && target.control == kStatusBar)
        return StatusBar1->currentMessage().toStdString();
    const QObject* object = window->findChild<QObject*>(qs(target.control));
    return object ? objectCaption(object).toStdString() : std::string();
}

void TFormDiag::setCaption(const CaptionTarget& target, const std::string& caption)
{
    QWidget* window = windowNamed(target.window);
    if (!window)
        return;
    if (target.control.empty())
        window->setWindowTitle(qs(caption));
    else if (target.toolTip) {
        if (auto* w = window->findChild<QWidget*>(qs(target.control))) {
            w->setProperty(kOwnTip, qs(caption));  // what it says again once a notice is gone
            if (!session_.connectedToRecording() || !w->toolTip().startsWith(qs(kRecordingText)))
                w->setToolTip(qs(caption));
        }
    } else if (window == this && target.control == kStatusBar)
        setStatusText(qs(caption));
    else if (QObject* object = window->findChild<QObject*>(qs(target.control)))
        setObjectCaption(object, qs(caption));
}

}  // namespace oculant
