// The line report's queries: totals, failing boards and measurements are counted by the
// database; only their few result rows come back.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "results/FilterSql.h"
#include "results/ResultStore.h"
#include "results/StoreValues.h"
#include "station/Measure.h"

namespace oculant::results {

namespace {

long number(const Value& v) { return std::atol(str(v).c_str()); }

// What a measurement was held against, as the records print it.
std::string limitText(const Value& low, const Value& high, const Value& text)
{
    if (!str(text).empty())
        return str(text);
    const std::optional<double> l = num(low), h = num(high);
    if (l && h)
        return station::numberText(*l) + " .. " + station::numberText(*h);
    if (l)
        return ">= " + station::numberText(*l);
    if (h)
        return "<= " + station::numberText(*h);
    return "";
}

}  // namespace

std::optional<LineReport> ResultStore::report(const RecordFilter& filter, size_t lastFailures, std::string& error)
{
    LineReport report;
    report.since = filter.since;
    report.until = filter.until;
    auto fail = [&]() -> std::optional<LineReport> {
        error = db_->error();
        db_->rollback();
        return std::nullopt;
    };
    std::optional<std::vector<SummaryRow>> days = summary(filter, error);
    if (!days)
        return std::nullopt;
    report.days = std::move(*days);
    if (!db_->beginRead())
        return fail();

    std::vector<Value> params;
    const std::string where = whereClause(filter, params);
    std::vector<Row> rows;
    // The period's frames: each serial's first record of the period decides its first pass.
    if (!db_->exec("SELECT COUNT(*), SUM(CASE WHEN outcome = 'PASS' THEN 1 ELSE 0 END), MIN(started), MAX(started),"
                   " SUM(CASE WHEN n = 1 THEN 1 ELSE 0 END), SUM(CASE WHEN n = 1 AND outcome = 'PASS' THEN 1 ELSE 0 END)"
                   " FROM (SELECT outcome, started, ROW_NUMBER() OVER (PARTITION BY serial ORDER BY started, uid) AS n"
                   " FROM test_record" + where + ") AS numbered",
                   params, &rows))
        return fail();
    if (!rows.empty()) {
        report.totals.records = number(rows[0][0]);
        report.totals.passed = number(rows[0][1]);
        report.totals.firstStarted = str(rows[0][2]);
        report.totals.lastStarted = str(rows[0][3]);
        report.totals.serials = number(rows[0][4]);
        report.totals.passedFirstTime = number(rows[0][5]);
    }

    // Boards at fault: the diagnose phase's "<board>.faults" measurements out of their limit,
    // by fault numbers; summed per board here.
    params.clear();
    const std::string joined = whereClause(filter, params, "r.");
    const std::string key = "m." + std::string(childKey());
    const std::string failed = " FROM measurement m JOIN test_record r ON r." + std::string(recordKey()) + " = " + key +
                               (joined.empty() ? std::string(" WHERE") : joined + " AND") + " m.outcome = 'FAIL'";
    if (!db_->exec("SELECT m.name, m.value_text, COUNT(DISTINCT " + key + ")" + failed +
                       " AND m.name LIKE '%.faults' GROUP BY m.name, m.value_text",
                   params, &rows))
        return fail();
    std::map<std::string, BoardFailures> boards;
    for (const Row& row : rows) {
        std::string name = str(row[0]);
        name.resize(name.size() - 7);  // ".faults"
        BoardFailures& b = boards[name];
        b.board = name;
        b.records += number(row[2]);
        b.faults.emplace_back(str(row[1]), number(row[2]));
    }
    for (auto& [name, b] : boards) {
        std::sort(b.faults.begin(), b.faults.end(),
                  [](const auto& x, const auto& y) { return x.second != y.second ? x.second > y.second : x.first < y.first; });
        report.boards.push_back(std::move(b));
    }
    std::sort(report.boards.begin(), report.boards.end(), [](const BoardFailures& x, const BoardFailures& y) {
        return x.records != y.records ? x.records > y.records : x.board < y.board;
    });

    // Measurements out of their limits, boards' fault lists aside.
    if (!db_->exec("SELECT m.name, m.low, m.high, m.limit_text, COUNT(DISTINCT " + key + ")" + failed +
                       " AND m.name NOT LIKE '%.faults' GROUP BY m.name, m.low, m.high, m.limit_text",
                   params, &rows))
        return fail();
    for (const Row& row : rows)
        report.measurements.push_back({str(row[0]), limitText(row[1], row[2], row[3]), number(row[4])});
    std::sort(report.measurements.begin(), report.measurements.end(),
              [](const MeasurementFailures& x, const MeasurementFailures& y) {
                  return x.records != y.records ? x.records > y.records
                                                : x.name != y.name ? x.name < y.name : x.limit < y.limit;
              });
    db_->rollback();

    // The last failures, whole: the first phase that did not pass says what failed.
    RecordFilter failures = filter;
    failures.limit = lastFailures;
    for (station::Outcome outcome : {station::Outcome::Fail, station::Outcome::Error}) {
        failures.outcome = outcome;
        if (!forEach(failures, [&](station::TestRecord&& r) { report.lastFailures.push_back(std::move(r)); return true; },
                     error))
            return std::nullopt;
    }
    std::sort(report.lastFailures.begin(), report.lastFailures.end(),
              [](const station::TestRecord& a, const station::TestRecord& b) {
                  return a.started != b.started ? a.started > b.started : a.uid > b.uid;
              });
    if (report.lastFailures.size() > lastFailures)
        report.lastFailures.resize(lastFailures);
    return report;
}

}  // namespace oculant::results
