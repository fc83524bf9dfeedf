// The results database in one SQLite file: several stations' processes on one PC write to it
// at once. WAL lets readers go on while one writes; writers queue on the busy time-out.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "results/Database.h"

namespace oculant::results {

namespace {

// A station waits this long for another's transaction before it gives up (and spools).
constexpr int kBusyTimeoutMs = 30000;

class SqliteDatabase : public Database {
public:
    explicit SqliteDatabase(sqlite3* db) : db_(db) {}
    ~SqliteDatabase() override { sqlite3_close_v2(db_); }

    bool exec(const std::string& sql, const std::vector<Value>& params, std::vector<Row>* rows) override
    {
        // The busy handler covers nearly every wait; a WAL being recovered by another process
        // answers SQLITE_BUSY at once, so the statement is tried again for as long.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
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
    const std::string& error() const override { return error_; }

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
                                               SQLITE_TRANSIENT)
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
        sqlite3_finalize(stmt);
        return rc;
    }

    sqlite3* db_;
    std::string error_;
};

}  // namespace

std::unique_ptr<Database> openSqlite(const std::string& path, std::string& error)
{
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ec);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        error = "cannot open " + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    std::unique_ptr<Database> database = std::make_unique<SqliteDatabase>(db);
    std::vector<Row> mode;
    // Durable at every commit: a record a station was told is stored survives a power cut.
    if (!database->exec("PRAGMA journal_mode=WAL", {}, &mode) || !database->exec("PRAGMA synchronous=FULL") ||
        !database->exec("PRAGMA foreign_keys=ON")) {
        error = "cannot use " + path + ": " + database->error();
        return nullptr;
    }
    return database;
}

std::unique_ptr<Database> openDatabase(const DatabaseUrl& url, std::string& error)
{
    return url.engine == Engine::Sqlite ? openSqlite(url.target, error) : openPostgres(url.target, error);
}

}  // namespace oculant::results
