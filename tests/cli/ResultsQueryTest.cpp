// A line's records in the database: a few thousand of them imported into a SQLite file and into
// a PostgreSQL server (password authentication, started by the test), then queried as a test
// engineer would. The figures are counted here from the records themselves; the two engines
// answer byte for byte alike.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <tuple>

#include <nlohmann/json.hpp>

#include "results/ResultStore.h"
#include "station/RecordJson.h"
#include "tests/cli/StationTestSupport.h"
#include "tests/support/LineRecords.h"
#include "tests/support/ScratchPostgres.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;
using station::TestRecord;
using test::runCli;

// The local day of a UTC time stamp, as a line counts its days.
std::string localDay(const std::string& utc)
{
    std::tm tm{};
    std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour, &tm.tm_min,
                &tm.tm_sec);
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const std::time_t t = timegm(&tm);
    std::tm local{};
    localtime_r(&t, &local);
    char day[16];
    std::strftime(day, sizeof day, "%Y-%m-%d", &local);
    return day;
}

struct Expected {
    long records = 0, passed = 0, serials = 0, passedFirst = 0;
};

// Per station and day, from the records alone: each serial's earliest record (by its start,
// then its uid) decides its first pass.
std::map<std::pair<std::string, std::string>, Expected> expectedSummary(const std::vector<TestRecord>& records)
{
    std::map<std::pair<std::string, std::string>, Expected> rows;
    std::map<std::tuple<std::string, std::string, std::string>, const TestRecord*> first;
    for (const TestRecord& r : records) {
        const auto key = std::make_pair(r.station, localDay(r.started));
        ++rows[key].records;
        rows[key].passed += r.outcome == station::Outcome::Pass;
        const TestRecord*& f = first[{r.station, key.second, r.serial}];
        if (!f || std::tie(r.started, r.uid) < std::tie(f->started, f->uid))
            f = &r;
    }
    for (const auto& [key, r] : first) {
        Expected& e = rows[{std::get<0>(key), std::get<1>(key)}];
        ++e.serials;
        e.passedFirst += r->outcome == station::Outcome::Pass;
    }
    return rows;
}

std::string jsonLines(const std::vector<TestRecord>& records)
{
    std::string text;
    for (const TestRecord& r : records)
        text += station::recordToJson(r).dump() + "\n";
    return text;
}

// Takes a database of today's schema back to version 4, as the tools before the integer record
// keys left it: every child row keyed by its record's uid. The same SQL on both engines.
const char* kBackToUidKeys =
    "CREATE TABLE r4 (uid TEXT PRIMARY KEY, serial TEXT NOT NULL, model TEXT NOT NULL, station TEXT NOT NULL,"
    " operator_name TEXT NOT NULL, plan TEXT NOT NULL, device TEXT NOT NULL, started TEXT NOT NULL,"
    " finished TEXT NOT NULL, outcome TEXT NOT NULL, day TEXT);"
    "INSERT INTO r4 SELECT uid, serial, model, station, operator_name, plan, device, started, finished, outcome,"
    " day FROM test_record;"
    "CREATE TABLE p4 (record_uid TEXT NOT NULL REFERENCES r4 (uid), seq INTEGER NOT NULL, name TEXT NOT NULL,"
    " outcome TEXT NOT NULL, reason TEXT NOT NULL, seconds DOUBLE PRECISION NOT NULL, PRIMARY KEY (record_uid, seq));"
    "INSERT INTO p4 SELECT r.uid, p.seq, p.name, p.outcome, p.reason, p.seconds"
    " FROM phase p JOIN test_record r ON r.id = p.record_id;"
    "CREATE TABLE m4 (record_uid TEXT NOT NULL, phase_seq INTEGER NOT NULL, seq INTEGER NOT NULL, name TEXT NOT NULL,"
    " value_text TEXT NOT NULL, value_number DOUBLE PRECISION, low DOUBLE PRECISION, high DOUBLE PRECISION,"
    " limit_text TEXT NOT NULL, unit TEXT NOT NULL, outcome TEXT NOT NULL, PRIMARY KEY (record_uid, phase_seq, seq),"
    " FOREIGN KEY (record_uid, phase_seq) REFERENCES p4 (record_uid, seq));"
    "INSERT INTO m4 SELECT r.uid, m.phase_seq, m.seq, m.name, m.value_text, m.value_number, m.low, m.high,"
    " m.limit_text, m.unit, m.outcome FROM measurement m JOIN test_record r ON r.id = m.record_id;"
    "CREATE TABLE a4 (record_uid TEXT NOT NULL REFERENCES r4 (uid), seq INTEGER NOT NULL, phase TEXT NOT NULL,"
    " name TEXT NOT NULL, path TEXT NOT NULL, size BIGINT NOT NULL, sha256 TEXT NOT NULL,"
    " PRIMARY KEY (record_uid, seq));"
    "INSERT INTO a4 SELECT r.uid, a.seq, a.phase, a.name, a.path, a.size, a.sha256"
    " FROM attachment a JOIN test_record r ON r.id = a.record_id;"
    "CREATE TABLE l4 (record_uid TEXT NOT NULL, phase_seq INTEGER NOT NULL, levels TEXT NOT NULL,"
    " PRIMARY KEY (record_uid, phase_seq), FOREIGN KEY (record_uid, phase_seq) REFERENCES p4 (record_uid, seq));"
    "INSERT INTO l4 SELECT r.uid, l.phase_seq, l.levels FROM element_levels l JOIN test_record r ON r.id = l.record_id;"
    "DROP TABLE element_levels; DROP TABLE attachment; DROP TABLE measurement; DROP TABLE phase; DROP TABLE test_record;"
    "ALTER TABLE r4 RENAME TO test_record; ALTER TABLE p4 RENAME TO phase; ALTER TABLE m4 RENAME TO measurement;"
    "ALTER TABLE a4 RENAME TO attachment; ALTER TABLE l4 RENAME TO element_levels;"
    "CREATE INDEX test_record_serial_started ON test_record (serial, started);"
    "CREATE INDEX test_record_started_uid ON test_record (started, uid);"
    "CREATE INDEX test_record_station_started ON test_record (station, started);"
    "CREATE INDEX test_record_station_day ON test_record (station, day, serial, started, uid, outcome);"
    "CREATE INDEX measurement_failed ON measurement (record_uid, name) WHERE outcome = 'FAIL';"
    "DELETE FROM schema_version WHERE version >= 5;";

class ResultsQuery : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        records_ = new std::vector<TestRecord>(test::LineRecords({3, 12, 7, 150}).take(3000));
        server_ = new test::ScratchPostgres;
        ASSERT_TRUE(server_->initialised()) << server_->log();
        ASSERT_TRUE(server_->start()) << server_->log();
    }
    static void TearDownTestSuite()
    {
        delete server_;
        delete records_;
    }
    void SetUp() override
    {
        if (!server_ || !server_->initialised())
            GTEST_SKIP() << "no server";
        sqlite_ = "sqlite:" + home_.path() + "/line.sqlite";
    }
    // A fresh database of the server, so that the tests do not see each other's records.
    std::string postgres()
    {
        static int n = 0;
        lastDatabase_ = "q" + std::to_string(++n);
        EXPECT_TRUE(server_->sql("CREATE DATABASE " + lastDatabase_));
        return server_->urlWithPassword(lastDatabase_);
    }
    test::CliRun importInto(const std::string& db, const std::string& file)
    {
        return runCli({"results", "import", file, "--db", db});
    }
    std::string file(const std::string& name, const std::string& text)
    {
        const std::string path = home_.path() + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // What the command printed; the test fails when it did not succeed.
    std::string output(std::vector<std::string> args)
    {
        const test::CliRun r = runCli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    // The counts kept per station and day as the records stored so far say, and the summary
    // read from them the same bytes as the summary counted from the records (which a --since
    // before every record has).
    void expectDayCounts(const std::string& url, const std::vector<TestRecord>& stored, const std::string& when)
    {
        SCOPED_TRACE(when);
        results::DbError openError;
        const auto db = results::openDatabase(*results::parseDatabaseUrl(url), {true}, openError);
        ASSERT_TRUE(db) << openError.text;
        std::vector<results::Row> rows;
        ASSERT_TRUE(db->exec("SELECT station, day, records, passed, serials, passed_first FROM day_count", {}, &rows));
        std::map<std::pair<std::string, std::string>, std::string> kept, counted;
        for (const results::Row& row : rows)
            kept[{*row[0], *row[1]}] = *row[2] + " " + *row[3] + " " + *row[4] + " " + *row[5];
        for (const auto& [key, e] : expectedSummary(stored))
            counted[key] = std::to_string(e.records) + " " + std::to_string(e.passed) + " " +
                           std::to_string(e.serials) + " " + std::to_string(e.passedFirst);
        EXPECT_EQ(kept, counted);
        for (const std::vector<std::string>& summary : {std::vector<std::string>{"results", "summary", "--csv"},
                                                         {"results", "summary", "--json", "--station", "line-2"}}) {
            std::vector<std::string> fromCounts = summary, fromRecords = summary;
            fromCounts.insert(fromCounts.end(), {"--db", url});
            fromRecords.insert(fromRecords.end(), {"--since", "2000-01-01", "--db", url});
            EXPECT_EQ(output(fromCounts), output(fromRecords));
        }
    }

    static std::vector<TestRecord>* records_;
    static test::ScratchPostgres* server_;
    test::ScratchDataHome home_;
    std::string sqlite_, lastDatabase_;
};

std::vector<TestRecord>* ResultsQuery::records_ = nullptr;
test::ScratchPostgres* ResultsQuery::server_ = nullptr;

TEST_F(ResultsQuery, bothEnginesCountTheLineAsTheRecordsSayAndAnswerAlike)
{
    // Each signal phase keeps element levels (of a small layout here), each record its own.
    std::vector<TestRecord> records = *records_;
    for (size_t i = 0; i < records.size(); ++i)
        for (station::PhaseRecord& p : records[i].phases)
            if (p.name == "signal")
                p.levels = "1;X=3:0,1;Y=2:0;XE=" + std::to_string(i % 256) + ",199.5,;XR=1,2.25,3;YE=4,5;YR=6,7";
    const std::string lines = file("line.jsonl", jsonLines(records));
    const std::string pg = postgres();
    for (const std::string& db : {sqlite_, pg}) {
        const test::CliRun r = importInto(db, lines);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, std::to_string(records.size()) + " stored, 0 already stored (of " +
                             std::to_string(records.size()) + " read from " + lines + ")\n");
    }

    // A frame that failed and passed on retest the same day has not passed first time: there
    // are such frames here, and the expected figures count them so.
    std::map<std::string, std::vector<const TestRecord*>> bySerial;
    for (const TestRecord& r : records)
        bySerial[r.serial].push_back(&r);
    int retestedThenPassed = 0;
    for (const auto& [serial, rs] : bySerial)
        retestedThenPassed += rs.size() > 1 && rs.front()->outcome != station::Outcome::Pass &&
                              rs.back()->outcome == station::Outcome::Pass &&
                              localDay(rs.front()->started) == localDay(rs.back()->started);
    ASSERT_GT(retestedThenPassed, 10);

    const auto expected = expectedSummary(records);
    const std::string summary = output({"results", "summary", "--json", "--db", sqlite_});
    const nlohmann::json rows = nlohmann::json::parse(summary);
    ASSERT_EQ(rows.size(), expected.size());
    for (const auto& row : rows) {
        const auto it = expected.find({row["station"], row["day"]});
        ASSERT_NE(it, expected.end()) << row.dump();
        EXPECT_EQ(row["records"], it->second.records) << row.dump();
        EXPECT_EQ(row["passed"], it->second.passed) << row.dump();
        EXPECT_EQ(row["serials"], it->second.serials) << row.dump();
        EXPECT_EQ(row["passedFirstTime"], it->second.passedFirst) << row.dump();
    }
    EXPECT_EQ(output({"results", "summary", "--json", "--db", pg}), summary);

    // One serial's records, newest first, whole.
    const auto& [serial, ofSerial] = *std::find_if(bySerial.begin(), bySerial.end(),
                                                   [](const auto& s) { return s.second.size() == 3; });
    const std::string serialJson = output({"results", "--serial", serial, "--json", "--db", sqlite_});
    const nlohmann::json got = nlohmann::json::parse(serialJson);
    ASSERT_EQ(got.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(got[i], nlohmann::json(station::recordToJson(*ofSerial[2 - i])));
    EXPECT_EQ(output({"results", "--serial", serial, "--json", "--db", pg}), serialJson);

    // A field check's base: the first passing record of the serial, not its earlier failure.
    const auto retested = std::find_if(bySerial.begin(), bySerial.end(), [](const auto& s) {
        return s.second.size() > 1 && s.second.back()->outcome == station::Outcome::Pass;
    });
    ASSERT_NE(retested, bySerial.end());
    const TestRecord& firstPass = *retested->second.back();
    for (const std::string& db : {sqlite_, pg}) {
        SCOPED_TRACE(db);
        std::string error;
        const auto store = results::ResultStore::openForReading(*results::parseDatabaseUrl(db), error);
        ASSERT_TRUE(store) << error;
        const auto base = store->firstPassLevels(retested->first, error);
        ASSERT_TRUE(base) << error;
        EXPECT_EQ(base->uid, firstPass.uid);
        EXPECT_EQ(base->levels, firstPass.phases[1].levels);
        EXPECT_FALSE(store->firstPassLevels("LN-never-tested", error));
        EXPECT_EQ(error, "");
    }

    // A station's failures since a day, and the newest few: the same uids as counted here.
    const std::string since = records[0].started.substr(0, 10);
    std::vector<std::pair<std::string, std::string>> failures;
    for (const TestRecord& r : records)
        if (r.station == "line-2" && r.outcome == station::Outcome::Fail && r.started >= since)
            failures.push_back({r.started, r.uid});
    std::sort(failures.rbegin(), failures.rend());
    ASSERT_GT(failures.size(), 5u);
    for (const std::string& db : {sqlite_, pg}) {
        const nlohmann::json fails = nlohmann::json::parse(output(
            {"results", "--station", "line-2", "--since", since + "T00:00Z", "--outcome", "FAIL", "--json", "--db", db}));
        ASSERT_EQ(fails.size(), failures.size());
        for (size_t i = 0; i < fails.size(); ++i)
            EXPECT_EQ(fails[i]["uid"], failures[i].second);
        const nlohmann::json newest = nlohmann::json::parse(output({"results", "--limit", "7", "--json", "--db", db}));
        ASSERT_EQ(newest.size(), 7u);
    }
    for (const std::vector<std::string>& query :
         {std::vector<std::string>{"results", "export"}, {"results", "summary", "--csv"},
          {"results", "--csv", "--station", "line-3", "--outcome", "FAIL"}, {"results", "--limit", "600", "--json"}}) {
        std::vector<std::string> onSqlite = query, onPostgres = query;
        onSqlite.insert(onSqlite.end(), {"--db", sqlite_});
        onPostgres.insert(onPostgres.end(), {"--db", pg});
        EXPECT_EQ(output(onSqlite), output(onPostgres)) << query[1];
    }
}

TEST_F(ResultsQuery, exportAndImportMoveEveryRecordOnceAndRefuseAMalformedLineWithItsNumber)
{
    std::vector<TestRecord> records(records_->begin(), records_->begin() + 1500);
    // Texts with every character a bulk copy must escape.
    records[5].phases[0].reason = "tab\there, line\nbreak, back\\slash \\N, return\r, 工位";
    records[5].operatorName = "\\N";
    const std::string lines = file("line.jsonl", jsonLines(records));
    ASSERT_EQ(importInto(sqlite_, lines).status, 0);
    // The station's file to the line's server and back: every record once, the same bytes.
    const std::string exported = file("exported.jsonl", output({"results", "export", "--db", sqlite_}));
    const std::string pg = postgres();
    ASSERT_EQ(importInto(pg, exported).status, 0);
    test::CliRun again = importInto(pg, exported);
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "0 stored, 1500 already stored (of 1500 read from " + exported + ")\n");
    EXPECT_EQ(output({"results", "export", "--db", pg}), test::readFile(exported));

    // What results --json prints imports too.
    const std::string array = file("array.json", output({"results", "--limit", "20", "--json", "--db", pg}));
    const std::string fresh = "sqlite:" + home_.path() + "/fresh.sqlite";
    test::CliRun r = importInto(fresh, array);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(output({"results", "--json", "--db", fresh}), test::readFile(array));

    // A damaged line: refused with its number, and nothing of the file is stored.
    std::string damaged = jsonLines({records[0], records[1], records[2]});
    damaged.insert(damaged.find('\n') + 1, "{\"uid\": \"x\"}\n");
    const std::string other = "sqlite:" + home_.path() + "/other.sqlite";
    r = importInto(other, file("damaged.jsonl", damaged));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("line 2: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was imported"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(home_.path() + "/other.sqlite"));
    // Two bad lines, one in each half the check shares out (even and odd lines): the first is named.
    std::string twice = jsonLines({records[0], records[1], records[2], records[3], records[4]});
    auto lineStart = [&](int n) {
        size_t at = 0;
        for (int i = 1; i < n; ++i)
            at = twice.find('\n', at) + 1;
        return at;
    };
    twice.insert(lineStart(6), "not json\n");
    twice.insert(lineStart(4), "[1, 2]\n");
    r = importInto(other, file("twice.jsonl", twice));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("line 4: "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("line 7"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(home_.path() + "/other.sqlite"));
}

TEST_F(ResultsQuery, aSpreadsheetShowsACellThatLooksLikeAFormulaAndNeverRunsIt)
{
    TestRecord r = (*records_)[0];
    r.station = "=HYPERLINK(\"http://x\")";
    r.serial = "+1";
    r.operatorName = "@op";
    r.model = "-2";
    ASSERT_EQ(importInto(sqlite_, file("r.jsonl", jsonLines({r}))).status, 0);
    const std::string csv = output({"results", "--csv", "--db", sqlite_});
    EXPECT_NE(csv.find(",'+1,'-2,\"'=HYPERLINK(\"\"http://x\"\")\",'@op,"), std::string::npos) << csv;
    const std::string summary = output({"results", "summary", "--csv", "--db", sqlite_});
    EXPECT_NE(summary.find("\n\"'=HYPERLINK(\"\"http://x\"\")\","), std::string::npos) << summary;
}

// A file of sqlite3's own with a table of its own, and its bytes.
std::string unrelatedDatabase(const std::string& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE invoices (id INTEGER, total REAL); INSERT INTO invoices VALUES (1, 9.5);", nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);
    return test::readFile(path);
}

TEST_F(ResultsQuery, queriesNeverWriteAndAnUnrelatedFileIsLeftAsItWas)
{
    const std::string path = home_.path() + "/invoices.sqlite";
    const std::string bytes = unrelatedDatabase(path);
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"results"}, {"results", "summary"}, {"results", "export"}}) {
        std::vector<std::string> args = command;
        args.insert(args.end(), {"--db", "sqlite:" + path});
        const test::CliRun r = runCli(args);
        EXPECT_EQ(r.status, 1) << command.back();
        EXPECT_NE(r.err.find("not an Oculant results database"), std::string::npos) << r.err;
    }
    // Nor does a test write into it: refused before the frame is touched.
    const test::CliRun r = runCli({"--virtual-frame", "--simulated-time", "test", "--db", "sqlite:" + path});
    EXPECT_EQ(r.status, 64) << r.err;
    EXPECT_NE(r.err.find("nothing was tested"), std::string::npos) << r.err;
    EXPECT_EQ(test::readFile(path), bytes);
    EXPECT_FALSE(fs::exists(path + "-wal"));
    EXPECT_FALSE(fs::exists(path + "-journal"));
    EXPECT_FALSE(fs::exists(home_.spool()));

    // A mistyped path is not an empty line: said, and not created.
    const test::CliRun missing = runCli({"results", "--db", "sqlite:" + home_.path() + "/typo.sqlite"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no results database at " + home_.path() + "/typo.sqlite"), std::string::npos);
    EXPECT_FALSE(fs::exists(home_.path() + "/typo.sqlite"));

    // On the server a query creates no table either.
    const std::string pg = postgres();
    const test::CliRun q = runCli({"results", "summary", "--db", pg});
    EXPECT_EQ(q.status, 1);
    EXPECT_NE(q.err.find("not an Oculant results database"), std::string::npos) << q.err;
    EXPECT_TRUE(server_->sql("DO \\$\\$ BEGIN IF to_regclass('schema_version') IS NOT NULL THEN RAISE 'created'; "
                             "END IF; END \\$\\$",
                             lastDatabase_));
}

// The program as a station runs it: the libraries the dynamic loader opened for one query.
std::string librariesLoaded(const std::vector<std::string>& args, const std::string& scratch)
{
    std::string command = "LD_DEBUG=files LD_DEBUG_OUTPUT=" + scratch + "/loader " OCULANT_BUILD_DIR "/oculant-cli";
    for (const std::string& a : args)
        command += " '" + a + "'";
    for (const fs::directory_entry& e : fs::directory_iterator(scratch))
        if (e.path().filename().string().rfind("loader", 0) == 0)
            fs::remove(e.path());
    EXPECT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
    std::string said;
    for (const fs::directory_entry& e : fs::directory_iterator(scratch))
        if (e.path().filename().string().rfind("loader", 0) == 0)
            said += test::readFile(e.path().string());
    return said;
}

TEST_F(ResultsQuery, aQueryOfASqliteFileNeverLoadsThePostgresLibraries)
{
    ASSERT_EQ(importInto(sqlite_, file("r.jsonl", jsonLines({(*records_)[0], (*records_)[1]}))).status, 0);
    const std::string pg = postgres();
    ASSERT_EQ(importInto(pg, file("r.jsonl", jsonLines({(*records_)[0]}))).status, 0);
    const std::string scratch = home_.path() + "/ld";
    fs::create_directories(scratch);
    const std::string sqlite = librariesLoaded({"results", "--serial", (*records_)[0].serial, "--db", sqlite_}, scratch);
    EXPECT_NE(sqlite.find("libsqlite3"), std::string::npos) << sqlite;
    for (const char* library : {"libpq", "libkrb5", "libldap", "libgnutls"})
        EXPECT_EQ(sqlite.find(library), std::string::npos) << library << " loaded for a SQLite query";
    EXPECT_NE(librariesLoaded({"results", "summary", "--db", pg}, scratch).find("libpq.so.5"), std::string::npos);
}

TEST_F(ResultsQuery, aWalDatabaseInAFolderTheUserMayNotWriteIsRead)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to run the query as another user";
    // The other user must reach the program and its language file (a clone in a 0700 folder
    // does not let it).
    if (std::system(("setpriv --reuid=nobody --regid=nogroup --clear-groups test -r " OCULANT_BUILD_DIR "/lan.ini -a -x " +
                     std::string(test::kCliProgram))
                        .c_str()) != 0)
        GTEST_SKIP() << "the build folder is not readable by another user";
    // A station's folder: root's, readable by all, writable by root only.
    const std::string folder = "/tmp/oculant-ro-" + std::to_string(::getpid());
    fs::create_directories(folder);
    ::chmod(folder.c_str(), 0755);
    const std::string db = "sqlite:" + folder + "/results.sqlite";
    ASSERT_EQ(importInto(db, file("r.jsonl", jsonLines({(*records_)[0], (*records_)[1]}))).status, 0);
    ASSERT_FALSE(fs::exists(folder + "/results.sqlite-wal"));  // checkpointed away at the close
    const std::string out = home_.path() + "/out.txt";
    ::chmod(home_.path().c_str(), 0777);
    const std::string command = "setpriv --reuid=nobody --regid=nogroup --clear-groups " + std::string(test::kCliProgram) +
                                " results --json --db " + db + " >" + out + " 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << test::readFile(out);
    const nlohmann::json got = nlohmann::json::parse(test::readFile(out), nullptr, false);
    EXPECT_EQ(got.size(), 2u) << test::readFile(out);
    EXPECT_EQ(fs::directory_iterator(folder) == fs::directory_iterator(), false);
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename());
    EXPECT_EQ(names, std::set<std::string>{"results.sqlite"});
    fs::remove_all(folder);
}

TEST_F(ResultsQuery, anOlderSchemaIsReadAfterItsMigrationWithEveryRecordsDay)
{
    // A database as the first version of the tool wrote it: no day column.
    const std::string path = home_.path() + "/v1.sqlite";
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE schema_version (version INTEGER NOT NULL); INSERT INTO schema_version VALUES (1);"
                 "CREATE TABLE test_record (uid TEXT PRIMARY KEY, serial TEXT NOT NULL, model TEXT NOT NULL,"
                 " station TEXT NOT NULL, operator_name TEXT NOT NULL, plan TEXT NOT NULL, device TEXT NOT NULL,"
                 " started TEXT NOT NULL, finished TEXT NOT NULL, outcome TEXT NOT NULL);"
                 "CREATE INDEX test_record_serial ON test_record (serial);"
                 "CREATE INDEX test_record_started ON test_record (started);"
                 "CREATE TABLE phase (record_uid TEXT, seq INTEGER, name TEXT, outcome TEXT, reason TEXT,"
                 " seconds DOUBLE PRECISION, PRIMARY KEY (record_uid, seq));"
                 "CREATE TABLE measurement (record_uid TEXT, phase_seq INTEGER, seq INTEGER, name TEXT,"
                 " value_text TEXT, value_number DOUBLE PRECISION, low DOUBLE PRECISION, high DOUBLE PRECISION,"
                 " limit_text TEXT, unit TEXT, outcome TEXT, PRIMARY KEY (record_uid, phase_seq, seq));"
                 "CREATE TABLE attachment (record_uid TEXT, seq INTEGER, phase TEXT, name TEXT, path TEXT,"
                 " size BIGINT, sha256 TEXT, PRIMARY KEY (record_uid, seq));"
                 "INSERT INTO test_record VALUES ('a1', 'S1', 'VF-55', 'st', 'op', 'p', 'd',"
                 " '2026-03-01T10:00:00.000Z', '2026-03-01T10:00:20.000Z', 'FAIL');"
                 "INSERT INTO test_record VALUES ('a2', 'S1', 'VF-55', 'st', 'op', 'p', 'd',"
                 " '2026-03-01T10:30:00.000Z', '2026-03-01T10:30:20.000Z', 'PASS');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const std::string url = "sqlite:" + path;
    test::CliRun r = runCli({"results", "summary", "--db", url});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("older than this tool's " + std::to_string(results::kSchemaVersion) +
                         ": bring it up to date with 'oculant-cli results migrate"),
              std::string::npos)
        << r.err;
    r = runCli({"results", "migrate", "--db", url});
    EXPECT_EQ(r.status, 0) << r.err;
    const nlohmann::json rows = nlohmann::json::parse(output({"results", "summary", "--json", "--db", url}));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["day"], localDay("2026-03-01T10:00:00.000Z"));
    EXPECT_EQ(rows[0]["records"], 2);
    EXPECT_EQ(rows[0]["passedFirstTime"], 0);
}

TEST_F(ResultsQuery, theCountsPerDayFollowEveryWriteWhicheverOrderTheRecordsComeIn)
{
    // Three stations over four days, a frame in three failing, imported out of order in three
    // batches: a frame's retest may come in before its first test.
    std::vector<TestRecord> records = test::LineRecords({3, 4, 7, 330}).take(900);
    std::shuffle(records.begin(), records.end(), std::mt19937(5));
    const auto part = [&](size_t from, size_t to) {
        return std::vector<TestRecord>(records.begin() + std::ptrdiff_t(from), records.begin() + std::ptrdiff_t(to));
    };
    std::vector<TestRecord> stored = part(0, 300), third = part(600, records.size());
    third.insert(third.end(), stored.begin(), stored.begin() + 20);  // stored already: not counted again
    // A frame tested twice in the same millisecond, failed then passed (the uids say so), its
    // retest stored first by the station.
    TestRecord failed = records[0], passed = records[0];
    failed.serial = passed.serial = "TIE-1";
    failed.station = passed.station = "line-2";
    failed.uid = std::string(31, '0') + "1";
    passed.uid = std::string(31, '0') + "2";
    failed.outcome = station::Outcome::Fail;
    passed.outcome = station::Outcome::Pass;

    for (const std::string& db : {sqlite_, postgres()}) {
        SCOPED_TRACE(db);
        std::vector<TestRecord> now = stored;
        ASSERT_EQ(importInto(db, file("first.jsonl", jsonLines(now))).status, 0);
        expectDayCounts(db, now, "first import");
        std::string error;
        const auto store = results::ResultStore::open(*results::parseDatabaseUrl(db), error);
        ASSERT_TRUE(store) << error;
        for (const TestRecord* r : {&passed, &failed}) {
            ASSERT_TRUE(store->write(*r, error)) << error;
            now.push_back(*r);
            expectDayCounts(db, now, "stored " + r->uid);
        }
        ASSERT_EQ(importInto(db, file("second.jsonl", jsonLines(part(300, 600)))).status, 0);
        const test::CliRun r = importInto(db, file("third.jsonl", jsonLines(third)));
        EXPECT_EQ(r.out.rfind(std::to_string(records.size() - 600) + " stored, 20 already stored", 0), 0u) << r.out;
        now.insert(now.end(), records.begin() + 300, records.end());
        expectDayCounts(db, now, "all imported");
    }
    // The summary does read the counts: figures changed behind its back are what it shows.
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open((home_.path() + "/line.sqlite").c_str(), &handle), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(handle, "UPDATE day_count SET records = records + 1000", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);
    for (const auto& row : nlohmann::json::parse(output({"results", "summary", "--json", "--db", sqlite_})))
        EXPECT_GE(row["records"], 1000) << row.dump();
}

TEST_F(ResultsQuery, twoStationsStoringTheSameFramesDayAtOnceAreBothCounted)
{
    // A session holds the counts while two stations store a new frame's first test and its
    // retest: both have written their record before either may count it.
    const std::string pg = postgres();
    const results::DatabaseUrl url = *results::parseDatabaseUrl(pg);
    std::string errors[2];
    std::unique_ptr<results::ResultStore> stores[2];
    for (auto& store : stores)
        ASSERT_TRUE(store = results::ResultStore::open(url, errors[0])) << errors[0];
    TestRecord first = (*records_)[0], retest = (*records_)[0];
    first.station = retest.station = "line-2";
    retest.uid = std::string(32, 'b');
    retest.started = station::utcTimestamp(test::LineRecords::kStartMs + 60000);
    first.started = station::utcTimestamp(test::LineRecords::kStartMs);
    first.outcome = station::Outcome::Fail;
    retest.outcome = station::Outcome::Pass;
    results::DbError openError;
    const auto holder = results::openDatabase(url, {}, openError), watcher = results::openDatabase(url, {}, openError);
    ASSERT_TRUE(holder && watcher) << openError.text;
    ASSERT_TRUE(holder->begin() && holder->exec("LOCK TABLE day_count IN SHARE MODE")) << holder->error();
    std::thread a([&] { stores[0]->write(first, errors[0]); }), b([&] { stores[1]->write(retest, errors[1]); });
    std::vector<results::Row> waiting;
    for (int i = 0; i < 1000 && (waiting.empty() || waiting[0][0] != "2"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        watcher->exec("SELECT COUNT(*) FROM pg_locks WHERE relation = 'day_count'::regclass AND NOT granted", {}, &waiting);
    }
    EXPECT_TRUE(!waiting.empty() && waiting[0][0] == "2") << watcher->error();
    EXPECT_TRUE(holder->commit()) << holder->error();
    a.join();
    b.join();
    EXPECT_EQ(errors[0] + errors[1], "");
    expectDayCounts(pg, {first, retest}, "stored while held");
}

TEST_F(ResultsQuery, aDatabaseFromBeforeTheCountsIsReadAsItIsAndMigratedWithThem)
{
    const std::vector<TestRecord> records(records_->begin(), records_->begin() + 1000);
    const std::string pg = postgres(), pgDatabase = lastDatabase_, path = home_.path() + "/line.sqlite";
    // As the tool before the counts per day left it: schema version 2, no table of counts (nor
    // of element levels, which came after them).
    const std::string older = std::string(kBackToUidKeys) +
                              "DROP TABLE element_levels; DROP TABLE day_count; DELETE FROM schema_version WHERE version >= 3;";
    std::map<std::string, std::string> before;
    for (const std::string& db : {sqlite_, pg}) {
        ASSERT_EQ(importInto(db, file("line.jsonl", jsonLines(records))).status, 0);
        before[db] = output({"results", "summary", "--csv", "--db", db});
    }
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &handle), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(handle, older.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
    sqlite3_close(handle);
    ASSERT_TRUE(server_->sql(older, pgDatabase));
    const std::string bytes = test::readFile(path);
    // A query counts the records, and migrates nothing.
    for (const std::string& db : {sqlite_, pg})
        EXPECT_EQ(output({"results", "summary", "--csv", "--db", db}), before[db]);
    EXPECT_EQ(test::readFile(path), bytes);
    EXPECT_TRUE(server_->sql("DO \\$\\$ BEGIN IF to_regclass('day_count') IS NOT NULL OR (SELECT MAX(version) FROM"
                             " schema_version) <> 2 THEN RAISE 'migrated'; END IF; END \\$\\$",
                             pgDatabase));
    // The migration counts what is there, and the next record stored is counted on.
    std::vector<TestRecord> stored = records;
    stored.push_back(records[1]);  // tested again in the same millisecond, its uid after the first's
    stored.back().uid = std::string(32, 'f');
    stored.back().outcome = station::Outcome::Pass;
    for (const std::string& db : {sqlite_, pg}) {
        SCOPED_TRACE(db);
        EXPECT_EQ(output({"results", "migrate", "--db", db}), results::shownUrl(db) + ": schema version " + std::to_string(results::kSchemaVersion) + "\n");
        expectDayCounts(db, records, "migrated");
        EXPECT_EQ(output({"results", "summary", "--csv", "--db", db}), before[db]);
        std::string error;
        const auto store = results::ResultStore::open(*results::parseDatabaseUrl(db), error);
        ASSERT_TRUE(store && store->write(stored.back(), error)) << error;
        expectDayCounts(db, stored, "stored after the migration");
    }
}

TEST_F(ResultsQuery, aDatabaseKeyedByUidsIsReadAsItIsAndMigratedWithEveryRow)
{
    // Records with all their children: phases, measurements, attachments and element levels.
    std::vector<TestRecord> records(records_->begin(), records_->begin() + 1500);
    for (size_t i = 0; i < records.size(); i += 3)
        for (station::PhaseRecord& p : records[i].phases)
            if (p.name == "signal")
                p.levels = "1;X=3:0,1;Y=2:0;XE=" + std::to_string(i) + ",1,;XR=1,2,3;YE=4,5;YR=6,7";
    const std::string pg = postgres(), pgDatabase = lastDatabase_, path = home_.path() + "/line.sqlite";
    const std::string serial = records[42].serial;
    const std::vector<std::vector<std::string>> queries = {
        {"results", "export"},
        {"results", "--json", "--serial", serial},
        {"results", "--csv", "--outcome", "FAIL", "--station", "line-2"},
        {"results", "summary", "--csv", "--since", "2000-01-01"},
    };
    const auto answers = [&](const std::string& db) {
        std::vector<std::string> out;
        for (std::vector<std::string> q : queries) {
            q.insert(q.end(), {"--db", db});
            out.push_back(output(q));
        }
        return out;
    };
    // What a field check finds for a few frames: the first passing record's levels.
    const auto firstPasses = [&](results::ResultStore& store) {
        std::string found, error;
        for (size_t i = 0; i < 60; ++i)
            if (const auto first = store.firstPassLevels(records[i].serial, error))
                found += first->uid + " " + first->levels + "\n";
        return found + error;
    };
    std::map<std::string, std::vector<std::string>> before;
    for (const std::string& db : {sqlite_, pg}) {
        ASSERT_EQ(importInto(db, file("line.jsonl", jsonLines(records))).status, 0);
        before[db] = answers(db);
        std::string error;
        const auto store = results::ResultStore::open(*results::parseDatabaseUrl(db), error);
        ASSERT_TRUE(store) << error;
        before[db].push_back(firstPasses(*store));
        EXPECT_NE(before[db].back().find(";XE="), std::string::npos);
    }
    EXPECT_EQ(before[sqlite_], before[pg]);
    EXPECT_EQ(std::count(before[pg][0].begin(), before[pg][0].end(), '\n'), long(records.size()));
    EXPECT_NE(before[pg][0].find("\"levels\""), std::string::npos);

    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &handle), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(handle, kBackToUidKeys, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
    sqlite3_close(handle);
    ASSERT_TRUE(server_->sql(kBackToUidKeys, pgDatabase));
    for (const std::string& db : {sqlite_, pg}) {
        SCOPED_TRACE(db);
        // Read as it is, every record whole, before the migration ...
        std::vector<std::string> now = answers(db);
        EXPECT_EQ(now, std::vector<std::string>(before[db].begin(), before[db].end() - 1));
        EXPECT_EQ(output({"results", "migrate", "--db", db}),
                  results::shownUrl(db) + ": schema version " + std::to_string(results::kSchemaVersion) + "\n");
        // ... and after it, and the records stored after it are whole too.
        now = answers(db);
        EXPECT_EQ(now, std::vector<std::string>(before[db].begin(), before[db].end() - 1));
        std::string error;
        const auto store = results::ResultStore::open(*results::parseDatabaseUrl(db), error);
        ASSERT_TRUE(store) << error;
        TestRecord again = records[42];
        again.uid = std::string(32, 'e');
        again.started = again.finished = "2031-01-01T00:00:00.000Z";
        ASSERT_TRUE(store->write(again, error)) << error;
        const std::string latest = output({"results", "export", "--serial", serial, "--since", "2031-01-01", "--db", db});
        EXPECT_EQ(latest, station::recordToJson(again).dump() + "\n");
        EXPECT_EQ(firstPasses(*store), before[db].back());
    }
    // The tables are the new ones: the children carry the record's integer key.
    ASSERT_EQ(sqlite3_open(path.c_str(), &handle), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(handle, "SELECT record_id FROM measurement LIMIT 1", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_NE(sqlite3_exec(handle, "SELECT record_uid FROM measurement LIMIT 1", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);
}

TEST_F(ResultsQuery, datesThatAreNoDayOfTheCalendarAreRefused)
{
    for (const char* date : {"2026-02-30", "2026-13-01", "2026-1-5", "2026-01-01T24:00", "yesterday"}) {
        const test::CliRun r = runCli({"results", "--since", date, "--db", sqlite_});
        EXPECT_EQ(r.status, 64) << date;
        EXPECT_NE(r.err.find("--since wants a day of the calendar"), std::string::npos) << r.err;
    }
    EXPECT_EQ(runCli({"results", "--until", "2026-02-29", "--db", sqlite_}).status, 64);  // not a leap year
    EXPECT_EQ(runCli({"results", "--limit", "0", "--db", sqlite_}).status, 64);
}

}  // namespace
}  // namespace oculant
