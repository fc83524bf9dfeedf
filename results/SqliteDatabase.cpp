// The results database in one SQLite file: several stations' processes on one PC write to it
// at once. WAL lets readers go on while one writes; writers queue on the busy time-out.
#include <sqlite3.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "base/FileIo.h"
#include "results/Database.h"

namespace oculant::results {

namespace {

// Failures that waiting does not mend: a file that cannot be created or written, that is no
// database, or is damaged.
bool misconfiguration(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return true;
    default:
        return false;
    }
}

// A path as a URI's file part: every byte but the unreserved ones and '/' percent-encoded.
std::string uriPath(const std::string& path)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~')
            out += char(c);
        else
            out += {'%', hex[c >> 4], hex[c & 15]};
    }
    return out;
}

constexpr const char* kNotResultsDatabase = "not an Oculant results database (it holds other tables)";

class SqliteDatabase : public Database {
public:
    SqliteDatabase(sqlite3* db, int waitMs) : db_(db), waitMs_(waitMs) {}
    ~SqliteDatabase() override { sqlite3_close_v2(db_); }

    bool exec(const std::string& sql, const std::vector<Value>& params, std::vector<Row>* rows) override
    {
        // The busy handler covers nearly every wait; a WAL being recovered by another process
        // answers SQLITE_BUSY at once, so the statement is tried again for as long.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs_);
        for (;;) {
            const int rc = run(sql, params, rows);
            if (rc == SQLITE_OK)
                return true;
            if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || std::chrono::steady_clock::now() > deadline ||
                sqlite3_get_autocommit(db_) == 0)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    bool begin() override { return exec("BEGIN IMMEDIATE", {}, nullptr); }
    bool beginRead() override { return exec("BEGIN", {}, nullptr); }
    bool lockSchema() override { return true; }  // BEGIN IMMEDIATE holds the file's write lock
    bool hasTable(const std::string& name) override
    {
        std::vector<Row> rows;
        return exec("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?", {name}, &rows) && !rows.empty();
    }
    bool mayInsert(const std::string&) override { return !sqlite3_db_readonly(db_, "main"); }
    const std::string& error() const override { return error_; }
    bool errorIsMisconfiguration() const override { return misconfigured_; }
    std::string recordKeyType() const override { return "INTEGER PRIMARY KEY"; }
    // SQLite's default limit since 3.32.
    size_t maxParameters() const override { return size_t(sqlite3_limit(db_, SQLITE_LIMIT_VARIABLE_NUMBER, -1)); }
    int lastCode() const { return lastCode_; }
    // One prepared single-row INSERT stepped for every row: SQLite has no round trips to save,
    // and parsing a multi-row statement of a thousand tuples costs more than its rows.
    bool insertRows(const std::string& table, const std::vector<std::string>& columns,
                    std::vector<Value>&& values) override
    {
        std::string sql = "INSERT INTO " + table + " (";
        for (size_t c = 0; c < columns.size(); ++c)
            sql += (c ? ", " : "") + columns[c];
        sql += ") VALUES (";
        for (size_t c = 0; c < columns.size(); ++c)
            sql += c ? ", ?" : "?";
        sql += ")";
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &stmt, nullptr);
        const size_t width = columns.size();
        for (size_t first = 0; rc == SQLITE_OK && first + width <= values.size(); first += width) {
            for (size_t c = 0; rc == SQLITE_OK && c < width; ++c) {
                const Value& v = values[first + c];
                rc = v ? sqlite3_bind_text(stmt, int(c + 1), v->c_str(), int(v->size()), SQLITE_STATIC)
                       : sqlite3_bind_null(stmt, int(c + 1));
            }
            if (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_DONE)
                rc = sqlite3_reset(stmt);
        }
        if (rc != SQLITE_OK) {
            fail(rc, stmt);
            return false;
        }
        sqlite3_finalize(stmt);
        return true;
    }

private:
    int run(const std::string& sql, const std::vector<Value>& params, std::vector<Row>* rows)
    {
        if (rows)
            rows->clear();
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &stmt, nullptr);
        if (rc != SQLITE_OK)
            return fail(rc, stmt);
        for (size_t i = 0; i < params.size(); ++i) {
            rc = params[i] ? sqlite3_bind_text(stmt, int(i + 1), params[i]->c_str(), int(params[i]->size()),
                                               SQLITE_STATIC)
                           : sqlite3_bind_null(stmt, int(i + 1));
            if (rc != SQLITE_OK)
                return fail(rc, stmt);
        }
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (!rows)
                continue;
            Row row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                // SQLite's own text of a REAL keeps 15 digits; a measurement must read back as
                // the number that was stored.
                if (sqlite3_column_type(stmt, c) == SQLITE_FLOAT) {
                    char number[40];
                    std::snprintf(number, sizeof number, "%.17g", sqlite3_column_double(stmt, c));
                    row.push_back(Value(number));
                    continue;
                }
                const unsigned char* text = sqlite3_column_text(stmt, c);
                row.push_back(text ? Value(reinterpret_cast<const char*>(text)) : std::nullopt);
            }
            rows->push_back(std::move(row));
        }
        if (rc != SQLITE_DONE)
            return fail(rc, stmt);
        sqlite3_finalize(stmt);
        return SQLITE_OK;
    }
    int fail(int rc, sqlite3_stmt* stmt)
    {
        error_ = sqlite3_errmsg(db_);
        lastCode_ = rc;
        misconfigured_ = misconfiguration(rc);
        sqlite3_finalize(stmt);
        return rc;
    }

    sqlite3* db_;
    const int waitMs_;
    std::string error_;
    int lastCode_ = SQLITE_OK;
    bool misconfigured_ = false;
};

sqlite3* openFile(const std::string& name, int flags, DbError& error)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        error.text = db ? sqlite3_errmsg(db) : "out of memory";
        error.misconfigured = misconfiguration(rc);
        sqlite3_close_v2(db);
        return nullptr;
    }
    return db;
}

}  // namespace

std::unique_ptr<Database> openSqlite(const std::string& path, const OpenOptions& options, DbError& error)
{
    const int waitMs = options.waitSeconds * 1000;
    auto failed = [&](const std::string& why, bool misconfigured) -> std::unique_ptr<Database> {
        error.text = "cannot use " + path + ": " + why;
        error.misconfigured = misconfigured;
        return nullptr;
    };
    // SQLite would open a FIFO or a device and then wait on it or read it as a database.
    if (const std::string what = nonFileAt(path); !what.empty())
        return failed("it is " + what + ", not a database file", true);
    if (options.readOnly) {
        // Nothing created, nothing written: not even the journal mode is touched.
        sqlite3* db = openFile(path, SQLITE_OPEN_READONLY, error);
        if (!db)
            return failed(error.text, error.misconfigured);
        sqlite3_busy_timeout(db, waitMs);
        auto database = std::make_unique<SqliteDatabase>(db, waitMs);
        if (database->exec("SELECT COUNT(*) FROM sqlite_master", {}, nullptr))
            return database;
        // A WAL database in a folder this user may not write, its log checkpointed away: the
        // reader cannot create the shared-memory file it wants. With no log there is nothing
        // newer than the file itself to read.
        std::error_code ec;
        const bool readonlyWal = (database->lastCode() & 0xFF) == SQLITE_READONLY ||
                                 (database->lastCode() & 0xFF) == SQLITE_CANTOPEN;
        if (!readonlyWal || std::filesystem::exists(path + "-wal", ec))
            return failed(database->error(), database->errorIsMisconfiguration());
        database.reset();
        db = openFile("file:" + uriPath(path) + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, error);
        if (!db)
            return failed(error.text, error.misconfigured);
        return std::make_unique<SqliteDatabase>(db, waitMs);
    }
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec)
            return failed("cannot create the folder " + folder.string() + ": " + ec.message(), true);
    }
    sqlite3* db = openFile(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
    if (!db)
        return failed(error.text, error.misconfigured);
    sqlite3_busy_timeout(db, waitMs);
    auto database = std::make_unique<SqliteDatabase>(db, waitMs);
    // A file of something else is left exactly as it was: not even its journal mode changes.
    std::vector<Row> tables;
    if (!database->exec("SELECT name FROM sqlite_master WHERE type = 'table'", {}, &tables))
        return failed(database->error(), database->errorIsMisconfiguration());
    if (!tables.empty() && !database->hasTable("schema_version"))
        return failed(kNotResultsDatabase, true);
    std::vector<Row> mode;
    // Durable at every commit: a record a station was told is stored survives a power cut.
    if (!database->exec("PRAGMA journal_mode=WAL", {}, &mode) || !database->exec("PRAGMA synchronous=FULL", {}, nullptr) ||
        !database->exec("PRAGMA foreign_keys=ON", {}, nullptr))
        return failed(database->error(), database->errorIsMisconfiguration());
    if (options.bulk &&
        (!database->exec("PRAGMA cache_size=-65536", {}, nullptr) ||
         !database->exec("PRAGMA wal_autocheckpoint=16384", {}, nullptr) ||
         !database->exec("PRAGMA synchronous=NORMAL", {}, nullptr)))
        return failed(database->error(), database->errorIsMisconfiguration());
    return database;
}

std::unique_ptr<Database> openDatabase(const DatabaseUrl& url, const OpenOptions& options, DbError& error)
{
    return url.engine == Engine::Sqlite ? openSqlite(url.target, options, error)
                                        : openPostgres(url.target, options, error);
}

}  // namespace oculant::results
