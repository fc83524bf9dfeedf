#include "results/ResultStore.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "results/FilterSql.h"
#include "results/StoreValues.h"

namespace oculant::results {

namespace {

using station::Measurement;
using station::PhaseRecord;
using station::TestRecord;

// Migration n takes a database of version n - 1 to version n. Types that mean the same on both
// engines; up to version 4 the record's uid keyed its child rows, from version 5 the integer
// key the engine gives each record as it is stored.
const std::vector<std::vector<std::string>> kMigrations = {
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
    {
        // The day a record counts for, as the station that stored it counts days: the summary
        // groups by it without converting a million time stamps. Filled for older records by
        // fillDays.
        "ALTER TABLE test_record ADD COLUMN day TEXT",
        // One index per query: a serial's records newest first, the list and its pages, a
        // station's records over a period, the summary's grouping.
        "DROP INDEX test_record_serial",
        "DROP INDEX test_record_started",
        "CREATE INDEX test_record_serial_started ON test_record (serial, started)",
        "CREATE INDEX test_record_started_uid ON test_record (started, uid)",
        "CREATE INDEX test_record_station_started ON test_record (station, started)",
        "CREATE INDEX test_record_station_day ON test_record (station, day, serial, started, uid, outcome)",
        // The line report's failures: the few measurements out of their limits among millions.
        "CREATE INDEX measurement_failed ON measurement (record_uid, name) WHERE outcome = 'FAIL'",
    },
    {
        // The summary's figures per station and day, kept by every transaction that writes
        // records (addToDayCounts), so that the summary reads a row a day instead of counting a
        // million records. Filled here from the records there are.
        "CREATE TABLE day_count ("
        " station TEXT NOT NULL, day TEXT NOT NULL, records BIGINT NOT NULL, passed BIGINT NOT NULL,"
        " serials BIGINT NOT NULL, passed_first BIGINT NOT NULL, PRIMARY KEY (station, day))",
        "INSERT INTO day_count (station, day, records, passed, serials, passed_first) " + dayCountSelect(""),
    },
    {
        // Every element's clear level of a signal phase, one line of text a phase (about 3 kB
        // for 500 elements), so that a field test compares a frame with its first passing
        // record; the AD log itself stays on the station that made it.
        "CREATE TABLE element_levels ("
        " record_uid TEXT NOT NULL, phase_seq INTEGER NOT NULL, levels TEXT NOT NULL,"
        " PRIMARY KEY (record_uid, phase_seq),"
        " FOREIGN KEY (record_uid, phase_seq) REFERENCES phase (record_uid, seq))",
    },
    {
        // The child rows keyed by an integer the database gives each record as it is stored,
        // in the order of storing ({record key}), instead of by the record's random uid: a
        // batch's phases, measurements and attachments then go to the end of their indexes,
        // where with the uid they were scattered over thousands of pages of indexes of a
        // gigabyte. The tables are made anew (SQLite changes no key in place), the records in
        // the order they were made. A measurement is not checked against its phase by the
        // engine: that check, 17 a record, was half of PostgreSQL's import, and a record's rows
        // are only ever written together, in one transaction, by insert().
        "CREATE TABLE record_v5 ("
        " id {record key}, uid TEXT NOT NULL UNIQUE, serial TEXT NOT NULL, model TEXT NOT NULL,"
        " station TEXT NOT NULL, operator_name TEXT NOT NULL, plan TEXT NOT NULL, device TEXT NOT NULL,"
        " started TEXT NOT NULL, finished TEXT NOT NULL, outcome TEXT NOT NULL, day TEXT)",
        "INSERT INTO record_v5 (uid, serial, model, station, operator_name, plan, device, started, finished,"
        " outcome, day) SELECT uid, serial, model, station, operator_name, plan, device, started, finished,"
        " outcome, day FROM test_record ORDER BY started, uid",
        "CREATE TABLE phase_v5 ("
        " record_id BIGINT NOT NULL REFERENCES record_v5 (id), seq INTEGER NOT NULL, name TEXT NOT NULL,"
        " outcome TEXT NOT NULL, reason TEXT NOT NULL, seconds DOUBLE PRECISION NOT NULL,"
        " PRIMARY KEY (record_id, seq))",
        "INSERT INTO phase_v5 (record_id, seq, name, outcome, reason, seconds)"
        " SELECT r.id, p.seq, p.name, p.outcome, p.reason, p.seconds"
        " FROM phase p JOIN record_v5 r ON r.uid = p.record_uid ORDER BY r.id, p.seq",
        "CREATE TABLE measurement_v5 ("
        " record_id BIGINT NOT NULL, phase_seq INTEGER NOT NULL, seq INTEGER NOT NULL, name TEXT NOT NULL,"
        " value_text TEXT NOT NULL, value_number DOUBLE PRECISION, low DOUBLE PRECISION, high DOUBLE PRECISION,"
        " limit_text TEXT NOT NULL, unit TEXT NOT NULL, outcome TEXT NOT NULL,"
        " PRIMARY KEY (record_id, phase_seq, seq))",
        "INSERT INTO measurement_v5 (record_id, phase_seq, seq, name, value_text, value_number, low, high,"
        " limit_text, unit, outcome) SELECT r.id, m.phase_seq, m.seq, m.name, m.value_text, m.value_number,"
        " m.low, m.high, m.limit_text, m.unit, m.outcome"
        " FROM measurement m JOIN record_v5 r ON r.uid = m.record_uid ORDER BY r.id, m.phase_seq, m.seq",
        "CREATE TABLE attachment_v5 ("
        " record_id BIGINT NOT NULL REFERENCES record_v5 (id), seq INTEGER NOT NULL, phase TEXT NOT NULL,"
        " name TEXT NOT NULL, path TEXT NOT NULL, size BIGINT NOT NULL, sha256 TEXT NOT NULL,"
        " PRIMARY KEY (record_id, seq))",
        "INSERT INTO attachment_v5 (record_id, seq, phase, name, path, size, sha256)"
        " SELECT r.id, a.seq, a.phase, a.name, a.path, a.size, a.sha256"
        " FROM attachment a JOIN record_v5 r ON r.uid = a.record_uid ORDER BY r.id, a.seq",
        "CREATE TABLE element_levels_v5 ("
        " record_id BIGINT NOT NULL, phase_seq INTEGER NOT NULL, levels TEXT NOT NULL,"
        " PRIMARY KEY (record_id, phase_seq),"
        " FOREIGN KEY (record_id, phase_seq) REFERENCES phase_v5 (record_id, seq))",
        "INSERT INTO element_levels_v5 (record_id, phase_seq, levels) SELECT r.id, l.phase_seq, l.levels"
        " FROM element_levels l JOIN record_v5 r ON r.uid = l.record_uid ORDER BY r.id, l.phase_seq",
        // Children before parents, then the new tables take the old names (the references
        // follow them on both engines) and the indexes come back.
        "DROP TABLE element_levels",
        "DROP TABLE attachment",
        "DROP TABLE measurement",
        "DROP TABLE phase",
        "DROP TABLE test_record",
        "ALTER TABLE record_v5 RENAME TO test_record",
        "ALTER TABLE phase_v5 RENAME TO phase",
        "ALTER TABLE measurement_v5 RENAME TO measurement",
        "ALTER TABLE attachment_v5 RENAME TO attachment",
        "ALTER TABLE element_levels_v5 RENAME TO element_levels",
        "CREATE INDEX test_record_serial_started ON test_record (serial, started)",
        "CREATE INDEX test_record_started_uid ON test_record (started, uid)",
        "CREATE INDEX test_record_station_started ON test_record (station, started)",
        "CREATE INDEX test_record_station_day ON test_record (station, day, serial, started, uid, outcome)",
        "CREATE INDEX measurement_failed ON measurement (record_id, name) WHERE outcome = 'FAIL'",
    },
};

// The statement with the engine's words for what the schema names in braces.
std::string forEngine(std::string statement, const Database& db)
{
    const std::string key = "{record key}";
    if (const size_t at = statement.find(key); at != std::string::npos)
        statement.replace(at, key.size(), db.recordKeyType());
    return statement;
}

const std::vector<std::string> kRecordColumns = {"uid",    "serial",  "model",    "station", "operator_name", "plan",
                                                 "device", "started", "finished", "outcome", "day"};
const std::vector<std::string> kPhaseColumns = {"record_id", "seq", "name", "outcome", "reason", "seconds"};
const std::vector<std::string> kMeasurementColumns = {"record_id",  "phase_seq", "seq",  "name",
                                                      "value_text", "value_number", "low", "high",
                                                      "limit_text", "unit",      "outcome"};
const std::vector<std::string> kAttachmentColumns = {"record_id", "seq", "phase", "name", "path", "size", "sha256"};
const std::vector<std::string> kLevelColumns = {"record_id", "phase_seq", "levels"};
const std::vector<std::string> kDayCountColumns = {"station", "day", "records", "passed", "serials", "passed_first"};

// Serials looked up in one statement when their day's counts are brought up to date.
constexpr size_t kSerialsPerRead = 1000;

}  // namespace

std::unique_ptr<ResultStore> ResultStore::open(const DatabaseUrl& url, const OpenOptions& options, DbError& error)
{
    OpenOptions writing = options;
    writing.readOnly = false;
    std::unique_ptr<Database> db = openDatabase(url, writing, error);
    if (!db)
        return nullptr;
    std::unique_ptr<ResultStore> store(new ResultStore(std::move(db)));
    if (!store->migrate(error.text)) {
        error.misconfigured = store->db_->errorIsMisconfiguration() || error.text.find("newer than") != std::string::npos;
        error.text = shownUrl(url.text) + ": " + error.text;
        return nullptr;
    }
    // A user who may read but not write finds out now, before a frame is tested for nothing.
    for (const char* table : {"test_record", "phase", "measurement", "attachment", "element_levels", "day_count"})
        if (!store->db_->mayInsert(table)) {
            error.text = shownUrl(url.text) + ": no permission to insert into " + table +
                         (store->db_->error().empty() ? "" : " (" + store->db_->error() + ")");
            error.misconfigured = true;
            return nullptr;
        }
    return store;
}

std::unique_ptr<ResultStore> ResultStore::open(const DatabaseUrl& url, std::string& error)
{
    DbError e;
    auto store = open(url, OpenOptions{}, e);
    error = e.text;
    return store;
}

std::unique_ptr<ResultStore> ResultStore::openForReading(const DatabaseUrl& url, const OpenOptions& options,
                                                         DbError& error)
{
    error.misconfigured = false;
    std::error_code ec;
    if (url.engine == Engine::Sqlite && !std::filesystem::exists(url.target, ec)) {
        error.text = "no results database at " + url.target + " (no record was stored there yet)";
        return nullptr;
    }
    OpenOptions reading = options;
    reading.readOnly = true;
    std::unique_ptr<Database> db = openDatabase(url, reading, error);
    if (!db)
        return nullptr;
    const std::string where = url.engine == Engine::Sqlite ? url.target : shownUrl(url.text);
    if (!db->hasTable("schema_version") || !db->hasTable("test_record")) {
        error.text = db->error().empty() ? where + " is not an Oculant results database (it holds no test records)"
                                         : "cannot read " + where + ": " + db->error();
        error.misconfigured = true;
        return nullptr;
    }
    std::unique_ptr<ResultStore> store(new ResultStore(std::move(db)));
    std::string why;
    const int version = store->schemaVersion(why);
    if (version < kOldestReadableSchema || version > kSchemaVersion) {
        error.misconfigured = true;
        if (version < 0)
            error.text = "cannot read the schema version of " + where + ": " + why;
        else if (version > kSchemaVersion)
            error.text = where + " has schema version " + std::to_string(version) + ", newer than this tool's " +
                         std::to_string(kSchemaVersion) + ": update the tool";
        else
            error.text = where + " has schema version " + std::to_string(version) + ", older than this tool's " +
                         std::to_string(kSchemaVersion) + ": bring it up to date with 'oculant-cli results migrate " +
                         "--db " + shownUrl(url.text) + "' (the next record stored does it too)";
        return nullptr;
    }
    store->version_ = version;
    return store;
}

std::unique_ptr<ResultStore> ResultStore::openForReading(const DatabaseUrl& url, std::string& error)
{
    DbError e;
    auto store = openForReading(url, OpenOptions{}, e);
    error = e.text;
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
    if (db_->hasTable("schema_version") && schemaVersion(ignored) == kSchemaVersion)
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
        for (const std::string& statement : kMigrations[size_t(v - 1)])
            if (!db_->exec(forEngine(statement, *db_)))
                return fail("schema migration to version " + std::to_string(v) + " failed");
        if (v == 2 && !fillDays(error))
            return fail("schema migration to version 2 failed");
        if (!db_->exec("INSERT INTO schema_version (version) VALUES (?)", {integer(uint64_t(v))}))
            return fail("cannot record schema version " + std::to_string(v));
    }
    if (!db_->commit())
        return fail("cannot commit the schema");
    return true;
}

bool ResultStore::fillDays(std::string& error)
{
    // A thousand records a statement: the uid and its day as a VALUES list (its columns are
    // column1 and column2 on both engines).
    for (;;) {
        std::vector<Row> rows;
        if (!db_->exec("SELECT uid, started FROM test_record WHERE day IS NULL LIMIT 1000", {}, &rows)) {
            error = db_->error();
            return false;
        }
        if (rows.empty())
            return true;
        std::string sql = "UPDATE test_record SET day = v.column2 FROM (VALUES ";
        std::vector<Value> params;
        for (size_t i = 0; i < rows.size(); ++i) {
            sql += i ? ", (?, ?)" : "(?, ?)";
            params.push_back(rows[i][0]);
            params.push_back(localDayOf(str(rows[i][1])));
        }
        sql += ") AS v WHERE test_record.uid = v.column1";
        if (!db_->exec(sql, params)) {
            error = db_->error();
            return false;
        }
    }
}

bool ResultStore::insert(const std::vector<const TestRecord*>& records, const std::vector<std::string>& days)
{
    std::vector<Value> heads;
    heads.reserve(records.size() * kRecordColumns.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const TestRecord* r = records[i];
        for (const std::string* field : {&r->uid, &r->serial, &r->model, &r->station, &r->operatorName, &r->plan,
                                         &r->device, &r->started, &r->finished})
            heads.push_back(*field);
        heads.push_back(std::string(station::outcomeText(r->outcome)));
        heads.push_back(days[i]);
    }
    // Parents before children, as the foreign keys want; the children take the keys the
    // database gave their records.
    if (!db_->insertRows("test_record", kRecordColumns, std::move(heads)))
        return false;
    std::unordered_map<std::string, std::string> keys;
    for (size_t first = 0; first < records.size(); first += kMaxRowsPerInsert) {
        const size_t n = std::min(kMaxRowsPerInsert, records.size() - first);
        std::string sql = "SELECT uid, id FROM test_record WHERE uid IN (";
        std::vector<Value> params;
        for (size_t i = 0; i < n; ++i) {
            sql += i ? ", ?" : "?";
            params.push_back(records[first + i]->uid);
        }
        std::vector<Row> rows;
        if (!db_->exec(sql + ")", params, &rows))
            return false;
        for (const Row& row : rows)
            keys[str(row[0])] = str(row[1]);
    }
    std::vector<Value> phases, measurements, attachments, levels;
    for (const TestRecord* r : records) {
        const Value key = keys[r->uid];
        for (size_t p = 0; p < r->phases.size(); ++p) {
            const PhaseRecord& phase = r->phases[p];
            phases.push_back(key);
            phases.push_back(integer(p));
            phases.emplace_back(phase.name);
            phases.emplace_back(std::string(station::outcomeText(phase.outcome)));
            phases.emplace_back(phase.reason);
            phases.push_back(real(phase.seconds));
            if (!phase.levels.empty())
                for (Value v : {key, integer(p), text(phase.levels)})
                    levels.push_back(std::move(v));
            for (size_t k = 0; k < phase.measurements.size(); ++k) {
                const Measurement& m = phase.measurements[k];
                measurements.push_back(key);
                measurements.push_back(integer(p));
                measurements.push_back(integer(k));
                measurements.emplace_back(m.name);
                measurements.emplace_back(m.text);
                measurements.push_back(real(m.number));
                measurements.push_back(real(m.low));
                measurements.push_back(real(m.high));
                measurements.emplace_back(m.limit);
                measurements.emplace_back(m.unit);
                measurements.emplace_back(std::string(station::outcomeText(m.outcome)));
            }
        }
        for (size_t a = 0; a < r->attachments.size(); ++a) {
            const station::Attachment& at = r->attachments[a];
            for (Value v : {key, integer(a), text(at.phase), text(at.name), text(at.path), integer(at.size),
                            text(at.sha256)})
                attachments.push_back(std::move(v));
        }
    }
    return db_->insertRows("phase", kPhaseColumns, std::move(phases)) &&
           db_->insertRows("measurement", kMeasurementColumns, std::move(measurements)) &&
           db_->insertRows("attachment", kAttachmentColumns, std::move(attachments)) &&
           db_->insertRows("element_levels", kLevelColumns, std::move(levels));
}

bool ResultStore::lockDayCounts(const std::set<DayKey>& keys)
{
    // The rows of the days the records count in, made at zero where there are none yet, and
    // locked until the commit (an upsert locks the row it meets). A PostgreSQL session writing
    // the same day meanwhile waits, and its statements after the wait see what this one
    // committed; SQLite's write lock already makes the transactions take turns. The rows are
    // always taken in the same (byte) order, so two transactions never each hold a row the
    // other waits for.
    std::vector<Value> values;
    for (const DayKey& k : keys)
        for (Value v : {Value(k.first), Value(k.second), Value(std::string("0")), Value(std::string("0")),
                        Value(std::string("0")), Value(std::string("0"))})
            values.push_back(std::move(v));
    return db_->upsertRows("day_count", kDayCountColumns, std::move(values),
                           "ON CONFLICT (station, day) DO UPDATE SET records = day_count.records");
}

bool ResultStore::addToDayCounts(const std::vector<const TestRecord*>& records, const std::vector<std::string>& days)
{
    // What the records just inserted add to their days. Records and passes add up. A serial
    // new to its station's day adds a serial, and whether it passed first time; a serial that
    // was there before changes the count of first passes only when one of the new records came
    // before all of its earlier ones (an import of older records), and then by the difference
    // of the two first outcomes. Which record is first the database says, in the order the
    // summary numbers them (started, then uid).
    struct Counts {
        long records = 0, passed = 0, serials = 0, passedFirst = 0;
    };
    using Serial = std::tuple<std::string, std::string, std::string>;  // station, day, serial
    struct Firsts {
        bool now = false, before = false;  // seen: the first record now, the first before these
        bool passedNow = false, passedBefore = false;
        bool newFirst = false;  // the first record now is one of those just written
    };
    std::map<DayKey, Counts> add;
    std::set<std::string> written;
    std::set<Serial> serials;
    for (size_t i = 0; i < records.size(); ++i) {
        const TestRecord* r = records[i];
        Counts& c = add[{r->station, days[i]}];
        ++c.records;
        c.passed += r->outcome == station::Outcome::Pass;
        written.insert(r->uid);
        serials.insert({r->station, days[i], r->serial});
    }
    std::map<Serial, Firsts> firsts;
    const std::vector<Serial> all(serials.begin(), serials.end());
    for (size_t first = 0; first < all.size(); first += kSerialsPerRead) {
        const size_t n = std::min(kSerialsPerRead, all.size() - first);
        // The serials as a VALUES list (column1, column2, column3 on both engines), each looked
        // up in the index of the summary's grouping, which holds all the columns read.
        std::string sql = "SELECT t.station, t.day, t.serial, t.uid, t.outcome FROM (VALUES ";
        std::vector<Value> params;
        for (size_t i = 0; i < n; ++i) {
            sql += i ? ", (?, ?, ?)" : "(?, ?, ?)";
            const auto& [station, day, serial] = all[first + i];
            params.insert(params.end(), {station, day, serial});
        }
        sql += ") AS v JOIN test_record t ON t.station = v.column1 AND t.day = v.column2 AND t.serial = v.column3"
               " ORDER BY t.station, t.day, t.serial, t.started, t.uid";
        std::vector<Row> rows;
        if (!db_->exec(sql, params, &rows))
            return false;
        for (const Row& row : rows) {
            Firsts& f = firsts[{str(row[0]), str(row[1]), str(row[2])}];
            const bool passed = str(row[4]) == station::outcomeText(station::Outcome::Pass);
            const bool isNew = written.count(str(row[3])) > 0;
            if (!f.now) {
                f.now = true;
                f.passedNow = passed;
                f.newFirst = isNew;
            }
            if (!f.before && !isNew) {
                f.before = true;
                f.passedBefore = passed;
            }
        }
    }
    for (const auto& [serial, f] : firsts) {
        Counts& c = add[{std::get<0>(serial), std::get<1>(serial)}];
        if (!f.before) {
            ++c.serials;
            c.passedFirst += f.passedNow;
        } else if (f.newFirst) {
            c.passedFirst += long(f.passedNow) - long(f.passedBefore);
        }
    }
    std::vector<Value> values;
    for (const auto& [key, c] : add)
        for (Value v : {Value(key.first), Value(key.second), Value(std::to_string(c.records)),
                        Value(std::to_string(c.passed)), Value(std::to_string(c.serials)),
                        Value(std::to_string(c.passedFirst))})
            values.push_back(std::move(v));
    return db_->upsertRows("day_count", kDayCountColumns, std::move(values),
                           "ON CONFLICT (station, day) DO UPDATE SET records = day_count.records + excluded.records,"
                           " passed = day_count.passed + excluded.passed, serials = day_count.serials + excluded.serials,"
                           " passed_first = day_count.passed_first + excluded.passed_first");
}

bool ResultStore::write(const std::vector<TestRecord>& records, WriteCounts& counts, std::string& error)
{
    counts = {};
    if (records.empty())
        return true;
    auto fail = [&](const std::string& what) {
        error = what + db_->error();
        db_->rollback();
        return false;
    };
    if (!db_->begin())
        return fail("cannot start a transaction: ");
    // Which of them are there already: one statement for the batch.
    std::set<std::string> present;
    for (size_t first = 0; first < records.size(); first += kMaxRowsPerInsert) {
        const size_t n = std::min(kMaxRowsPerInsert, records.size() - first);
        std::string sql = "SELECT uid FROM test_record WHERE uid IN (";
        std::vector<Value> params;
        for (size_t i = 0; i < n; ++i) {
            sql += i ? ", ?" : "?";
            params.push_back(records[first + i].uid);
        }
        std::vector<Row> rows;
        if (!db_->exec(sql + ")", params, &rows))
            return fail("");
        for (const Row& row : rows)
            present.insert(str(row[0]));
    }
    std::vector<const TestRecord*> fresh;
    for (const TestRecord& r : records) {
        if (!present.insert(r.uid).second) {
            ++counts.alreadyStored;
            continue;
        }
        fresh.push_back(&r);
    }
    if (fresh.empty()) {
        db_->rollback();
        return true;
    }
    std::vector<std::string> days;
    std::set<DayKey> keys;
    days.reserve(fresh.size());
    for (const TestRecord* r : fresh) {
        days.push_back(localDayOf(r->started));
        keys.insert({r->station, days.back()});
    }
    if (!lockDayCounts(keys) || !insert(fresh, days) || !addToDayCounts(fresh, days))
        return fail("");
    if (!db_->commit())
        return fail("cannot commit: ");
    counts.stored = fresh.size();
    return true;
}

bool ResultStore::refreshStatistics(std::string& error)
{
    if (!db_->refreshStatistics()) {
        error = db_->error();
        return false;
    }
    return true;
}

bool ResultStore::write(const TestRecord& record, std::string& error, bool* alreadyStored)
{
    WriteCounts counts;
    const bool ok = write(std::vector<TestRecord>{record}, counts, error);
    if (alreadyStored)
        *alreadyStored = ok && counts.alreadyStored > 0;
    return ok;
}

}  // namespace oculant::results
