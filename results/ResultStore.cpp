#include "results/ResultStore.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace oculant::results {

namespace {

using station::Measurement;
using station::Outcome;
using station::PhaseRecord;
using station::TestRecord;

// Migration n takes a database of version n - 1 to version n. Types that mean the same on both
// engines; the record's uid is its key, so that no engine's own sequence is needed.
const std::vector<std::vector<const char*>> kMigrations = {
    {
        "CREATE TABLE test_record ("
        " uid TEXT PRIMARY KEY, serial TEXT NOT NULL, model TEXT NOT NULL, station TEXT NOT NULL,"
        " operator_name TEXT NOT NULL, plan TEXT NOT NULL, device TEXT NOT NULL,"
        " started TEXT NOT NULL, finished TEXT NOT NULL, outcome TEXT NOT NULL)",
        "CREATE INDEX test_record_serial ON test_record (serial)",
        "CREATE INDEX test_record_started ON test_record (started)",
        "CREATE TABLE phase ("
        " record_uid TEXT NOT NULL REFERENCES test_record (uid), seq INTEGER NOT NULL, name TEXT NOT NULL,"
        " outcome TEXT NOT NULL, reason TEXT NOT NULL, seconds DOUBLE PRECISION NOT NULL,"
        " PRIMARY KEY (record_uid, seq))",
        "CREATE TABLE measurement ("
        " record_uid TEXT NOT NULL, phase_seq INTEGER NOT NULL, seq INTEGER NOT NULL, name TEXT NOT NULL,"
        " value_text TEXT NOT NULL, value_number DOUBLE PRECISION, low DOUBLE PRECISION, high DOUBLE PRECISION,"
        " limit_text TEXT NOT NULL, unit TEXT NOT NULL, outcome TEXT NOT NULL,"
        " PRIMARY KEY (record_uid, phase_seq, seq),"
        " FOREIGN KEY (record_uid, phase_seq) REFERENCES phase (record_uid, seq))",
        "CREATE TABLE attachment ("
        " record_uid TEXT NOT NULL REFERENCES test_record (uid), seq INTEGER NOT NULL, phase TEXT NOT NULL,"
        " name TEXT NOT NULL, path TEXT NOT NULL, size BIGINT NOT NULL, sha256 TEXT NOT NULL,"
        " PRIMARY KEY (record_uid, seq))",
    },
};

Value text(const std::string& s) { return s; }
Value integer(uint64_t n) { return std::to_string(n); }
// Exact: the number read back is the number written.
Value real(const std::optional<double>& v)
{
    if (!v)
        return std::nullopt;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", *v);
    return std::string(buf);
}

std::string str(const Value& v) { return v.value_or(""); }
std::optional<double> num(const Value& v)
{
    if (!v)
        return std::nullopt;
    return std::strtod(v->c_str(), nullptr);
}
Outcome outcome(const Value& v) { return station::parseOutcome(str(v)).value_or(Outcome::Error); }

// The WHERE clause of a filter and its parameters.
std::string whereClause(const RecordFilter& f, std::vector<Value>& params)
{
    std::string where;
    auto add = [&](const char* condition, const std::string& value) {
        where += where.empty() ? " WHERE " : " AND ";
        where += condition;
        params.push_back(value);
    };
    if (!f.serial.empty())
        add("serial = ?", f.serial);
    if (!f.station.empty())
        add("station = ?", f.station);
    if (!f.since.empty())
        add("started >= ?", f.since);
    if (f.outcome)
        add("outcome = ?", std::string(station::outcomeText(*f.outcome)));
    return where;
}

}  // namespace

std::unique_ptr<ResultStore> ResultStore::open(const DatabaseUrl& url, std::string& error)
{
    std::unique_ptr<Database> db = openDatabase(url, error);
    if (!db)
        return nullptr;
    return open(std::move(db), error);
}

std::unique_ptr<ResultStore> ResultStore::openForReading(const DatabaseUrl& url, std::string& error)
{
    std::error_code ec;
    if (url.engine == Engine::Sqlite && !std::filesystem::exists(url.target, ec)) {
        error = "no results database at " + url.target + " (no record was stored there yet)";
        return nullptr;
    }
    return open(url, error);
}

std::unique_ptr<ResultStore> ResultStore::open(std::unique_ptr<Database> database, std::string& error)
{
    std::unique_ptr<ResultStore> store(new ResultStore(std::move(database)));
    if (!store->migrate(error))
        return nullptr;
    return store;
}

int ResultStore::schemaVersion(std::string& error)
{
    std::vector<Row> rows;
    if (!db_->exec("SELECT MAX(version) FROM schema_version", {}, &rows)) {
        error = db_->error();
        return -1;
    }
    return rows.empty() || !rows[0][0] ? 0 : std::atoi(rows[0][0]->c_str());
}

bool ResultStore::migrate(std::string& error)
{
    // Most opens find the schema current, and need no write lock for it.
    std::string ignored;
    if (schemaVersion(ignored) == kSchemaVersion)
        return true;
    auto fail = [&](const std::string& what) {
        error = what + ": " + db_->error();
        db_->rollback();
        return false;
    };
    if (!db_->begin())
        return fail("cannot start the schema transaction");
    if (!db_->lockSchema())
        return fail("cannot lock the schema");
    if (!db_->exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"))
        return fail("cannot create the schema version table");
    const int version = schemaVersion(error);
    if (version < 0)
        return fail("cannot read the schema version");
    if (version > kSchemaVersion) {
        db_->rollback();
        error = "the database has schema version " + std::to_string(version) + ", newer than this tool's " +
                std::to_string(kSchemaVersion) + ": update the tool";
        return false;
    }
    for (int v = version + 1; v <= kSchemaVersion; ++v) {
        for (const char* statement : kMigrations[size_t(v - 1)])
            if (!db_->exec(statement))
                return fail("schema migration to version " + std::to_string(v) + " failed");
        if (!db_->exec("INSERT INTO schema_version (version) VALUES (?)", {integer(uint64_t(v))}))
            return fail("cannot record schema version " + std::to_string(v));
    }
    if (!db_->commit())
        return fail("cannot commit the schema");
    return true;
}

bool ResultStore::insert(const TestRecord& r)
{
    if (!db_->exec("INSERT INTO test_record (uid, serial, model, station, operator_name, plan, device, started, "
                   "finished, outcome) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                   {text(r.uid), text(r.serial), text(r.model), text(r.station), text(r.operatorName),
                    text(r.plan), text(r.device), text(r.started), text(r.finished),
                    text(std::string(station::outcomeText(r.outcome)))}))
        return false;
    for (size_t p = 0; p < r.phases.size(); ++p) {
        const PhaseRecord& phase = r.phases[p];
        if (!db_->exec("INSERT INTO phase (record_uid, seq, name, outcome, reason, seconds) VALUES (?, ?, ?, ?, ?, ?)",
                       {text(r.uid), integer(p), text(phase.name), text(std::string(station::outcomeText(phase.outcome))),
                        text(phase.reason), real(phase.seconds)}))
            return false;
        for (size_t k = 0; k < phase.measurements.size(); ++k) {
            const Measurement& m = phase.measurements[k];
            if (!db_->exec("INSERT INTO measurement (record_uid, phase_seq, seq, name, value_text, value_number, low, "
                           "high, limit_text, unit, outcome) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                           {text(r.uid), integer(p), integer(k), text(m.name), text(m.text), real(m.number),
                            real(m.low), real(m.high), text(m.limit), text(m.unit),
                            text(std::string(station::outcomeText(m.outcome)))}))
                return false;
        }
    }
    for (size_t a = 0; a < r.attachments.size(); ++a) {
        const station::Attachment& at = r.attachments[a];
        if (!db_->exec("INSERT INTO attachment (record_uid, seq, phase, name, path, size, sha256) VALUES (?, ?, ?, ?, "
                       "?, ?, ?)",
                       {text(r.uid), integer(a), text(at.phase), text(at.name), text(at.path), integer(at.size),
                        text(at.sha256)}))
            return false;
    }
    return true;
}

bool ResultStore::write(const TestRecord& record, std::string& error, bool* alreadyStored)
{
    if (alreadyStored)
        *alreadyStored = false;
    if (!db_->begin()) {
        error = "cannot start a transaction: " + db_->error();
        return false;
    }
    std::vector<Row> existing;
    if (!db_->exec("SELECT 1 FROM test_record WHERE uid = ?", {text(record.uid)}, &existing)) {
        error = db_->error();
        db_->rollback();
        return false;
    }
    if (!existing.empty()) {
        db_->rollback();
        if (alreadyStored)
            *alreadyStored = true;
        return true;
    }
    if (!insert(record)) {
        error = db_->error();
        db_->rollback();
        return false;
    }
    if (!db_->commit()) {
        error = "cannot commit: " + db_->error();
        db_->rollback();
        return false;
    }
    return true;
}

std::optional<std::vector<TestRecord>> ResultStore::query(const RecordFilter& filter, std::string& error)
{
    std::vector<Value> params;
    const std::string where = whereClause(filter, params);
    const std::string matching = "SELECT uid FROM test_record" + where;
    std::vector<Row> rows, phases, measurements, attachments;
    // One snapshot for the four reads: a record written meanwhile is seen whole or not at all.
    if (!db_->beginRead() ||
        !db_->exec("SELECT uid, serial, model, station, operator_name, plan, device, started, finished, outcome "
                   "FROM test_record" + where + " ORDER BY started DESC, uid DESC",
                   params, &rows) ||
        !db_->exec("SELECT record_uid, seq, name, outcome, reason, seconds FROM phase WHERE record_uid IN (" +
                       matching + ") ORDER BY record_uid, seq",
                   params, &phases) ||
        !db_->exec("SELECT record_uid, phase_seq, name, value_text, value_number, low, high, limit_text, unit, "
                   "outcome FROM measurement WHERE record_uid IN (" + matching + ") ORDER BY record_uid, phase_seq, seq",
                   params, &measurements) ||
        !db_->exec("SELECT record_uid, phase, name, path, size, sha256 FROM attachment WHERE record_uid IN (" +
                       matching + ") ORDER BY record_uid, seq",
                   params, &attachments)) {
        error = db_->error();
        db_->rollback();
        return std::nullopt;
    }
    db_->commit();

    std::vector<TestRecord> records;
    std::map<std::string, size_t> index;
    for (const Row& row : rows) {
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
        r.outcome = outcome(row[9]);
        index[r.uid] = records.size();
        records.push_back(std::move(r));
    }
    auto recordOf = [&](const Value& uid) -> TestRecord* {
        const auto it = index.find(str(uid));
        return it == index.end() ? nullptr : &records[it->second];
    };
    for (const Row& row : phases) {
        TestRecord* r = recordOf(row[0]);
        if (!r)
            continue;
        PhaseRecord p;
        p.name = str(row[2]);
        p.outcome = outcome(row[3]);
        p.reason = str(row[4]);
        p.seconds = num(row[5]).value_or(0);
        r->phases.push_back(std::move(p));
    }
    for (const Row& row : measurements) {
        TestRecord* r = recordOf(row[0]);
        const size_t phase = size_t(std::atoi(str(row[1]).c_str()));
        if (!r || phase >= r->phases.size())
            continue;
        Measurement m;
        m.name = str(row[2]);
        m.text = str(row[3]);
        m.number = num(row[4]);
        m.low = num(row[5]);
        m.high = num(row[6]);
        m.limit = str(row[7]);
        m.unit = str(row[8]);
        m.outcome = outcome(row[9]);
        r->phases[phase].measurements.push_back(std::move(m));
    }
    for (const Row& row : attachments) {
        if (TestRecord* r = recordOf(row[0]))
            r->attachments.push_back(
            {str(row[1]), str(row[2]), str(row[3]), std::strtoull(str(row[4]).c_str(), nullptr, 10), str(row[5])});
    }
    return records;
}

}  // namespace oculant::results
