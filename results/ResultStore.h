#pragma once
// The results database: the schema (created and migrated by the tool, its version in a table),
// the writing of a test record in one transaction, and the queries. The same statements run on
// SQLite and on PostgreSQL.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "results/Database.h"
#include "station/TestRecord.h"

namespace oculant::results {

// The schema this tool writes. A database of a later version is refused rather than written in
// a form its readers would not expect.
constexpr int kSchemaVersion = 1;

struct RecordFilter {
    std::string serial, station;
    std::string since;  // UTC timestamp, records started at or after it; empty: any
    std::optional<station::Outcome> outcome;
};

class ResultStore {
public:
    // Connects and brings the schema up to kSchemaVersion; null with the reason.
    static std::unique_ptr<ResultStore> open(const DatabaseUrl& url, std::string& error);
    static std::unique_ptr<ResultStore> open(std::unique_ptr<Database> database, std::string& error);
    // For queries: a SQLite file that does not exist is not created (a mistyped path would
    // otherwise answer "no records").
    static std::unique_ptr<ResultStore> openForReading(const DatabaseUrl& url, std::string& error);

    // The record, its phases, measurements and attachments in one transaction: all of it or
    // nothing. A record whose uid is stored already is left as it is (*alreadyStored set).
    bool write(const station::TestRecord& record, std::string& error, bool* alreadyStored = nullptr);
    // Matching records, newest first, whole.
    std::optional<std::vector<station::TestRecord>> query(const RecordFilter& filter, std::string& error);
    int schemaVersion(std::string& error);

private:
    explicit ResultStore(std::unique_ptr<Database> database) : db_(std::move(database)) {}
    bool migrate(std::string& error);
    bool insert(const station::TestRecord& record);

    std::unique_ptr<Database> db_;
};

}  // namespace oculant::results
