#include "calibration/FormMultiCalib.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "calibration/ExportFileName.h"
#include "calibration/LayoutFile.h"
#include "calibration/MultiAreaLayout.h"
#include "calibration/MultiAreaPreview.h"
#include "calibration/TextFormat.h"
#include "i18n/TextKeys.h"
#include "widgets/ReadableColour.h"
#include "widgets/WindowFit.h"
#include "widgets/QtText.h"

namespace oculant {
namespace {

namespace keys = textkeys;

const QColor kFrameRed(139, 0, 0);
const QColor kDisplayBlue(0, 0, 255);
const QColor kOutlineGrey(128, 128, 128);

constexpr int kColumns = 9;
constexpr int kNumberColumnWidth = 30;
constexpr int kCellWidth = 70;  // at least; wider where a header's text needs it
constexpr int kRowHeight = 24;
// Rows the table shows without scrolling: the built-in layout and a few more; at least a few
// where the screen is short, more where the window is made taller.
constexpr int kVisibleRows = 6;
constexpr int kFewestRows = 3;

std::string str(const QString& text) { return text.toStdString(); }

// The frame columns (1..4) in dark red and the display columns (5..8) in blue, as the sketch
// draws them; invalid for the area numbers, which keep the table's colour.
QColor designColour(int column)
{
    if (column >= 1 && column <= 4)
        return kFrameRed;
    if (column >= 5 && column <= 8)
        return kDisplayBlue;
    return {};
}

// The table's cell painting: every cell centred on one line, in its column's colour read
// against the table's base.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->displayAlignment = Qt::AlignCenter;
        option->features &= ~QStyleOptionViewItem::WrapText;
        if (const QColor c = TFormMultiCalib::columnColour(index.column(), option->palette, QPalette::Base);
            c.isValid())
            option->palette.setColor(QPalette::Text, c);
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setAlignment(Qt::AlignCenter);
        return editor;
    }
};

QLineEdit* makeEdit(QWidget* parent, const char* name, const std::string& text)
{
    auto* edit = new QLineEdit(qs(text), parent);
    edit->setObjectName(name);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance("00000.0") + 16);
    return edit;
}

QLabel* makeLabel(QWidget* parent, const char* name, std::string_view caption)
{
    auto* label = new QLabel(qs(caption), parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, std::string_view caption)
{
    auto* button = new QPushButton(qs(caption), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);  // Enter in a cell must not start a run
    return button;
}

// The table asks for its header and kVisibleRows rows, all columns in view; it takes less
// height where the window is short, down to kFewestRows, and the rest where it is tall.
class AreaTable : public QTableWidget {
public:
    AreaTable(int rows, int columns, QWidget* parent) : QTableWidget(rows, columns, parent)
    {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }

    QSize sizeHint() const override { return sizeFor(kVisibleRows); }
    QSize minimumSizeHint() const override { return sizeFor(kFewestRows); }

private:
    QSize sizeFor(int rows) const
    {
        const int frame = 2 * frameWidth();
        return {horizontalHeader()->length() + frame + verticalScrollBar()->sizeHint().width(),
                std::max(horizontalHeader()->sizeHint().height(), horizontalHeader()->minimumHeight()) +
                    rows * verticalHeader()->defaultSectionSize() + frame};
    }
};

}  // namespace

QColor TFormMultiCalib::columnColour(int column, const QPalette& palette, QPalette::ColorRole background)
{
    const QColor design = designColour(column);
    return design.isValid() ? readableOn(design, palette.color(background)) : design;
}

TFormMultiCalib::TFormMultiCalib(QWidget* parent)
    : QDialog(parent), layout_(std::make_unique<MultiAreaLayout>())
{
    setObjectName(qs(keys::kMultiCalibWindow));
    setWindowTitle(qs(keys::kMultiCalibCaption.design));
    if (const QScreen* s = QGuiApplication::primaryScreen())
        setCaptureWindowSize(s->size().width(), s->size().height());
    buildControls();
}

TFormMultiCalib::~TFormMultiCalib() = default;

const MultiAreaLayout& TFormMultiCalib::layout() const { return *layout_; }

void TFormMultiCalib::setHost(MultiCalibHost* host)
{
    host_ = host;
    Button1->setEnabled(host_ != nullptr && deviceButtonsEnabled_);
}

void TFormMultiCalib::setDeviceButtonsEnabled(bool enabled)
{
    deviceButtonsEnabled_ = enabled;
    Button1->setEnabled(host_ != nullptr && deviceButtonsEnabled_);
}

void TFormMultiCalib::setCaptureWindowSize(int width, int height)
{
    windowWidth_ = width;
    windowHeight_ = height;
}

// ---------------------------------------------------------------------------------------------
// Controls: the sketch on top, the sizes below it, then the table of areas beside the buttons.

void TFormMultiCalib::buildControls()
{
    // Everything scrolls where the screen is smaller than the window's contents.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* contents = new QWidget;
    contents->setObjectName("Contents");
    outer->addWidget(new ContentsScrollArea(contents, this));
    auto* column = new QVBoxLayout(contents);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(10);

    // The sketch keeps its size: its pixels are the layout's geometry.
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(kPreviewWidth, kPreviewHeight);
    column->addWidget(Image1);

    const LayoutTexts defaults = builtInLayoutTexts();
    Edit1 = makeEdit(this, "Edit1", defaults.edits[LayoutTexts::kFrameX]);
    Edit2 = makeEdit(this, "Edit2", defaults.edits[LayoutTexts::kFrameY]);
    Edit3 = makeEdit(this, "Edit3", defaults.edits[LayoutTexts::kDisplayX]);
    Edit4 = makeEdit(this, "Edit4", defaults.edits[LayoutTexts::kDisplayY]);
    Edit7 = makeEdit(this, "Edit7", defaults.edits[LayoutTexts::kDisplayOffX]);
    Edit8 = makeEdit(this, "Edit8", defaults.edits[LayoutTexts::kDisplayOffY]);
    Edit5 = makeEdit(this, "Edit5", "2");
    Edit5->setReadOnly(true);
    Edit5->setFocusPolicy(Qt::NoFocus);
    const auto& l = keys::kMultiCalibLabels;
    Label20 = makeLabel(this, "Label20", l[0].design);
    Label1 = makeLabel(this, "Label1", l[1].design);
    Label3 = makeLabel(this, "Label3", l[2].design);
    Label4 = makeLabel(this, "Label4", l[3].design);
    Label10 = makeLabel(this, "Label10", l[4].design);
    Label11 = makeLabel(this, "Label11", l[5].design);
    Label8 = makeLabel(this, "Label8", l[6].design);

    // Frame, display and offset side by side, x above y, each with its unit.
    auto* sizes = new QGridLayout;
    sizes->setHorizontalSpacing(6);
    sizes->setVerticalSpacing(6);
    const struct {
        QLabel* label;
        QLineEdit* edit;
        int row, column;
    } fields[] = {{Label20, Edit1, 0, 0}, {Label1, Edit2, 1, 0}, {Label3, Edit3, 0, 1},
                  {Label4, Edit4, 1, 1},  {Label10, Edit7, 0, 2}, {Label11, Edit8, 1, 2}};
    for (const auto& f : fields) {
        sizes->addWidget(f.label, f.row, f.column * 4);
        sizes->addWidget(f.edit, f.row, f.column * 4 + 1);
        sizes->addWidget(new QLabel("mm", this), f.row, f.column * 4 + 2);
        sizes->setColumnMinimumWidth(f.column * 4 + 3, 18);
    }
    sizes->setColumnStretch(11, 1);
    column->addLayout(sizes);

    StringGrid = new AreaTable(0, kColumns, this);
    StringGrid->setObjectName("StringGrid");
    StringGrid->setItemDelegate(new CellDelegate(StringGrid));
    StringGrid->verticalHeader()->hide();
    StringGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Rows and header of the design's height, taller where the font needs it.
    const int rowHeight = std::max(kRowHeight, StringGrid->fontMetrics().height() + 8);
    StringGrid->verticalHeader()->setDefaultSectionSize(rowHeight);
    QHeaderView* header = StringGrid->horizontalHeader();
    header->setMinimumSectionSize(kNumberColumnWidth);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setMinimumHeight(rowHeight);
    header->setDefaultAlignment(Qt::AlignCenter);
    // A header click would select a whole column, whose top row is the first area.
    header->setSectionsClickable(false);
    for (int c = 0; c < kColumns; ++c)
        StringGrid->setHorizontalHeaderItem(c, new QTableWidgetItem(qs(keys::kMultiCalibCells[size_t(c)].fallback)));
    colourHeaders();
    fitColumns();
    StringGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    Button1 = makeButton(this, "Button1", keys::kMultiCalibButtons[0].design);
    Button2 = makeButton(this, "Button2", keys::kMultiCalibButtons[1].design);
    Button3 = makeButton(this, "Button3", keys::kMultiCalibButtons[2].design);
    Button4 = makeButton(this, "Button4", keys::kMultiCalibButtons[3].design);
    Button5 = makeButton(this, "Button5", keys::kMultiCalibButtons[4].design);
    Button6 = makeButton(this, "Button6", keys::kMultiCalibButtons[5].design);
    Button1->setEnabled(false);  // until a host can run the calibration
    connect(Button1, &QPushButton::clicked, this, &TFormMultiCalib::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFormMultiCalib::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TFormMultiCalib::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TFormMultiCalib::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TFormMultiCalib::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &TFormMultiCalib::Button6Click);

    // Beside the table: the area count with the table's buttons, the file buttons, then Start.
    auto* side = new QGridLayout;
    side->setHorizontalSpacing(6);
    side->setVerticalSpacing(6);
    side->addWidget(Label8, 0, 0);
    side->addWidget(Edit5, 0, 1);
    side->addWidget(Button5, 1, 0, 1, 2);
    side->addWidget(Button6, 2, 0, 1, 2);
    side->addWidget(Button2, 3, 0, 1, 2);
    side->setRowMinimumHeight(4, 8);
    side->addWidget(Button3, 5, 0, 1, 2);
    side->addWidget(Button4, 6, 0, 1, 2);
    side->setRowStretch(7, 1);
    side->addWidget(Button1, 8, 0, 1, 2);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(12);
    bottom->addWidget(StringGrid);
    bottom->addLayout(side, 1);
    column->addLayout(bottom, 1);
}

// Every column as wide as its header's text, and never narrower than the design's.
void TFormMultiCalib::fitColumns()
{
    QHeaderView* header = StringGrid->horizontalHeader();
    for (int c = 0; c < kColumns; ++c) {
        const int design = c == 0 ? kNumberColumnWidth : kCellWidth;
        StringGrid->setColumnWidth(c, std::max(design, header->sectionSizeHint(c)));
    }
    StringGrid->updateGeometry();
}

// Against the window's palette, which the header inherits: when the palette changes, the window
// hears of it before its children do.
void TFormMultiCalib::colourHeaders()
{
    for (int c = 0; c < kColumns; ++c)
        if (const QColor colour = columnColour(c, palette(), QPalette::Button); colour.isValid())
            StringGrid->horizontalHeaderItem(c)->setForeground(colour);
}

QColor TFormMultiCalib::cellColour(int column) const { return columnColour(column, StringGrid->palette(), QPalette::Base); }

void TFormMultiCalib::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && StringGrid)
        colourHeaders();
}

// ---------------------------------------------------------------------------------------------
// Show

void TFormMultiCalib::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormMultiCalib::FormShow()
{
    if (!shownBefore_) {
        shownBefore_ = true;
        LayoutTexts texts = readTexts();  // the edits hold the built-in sizes as design texts
        texts.rows = builtInLayoutTexts().rows;
        writeTexts(texts);
    }
    applyTexts();
    labelRows();
    Button2Click();
    centreOnScreen();
}

// A message of the layout rules in the chosen language: the rules give their Chinese texts, the
// language file has them by key. The path an export names stays as it is.
QString TFormMultiCalib::shown(const std::string& message) const
{
    static const std::pair<const char*, std::string_view> kMessages[] = {
        {kTooManyAreas, "LayoutTooManyAreas"}, {kSelectRowToRemove, "LayoutSelectRow"},
        {kLayoutCreateFailed, "LayoutCreateFailed"}, {kLayoutImported, "LayoutImported"},
        {kLayoutOpenFailed, "LayoutOpenFailed"},
    };
    for (const auto& [chinese, key] : kMessages)
        if (message == chinese)
            return text(key, chinese);
    if (message.starts_with(kLayoutExported))
        return text("LayoutExported", kLayoutExported) + qs(message.substr(std::string_view(kLayoutExported).size()));
    return qs(message);
}

QString TFormMultiCalib::text(std::string_view key, std::string_view fallback) const
{
    // A language file writes a line break as "\n".
    return (lookup_ ? qs(lookup_(key, fallback)) : qs(fallback)).replace("\\n", "\n");
}

// Captions, buttons and labels fall back to what they show now; the headers and the title to
// their design texts.
void TFormMultiCalib::applyTexts()
{
    setWindowTitle(text(keys::kMultiCalibCaption.key, str(windowTitle())));
    for (const auto& b : keys::kMultiCalibButtons)
        if (auto* button = findChild<QPushButton*>(qs(b.control)))
            button->setText(text(b.key, str(button->text())));
    for (const auto& l : keys::kMultiCalibLabels)
        if (auto* label = findChild<QLabel*>(qs(l.control)))
            label->setText(text(l.key, str(label->text())));
    for (int c = 0; c < kColumns; ++c) {
        const auto& cell = keys::kMultiCalibCells[size_t(c)];
        StringGrid->horizontalHeaderItem(c)->setText(text(cell.key, cell.fallback));
    }
    fitColumns();
}

// At the size of its contents the first time, as large as the user left it after; centred,
// within the screen.
void TFormMultiCalib::centreOnScreen()
{
    fitToScreen(*this, Placement::Centre, fitted_ ? size().expandedTo(sizeHint()) : sizeHint());
    fitted_ = true;
}

// ---------------------------------------------------------------------------------------------
// The texts of the controls, to and from the core's LayoutTexts

LayoutTexts TFormMultiCalib::readTexts() const
{
    LayoutTexts texts;
    const QLineEdit* edits[] = {Edit1, Edit2, Edit3, Edit4, Edit7, Edit8};
    for (size_t i = 0; i < texts.edits.size(); ++i)
        texts.edits[i] = str(edits[i]->text());
    texts.rows.resize(size_t(StringGrid->rowCount()));
    for (size_t r = 0; r < texts.rows.size(); ++r)
        for (size_t c = 0; c < 8; ++c)
            if (const QTableWidgetItem* item = StringGrid->item(int(r), int(c) + 1))
                texts.rows[r][c] = str(item->text());
    return texts;
}

void TFormMultiCalib::writeTexts(const LayoutTexts& texts)
{
    QLineEdit* edits[] = {Edit1, Edit2, Edit3, Edit4, Edit7, Edit8};
    for (size_t i = 0; i < texts.edits.size(); ++i)
        edits[i]->setText(qs(texts.edits[i]));
    StringGrid->setRowCount(int(texts.rows.size()));
    for (size_t r = 0; r < texts.rows.size(); ++r)
        for (size_t c = 0; c < 8; ++c) {
            QTableWidgetItem* item = StringGrid->item(int(r), int(c) + 1);
            if (!item) {
                item = new QTableWidgetItem;
                StringGrid->setItem(int(r), int(c) + 1, item);
            }
            item->setText(qs(texts.rows[r][c]));
        }
    labelRows();
}

// Column 0 names the areas by position; it is not editable. Edit5 follows the row count.
void TFormMultiCalib::labelRows()
{
    for (int r = 0; r < StringGrid->rowCount(); ++r) {
        QTableWidgetItem* item = StringGrid->item(r, 0);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setBackground(palette().button());
            StringGrid->setItem(r, 0, item);
        }
        item->setText("A" + QString::number(r + 1));
    }
    Edit5->setText(QString::number(StringGrid->rowCount()));
}

// The top row of the selection counted as the grid rows of the layout (1 = first area); 0 when
// nothing is selected, which stands for the header row.
int TFormMultiCalib::selectedGridRow() const
{
    const QModelIndexList selected = StringGrid->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return 0;
    const auto top = std::min_element(selected.begin(), selected.end(),
                                      [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    return top->row() + 1;
}

// ---------------------------------------------------------------------------------------------
// Buttons

bool TFormMultiCalib::refresh()
{
    LayoutTexts texts = readTexts();
    LayoutRefresh r = refreshLayout(texts, windowWidth_, windowHeight_);
    if (!r.accepted) {
        showMessage(shown(r.message));
        return false;
    }
    writeTexts(texts);
    *layout_ = r.layout;
    drawPreview();
    return true;
}

void TFormMultiCalib::Button2Click() { refresh(); }

void TFormMultiCalib::Button1Click()
{
    if (!host_)
        return;
    const std::optional<std::pair<int, int>> window = host_->stepB();
    if (!window)
        return;
    setCaptureWindowSize(window->first, window->second);
    // A refused refresh has shown why; the run does not go on with a layout the table no
    // longer shows.
    if (!refresh())
        return;
    host_->runAreas(*layout_);
}

void TFormMultiCalib::Button5Click()
{
    LayoutTexts texts = readTexts();
    if (addLayoutRow(texts, selectedGridRow()))
        writeTexts(texts);
}

void TFormMultiCalib::Button6Click()
{
    LayoutTexts texts = readTexts();
    if (const std::optional<std::string> message = removeLayoutRow(texts, selectedGridRow())) {
        showMessage(shown(*message));
        return;
    }
    writeTexts(texts);
}

void TFormMultiCalib::Button3Click()
{
    const QString chosen = chooseExportFile(qs(dialogFilterText(str(text("LayoutExportFilter", kLayoutExportFilter)))));
    if (chosen.isEmpty())
        return;
    const std::string path = exportFileName(str(chosen), kLayoutFileExtension);
    if (QFileInfo::exists(qs(path)) && !confirmOverwrite(text("LayoutOverwrite", kLayoutOverwriteQuestion),
                                                         text("LayoutOverwriteCap", kLayoutOverwriteCaption)))
        return;
    showMessage(shown(exportLayoutFile(path, readTexts()).message));
}

void TFormMultiCalib::Button4Click()
{
    const QString chosen = chooseImportFile(qs(dialogFilterText(str(text("LayoutImportFilter", kLayoutImportFilter)))));
    if (chosen.isEmpty())
        return;
    LayoutTexts texts = readTexts();
    const LayoutFileResult r = importLayoutFile(str(QFileInfo(chosen).absoluteFilePath()), texts);
    showMessage(shown(r.message));
    if (!r.ok)
        return;
    writeTexts(texts);
    refresh();
}

// ---------------------------------------------------------------------------------------------
// The sketch

void TFormMultiCalib::drawPreview()
{
    const MultiAreaPreview geometry = computeMultiAreaPreview(*layout_, kPreviewWidth, kPreviewHeight);
    preview_ = QImage(geometry.width, geometry.height, QImage::Format_RGB888);
    preview_.fill(Qt::white);
    QPainter p(&preview_);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(0, 0, geometry.width - 1, geometry.height - 1);
    const QFontMetrics metrics(p.font());
    auto drawTextAt = [&](const PreviewPoint& at, const QString& s) { p.drawText(at.x, at.y + metrics.ascent(), s); };
    drawTextAt(geometry.titleAt, text(keys::kMultiCalibTitle.key, keys::kMultiCalibTitle.fallback));

    QPolygon outline;
    for (const PreviewPoint& q : geometry.frameOutline)
        outline << QPoint(q.x, q.y);
    p.setPen(QPen(kOutlineGrey, 1, Qt::DashLine));
    p.drawPolyline(outline);

    // Through the two corners exactly (QPainter::drawRect would reach one pixel further).
    auto drawArea = [&](const PreviewRect& r) {
        p.drawPolyline(QPolygon({{r.a.x, r.a.y}, {r.b.x, r.a.y}, {r.b.x, r.b.y}, {r.a.x, r.b.y}, {r.a.x, r.a.y}}));
    };
    p.setPen(QPen(kFrameRed, 2));
    for (const PreviewRect& r : geometry.frameAreas)
        drawArea(r);
    p.setPen(QPen(kDisplayBlue, 1));
    for (const PreviewRect& r : geometry.displayAreas)
        drawArea(r);
    for (const PreviewLabel& label : geometry.labels)
        drawTextAt(label.at, qs(label.text));
    p.end();
    Image1->setPixmap(QPixmap::fromImage(preview_));
}

// ---------------------------------------------------------------------------------------------
// Message boxes and file dialogs

void TFormMultiCalib::showMessage(const QString& message) { QMessageBox::information(this, windowTitle(), message); }

bool TFormMultiCalib::confirmOverwrite(const QString& question, const QString& caption)
{
    return QMessageBox::warning(this, caption, question, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

// The overwrite question comes after the extension is added, so the dialog does not ask.
QString TFormMultiCalib::chooseExportFile(const QString& filter)
{
    return QFileDialog::getSaveFileName(this, QString(), QString(), filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

QString TFormMultiCalib::chooseImportFile(const QString& filter)
{
    return QFileDialog::getOpenFileName(this, QString(), QString(), filter);
}

}  // namespace oculant
