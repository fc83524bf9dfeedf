// The results database on a PostgreSQL server, for a whole line: every station connects with
// libpq and writes its records in transactions of its own.
#include <algorithm>
#include <cstring>

#include "results/Database.h"
#include "results/LibPq.h"

namespace oculant::results {

namespace {

// Any fixed number: the advisory lock that lets one station at a time create or migrate the
// schema when several start on an empty database.
constexpr const char* kSchemaLockKey = "774411";
// Rows from which an insert goes by COPY.
constexpr size_t kCopyFromRows = 100;

// Only called once openPostgres has loaded libpq.
const LibPq& pq() { return *libPq(); }

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

// A connection that failed for a reason that may pass: no server there (yet), a network that
// is down, a server starting, stopping or full. Any other refusal (a password, a user or a
// database the server does not know, a pg_hba rule, an option it cannot take) is the URL's.
bool connectionMayMend(const std::string& message)
{
    static const char* const kPassing[] = {
        "Connection refused",         "No such file or directory", "timeout expired",
        "Network is unreachable",     "No route to host",          "could not translate host name",
        "server closed the connection", "Connection reset by peer", "Connection timed out",
        "the database system is starting up", "the database system is shutting down",
        "the database system is not yet accepting connections", "the database system is in recovery mode",
        "too many clients already",   "remaining connection slots are reserved", "Temporary failure in name resolution",
    };
    return std::any_of(std::begin(kPassing), std::end(kPassing),
                       [&](const char* text) { return message.find(text) != std::string::npos; });
}

// SQLSTATE classes of a statement's failure that waiting does not mend: authorisation (28), a
// database or schema that is not there (3D, 3F), syntax or privileges (42), an unsupported
// feature (0A).
bool stateIsMisconfiguration(const char* state)
{
    if (!state || std::strlen(state) < 2)
        return false;
    const std::string cls(state, 2);
    return cls == "28" || cls == "3D" || cls == "3F" || cls == "42" || cls == "0A";
}

class PostgresDatabase : public Database {
public:
    PostgresDatabase(PGconn* conn, std::vector<std::string> secrets) : conn_(conn), secrets_(std::move(secrets)) {}
    ~PostgresDatabase() override { pq().finish(conn_); }

    bool exec(const std::string& sql, const std::vector<Value>& params, std::vector<Row>* rows) override
    {
        if (rows)
            rows->clear();
        std::vector<const char*> values;
        values.reserve(params.size());
        for (const Value& v : params)
            values.push_back(v ? v->c_str() : nullptr);
        PGresult* result = pq().execParams(conn_, numbered(sql).c_str(), int(values.size()), nullptr, values.data(),
                                        nullptr, nullptr, 0);
        const ExecStatusType status = pq().resultStatus(result);
        const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        if (!ok) {
            setError(result);
        } else if (rows && status == PGRES_TUPLES_OK) {
            const int n = pq().ntuples(result), fields = pq().nfields(result);
            rows->reserve(size_t(n));
            for (int r = 0; r < n; ++r) {
                Row row;
                row.reserve(size_t(fields));
                for (int c = 0; c < fields; ++c)
                    row.push_back(pq().getisnull(result, r, c) ? std::nullopt
                                                            : Value(std::string(pq().getvalue(result, r, c),
                                                                                size_t(pq().getlength(result, r, c)))));
                rows->push_back(std::move(row));
            }
        }
        pq().clear(result);
        return ok;
    }
    bool begin() override { return exec("BEGIN", {}, nullptr); }
    bool beginRead() override { return exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", {}, nullptr); }
    bool lockSchema() override
    {
        return exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLockKey + ")", {}, nullptr);
    }
    bool hasTable(const std::string& name) override
    {
        std::vector<Row> rows;
        return exec("SELECT to_regclass(?) IS NOT NULL", {name}, &rows) && !rows.empty() && rows[0][0] == "t";
    }
    bool mayInsert(const std::string& table) override
    {
        std::vector<Row> rows;
        return exec("SELECT has_table_privilege(?, 'INSERT')", {table}, &rows) && !rows.empty() && rows[0][0] == "t";
    }
    const std::string& error() const override { return error_; }
    bool errorIsMisconfiguration() const override { return misconfigured_; }
    std::string recordKeyType() const override { return "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"; }
    size_t maxParameters() const override { return 65535; }
    // Autovacuum would come to it in its time; the queries right after an import cannot wait.
    bool refreshStatistics() override { return exec("ANALYZE test_record, phase, measurement, attachment", {}, nullptr); }

    // COPY: the rows as text in one stream, no statement to parse and plan per thousand rows.
    bool insertRows(const std::string& table, const std::vector<std::string>& columns,
                    std::vector<Value>&& values) override
    {
        // A station's one record goes as one INSERT a table: a COPY takes two round trips.
        if (values.size() / columns.size() < kCopyFromRows)
            return Database::insertRows(table, columns, std::move(values));
        std::string sql = "COPY " + table + " (";
        for (size_t c = 0; c < columns.size(); ++c)
            sql += (c ? ", " : "") + columns[c];
        sql += ") FROM STDIN";
        PGresult* start = pq().exec(conn_, sql.c_str());
        const bool copying = pq().resultStatus(start) == PGRES_COPY_IN;
        if (!copying)
            setError(start);
        pq().clear(start);
        if (!copying)
            return false;
        std::string data;
        bool sent = true;
        for (size_t i = 0; i < values.size() && sent; ++i) {
            appendCopyField(data, values[i]);
            data += (i + 1) % columns.size() == 0 ? '\n' : '\t';
            if (data.size() > 1 << 20 || i + 1 == values.size()) {
                sent = pq().putCopyData(conn_, data.data(), int(data.size())) == 1;
                data.clear();
            }
        }
        pq().putCopyEnd(conn_, sent ? nullptr : "the rows could not be sent");
        bool ok = sent;
        while (PGresult* result = pq().getResult(conn_)) {
            if (pq().resultStatus(result) != PGRES_COMMAND_OK) {
                setError(result);
                ok = false;
            }
            pq().clear(result);
        }
        if (!sent && error_.empty())
            error_ = redacted(trimmedMessage(pq().errorMessage(conn_)), secrets_);
        return ok;
    }

private:
    void setError(PGresult* result)
    {
        error_ = redacted(trimmedMessage(result ? pq().resultErrorMessage(result) : pq().errorMessage(conn_)), secrets_);
        misconfigured_ = pq().status(conn_) == CONNECTION_OK &&
                         stateIsMisconfiguration(result ? pq().resultErrorField(result, PG_DIAG_SQLSTATE) : nullptr);
    }
    // A value in COPY's text form: \N for NULL, the separators and the backslash escaped.
    static void appendCopyField(std::string& out, const Value& v)
    {
        if (!v) {
            out += "\\N";
            return;
        }
        for (char c : *v) {
            switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
            }
        }
    }

    PGconn* conn_;
    const std::vector<std::string> secrets_;
    std::string error_;
    bool misconfigured_ = false;
};

}  // namespace

std::unique_ptr<Database> openPostgres(const std::string& uri, const OpenOptions& options, DbError& error)
{
    std::string why;
    if (!libPq(&why)) {
        error.text = why;
        error.misconfigured = true;
        return nullptr;
    }
    const std::vector<std::string> secrets = passwordsOf(uri);
    // A server that does not answer must not hold the station up for long: the record is
    // spooled instead. A connect_timeout in the URI itself comes later and wins.
    const std::string connectTimeout = std::to_string(std::clamp(options.waitSeconds, 1, kConnectTimeoutSeconds));
    // Bounded waits once connected: a lock another session holds, a statement that runs away.
    // Warnings (a table that already exists) are not the station's business. A query's
    // connection cannot write at all. Sent with the connection, so no round trip of their own;
    // an options= in the URI replaces them.
    // A statement may wait its time for a lock and then take as long again to run: a wait
    // behind another session is told as the lock it is.
    const std::string wait = std::to_string(options.waitSeconds) + "s";
    const std::string run = std::to_string(2 * options.waitSeconds) + "s";
    std::string settings = "-c client_min_messages=warning -c lock_timeout=" + wait + " -c statement_timeout=" + run;
    if (options.readOnly)
        settings += " -c default_transaction_read_only=on";
    const char* keys[] = {"connect_timeout", "application_name", "options", "dbname", nullptr};
    const char* values[] = {connectTimeout.c_str(), "oculant", settings.c_str(), uri.c_str(), nullptr};
    PGconn* conn = pq().connectdbParams(keys, values, 1);
    if (!conn || pq().status(conn) != CONNECTION_OK) {
        const std::string message = conn ? trimmedMessage(pq().errorMessage(conn)) : std::string("out of memory");
        error.misconfigured = conn && (pq().connectionNeedsPassword(conn) || !connectionMayMend(message));
        error.text = "cannot connect to " + shownUrl(uri) + ": " + redacted(message, secrets);
        if (conn && pq().connectionNeedsPassword(conn))
            error.text += " (the server wants a password: give it in the URL, PGPASSWORD, ~/.pgpass or PGPASSFILE)";
        pq().finish(conn);
        return nullptr;
    }
    auto database = std::make_unique<PostgresDatabase>(conn, secrets);
    return database;
}

}  // namespace oculant::results
