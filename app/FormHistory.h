#pragma once
// The History dialog of the main window: the connected frame's test records from the default
// results database, newest first, with the outcome of each phase; beside them the line's yield
// and first-pass yield per day for the station and period chosen, and the button that writes
// the line report of that station and period as one HTML page.

#include <QDialog>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "results/ResultSummary.h"
#include "station/TestRecord.h"

class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineSeries;
class QPushButton;
class QTableWidget;

namespace oculant::results {
struct RecordFilter;
}

class TFormHistory : public QDialog {
    Q_OBJECT
public:
    // The language file's text of a key, or the fallback when the file has none.
    using TextLookupOr = std::function<std::string(std::string_view key, std::string_view fallback)>;
    explicit TFormHistory(QWidget* parent = nullptr, TextLookupOr lookup = {});

    // Reads the records of `serial` from the database, and the line's yield; the dialog says so
    // when there are none or the database cannot be read.
    void load(const std::string& serial, const std::string& databaseUrl);
    void show(const std::string& serial, const std::vector<oculant::station::TestRecord>& records);
    // The line report of the chosen station and period into `path`; false with the reason shown.
    bool writeReport(const std::string& path);

    QLabel* LabelTitle;
    QTableWidget* TableRecords;
    QComboBox* ComboStation;
    QDateEdit* EditFrom;
    QDateEdit* EditTo;
    QChartView* ChartYield;
    QLineSeries* SeriesYield;
    QLineSeries* SeriesFirstPass;
    QLabel* LabelLine;
    QPushButton* ButtonReport;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString text(std::string_view key, std::string_view fallback) const;
    template <typename T>
    QString text(const T& t) const { return text(t.key, t.fallback); }
    void refreshLine();
    QString missingDatabase() const;
    oculant::results::RecordFilter lineFilter() const;
    void ButtonReportClick();

    std::string databaseUrl_;
    TextLookupOr lookup_;
    bool fitted_ = false;  // sized at the first showing; later ones keep the user's size
};
