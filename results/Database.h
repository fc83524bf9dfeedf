#pragma once
// One connection to a results database, the little the store needs of it: statements with
// '?' parameters (texts or NULL), rows back as texts, and transactions. SQLite and PostgreSQL
// behind the same calls, so that the store writes one schema and one set of statements.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "results/DatabaseUrl.h"

namespace oculant::results {

using Value = std::optional<std::string>;  // nullopt: NULL
using Row = std::vector<Value>;

// How long a station waits for the database before it gives up and spools: the connection
// (at most kConnectTimeoutSeconds), a lock another session holds, one statement.
constexpr int kDefaultWaitSeconds = 30;
constexpr int kConnectTimeoutSeconds = 10;

struct OpenOptions {
    bool readOnly = false;  // queries: nothing created, migrated or written, not even a journal mode
    int waitSeconds = kDefaultWaitSeconds;
    // An import: thousands of records a transaction. SQLite then keeps more pages in memory
    // (64 MB) and checkpoints its log less often, so that a page is written once for many
    // records instead of once for each.
    bool bulk = false;
};

// Why a database could not be used. A misconfiguration (a refused password, a database that
// does not exist, no permission, a malformed URL, a file that is no results database) will not
// mend itself: nothing is tested, nothing spooled. Anything else (a server that cannot be
// reached, a lock held past the wait) may: the record is spooled.
struct DbError {
    std::string text;
    bool misconfigured = false;
};

class Database {
public:
    virtual ~Database() = default;
    // Runs one statement; rows, when given, receive what it returns. On failure returns false
    // and error() says why.
    virtual bool exec(const std::string& sql, const std::vector<Value>& params = {},
                      std::vector<Row>* rows = nullptr) = 0;
    // A transaction that writes: it holds the write lock from its start (SQLite's BEGIN
    // IMMEDIATE, so that two stations never both wait to upgrade a read lock).
    virtual bool begin() = 0;
    // A transaction that only reads, all of its statements on one snapshot.
    virtual bool beginRead() = 0;
    virtual bool commit() { return exec("COMMIT"); }
    virtual void rollback() { exec("ROLLBACK"); }
    // Inside a transaction: one migration at a time, whatever the number of stations starting.
    virtual bool lockSchema() = 0;
    // Whether the named table exists (without touching it).
    virtual bool hasTable(const std::string& name) = 0;
    // Whether this connection may insert into the table (PostgreSQL's privileges; a SQLite file
    // opened for writing may).
    virtual bool mayInsert(const std::string& table) = 0;
    // The last failure, cleaned of any password; misconfigured when it will not mend by waiting.
    virtual const std::string& error() const = 0;
    virtual bool errorIsMisconfiguration() const { return false; }
    // The planner's statistics of the store's tables brought up to date, after many rows came.
    virtual bool refreshStatistics() { return true; }  // SQLite plans these queries from the indexes alone
    // The column type of a record's key: an integer the database gives each row it stores, in
    // the order of storing (SQLite's rowid, PostgreSQL's identity column).
    virtual std::string recordKeyType() const = 0;
    // Most parameters one statement may take (multi-row inserts are cut to fit).
    virtual size_t maxParameters() const = 0;
    // Rows into a table, `values` row after row (columns.size() a row): multi-row INSERTs of at
    // most kMaxRowsPerInsert rows, or what the engine has that is faster (PostgreSQL's COPY).
    virtual bool insertRows(const std::string& table, const std::vector<std::string>& columns,
                            std::vector<Value>&& values);
    // The same as multi-row INSERTs, each ending in `onConflict` ("ON CONFLICT ... DO UPDATE ...").
    bool upsertRows(const std::string& table, const std::vector<std::string>& columns, std::vector<Value>&& values,
                    const std::string& onConflict);

private:
    bool insertStatements(const std::string& table, const std::vector<std::string>& columns,
                          std::vector<Value>&& values, const std::string& tail);
};

// At most this many rows in one INSERT, whatever the engine would take: a statement stays a few
// hundred kilobytes.
constexpr size_t kMaxRowsPerInsert = 1000;

// Opens the database (for writing, a SQLite file is created with its folder); null with the
// reason.
std::unique_ptr<Database> openSqlite(const std::string& path, const OpenOptions& options, DbError& error);
std::unique_ptr<Database> openPostgres(const std::string& uri, const OpenOptions& options, DbError& error);
std::unique_ptr<Database> openDatabase(const DatabaseUrl& url, const OpenOptions& options, DbError& error);

}  // namespace oculant::results
