// The multi-area window on the offscreen platform: its buttons driven by hand, message boxes and
// file dialogs replaced, and a host that records what Start hands it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "calibration/FormMultiCalib.h"
#include "calibration/MultiAreaLayout.h"
#include "i18n/Language.h"
#include "tests/support/ShownTexts.h"
#include "tests/support/TempDir.h"
#include "widgets/ReadableColour.h"

namespace oculant {
namespace {

class TestWindow : public TFormMultiCalib {
public:
    std::vector<QString> messages;
    QString exportChoice, importChoice;
    bool overwriteAnswer = true;
    int overwriteAsked = 0;

protected:
    void showMessage(const QString& text) override { messages.push_back(text); }
    bool confirmOverwrite(const QString&, const QString&) override
    {
        ++overwriteAsked;
        return overwriteAnswer;
    }
    QString chooseExportFile(const QString&) override { return exportChoice; }
    QString chooseImportFile(const QString&) override { return importChoice; }
};

class RecordingHost : public MultiCalibHost {
public:
    std::optional<std::pair<int, int>> window{{1920, 1080}};
    int stepBCalls = 0;
    std::vector<MultiAreaLayout> runs;

    std::optional<std::pair<int, int>> stepB() override
    {
        ++stepBCalls;
        return window;
    }
    void runAreas(const MultiAreaLayout& layout) override { runs.push_back(layout); }
};

class MultiCalibWindow : public ::testing::Test {
protected:
    MultiCalibWindow()
    {
        window.setCaptureWindowSize(1920, 1080);
        window.show();
        QApplication::processEvents();
    }
    QTableWidget& grid() { return *window.StringGrid; }
    QString cell(int row, int column) { return grid().item(row, column)->text(); }
    void setCell(int row, int column, const QString& text) { grid().item(row, column)->setText(text); }
    // Selects one cell of an area row (0 = the first area), as a click would.
    void select(int row)
    {
        grid().clearSelection();
        grid().setCurrentCell(row, 1);
    }
    std::vector<QString> rowLabels()
    {
        std::vector<QString> labels;
        for (int r = 0; r < grid().rowCount(); ++r)
            labels.push_back(cell(r, 0));
        return labels;
    }

    TestWindow window;
};

TEST_F(MultiCalibWindow, first_showing_fills_the_two_default_rows_and_refreshes)
{
    ASSERT_EQ(grid().rowCount(), 2);
    ASSERT_EQ(grid().columnCount(), 9);
    EXPECT_EQ(rowLabels(), (std::vector<QString>{"A1", "A2"}));
    const QStringList second{"3450.0", "0.0", "9200.0", "2819.0", "3233.1", "0.0", "8621.6", "2819.0"};
    for (int c = 1; c <= 8; ++c)
        EXPECT_EQ(cell(1, c), second[c - 1]) << c;
    EXPECT_EQ(window.Edit1->text(), "9200.0");
    EXPECT_EQ(window.Edit7->text(), "216.9");
    EXPECT_EQ(window.Edit5->text(), "2");
    EXPECT_EQ(grid().horizontalHeaderItem(0)->text(), "No.");
    EXPECT_EQ(grid().horizontalHeaderItem(8)->text(), "Display y1");
    // The design's widths, wider where a header's text needs it.
    EXPECT_EQ(grid().columnWidth(0), std::max(30, grid().horizontalHeader()->sectionSizeHint(0)));
    for (int c = 1; c <= 8; ++c)
        EXPECT_EQ(grid().columnWidth(c), std::max(70, grid().horizontalHeader()->sectionSizeHint(c))) << c;
    EXPECT_EQ(grid().rowHeight(1), 24);
    EXPECT_EQ(window.layout().areaCount, 2);
    EXPECT_EQ(window.layout().areas[0].displayPixels, (PixelRect{0, 0, 720, 1080}));
    EXPECT_FALSE(window.Button1->isEnabled());  // no host: Start cannot run
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(MultiCalibWindow, later_showings_keep_what_the_table_holds)
{
    setCell(0, 3, "1000");
    select(1);
    window.Button5->click();
    window.hide();
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(grid().rowCount(), 3);
    EXPECT_EQ(cell(0, 3), "1000.0");  // refreshed, not reset to the default 3450
    EXPECT_EQ(rowLabels(), (std::vector<QString>{"A1", "A2", "A3"}));
}

TEST_F(MultiCalibWindow, texts_come_from_the_lookup_with_the_design_texts_as_fallback)
{
    TestWindow w;
    w.setTextLookupOr([](std::string_view key, std::string_view fallback) {
        if (key == "MultiCalibFormCaption")
            return std::string("Mehrere Bereiche");
        if (key == "Cell1")
            return std::string("Rahmen x0");
        if (key == "MButton5")
            return std::string("Neu");
        return std::string(fallback);
    });
    w.show();
    QApplication::processEvents();
    EXPECT_EQ(w.windowTitle(), "Mehrere Bereiche");
    EXPECT_EQ(w.StringGrid->horizontalHeaderItem(1)->text(), "Rahmen x0");
    EXPECT_EQ(w.StringGrid->horizontalHeaderItem(2)->text(), "Frame y0");
    EXPECT_EQ(w.Button5->text(), "Neu");
    EXPECT_EQ(w.Button2->text(), "Refreash");
    EXPECT_EQ(w.Label10->text(), "Display Offx:");
}

TEST_F(MultiCalibWindow, refresh_rewrites_every_number_with_one_decimal)
{
    struct Case {
        QString typed, shown;
    };
    const Case cases[] = {{"12abc", "12.0"}, {"abc", "0.0"}, {" 7.26", "7.3"}, {"-3", "-3.0"}, {"1e2", "100.0"}};
    for (const Case& c : cases) {
        setCell(1, 6, c.typed);
        window.Edit8->setText(c.typed);
        window.Button2->click();
        EXPECT_EQ(cell(1, 6), c.shown) << c.typed.toStdString();
        EXPECT_EQ(window.Edit8->text(), c.shown) << c.typed.toStdString();
    }
    // The layout follows the table: display x1 of area 1 becomes 1000 mm on 1920 pixels.
    setCell(0, 7, "1000");
    window.Button2->click();
    EXPECT_EQ(window.layout().areas[0].displayMm[2], 1000.0f);
    EXPECT_EQ(window.layout().areas[0].displayPixels.x1, 222);  // trunc(1920 / 8621.6 · 1000)
}

TEST_F(MultiCalibWindow, add_inserts_after_the_selected_area_or_appends)
{
    select(0);
    window.Button5->click();
    ASSERT_EQ(grid().rowCount(), 3);
    EXPECT_EQ(cell(1, 1), "0");
    EXPECT_EQ(cell(1, 8), "0");
    EXPECT_EQ(cell(2, 1), "3450.0");  // the old second area moved down
    EXPECT_EQ(rowLabels(), (std::vector<QString>{"A1", "A2", "A3"}));
    EXPECT_EQ(window.Edit5->text(), "3");

    grid().clearSelection();  // nothing selected stands for the header: appends
    window.Button5->click();
    ASSERT_EQ(grid().rowCount(), 4);
    EXPECT_EQ(cell(2, 1), "3450.0");
    EXPECT_EQ(cell(3, 1), "0");

    // Add stops at 25 areas.
    for (int i = 0; i < 30; ++i)
        window.Button5->click();
    EXPECT_EQ(grid().rowCount(), 25);
    EXPECT_EQ(window.Edit5->text(), "25");
    EXPECT_EQ(cell(24, 0), "A25");
}

TEST_F(MultiCalibWindow, remove_needs_a_selected_area_and_keeps_the_last_one)
{
    grid().clearSelection();
    window.Button6->click();
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0], "选中单元格以确定需要删除的行！");
    EXPECT_EQ(grid().rowCount(), 2);

    select(0);
    window.Button6->click();
    ASSERT_EQ(grid().rowCount(), 1);
    EXPECT_EQ(cell(0, 1), "3450.0");  // the second area moved up
    EXPECT_EQ(rowLabels(), (std::vector<QString>{"A1"}));
    EXPECT_EQ(window.Edit5->text(), "1");

    select(0);
    window.Button6->click();  // the only area stays, silently
    EXPECT_EQ(grid().rowCount(), 1);
    EXPECT_EQ(window.messages.size(), 1u);
}

TEST_F(MultiCalibWindow, too_many_areas_are_refused_and_nothing_changes)
{
    for (int i = 0; i < 22; ++i)
        window.Button5->click();
    ASSERT_EQ(grid().rowCount(), 24);
    setCell(0, 1, "5");
    window.Button2->click();
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0], "too many areas!\n");
    EXPECT_EQ(cell(0, 1), "5");  // not rewritten
    EXPECT_EQ(window.layout().areaCount, 2);

    select(23);
    window.Button6->click();
    window.Button2->click();
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(cell(0, 1), "5.0");
    EXPECT_EQ(window.layout().areaCount, 23);
}

TEST_F(MultiCalibWindow, start_runs_step_b_refreshes_with_its_window_and_hands_over_the_layout)
{
    RecordingHost host;
    host.window = std::make_pair(1000, 500);
    window.setHost(&host);
    EXPECT_TRUE(window.Button1->isEnabled());
    setCell(0, 7, "1000");
    setCell(0, 8, "1000");
    window.Button1->click();
    ASSERT_EQ(host.stepBCalls, 1);
    ASSERT_EQ(host.runs.size(), 1u);
    EXPECT_EQ(cell(0, 7), "1000.0");
    const MultiAreaLayout& run = host.runs[0];
    EXPECT_EQ(run.areaCount, 2);
    // trunc(float(1000 / 8621.6) · 1000) = 115, trunc(float(500 / 2819) · 1000) = 177.
    EXPECT_EQ(run.areas[0].displayPixels, (PixelRect{0, 0, 115, 177}));
    EXPECT_EQ(run.areas[1].frameLogical.x0, 12288);

    // A failed step B stops before the refresh: the typed text stays as it is.
    host.window.reset();
    setCell(0, 7, "1234.56");
    window.Button1->click();
    EXPECT_EQ(host.stepBCalls, 2);
    EXPECT_EQ(host.runs.size(), 1u);
    EXPECT_EQ(cell(0, 7), "1234.56");

    // A refused refresh does not run with the layout of an earlier one.
    host.window = std::make_pair(1920, 1080);
    for (int i = 0; i < 22; ++i)
        window.Button5->click();
    window.Button1->click();
    EXPECT_EQ(host.runs.size(), 1u);
    ASSERT_FALSE(window.messages.empty());
    EXPECT_EQ(window.messages.back(), "too many areas!\n");

    window.setHost(nullptr);
    EXPECT_FALSE(window.Button1->isEnabled());
}

TEST_F(MultiCalibWindow, export_and_import_through_the_file_buttons)
{
    const test::TempDir dir;
    const QString written = QString::fromStdString(dir.file("layout.txt"));
    window.exportChoice = QString::fromStdString(dir.file("layout"));
    window.Button3->click();
    ASSERT_TRUE(QFile::exists(written));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0], QString("配置及参数导出至：\n") + written);
    EXPECT_EQ(window.overwriteAsked, 0);

    // A declined overwrite leaves the file as it was.
    const qint64 sizeBefore = QFileInfo(written).size();
    window.Button5->click();
    window.overwriteAnswer = false;
    window.Button3->click();
    EXPECT_EQ(window.overwriteAsked, 1);
    EXPECT_EQ(QFileInfo(written).size(), sizeBefore);
    EXPECT_EQ(window.messages.size(), 1u);

    // Importing brings back the two exported areas and refreshes them.
    setCell(0, 3, "77");
    window.Edit1->setText("1");
    window.importChoice = written;
    window.Button4->click();
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[1], "配置及参数导入成功");
    EXPECT_EQ(grid().rowCount(), 2);
    EXPECT_EQ(cell(0, 3), "3450.0");
    EXPECT_EQ(window.Edit1->text(), "9200.0");
    EXPECT_EQ(window.Edit5->text(), "2");
    EXPECT_EQ(window.layout().areas[0].frameMm[2], 3450.0f);
}

// In English the same round trip speaks English: the question, the messages and the filters come
// from the language file, the path stays as it is.
TEST_F(MultiCalibWindow, the_file_buttons_speak_the_language_chosen)
{
    Language language(test::kShippedLanguageFile.string());
    language.select("English");
    struct AskingWindow : TestWindow {
        std::vector<QString> asked, filters;
        bool confirmOverwrite(const QString& question, const QString& caption) override
        {
            asked.push_back(caption + ": " + question);
            return true;
        }
        QString chooseExportFile(const QString& filter) override
        {
            filters.push_back(filter);
            return exportChoice;
        }
    };
    AskingWindow english;
    english.setTextLookupOr([&](std::string_view key, std::string_view fallback) {
        return language.LookupTextOr(key, fallback);
    });
    english.setCaptureWindowSize(1920, 1080);
    english.show();
    QApplication::processEvents();
    const test::TempDir dir;
    const QString written = QString::fromStdString(dir.file("layout.txt"));
    english.exportChoice = QString::fromStdString(dir.file("layout"));
    english.Button3->click();
    english.Button3->click();
    ASSERT_EQ(english.messages.size(), 2u);
    EXPECT_EQ(english.messages[0].toStdString(), ("Layout and parameters exported to:\n" + written).toStdString());
    EXPECT_EQ(english.asked, std::vector<QString>{"Confirm overwrite: The file already exists. Overwrite it?"});
    EXPECT_EQ(english.filters.front(), "Layout files(*.txt)");
    english.importChoice = QString::fromStdString(dir.file("missing.txt"));
    english.Button4->click();
    EXPECT_EQ(english.messages.back(), "The file could not be opened!");
    english.Button5->click();  // two areas: one may go
    english.StringGrid->clearSelection();
    english.Button6->click();
    EXPECT_EQ(english.messages.back(), "Select a cell of the row to remove!");
}

TEST_F(MultiCalibWindow, import_names_added_rows_and_keeps_cells_of_missing_sections)
{
    const test::TempDir dir;
    const std::string path =
        test::writeFile(dir / "three.ini", "[Layout]\r\nareas=3\r\n[Area1]\r\nframex1=100\r\n[Area3]\r\nframex0=9\r\n");
    window.importChoice = QString::fromStdString(path);
    window.Button4->click();
    ASSERT_EQ(grid().rowCount(), 3);
    EXPECT_EQ(rowLabels(), (std::vector<QString>{"A1", "A2", "A3"}));
    EXPECT_EQ(window.Edit5->text(), "3");
    EXPECT_EQ(cell(0, 3), "100.0");
    EXPECT_EQ(cell(1, 1), "3450.0");  // section Area2 missing: the row keeps its texts
    EXPECT_EQ(cell(2, 1), "9.0");
    EXPECT_EQ(window.layout().areaCount, 3);

    // An unreadable file changes nothing and says so.
    window.importChoice = QString::fromStdString(dir.file("missing.txt"));
    window.Button4->click();
    EXPECT_EQ(window.messages.back(), "文件打开失败！");
    EXPECT_EQ(grid().rowCount(), 3);
}

TEST_F(MultiCalibWindow, preview_shows_the_frame_areas_in_dark_red_and_the_display_in_blue)
{
    const QImage& p = window.preview();
    ASSERT_EQ(p.size(), QSize(795, 225));
    EXPECT_EQ(p.pixelColor(0, 0), QColor(Qt::black));      // border
    EXPECT_EQ(p.pixelColor(794, 224), QColor(Qt::black));
    EXPECT_EQ(p.pixelColor(5, 100), QColor(Qt::white));
    EXPECT_EQ(p.pixelColor(10, 100), QColor(139, 0, 0));   // left edge of frame area 1
    EXPECT_EQ(p.pixelColor(150, 20), QColor(139, 0, 0));   // top edge of frame area 1
    EXPECT_EQ(p.pixelColor(300, 60), QColor(0, 0, 255));   // display areas are drawn over the frame areas
    EXPECT_EQ(p.pixelColor(29, 100), QColor(0, 0, 255));   // left edge of display area 1
    EXPECT_EQ(p.pixelColor(753, 100), QColor(0, 0, 255));  // right edge of display area 2
    EXPECT_EQ(p.pixelColor(600, 100), QColor(Qt::white));

    // A narrower second frame area moves its right edge: the picture follows the refresh.
    setCell(1, 3, "6000");
    window.Button2->click();
    EXPECT_EQ(window.preview().pixelColor(10 + 6000 * 775 / 9200, 100), QColor(139, 0, 0));
    EXPECT_NE(window.preview().pixelColor(785, 100), QColor(139, 0, 0));
}

// The numbers of the frame columns are red and those of the display columns blue, as the sketch
// draws them; on a dark desktop they are lighter red and blue, readable on the table's base.
TEST_F(MultiCalibWindow, the_tables_red_and_blue_numbers_read_on_a_dark_palette_as_on_a_light_one)
{
    const QColor frameRed(139, 0, 0), displayBlue(0, 0, 255);
    for (int c = 1; c <= 4; ++c)
        EXPECT_EQ(window.cellColour(c), frameRed) << c;
    for (int c = 5; c <= 8; ++c)
        EXPECT_EQ(window.cellColour(c), displayBlue) << c;
    EXPECT_FALSE(window.cellColour(0).isValid()) << "the area numbers keep the table's colour";

    const QPalette light = QApplication::palette();
    QPalette dark = light;
    for (const auto& [role, colour] : std::initializer_list<std::pair<QPalette::ColorRole, QColor>>{
             {QPalette::Window, QColor(45, 45, 45)}, {QPalette::Base, QColor(30, 30, 30)},
             {QPalette::Button, QColor(53, 53, 53)}, {QPalette::Text, QColor(230, 230, 230)},
             {QPalette::WindowText, QColor(230, 230, 230)}, {QPalette::ButtonText, QColor(230, 230, 230)}})
        dark.setColor(role, colour);
    QApplication::setPalette(dark);
    struct Restore {
        QPalette palette;
        ~Restore() { QApplication::setPalette(palette); }
    } restore{light};
    QApplication::processEvents();

    const QColor base = grid().palette().color(QPalette::Base);
    const QColor headerBackground = grid().horizontalHeader()->palette().color(QPalette::Button);
    ASSERT_EQ(base, QColor(30, 30, 30));
    for (int c = 1; c <= 8; ++c) {
        SCOPED_TRACE(c);
        const QColor colour = window.cellColour(c);
        EXPECT_GE(contrastRatio(colour, base), kReadableContrast);
        EXPECT_NEAR(colour.hslHue(), c <= 4 ? 0 : 240, 1) << colour.name().toStdString();
        EXPECT_GE(contrastRatio(grid().horizontalHeaderItem(c)->foreground().color(), headerBackground),
                  kReadableContrast);
    }

    // As painted: the brightest ink of a frame cell and of a display cell stands out from the base
    // and has its column's colour.
    const QImage picture = grid().viewport()->grab().toImage();
    for (const int column : {1, 5}) {
        SCOPED_TRACE(column);
        const QRect cellArea = grid().visualRect(grid().model()->index(1, column)).adjusted(1, 1, -1, -1);
        QColor ink = base;
        for (int y = cellArea.top(); y <= cellArea.bottom(); ++y)
            for (int x = cellArea.left(); x <= cellArea.right(); ++x)
                if (const QColor p = picture.pixelColor(x, y); contrastRatio(p, base) > contrastRatio(ink, base))
                    ink = p;
        EXPECT_GE(contrastRatio(ink, base), 3.0) << ink.name().toStdString();
        if (column == 1)
            EXPECT_GT(ink.red(), std::max(ink.green(), ink.blue()) + 60) << ink.name().toStdString();
        else
            EXPECT_GT(ink.blue(), std::max(ink.red(), ink.green()) + 60) << ink.name().toStdString();
    }
}

}  // namespace
}  // namespace oculant
