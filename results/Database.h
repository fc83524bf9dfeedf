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
    virtual const std::string& error() const = 0;
};

// Opens (and for SQLite creates, with its folder) the database; null with the reason.
std::unique_ptr<Database> openSqlite(const std::string& path, std::string& error);
std::unique_ptr<Database> openPostgres(const std::string& uri, std::string& error);
std::unique_ptr<Database> openDatabase(const DatabaseUrl& url, std::string& error);

}  // namespace oculant::results
