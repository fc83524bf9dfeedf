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

extern char** environ;

namespace oculant {
namespace {

namespace fs = std::filesystem;
using test::queryRecords;
using test::runCli;

constexpr const char* kCli = OCULANT_BUILD_DIR "/oculant-cli";

// The server's programs, of the newest version installed (Debian keeps them out of the PATH).
std::string postgresBin()
{
    std::string newest = "/usr/lib/postgresql/15/bin";
    int version = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const int v = std::atoi(e.path().filename().c_str());
        if (v > version && fs::exists(e.path() / "bin/initdb")) {
            version = v;
            newest = (e.path() / "bin").string();
        }
    }
    return newest;
}

// Starts the processes at once, then waits for them all; their exit statuses.
std::vector<int> runInParallel(const std::vector<std::vector<std::string>>& commands)
{
    std::vector<pid_t> pids;
    for (const auto& command : commands) {
        std::vector<char*> argv;
        for (const std::string& a : command)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_t pid = -1;
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) == 0)
            pids.push_back(pid);
        posix_spawn_file_actions_destroy(&quiet);
    }
    std::vector<int> statuses;
    for (pid_t pid : pids) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        statuses.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return statuses;
}

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

// A throwaway PostgreSQL server in a scratch folder, reached through a Unix socket there.
class ScratchPostgres {
public:
    ScratchPostgres()
    {
        std::string pattern = "/tmp/oculant-pg-XXXXXX";  // short: a socket path has 107 bytes
        dir_ = ::mkdtemp(pattern.data());
        ::chmod(dir_.c_str(), 0755);
        asUser_ = ::getuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
        if (::getuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            const group* nogroup = ::getgrnam("nogroup");
            if (!nobody || !nogroup || ::chown(dir_.c_str(), nobody->pw_uid, nogroup->gr_gid) != 0)
                return;
        }
        initialised_ = run(bin_ + "/initdb -D " + dir_ + "/data -U oculant --auth=trust "
                           "-E UTF8 --no-sync >" + dir_ + "/initdb.log 2>&1");
    }
    ~ScratchPostgres()
    {
        stop();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    bool initialised() const { return initialised_; }
    bool start()
    {
        running_ = run(bin_ + "/pg_ctl -D " + dir_ + "/data -l " + dir_ + "/server.log -w -o \"-k " +
                       dir_ + " -c listen_addresses='' -c fsync=off\" start >/dev/null 2>&1");
        return running_;
    }
    void stop()
    {
        if (running_)
            run(bin_ + "/pg_ctl -D " + dir_ + "/data -m fast -w stop >/dev/null 2>&1");
        running_ = false;
    }
    std::string url() const { return "postgresql:///postgres?host=" + dir_ + "&user=oculant"; }
    std::string log() const { return test::readFile(dir_ + "/initdb.log") + test::readFile(dir_ + "/server.log"); }

private:
    bool run(const std::string& command) { return std::system((asUser_ + command).c_str()) == 0; }

    const std::string bin_ = postgresBin();
    std::string dir_, asUser_;
    bool initialised_ = false;
    bool running_ = false;
};

TEST(StationLine, fourStationsAndASpooledRecordReachOnePostgresServer)
{
    test::ScratchDataHome home;
    ScratchPostgres server;
    ASSERT_TRUE(server.initialised()) << server.log();
    ASSERT_TRUE(server.start()) << server.log();

    // An empty database: the four create the schema at once, one of them does it.
    EXPECT_EQ(runInParallel(fourStations(server.url())), (std::vector<int>{0, 0, 0, 0}));
    nlohmann::json records = queryRecords({"--db", server.url()});
    ASSERT_EQ(records.size(), 4u) << server.log();
    for (const auto& r : records)
        EXPECT_EQ(r["phases"][1]["measurements"].size(), 8u);  // the signal phase's, all of them
    EXPECT_FALSE(fs::exists(home.spool()));

    // The server goes down: the faulty frame's record waits in the spool...
    server.stop();
    const std::string faulty = home.path() + "/faulty.ini";
    std::ofstream(faulty) << "[Frame]\nSerial=QA-300\n[Faults]\nDarkBoards=Y:2\n";
    test::CliRun r = runCli({"--virtual-frame=" + faulty, "--simulated-time", "test", "--sweep", "--db", server.url()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("the record is spooled"), std::string::npos) << r.err;
    // ...and reaches the server, back up, with sync, which sends it where it was meant to go.
    ASSERT_TRUE(server.start()) << server.log();
    EXPECT_EQ(queryRecords({"--db", server.url(), "--serial", "QA-300"}).size(), 0u);
    r = runCli({"results", "sync"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 sent, 0 already stored, 0 kept in " + home.spool() + "\n");
    records = queryRecords({"--db", server.url(), "--serial", "QA-300"});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["outcome"], "FAIL");
    EXPECT_NE(records[0]["phases"][2]["reason"].get<std::string>().find("YEmit2"), std::string::npos);
    EXPECT_EQ(queryRecords({"--db", server.url()}).size(), 5u);

    r = runCli({"results", "summary", "--db", server.url(), "--csv"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("line-1,"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace oculant
