// The results database on a PostgreSQL server, for a whole line: every station connects with
// libpq and writes its records in transactions of its own.
#include <libpq-fe.h>

#include "results/Database.h"

namespace oculant::results {

namespace {

// Any fixed number: the advisory lock that lets one station at a time create or migrate the
// schema when several start on an empty database.
constexpr const char* kSchemaLockKey = "774411";

// libpq wants $1, $2...; the store writes '?' as SQLite does. No statement of the store has a
// '?' inside a literal.
std::string numbered(const std::string& sql)
{
    std::string out;
    int n = 0;
    for (char c : sql) {
        if (c == '?')
            out += "$" + std::to_string(++n);
        else
            out += c;
    }
    return out;
}

std::string trimmedMessage(const char* text)
{
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

class PostgresDatabase : public Database {
public:
    explicit PostgresDatabase(PGconn* conn) : conn_(conn) {}
    ~PostgresDatabase() override { PQfinish(conn_); }

    bool exec(const std::string& sql, const std::vector<Value>& params, std::vector<Row>* rows) override
    {
        if (rows)
            rows->clear();
        std::vector<const char*> values;
        for (const Value& v : params)
            values.push_back(v ? v->c_str() : nullptr);
        PGresult* result = PQexecParams(conn_, numbered(sql).c_str(), int(values.size()), nullptr, values.data(),
                                        nullptr, nullptr, 0);
        const ExecStatusType status = PQresultStatus(result);
        const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        if (!ok)
            error_ = trimmedMessage(result ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
        else if (rows && status == PGRES_TUPLES_OK)
            for (int r = 0; r < PQntuples(result); ++r) {
                Row row;
                for (int c = 0; c < PQnfields(result); ++c)
                    row.push_back(PQgetisnull(result, r, c) ? std::nullopt : Value(PQgetvalue(result, r, c)));
                rows->push_back(std::move(row));
            }
        PQclear(result);
        return ok;
    }
    bool begin() override { return exec("BEGIN", {}, nullptr); }
    bool beginRead() override { return exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", {}, nullptr); }
    bool lockSchema() override
    {
        return exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLockKey + ")", {}, nullptr);
    }
    const std::string& error() const override { return error_; }

private:
    PGconn* conn_;
    std::string error_;
};

}  // namespace

std::unique_ptr<Database> openPostgres(const std::string& uri, std::string& error)
{
    // A server that does not answer must not hold the station up for long: the record is
    // spooled instead. A connect_timeout in the URI itself comes later and wins.
    const char* keys[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {"10", "oculant", uri.c_str(), nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        error = "cannot connect to " + shownUrl(uri) + ": " +
                (conn ? trimmedMessage(PQerrorMessage(conn)) : std::string("out of memory"));
        PQfinish(conn);
        return nullptr;
    }
    std::unique_ptr<Database> database = std::make_unique<PostgresDatabase>(conn);
    // Warnings (a table that already exists) are not the station's business.
    database->exec("SET client_min_messages = warning");
    return database;
}

}  // namespace oculant::results
