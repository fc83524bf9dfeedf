// The station against the line's server as it is in the field: a password in the URL (both
// forms), a server that goes away, a URL that cannot work, a table another session holds, and
// a frame whose serial comes from a label. The password is looked for in everything the
// commands printed and wrote, and found nowhere.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "results/Spool.h"
#include "tests/cli/StationTestSupport.h"
#include "tests/support/LineRecords.h"
#include "tests/support/ScratchPostgres.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::runCli;
using test::ScratchPostgres;

std::vector<std::string> onFrame(const std::string& db, std::vector<std::string> more = {})
{
    std::vector<std::string> args{"--virtual-frame", "--simulated-time", "test", "--sweep", "--db", db};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

class StationCredentials : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server_.initialised()) << server_.log();
        ASSERT_TRUE(server_.start()) << server_.log();
    }
    CliRun run(const std::vector<std::string>& args)
    {
        CliRun r = runCli(args);
        printed_ += r.out + r.err;
        return r;
    }
    // Every file under the data folder whose bytes hold the password.
    std::vector<std::string> filesHoldingPassword() const
    {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(home_.path()))
            if (e.is_regular_file() && test::readFile(e.path()).find(ScratchPostgres::kPassword) != std::string::npos)
                found.push_back(e.path());
        return found;
    }

    test::ScratchDataHome home_;
    ScratchPostgres server_;
    std::string printed_;  // everything the commands printed
};

TEST_F(StationCredentials, aPasswordInTheUrlIsUsedAndShownNowhereEvenWhenTheRecordIsSpooled)
{
    const std::string junit = home_.path() + "/junit.xml";
    CliRun r = run(onFrame(server_.urlWithPasswordParameter(), {"--junit", junit}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("stored in postgresql:///postgres?host=" + server_.folder() + "&user=oculant&password=***"),
              std::string::npos)
        << r.err;
    r = run(onFrame(server_.urlWithPassword(), {"--json"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("stored in postgresql://oculant:***@/postgres"), std::string::npos) << r.err;
    r = run({"results", "--db", server_.urlWithPasswordParameter(), "--json"});
    EXPECT_EQ(nlohmann::json::parse(r.out).size(), 2u) << r.err;

    // The server goes down: the record waits in a spool only its user may read, without the
    // password, and the station says so without it.
    server_.stop();
    r = run(onFrame(server_.urlWithPassword()));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("the record is spooled"), std::string::npos) << r.err;
    const std::vector<std::string> spooled = results::spooledFiles(home_.spool());
    ASSERT_EQ(spooled.size(), 1u);
    EXPECT_EQ(fs::status(home_.spool()).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(spooled[0]).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_NE(test::readFile(spooled[0]).find("\"postgresql://oculant@/postgres?host="), std::string::npos);

    // Back up: without a password to be found the record stays; PGPASSWORD finds it.
    ASSERT_TRUE(server_.start());
    r = run({"results", "sync"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("0 sent, 0 already stored, 1 kept"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("password"), std::string::npos) << r.err;
    ::setenv("PGPASSWORD", ScratchPostgres::kPassword, 1);
    r = run({"results", "sync"});
    ::unsetenv("PGPASSWORD");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1 sent, 0 already stored, 0 kept"), std::string::npos) << r.out;
    r = run({"results", "summary", "--db", server_.urlWithPassword(), "--csv"});
    EXPECT_NE(r.out.find(",3,3,1.0000,1,1,1.0000\n"), std::string::npos) << r.out;

    EXPECT_EQ(printed_.find(ScratchPostgres::kPassword), std::string::npos) << printed_;
    EXPECT_EQ(filesHoldingPassword(), std::vector<std::string>{});
    EXPECT_TRUE(fs::exists(junit));
}

TEST_F(StationCredentials, aUrlThatCannotWorkStopsTheStationBeforeTheFrameIsTested)
{
    const std::string wrongPassword = "Wr0ng-Pa55-x";
    const std::string folder = server_.folder();
    const struct {
        std::string url, says;
    } cases[] = {
        {"postgresql://oculant:" + wrongPassword + "@/postgres?host=" + folder, "password authentication failed"},
        {server_.urlWithPassword("nosuchdb"), "\"nosuchdb\" does not exist"},
        {"postgresql://stranger:" + wrongPassword + "@/postgres?host=" + folder, "stranger"},
        {server_.url() + "&port=notaport", "notaport"},
        {"postgresql://[::1/postgres?password=" + wrongPassword, "not a valid PostgreSQL URL"},
        {server_.url(), "the server wants a password"},
    };
    for (const auto& c : cases) {
        const CliRun r = run(onFrame(c.url));
        EXPECT_EQ(r.status, 64) << c.url << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.url;  // no phase ran
        EXPECT_EQ(r.err.find(wrongPassword), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(home_.spool()));
    EXPECT_EQ(printed_.find(ScratchPostgres::kPassword), std::string::npos) << printed_;
}

TEST_F(StationCredentials, aTableAnotherSessionHoldsSpoolsTheRecordWithinTheTimeout)
{
    const std::string db = server_.urlWithPassword();
    ASSERT_EQ(run({"results", "migrate", "--db", db}).status, 0);
    // Another session takes the records' table and keeps it.
    FILE* holder = ::popen(("PGPASSWORD=" + std::string(ScratchPostgres::kPassword) + " psql -q -X \"" + server_.url() +
                            "\" >/dev/null 2>&1")
                               .c_str(),
                           "w");
    ASSERT_TRUE(holder);
    std::fputs("BEGIN;\nLOCK TABLE test_record IN ACCESS EXCLUSIVE MODE;\n", holder);
    std::fflush(holder);
    bool locked = false;
    for (int i = 0; i < 100 && !locked; ++i) {
        locked = !server_.sql("DO \\$\\$ BEGIN IF EXISTS (SELECT 1 FROM pg_locks WHERE mode = 'AccessExclusiveLock' "
                              "AND relation = 'test_record'::regclass) THEN RAISE 'held'; END IF; END \\$\\$");
        if (!locked)
            ::usleep(50000);
    }
    ASSERT_TRUE(locked);
    const CliRun r = run(onFrame(db, {"--db-timeout", "2"}));
    std::fputs("ROLLBACK;\n\\q\n", holder);
    ::pclose(holder);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("lock timeout"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the record is spooled"), std::string::npos) << r.err;
    EXPECT_EQ(results::spooledFiles(home_.spool()).size(), 1u);
}

TEST(StationSerial, theLabelGivesTheSerialAndAFrameWithoutOneIsNotTested)
{
    test::ScratchDataHome home;
    const std::string db = "sqlite:" + home.path() + "/r.sqlite";
    const std::string noSerial = home.path() + "/noserial.ini";
    std::ofstream(noSerial) << "[Frame]\nSerial=none\n";
    auto test = [&](const std::string& profile, std::vector<std::string> more) {
        std::vector<std::string> args{profile.empty() ? "--virtual-frame" : "--virtual-frame=" + profile,
                                      "--simulated-time", "test", "--sweep", "--db", db};
        args.insert(args.end(), more.begin(), more.end());
        return runCli(args);
    };
    CliRun r = test(noSerial, {});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.out.find("the frame reports no serial number: give --serial"), std::string::npos) << r.out;
    r = test(noSerial, {"--serial", "QA-LABEL-1"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    // A frame that says another serial than its label fails identity, both named.
    r = test("", {"--serial", "QA-LABEL-2"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("serial VF-000001, wanted QA-LABEL-2 (from --serial)"), std::string::npos) << r.out;

    const nlohmann::json records = test::queryRecords({"--db", db});
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0]["serial"], "QA-LABEL-2");
    EXPECT_EQ(records[0]["outcome"], "FAIL");
    EXPECT_EQ(records[1]["serial"], "QA-LABEL-1");
    EXPECT_EQ(records[1]["outcome"], "PASS");
    EXPECT_EQ(records[2]["outcome"], "ERROR");
    EXPECT_EQ(records[2]["phases"][0]["reason"], "the frame reports no serial number: give --serial");

    for (const char* option : {"--station", "--operator", "--serial"}) {
        r = test("", {option, ""});
        EXPECT_EQ(r.status, 64) << option;
    }
    // A JUnit file that cannot be written is said before the test, not after it.
    r = test("", {"--junit", home.path() + "/no/such/folder/junit.xml"});
    EXPECT_EQ(r.status, 64);
    EXPECT_NE(r.err.find("cannot be written"), std::string::npos) << r.err;
    EXPECT_EQ(test::queryRecords({"--db", db}).size(), 3u);
}

TEST(StationSpool, syncsRunAtOnceSendEachRecordOnce)
{
    test::ScratchDataHome home;
    const std::string db = "sqlite:" + home.path() + "/line.sqlite";
    const std::vector<station::TestRecord> records = test::LineRecords({}).take(12);
    for (const station::TestRecord& r : records)
        ASSERT_FALSE(results::spoolRecord(home.spool(), r, db, nullptr).empty());
    std::vector<std::vector<std::string>> syncs;
    std::vector<std::string> outputs;
    for (int i = 0; i < 3; ++i) {
        syncs.push_back({test::kCliProgram, "results", "sync"});
        outputs.push_back(home.path() + "/sync" + std::to_string(i) + ".txt");
    }
    EXPECT_EQ(test::runInParallel(syncs, outputs), (std::vector<int>{0, 0, 0}));
    int sent = 0, already = 0;
    for (const std::string& out : outputs) {
        int s = 0, a = 0;
        ASSERT_EQ(std::sscanf(test::readFile(out).c_str(), "%d sent, %d already stored", &s, &a), 2);
        sent += s;
        already += a;
    }
    EXPECT_EQ(sent, int(records.size()));
    EXPECT_EQ(already, 0);
    EXPECT_EQ(test::queryRecords({"--db", db}).size(), records.size());
}

}  // namespace
}  // namespace oculant
