#include "app/FormHistory.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "results/ResultStore.h"
#include "station/RecordText.h"

using namespace oculant;

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TFormHistory::TFormHistory(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormHistory");
    setWindowTitle("History");
    LabelTitle = new QLabel(this);
    TableRecords = new QTableWidget(0, 7, this);
    TableRecords->setHorizontalHeaderLabels({"Started", "Outcome", "Station", "Operator", "Plan", "Phases", "Reason"});
    TableRecords->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableRecords->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableRecords->verticalHeader()->hide();
    TableRecords->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelTitle);
    layout->addWidget(TableRecords, 1);
    layout->addWidget(buttons);
    resize(1100, 420);
}

void TFormHistory::load(const std::string& serial, const std::string& databaseUrl)
{
    std::string error;
    std::optional<std::vector<station::TestRecord>> records;
    if (const auto url = results::parseDatabaseUrl(databaseUrl, &error))
        if (auto store = results::ResultStore::openForReading(*url, error)) {
            results::RecordFilter filter;
            filter.serial = serial;
            records = store->query(filter, error);
        }
    if (!records) {
        TableRecords->setRowCount(0);
        LabelTitle->setText(qs("The results database cannot be read: " + error));
        return;
    }
    show(serial, *records);
}

void TFormHistory::show(const std::string& serial, const std::vector<station::TestRecord>& records)
{
    LabelTitle->setText(records.empty() ? qs("No test records of " + serial + " yet.")
                                        : qs(std::to_string(records.size()) + " test records of " + serial +
                                             ", newest first"));
    TableRecords->setRowCount(int(records.size()));
    for (size_t i = 0; i < records.size(); ++i) {
        const station::TestRecord& r = records[i];
        const std::string cells[] = {station::localTimeText(r.started), std::string(station::outcomeText(r.outcome)),
                                     r.station, r.operatorName, r.plan, station::phaseOutcomes(r, " ", ", "),
                                     station::firstProblem(r)};
        for (int c = 0; c < 7; ++c)
            TableRecords->setItem(int(i), c, new QTableWidgetItem(qs(cells[c])));
    }
    TableRecords->resizeColumnsToContents();
}
