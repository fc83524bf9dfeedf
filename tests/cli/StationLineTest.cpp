// Several stations of a line at once: four oculant-cli processes testing in parallel into one
// SQLite file, and into one PostgreSQL server that the test starts for itself (initdb into a
// scratch folder, its socket there, run as an unprivileged user since the server refuses root)
// and stops at the end, whatever happened. A record made while that server is down is spooled
// and reaches it with `results sync`.
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <set>

#include "tests/cli/StationTestSupport.h"
#include "tests/support/ScratchPostgres.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;
using test::queryRecords;
using test::runCli;
using test::runInParallel;

constexpr const char* kCli = OCULANT_BUILD_DIR "/oculant-cli";

std::vector<std::vector<std::string>> fourStations(const std::string& db)
{
    std::vector<std::vector<std::string>> commands;
    for (int i = 1; i <= 4; ++i)
        commands.push_back({kCli, "--virtual-frame", "--simulated-time", "test", "--sweep", "--station",
                            "line-" + std::to_string(i), "--db", db});
    return commands;
}

TEST(StationLine, fourStationsInParallelIntoOneSqliteFileKeepEveryRecord)
{
    test::ScratchDataHome home;
    const std::string db = "sqlite:" + home.path() + "/line.sqlite";
    EXPECT_EQ(runInParallel(fourStations(db)), (std::vector<int>{0, 0, 0, 0}));
    const nlohmann::json records = queryRecords({"--db", db});
    ASSERT_EQ(records.size(), 4u);
    std::set<std::string> stations;
    for (const auto& r : records) {
        stations.insert(r["station"]);
        EXPECT_EQ(r["phases"].size(), 3u);
    }
    EXPECT_EQ(stations.size(), 4u);
    EXPECT_FALSE(fs::exists(home.spool()));
}

TEST(StationLine, fourStationsAndASpooledRecordReachOnePostgresServer)
{
    test::ScratchDataHome home;
    test::ScratchPostgres server;
    ASSERT_TRUE(server.initialised()) << server.log();
    ASSERT_TRUE(server.start()) << server.log();
    const std::string db = server.urlWithPassword();

    // An empty database: the four create the schema at once, one of them does it.
    EXPECT_EQ(runInParallel(fourStations(db)), (std::vector<int>{0, 0, 0, 0}));
    nlohmann::json records = queryRecords({"--db", db});
    ASSERT_EQ(records.size(), 4u) << server.log();
    for (const auto& r : records)
        EXPECT_EQ(r["phases"][1]["measurements"].size(), 8u);  // the signal phase's, all of them
    EXPECT_FALSE(fs::exists(home.spool()));

    // The server goes down: the faulty frame's record waits in the spool...
    server.stop();
    const std::string faulty = home.path() + "/faulty.ini";
    std::ofstream(faulty) << "[Frame]\nSerial=QA-300\n[Faults]\nDarkBoards=Y:2\n";
    test::CliRun r = runCli({"--virtual-frame=" + faulty, "--simulated-time", "test", "--sweep", "--db", db});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("the record is spooled"), std::string::npos) << r.err;
    // ...and reaches the server, back up, with sync, which sends it where it was meant to go;
    // the spool holds no password, so sync finds it in the password file.
    ASSERT_TRUE(server.start()) << server.log();
    EXPECT_EQ(queryRecords({"--db", db, "--serial", "QA-300"}).size(), 0u);
    const std::string passfile = home.path() + "/pgpass";
    std::ofstream(passfile) << "*:*:*:oculant:" << test::ScratchPostgres::kPassword << "\n";
    ::chmod(passfile.c_str(), 0600);
    ::setenv("PGPASSFILE", passfile.c_str(), 1);
    r = runCli({"results", "sync"});
    ::unsetenv("PGPASSFILE");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 sent, 0 already stored, 0 kept in " + home.spool() + "\n");
    records = queryRecords({"--db", db, "--serial", "QA-300"});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["outcome"], "FAIL");
    EXPECT_NE(records[0]["phases"][2]["reason"].get<std::string>().find("YEmit2"), std::string::npos);
    EXPECT_EQ(queryRecords({"--db", db}).size(), 5u);

    r = runCli({"results", "summary", "--db", db, "--csv"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("line-1,"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace oculant
