// The store's queries: the filters, the order and the summary are the database's work; records
// come back a page at a time, so that a million of them never sit in memory at once.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "results/ResultStore.h"
#include "results/FilterSql.h"
#include "results/StoreValues.h"

namespace oculant::results {

namespace {

using station::TestRecord;

// Records read per round: the four statements of a page take their children by uid.
constexpr size_t kPageRecords = 500;
// The schema from which the counts per station and day are kept.
constexpr int kDayCountSchema = 3;
// The schema from which signal phases keep their element levels.
constexpr int kElementLevelSchema = 4;
// The column of a page's heads that holds the key its child rows carry.
constexpr size_t kKeyColumn = 10;

// "?, ?, ?" for the keys of a page, and the keys as parameters.
std::string keyList(const std::vector<Row>& heads, std::vector<Value>& params)
{
    std::string list;
    for (const Row& row : heads) {
        list += list.empty() ? "?" : ", ?";
        params.push_back(row[kKeyColumn]);
    }
    return list;
}

}  // namespace

bool ResultStore::readPage(const std::vector<Row>& heads, std::vector<TestRecord>& page)
{
    std::vector<Value> params;
    const std::string keys = keyList(heads, params);
    const std::string key = childKey();
    const std::string in = " WHERE " + key + " IN (" + keys + ")";
    std::vector<Row> phases, measurements, attachments, levels;
    if (!db_->exec("SELECT " + key + ", seq, name, outcome, reason, seconds FROM phase" + in + " ORDER BY " + key +
                       ", seq",
                   params, &phases) ||
        !db_->exec("SELECT " + key + ", phase_seq, name, value_text, value_number, low, high, limit_text, unit, "
                   "outcome FROM measurement" + in + " ORDER BY " + key + ", phase_seq, seq",
                   params, &measurements) ||
        !db_->exec("SELECT " + key + ", phase, name, path, size, sha256 FROM attachment" + in + " ORDER BY " + key +
                       ", seq",
                   params, &attachments) ||
        (version_ >= kElementLevelSchema &&
         !db_->exec("SELECT " + key + ", phase_seq, levels FROM element_levels" + in, params, &levels)))
        return false;
    page.clear();
    page.reserve(heads.size());
    std::map<std::string, size_t> index;
    for (const Row& row : heads) {
        TestRecord r;
        r.uid = str(row[0]);
        r.serial = str(row[1]);
        r.model = str(row[2]);
        r.station = str(row[3]);
        r.operatorName = str(row[4]);
        r.plan = str(row[5]);
        r.device = str(row[6]);
        r.started = str(row[7]);
        r.finished = str(row[8]);
        r.outcome = outcomeOf(row[9]);
        index[str(row[kKeyColumn])] = page.size();
        page.push_back(std::move(r));
    }
    auto recordOf = [&](const Value& key) -> TestRecord* {
        const auto it = index.find(str(key));
        return it == index.end() ? nullptr : &page[it->second];
    };
    for (const Row& row : phases) {
        TestRecord* r = recordOf(row[0]);
        if (!r)
            continue;
        station::PhaseRecord p;
        p.name = str(row[2]);
        p.outcome = outcomeOf(row[3]);
        p.reason = str(row[4]);
        p.seconds = num(row[5]).value_or(0);
        r->phases.push_back(std::move(p));
    }
    for (const Row& row : measurements) {
        TestRecord* r = recordOf(row[0]);
        const size_t phase = size_t(std::atoi(str(row[1]).c_str()));
        if (!r || phase >= r->phases.size())
            continue;
        station::Measurement m;
        m.name = str(row[2]);
        m.text = str(row[3]);
        m.number = num(row[4]);
        m.low = num(row[5]);
        m.high = num(row[6]);
        m.limit = str(row[7]);
        m.unit = str(row[8]);
        m.outcome = outcomeOf(row[9]);
        r->phases[phase].measurements.push_back(std::move(m));
    }
    for (const Row& row : levels) {
        TestRecord* r = recordOf(row[0]);
        const size_t phase = size_t(std::atoi(str(row[1]).c_str()));
        if (r && phase < r->phases.size())
            r->phases[phase].levels = str(row[2]);
    }
    for (const Row& row : attachments)
        if (TestRecord* r = recordOf(row[0]))
            r->attachments.push_back(
                {str(row[1]), str(row[2]), str(row[3]), std::strtoull(str(row[4]).c_str(), nullptr, 10), str(row[5])});
    return true;
}

bool ResultStore::forEach(const RecordFilter& filter, const std::function<bool(TestRecord&&)>& each,
                          std::string& error)
{
    std::vector<Value> filterParams;
    const std::string where = whereClause(filter, filterParams);
    // One snapshot for every page: a record written meanwhile is seen whole or not at all.
    if (!db_->beginRead()) {
        error = db_->error();
        return false;
    }
    size_t handed = 0;
    std::optional<std::pair<Value, Value>> last;  // the (started, uid) the previous page ended at
    std::vector<Row> heads;
    std::vector<TestRecord> page;
    for (;;) {
        size_t want = kPageRecords;
        if (filter.limit)
            want = std::min(want, filter.limit - handed);
        std::vector<Value> params = filterParams;
        std::string sql = "SELECT uid, serial, model, station, operator_name, plan, device, started, finished, "
                          "outcome, " + std::string(recordKey()) +
                          " FROM test_record" + where;
        if (last) {
            sql += where.empty() ? " WHERE (started, uid) < (?, ?)" : " AND (started, uid) < (?, ?)";
            params.push_back(last->first);
            params.push_back(last->second);
        }
        sql += " ORDER BY started DESC, uid DESC LIMIT " + std::to_string(want);
        if (!db_->exec(sql, params, &heads) || (!heads.empty() && !readPage(heads, page))) {
            error = db_->error();
            db_->rollback();
            return false;
        }
        if (heads.empty())
            break;
        last = std::make_pair(heads.back()[7], heads.back()[0]);
        for (TestRecord& r : page) {
            ++handed;
            if (!each(std::move(r))) {
                db_->rollback();
                return true;
            }
        }
        if (heads.size() < want || (filter.limit && handed >= filter.limit))
            break;
    }
    db_->rollback();  // it only read
    return true;
}

std::optional<ResultStore::FirstPass> ResultStore::firstPassLevels(const std::string& serial, std::string& error)
{
    error.clear();
    if (version_ < kElementLevelSchema)
        return std::nullopt;
    // The serial's records in the order they were made, from the index on (serial, started).
    std::vector<Row> rows;
    const std::string joined = "l." + std::string(childKey()) + " = r." + recordKey();
    if (!db_->exec("SELECT r.uid, r.started, l.levels FROM test_record r JOIN element_levels l ON " + joined +
                   " WHERE r.serial = ? AND r.outcome = 'PASS' ORDER BY r.started, r.uid LIMIT 1",
                   {serial}, &rows)) {
        error = db_->error();
        return std::nullopt;
    }
    if (rows.empty())
        return std::nullopt;
    return FirstPass{str(rows[0][0]), str(rows[0][1]), str(rows[0][2])};
}

std::optional<std::vector<TestRecord>> ResultStore::query(const RecordFilter& filter, std::string& error)
{
    std::vector<TestRecord> records;
    if (!forEach(filter, [&](TestRecord&& r) { records.push_back(std::move(r)); return true; }, error))
        return std::nullopt;
    return records;
}

std::optional<std::vector<SummaryRow>> ResultStore::summary(const RecordFilter& filter, std::string& error)
{
    // The counts kept per station and day answer for all records, or a station's; any other
    // filter cuts through the days, and an older schema has no counts: the records are counted.
    if (version_ < kDayCountSchema || !filter.serial.empty() || !filter.since.empty() || !filter.until.empty() ||
        filter.outcome)
        return summaryOfRecords(filter, error);
    std::vector<Value> params;
    std::string sql = "SELECT station, day, records, passed, serials, passed_first FROM day_count";
    if (!filter.station.empty()) {
        sql += " WHERE station = ?";
        params.push_back(filter.station);
    }
    return summaryRows(sql, params, error);
}

std::optional<std::vector<SummaryRow>> ResultStore::summaryOfRecords(const RecordFilter& filter, std::string& error)
{
    std::vector<Value> params;
    const std::string where = whereClause(filter, params);
    return summaryRows(dayCountSelect(where), params, error);
}

std::optional<std::vector<SummaryRow>> ResultStore::summaryRows(const std::string& sql, const std::vector<Value>& params,
                                                                std::string& error)
{
    std::vector<Row> rows;
    if (!db_->exec(sql, params, &rows)) {
        error = db_->error();
        return std::nullopt;
    }
    std::vector<SummaryRow> out;
    out.reserve(rows.size());
    for (const Row& row : rows) {
        SummaryRow s;
        s.station = str(row[0]);
        s.day = str(row[1]);
        s.records = std::atol(str(row[2]).c_str());
        s.passed = std::atol(str(row[3]).c_str());
        s.serials = std::atol(str(row[4]).c_str());
        s.passedFirstTime = std::atol(str(row[5]).c_str());
        out.push_back(std::move(s));
    }
    // Byte order here rather than the server's collation, so both engines list alike.
    std::sort(out.begin(), out.end(), [](const SummaryRow& a, const SummaryRow& b) {
        return a.station != b.station ? a.station < b.station : a.day > b.day;
    });
    return out;
}

}  // namespace oculant::results
