// The History dialog of the main window: the connected frame's records from the default
// database (in a scratch data folder), newest first, with each phase's outcome.
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDateEdit>
#include <QLabel>
#include <QLineSeries>
#include <QTableWidget>

#include "app/FormHistory.h"
#include "results/DatabaseUrl.h"
#include "results/ResultStore.h"
#include "tests/support/FormDiagFixture.h"

namespace oculant {
namespace formdiagtest {
namespace {

station::TestRecord record(const std::string& serial, const std::string& started, station::Outcome diagnose)
{
    station::TestRecord r;
    r.uid = station::newRecordUid();
    r.serial = serial;
    r.model = "VF-43";
    r.station = "line1-a";
    r.operatorName = "ann";
    r.plan = "default";
    r.device = "virtual:0";
    r.started = r.finished = started;
    r.phases.push_back({"identity", station::Outcome::Pass, "", 0.7, {}});
    r.phases.push_back({"diagnose", diagnose, diagnose == station::Outcome::Pass ? "" : "faulty boards: XEmit1 2/3",
                        27, {}});
    r.outcome = station::recordOutcome(r.phases);
    return r;
}

// The fixture points the user's data folder (where the default database is) at its own folder.
using FormHistoryTest = FormDiagFixture;

// A station that stored nothing yet has no database: History says so plainly, with the period's
// days on the chart, and creates nothing.
TEST_F(FormHistoryTest, a_station_without_a_database_yet_is_told_so_plainly)
{
    startConnected();
    form->ButtonHistory->click();
    ASSERT_TRUE(form->FormHistory);
    const std::string database = results::parseDatabaseUrl(results::defaultDatabaseUrl())->target;
    EXPECT_EQ(form->FormHistory->LabelTitle->text().toStdString(),
              "No test records yet: the results database " + database + " is made when this station stores its first record.");
    EXPECT_EQ(form->FormHistory->LabelLine->text(), "No test records in the period.");
    auto* days = qobject_cast<QDateTimeAxis*>(form->FormHistory->ChartYield->chart()->axes(Qt::Horizontal).value(0));
    ASSERT_NE(days, nullptr);
    EXPECT_EQ(days->min().date(), form->FormHistory->EditFrom->date());
    EXPECT_FALSE(fs::exists(database));
}

TEST_F(FormHistoryTest, history_lists_the_connected_frames_records_newest_first_with_their_phases)
{
    std::string error;
    auto store = results::ResultStore::open(*results::parseDatabaseUrl(results::defaultDatabaseUrl()), error);
    ASSERT_TRUE(store) << error;
    ASSERT_TRUE(store->write(record("VF-000001", "2026-01-01T09:00:00.000Z", station::Outcome::Fail), error)) << error;
    ASSERT_TRUE(store->write(record("VF-000001", "2026-01-01T10:00:00.000Z", station::Outcome::Pass), error)) << error;
    ASSERT_TRUE(store->write(record("VF-999999", "2026-01-01T11:00:00.000Z", station::Outcome::Pass), error)) << error;

    attach();
    start();
    EXPECT_FALSE(form->ButtonHistory->isEnabled());  // no frame, no serial
    connectAndRead();
    ASSERT_EQ(form->EditSerialNum->text(), "VF-000001");
    ASSERT_TRUE(form->ButtonHistory->isEnabled());
    form->ButtonHistory->click();
    ASSERT_TRUE(form->FormHistory);
    const QTableWidget* table = form->FormHistory->TableRecords;
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, 1)->text(), "PASS");
    EXPECT_EQ(table->item(1, 1)->text(), "FAIL");
    EXPECT_EQ(table->item(1, 5)->text(), "identity PASS, diagnose FAIL");
    EXPECT_EQ(table->item(1, 6)->text(), "diagnose: faulty boards: XEmit1 2/3");
    EXPECT_EQ(form->FormHistory->LabelTitle->text(), "2 test records of VF-000001, newest first");
    // A record with two phases that failed names both.
    station::TestRecord both = record("VF-000002", "2026-02-01T12:00:00.000Z", station::Outcome::Fail);
    both.phases[0] = {"identity", station::Outcome::Fail, "the frame reports serial VF-000003", 0.7, {}};
    both.outcome = station::recordOutcome(both.phases);
    ASSERT_TRUE(store->write(both, error)) << error;
    form->FormHistory->load("VF-000002", results::defaultDatabaseUrl());
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 6)->text(),
              "identity: the frame reports serial VF-000003; diagnose: faulty boards: XEmit1 2/3");
    form->FormHistory->load("VF-000001", results::defaultDatabaseUrl());

    // The line beside them: the day's yield (2 of 3 records) and first-pass yield (VF-999999
    // passed first time, VF-000001 did not), and its report.
    TFormHistory* history = form->FormHistory;
    history->EditFrom->setDate(QDate(2025, 12, 31));
    history->EditTo->setDate(QDate(2026, 1, 2));
    ASSERT_EQ(history->SeriesYield->count(), 1);
    EXPECT_NEAR(history->SeriesYield->at(0).y(), 200.0 / 3, 1e-9);
    EXPECT_NEAR(history->SeriesFirstPass->at(0).y(), 50, 1e-9);
    EXPECT_EQ(history->LabelLine->text(),
              "3 records, yield 66.7 %, first-pass yield 50.0 % (1 of 2 frames passed first time)");
    EXPECT_EQ(history->ComboStation->count(), 2);  // all stations, line1-a
    const std::string report = dir_.str() + "/report.html";
    ASSERT_TRUE(history->writeReport(report)) << history->LabelLine->text().toStdString();
    const std::string page = test::readFile(report);
    EXPECT_NE(page.find("<div class=\"value\">3</div><div class=\"label\">records</div>"), std::string::npos);
    EXPECT_NE(page.find("<div class=\"value\">50.0 %</div><div class=\"label\">first-pass yield</div>"),
              std::string::npos);
    form->FormHistory->close();
}

}  // namespace
}  // namespace formdiagtest
}  // namespace oculant
