#include "app/FormHistory.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeAxis>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

#include "base/FileIo.h"
#include "i18n/TextKeys.h"
#include "results/ResultStore.h"
#include "station/RecordText.h"
#include "widgets/WindowFit.h"
#include "widgets/QtText.h"

using namespace oculant;
namespace h = oculant::textkeys::history;

namespace {

// A date edit's day as the UTC time stamp of its local midnight, as the queries take it.
std::string localMidnight(const QDate& day)
{
    return QDateTime(day, QTime(0, 0)).toUTC().toString("yyyy-MM-ddTHH:mm:ss.zzzZ").toStdString();
}

}  // namespace

TFormHistory::TFormHistory(QWidget* parent, TextLookupOr lookup) : QDialog(parent), lookup_(std::move(lookup))
{
    setObjectName("FormHistory");
    setWindowTitle(text(h::kCaption));
    LabelTitle = new QLabel(this);
    LabelTitle->setWordWrap(true);  // a long database path must not widen the dialog
    TableRecords = new QTableWidget(0, 7, this);
    QStringList columns;
    for (const auto& c : h::kColumns)
        columns << text(c);
    TableRecords->setHorizontalHeaderLabels(columns);
    TableRecords->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableRecords->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableRecords->verticalHeader()->hide();
    TableRecords->horizontalHeader()->setStretchLastSection(true);
    auto* records = new QWidget(this);
    auto* recordsLayout = new QVBoxLayout(records);
    recordsLayout->setContentsMargins(0, 0, 0, 0);
    recordsLayout->addWidget(LabelTitle);
    recordsLayout->addWidget(TableRecords, 1);

    // The line: station, period, the chart and the report.
    auto* line = new QGroupBox(text(h::kLineGroup), this);
    ComboStation = new QComboBox(line);
    ComboStation->setObjectName("ComboStation");
    ComboStation->setToolTip(text(h::kTipStation));
    EditFrom = new QDateEdit(QDate::currentDate().addDays(-29), line);
    EditTo = new QDateEdit(QDate::currentDate(), line);
    for (QDateEdit* e : {EditFrom, EditTo}) {
        e->setCalendarPopup(true);
        e->setDisplayFormat("yyyy-MM-dd");
        connect(e, &QDateEdit::dateChanged, this, [this] { refreshLine(); });
    }
    EditFrom->setToolTip(text(h::kTipFrom));
    EditTo->setToolTip(text(h::kTipTo));
    connect(ComboStation, &QComboBox::currentIndexChanged, this, [this] { refreshLine(); });
    SeriesYield = new QLineSeries;
    SeriesYield->setName(text(h::kYieldSeries));
    SeriesFirstPass = new QLineSeries;
    SeriesFirstPass->setName(text(h::kFirstPassSeries));
    auto* chart = new QChart;
    chart->addSeries(SeriesYield);
    chart->addSeries(SeriesFirstPass);
    auto* days = new QDateTimeAxis;
    days->setFormat("MM-dd");
    days->setTitleText(text(h::kDayAxis));
    auto* percent = new QValueAxis;
    percent->setRange(0, 100);
    percent->setLabelFormat("%d %%");
    percent->setTitleText(text(h::kYieldAxis));
    chart->addAxis(days, Qt::AlignBottom);
    chart->addAxis(percent, Qt::AlignLeft);
    for (QLineSeries* s : {SeriesYield, SeriesFirstPass}) {
        s->setPointsVisible(true);
        s->attachAxis(days);
        s->attachAxis(percent);
    }
    chart->legend()->setAlignment(Qt::AlignBottom);
    ChartYield = new QChartView(chart, line);
    ChartYield->setRenderHint(QPainter::Antialiasing);
    ChartYield->setMinimumSize(360, 240);
    LabelLine = new QLabel(line);
    LabelLine->setWordWrap(true);
    ButtonReport = new QPushButton(text(h::kReport), line);
    ButtonReport->setObjectName("ButtonReport");
    ButtonReport->setToolTip(text(h::kTipReport));
    connect(ButtonReport, &QPushButton::clicked, this, &TFormHistory::ButtonReportClick);
    auto* form = new QFormLayout;
    form->addRow(text(h::kStation), ComboStation);
    auto* period = new QHBoxLayout;
    period->addWidget(EditFrom);
    period->addWidget(new QLabel(text(h::kTo), line));
    period->addWidget(EditTo);
    form->addRow(text(h::kPeriod), period);
    auto* lineLayout = new QVBoxLayout(line);
    lineLayout->addLayout(form);
    lineLayout->addWidget(ChartYield, 1);
    lineLayout->addWidget(LabelLine);
    lineLayout->addWidget(ButtonReport, 0, Qt::AlignRight);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(records);
    splitter->addWidget(line);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    // Three fifths for the records and two for the line, whatever width the screen allows.
    splitter->setSizes({3000, 2000});
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(text(h::kClose));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The records and the line scroll on a small screen; Close stays in view below them.
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new ContentsScrollArea(splitter, this), 1);
    layout->addWidget(buttons);
}

// Wide enough for the table's columns beside the chart, where the screen has the room.
void TFormHistory::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    fitToScreen(*this, fitted_ ? Placement::KeepInside : Placement::Centre, fitted_ ? size() : QSize(1200, 520));
    fitted_ = true;
}

// The SQLite database the dialog reads when it does not exist yet; empty otherwise.
QString TFormHistory::missingDatabase() const
{
    const auto url = results::parseDatabaseUrl(databaseUrl_, nullptr);
    if (!url || url->engine != results::Engine::Sqlite || QFileInfo::exists(qs(url->target)))
        return {};
    return qs(url->target);
}

QString TFormHistory::text(std::string_view key, std::string_view fallback) const
{
    return qs(lookup_ ? lookup_(key, fallback) : std::string(fallback));
}

results::RecordFilter TFormHistory::lineFilter() const
{
    results::RecordFilter filter;
    if (ComboStation->currentIndex() > 0)
        filter.station = ComboStation->currentText().toStdString();
    filter.since = localMidnight(EditFrom->date());
    filter.until = localMidnight(EditTo->date().addDays(1));
    return filter;
}

void TFormHistory::load(const std::string& serial, const std::string& databaseUrl)
{
    databaseUrl_ = databaseUrl;
    std::string error;
    std::optional<std::vector<station::TestRecord>> records;
    std::optional<std::vector<results::SummaryRow>> all;
    if (const auto url = results::parseDatabaseUrl(databaseUrl, &error))
        if (auto store = results::ResultStore::openForReading(*url, error)) {
            results::RecordFilter filter;
            filter.serial = serial;
            records = store->query(filter, error);
            all = store->summary({}, error);
        }
    // The stations the database knows, for the line's choice.
    const QString chosen = ComboStation->currentText();
    ComboStation->blockSignals(true);
    ComboStation->clear();
    ComboStation->addItem(text(h::kAllStations));
    std::set<std::string> stations;
    for (const results::SummaryRow& r : all.value_or(std::vector<results::SummaryRow>{}))
        stations.insert(r.station);
    for (const std::string& s : stations)
        ComboStation->addItem(qs(s));
    ComboStation->setCurrentIndex(std::max(0, ComboStation->findText(chosen)));
    ComboStation->blockSignals(false);
    if (!records) {
        TableRecords->setRowCount(0);
        const QString missing = missingDatabase();
        LabelTitle->setText(missing.isEmpty() ? text(h::kUnreadable).arg(qs(error)) : text(h::kNoDatabase).arg(missing));
        refreshLine();
        return;
    }
    show(serial, *records);
    refreshLine();
}

void TFormHistory::refreshLine()
{
    SeriesYield->clear();
    SeriesFirstPass->clear();
    std::string error;
    std::optional<std::vector<results::SummaryRow>> rows;
    if (const auto url = results::parseDatabaseUrl(databaseUrl_, &error))
        if (auto store = results::ResultStore::openForReading(*url, error))
            rows = store->summary(lineFilter(), error);
    ButtonReport->setEnabled(rows.has_value());
    auto* axis = qobject_cast<QDateTimeAxis*>(ChartYield->chart()->axes(Qt::Horizontal).value(0));
    if (axis) {
        // A tick a day on a short period (never two labels of one day), eight on a long one.
        const qint64 span = EditFrom->date().daysTo(EditTo->date()) + 1;
        axis->setRange(QDateTime(EditFrom->date(), QTime(0, 0)), QDateTime(EditTo->date().addDays(1), QTime(0, 0)));
        axis->setTickCount(int(std::clamp<qint64>(span + 1, 2, 8)));
    }
    if (!rows) {
        // A station that has not stored a record yet has no database: nothing is wrong.
        LabelLine->setText(missingDatabase().isEmpty() ? text(h::kNoLineFigures).arg(qs(error))
                                                       : text(h::kNoRecordsInPeriod));
        return;
    }
    // All stations: each day's counts added up.
    for (const results::SummaryRow& d : results::perDay(*rows)) {
        const qreal x = qreal(QDateTime(QDate::fromString(qs(d.day), "yyyy-MM-dd"), QTime(12, 0)).toMSecsSinceEpoch());
        SeriesYield->append(x, 100 * d.yield());
        SeriesFirstPass->append(x, 100 * d.firstPassYield());
    }
    const results::SummaryRow total = results::totalOf(*rows);
    LabelLine->setText(total.records == 0
                           ? text(h::kNoRecordsInPeriod)
                           : text(total.records == 1 ? h::kLineOne : h::kLineMany)
                                 .arg(total.records)
                                 .arg(100 * total.yield(), 0, 'f', 1)
                                 .arg(100 * total.firstPassYield(), 0, 'f', 1)
                                 .arg(total.passedFirstTime)
                                 .arg(total.serials));
}

bool TFormHistory::writeReport(const std::string& path)
{
    std::string error;
    std::optional<results::LineReport> report;
    const auto url = results::parseDatabaseUrl(databaseUrl_, &error);
    if (url)
        if (auto store = results::ResultStore::openForReading(*url, error))
            report = store->report(lineFilter(), 25, error);
    if (report) {
        report->line = url->engine == results::Engine::Sqlite ? url->target : results::shownUrl(url->text);
        if (writeFileAtomically(path, results::lineReportHtml(*report), &error)) {
            LabelLine->setText(text(h::kReportWritten).arg(qs(path)));
            return true;
        }
    }
    LabelLine->setText(text(h::kReportFailed).arg(qs(error)));
    return false;
}

void TFormHistory::ButtonReportClick()
{
    const QString name = QDir::home().filePath("line-report-" + EditFrom->date().toString("yyyy-MM-dd") + "-to-" +
                                               EditTo->date().toString("yyyy-MM-dd") + ".html");
    const QString path = QFileDialog::getSaveFileName(this, text(h::kReportCaption), name, text(h::kReportFilter));
    if (!path.isEmpty())
        writeReport(path.toStdString());
}

void TFormHistory::show(const std::string& serial, const std::vector<station::TestRecord>& records)
{
    LabelTitle->setText(records.empty()        ? text(h::kNoRecords).arg(qs(serial))
                        : records.size() == 1 ? text(h::kRecordsOne).arg(qs(serial))
                                              : text(h::kRecordsMany).arg(records.size()).arg(qs(serial)));
    TableRecords->setRowCount(int(records.size()));
    for (size_t i = 0; i < records.size(); ++i) {
        const station::TestRecord& r = records[i];
        const std::string cells[] = {station::localTimeText(r.started), std::string(station::outcomeText(r.outcome)),
                                     r.station, r.operatorName, r.plan, station::phaseOutcomes(r, " ", ", "),
                                     station::allProblems(r)};
        for (int c = 0; c < 7; ++c)
            TableRecords->setItem(int(i), c, new QTableWidgetItem(qs(cells[c])));
    }
    TableRecords->resizeColumnsToContents();
}
