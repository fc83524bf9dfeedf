#pragma once
// The multi-area calibration window: a display split into areas, described by six sizes and a
// table of areas, previewed as a sketch and calibrated one area after the other. The rules (the
// refresh, Add, Remove, the file) are the core's (MultiAreaLayout, LayoutFile); the sketch's
// geometry is MultiAreaPreview's. This window reads its controls, calls them and shows the result.
//
// Wiring (by whoever creates the windows): give it the language look-up with fallback, and before
// each exec() the size of the capture window that step B accepted (setCaptureWindowSize). Start
// needs a host that can run step B and the per-area run; without one Start stays disabled.

#include <QDialog>
#include <QImage>
#include <QPalette>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// Only forward declarations of the core here: moc compiles every window header into one unit,
// and the core headers of different subsystems are not meant to meet there.
namespace oculant {

struct MultiAreaLayout;
struct LayoutTexts;

// What Start needs from the main window, which alone can run a calibration.
class MultiCalibHost {
public:
    virtual ~MultiCalibHost() = default;
    // Step B of the calibration settings: the capture window's width and height, or nullopt
    // after the host has shown its own message.
    virtual std::optional<std::pair<int, int>> stepB() = 0;
    // The per-area run over the layout as the refresh left it.
    virtual void runAreas(const MultiAreaLayout& layout) = 0;
};

class TFormMultiCalib : public QDialog {
    Q_OBJECT
public:
    // LookupTextOr of the language file: the text of key, or fallback when absent.
    using TextLookupOr = std::function<std::string(std::string_view key, std::string_view fallback)>;

    explicit TFormMultiCalib(QWidget* parent = nullptr);
    ~TFormMultiCalib() override;

    // ---- Wiring ----
    void setTextLookupOr(TextLookupOr lookup) { lookup_ = std::move(lookup); }
    // Start is enabled only with a host; the host must outlive the window or be reset to null.
    void setHost(MultiCalibHost* host);
    // Start is one of the main window's device buttons: disabled with them (no frame, a
    // download running). Enabled until told otherwise.
    void setDeviceButtonsEnabled(bool enabled);
    // The capture window of the last step B; the refresh converts display millimetres to its
    // pixels. Until set, the whole primary screen.
    void setCaptureWindowSize(int width, int height);

    // The layout of the last accepted refresh, and the sketch as last painted.
    const MultiAreaLayout& layout() const;
    const QImage& preview() const { return preview_; }

    // The colour of a table column's numbers (frame columns red, display columns blue, invalid
    // for the area numbers), made readable on `background` of `palette`; cellColour: on the
    // table's own base.
    static QColor columnColour(int column, const QPalette& palette, QPalette::ColorRole background);
    QColor cellColour(int column) const;

    // ---- Controls, by their design names (owned by the window) ----
    QLabel* Image1;  // the sketch, 795 × 225, fixed: its pixels are the layout's geometry
    QLabel *Label20, *Label1, *Label3, *Label4, *Label10, *Label11, *Label8;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit7, *Edit8;  // sizes and offsets, mm
    QLineEdit* Edit5;  // number of areas, display only
    QTableWidget* StringGrid = nullptr;
    QPushButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6;

    // ---- Handlers ----
    void FormShow();
    void Button1Click();  // Start
    void Button2Click();  // Refresh
    void Button3Click();  // Export
    void Button4Click();  // Import
    void Button5Click();  // Add
    void Button6Click();  // Remove

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    // The window's message boxes and file dialogs; tests replace them.
    virtual void showMessage(const QString& text);
    virtual bool confirmOverwrite(const QString& question, const QString& caption);
    virtual QString chooseExportFile(const QString& filter);
    virtual QString chooseImportFile(const QString& filter);

private:
    void buildControls();
    void fitColumns();
    void colourHeaders();
    void applyTexts();
    void centreOnScreen();
    LayoutTexts readTexts() const;
    void writeTexts(const LayoutTexts& texts);
    void labelRows();
    int selectedGridRow() const;
    // Refresh: false (after its message) when the table holds too many areas.
    bool refresh();
    void drawPreview();
    QString text(std::string_view key, std::string_view fallback) const;
    QString shown(const std::string& message) const;

    TextLookupOr lookup_;
    MultiCalibHost* host_ = nullptr;
    bool deviceButtonsEnabled_ = true;
    std::unique_ptr<MultiAreaLayout> layout_;
    QImage preview_;
    int windowWidth_ = 0;
    int windowHeight_ = 0;
    bool shownBefore_ = false;
    bool fitted_ = false;  // sized once; later showings keep the size the user chose
};

}  // namespace oculant
