#pragma once
// The results database: the schema (created and migrated by the tool, its version in a table),
// the writing of test records in transactions, and the queries, which the database answers
// itself: filters, order and the summary in SQL, records streamed a page at a time. The same
// statements run on SQLite and on PostgreSQL.

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "results/Database.h"
#include "results/LineReport.h"
#include "results/ResultSummary.h"
#include "station/TestRecord.h"

namespace oculant::results {

// The schema this tool writes. A database of a later version is refused rather than written in
// a form its readers would not expect. 2: each record's local day, and the indexes of the
// queries. 3: the counts per station and day, kept as records are written. 4: each signal
// phase's element levels. 5: child rows keyed by the record's integer id (kRecordKeySchema).
constexpr int kSchemaVersion = 5;
// From this schema on a record's phases, measurements, attachments and levels carry its id, an
// integer given in the order of storing; before it, its uid.
constexpr int kRecordKeySchema = 5;
// The oldest schema a query reads as it is (nothing migrated by a query): the summary of a
// database without the counts per day counts its records instead.
constexpr int kOldestReadableSchema = 2;

struct RecordFilter {
    std::string serial, station;
    std::string since, until;  // UTC timestamps: started at or after since, before until; empty: any
    std::optional<station::Outcome> outcome;
    size_t limit = 0;  // the newest this many; 0: all
};

struct WriteCounts {
    size_t stored = 0;
    size_t alreadyStored = 0;  // their uid was there: left as they were
};

class ResultStore {
public:
    // Connects, brings the schema up to kSchemaVersion and makes sure records may be inserted;
    // null with the reason (error.misconfigured when waiting will not mend it).
    static std::unique_ptr<ResultStore> open(const DatabaseUrl& url, const OpenOptions& options, DbError& error);
    static std::unique_ptr<ResultStore> open(const DatabaseUrl& url, std::string& error);
    // For queries: nothing is created, migrated or written. A SQLite file that does not exist,
    // a database that holds no results or one of a schema version outside
    // kOldestReadableSchema..kSchemaVersion is refused.
    static std::unique_ptr<ResultStore> openForReading(const DatabaseUrl& url, const OpenOptions& options,
                                                       DbError& error);
    static std::unique_ptr<ResultStore> openForReading(const DatabaseUrl& url, std::string& error);

    // The record, its phases, measurements and attachments in one transaction: all of it or
    // nothing. A record whose uid is stored already is left as it is (*alreadyStored set).
    bool write(const station::TestRecord& record, std::string& error, bool* alreadyStored = nullptr);
    // Many records in one transaction (an import's batch), with multi-row inserts; records
    // whose uid is stored already, or repeated in the batch, are counted and skipped.
    bool write(const std::vector<station::TestRecord>& records, WriteCounts& counts, std::string& error);
    // After a bulk import: the server's statistics brought up to date (PostgreSQL plans the
    // queries from them, and would scan a table it believes empty).
    bool refreshStatistics(std::string& error);
    // Whether the last failure will not mend by waiting (no permission, no such table).
    bool lastErrorIsMisconfiguration() const { return db_->errorIsMisconfiguration(); }

    // Matching records, newest first, whole, handed over one by one on one snapshot; at most a
    // page of them is held at a time. `each` returns false to stop.
    bool forEach(const RecordFilter& filter, const std::function<bool(station::TestRecord&&)>& each,
                 std::string& error);
    std::optional<std::vector<station::TestRecord>> query(const RecordFilter& filter, std::string& error);
    // Count, yield and first-pass yield per station and day of the matching records; by
    // station (byte order), newest day first. With no filter but the station, read from the
    // counts kept per day; otherwise counted from the records (summaryOfRecords).
    std::optional<std::vector<SummaryRow>> summary(const RecordFilter& filter, std::string& error);
    // Everything a line report shows of the matching records (see LineReport.h); the last
    // failures at most `lastFailures` of them.
    std::optional<LineReport> report(const RecordFilter& filter, size_t lastFailures, std::string& error);
    int schemaVersion(std::string& error);

    // The element levels of the serial's first passing record (the oldest PASS whose signal
    // phase kept them): what a field check compares the frame with. nullopt with `error` empty
    // when there is none; with `error` set when the database could not be asked.
    struct FirstPass {
        std::string uid, started, levels;
    };
    std::optional<FirstPass> firstPassLevels(const std::string& serial, std::string& error);

private:
    explicit ResultStore(std::unique_ptr<Database> database) : db_(std::move(database)) {}
    bool migrate(std::string& error);
    // The summary counted from the records themselves.
    std::optional<std::vector<SummaryRow>> summaryOfRecords(const RecordFilter& filter, std::string& error);
    bool fillDays(std::string& error);
    bool insert(const std::vector<const station::TestRecord*>& records, const std::vector<std::string>& days);
    using DayKey = std::pair<std::string, std::string>;  // station, day
    bool lockDayCounts(const std::set<DayKey>& keys);
    bool addToDayCounts(const std::vector<const station::TestRecord*>& records, const std::vector<std::string>& days);
    std::optional<std::vector<SummaryRow>> summaryRows(const std::string& sql, const std::vector<Value>& params,
                                                       std::string& error);
    bool readPage(const std::vector<Row>& heads, std::vector<station::TestRecord>& page);

    std::unique_ptr<Database> db_;
    int version_ = kSchemaVersion;  // a query's database may be older
    // The column a child row names its record by, and the record's column it matches: the
    // integer key from kRecordKeySchema, the uid before.
    const char* childKey() const { return version_ >= kRecordKeySchema ? "record_id" : "record_uid"; }
    const char* recordKey() const { return version_ >= kRecordKeySchema ? "id" : "uid"; }
};

}  // namespace oculant::results
