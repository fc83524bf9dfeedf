// oculant-cli test and results on the virtual frame, on its simulated clock, into a SQLite
// file in a scratch data folder: the station's whole round from plan to stored record.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "cli/CliSession.h"
#include "cli/StationPhases.h"
#include "station/Sha256.h"
#include "tests/cli/StationTestSupport.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;
using test::queryRecords;
using test::readFile;
using test::runCli;

struct TestCommand : ::testing::Test {
    test::ScratchDataHome home;

    // A profile file in the scratch folder; returns the --virtual-frame option for it.
    std::string profile(const std::string& name, const std::string& text)
    {
        const std::string path = home.path() + "/" + name + ".ini";
        std::ofstream(path) << text;
        return "--virtual-frame=" + path;
    }
    std::string file(const std::string& name, const std::string& text)
    {
        const std::string path = home.path() + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
};

const nlohmann::json* phase(const nlohmann::json& record, const std::string& name)
{
    for (const auto& p : record["phases"])
        if (p["name"] == name)
            return &p;
    return nullptr;
}

TEST_F(TestCommand, healthyFramePassesFaultyFrameFailsWithTheBoardNamedAndBothAreFoundBySerial)
{
    const std::string healthy = profile("healthy", "[Frame]\nSerial=QA-100\n");
    const std::string faulty = profile("faulty", "[Frame]\nSerial=QA-200\n[Faults]\nDeadEmitters=X:17\n");
    const std::string junit = home.path() + "/faulty.xml";

    test::CliRun pass = runCli({healthy, "--simulated-time", "test", "--sweep", "--station", "line1-a", "--operator", "ann"});
    ASSERT_EQ(pass.status, 0) << pass.out << pass.err;
    EXPECT_NE(pass.out.find("PASS  QA-100  VF-43"), std::string::npos) << pass.out;
    EXPECT_NE(pass.err.find("stored in sqlite:" + home.path() + "/oculant/results.sqlite"), std::string::npos)
        << pass.err;

    test::CliRun fail = runCli({faulty, "--simulated-time", "test", "--sweep", "--station", "line1-a", "--junit", junit});
    ASSERT_EQ(fail.status, 1) << fail.out << fail.err;
    EXPECT_NE(fail.out.find("faulty boards: XEmit1 2/3"), std::string::npos) << fail.out;

    const nlohmann::json failed = queryRecords({"--serial", "QA-200"});
    ASSERT_EQ(failed.size(), 1u);
    const nlohmann::json& r = failed[0];
    for (const char* field : {"serial", "model", "station", "operator", "started", "finished", "outcome", "phases",
                              "attachments"})
        EXPECT_TRUE(r.contains(field)) << field;
    EXPECT_EQ(r["outcome"], "FAIL");
    EXPECT_EQ(r["station"], "line1-a");
    EXPECT_LE(r["started"].get<std::string>(), r["finished"].get<std::string>());
    ASSERT_TRUE(phase(r, "diagnose"));
    EXPECT_EQ((*phase(r, "diagnose"))["outcome"], "FAIL");
    EXPECT_EQ((*phase(r, "identity"))["outcome"], "PASS");
    bool boardNamed = false;
    for (const auto& m : (*phase(r, "diagnose"))["measurements"]) {
        for (const char* field : {"name", "value", "low", "high", "unit", "outcome"})
            EXPECT_TRUE(m.contains(field)) << field;
        if (m["name"] == "XEmit1.okPercent") {
            boardNamed = true;
            EXPECT_EQ(m["outcome"], "FAIL");
            EXPECT_LT(m["value"].get<double>(), 100);
            EXPECT_EQ(m["low"], 100);
        }
    }
    EXPECT_TRUE(boardNamed) << r.dump(1);

    // The AD log of the signal phase is attached with its size and checksum.
    ASSERT_EQ(r["attachments"].size(), 1u);
    const nlohmann::json& log = r["attachments"][0];
    std::string error;
    const auto digest = station::digestFile(log["path"], &error);
    ASSERT_TRUE(digest) << error;
    EXPECT_EQ(log["size"], digest->size);
    EXPECT_EQ(log["sha256"], digest->sha256);
    EXPECT_GT(digest->size, 1000u);

    const nlohmann::json passed = queryRecords({"--serial", "QA-100"});
    ASSERT_EQ(passed.size(), 1u);
    EXPECT_EQ(passed[0]["outcome"], "PASS");
    EXPECT_EQ(passed[0]["operator"], "ann");
    // Newest first, and the filters combine.
    const nlohmann::json all = queryRecords({"--station", "line1-a"});
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0]["serial"], "QA-200");
    EXPECT_EQ(queryRecords({"--outcome", "PASS"}).size(), 1u);
    EXPECT_EQ(queryRecords({"--station", "line2"}).size(), 0u);
    EXPECT_EQ(queryRecords({"--since", "2000-01-01"}).size(), 2u);
    EXPECT_EQ(queryRecords({"--since", "2999-01-01"}).size(), 0u);

    const test::CliRun summary = runCli({"results", "summary", "--json"});
    ASSERT_EQ(summary.status, 0) << summary.err;
    const nlohmann::json rows = nlohmann::json::parse(summary.out);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["records"], 2);
    EXPECT_EQ(rows[0]["yield"], 0.5);
    EXPECT_EQ(rows[0]["firstPassYield"], 0.5);

    // The JUnit file: well-formed XML (xmllint), one test case per phase, the failure on diagnose.
    const std::string xml = readFile(junit);
    EXPECT_EQ(std::system(("xmllint --noout " + junit).c_str()), 0) << xml;
    size_t cases = 0;
    for (size_t at = xml.find("<testcase "); at != std::string::npos; at = xml.find("<testcase ", at + 1))
        ++cases;
    EXPECT_EQ(cases, 3u);
    EXPECT_NE(xml.find("name=\"diagnose\" time=\"27.020\">\n      <failure message=\"faulty boards: XEmit1 2/3"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("tests=\"3\" failures=\"1\" errors=\"0\""), std::string::npos) << xml;
}

TEST_F(TestCommand, planLimitsJudgeTheSignalAndAPhaseWithoutVerdictIsAnError)
{
    // The shipped example wants clear levels of 150 at least: a weak emitter (45) fails it.
    const std::string weak = profile("weak", "[Faults]\nWeakEmitters=Y:10\n");
    test::CliRun r = runCli({weak, "--simulated-time", "test", "--plan", OCULANT_SOURCE_DIR "/data/plans/example.ini",
                             "--sweep", "--json"});
    ASSERT_EQ(r.status, 1) << r.err;
    nlohmann::json record = nlohmann::json::parse(r.out);
    EXPECT_EQ(record["plan"], "VF-43 final test");
    const nlohmann::json& signal = *phase(record, "signal");
    EXPECT_EQ(signal["outcome"], "FAIL");
    EXPECT_EQ(signal["reason"].get<std::string>().rfind("Y.minLevel ", 0), 0u) << signal.dump(1);
    for (const auto& m : signal["measurements"])
        if (m["name"] == "X.minLevel" || m["name"] == "X.noise") {
            EXPECT_EQ(m["outcome"], "PASS") << m.dump();
        }

    // Without the sweep nobody slides a finger: the diagnose phase times out as ERROR, exit 3.
    const std::string plan = file("short.ini", "[Plan]\nPhases=diagnose\n[diagnose]\nTimeout=5\n");
    r = runCli({"--virtual-frame", "--simulated-time", "test", "--plan", plan});
    EXPECT_EQ(r.status, 3) << r.out << r.err;
    EXPECT_NE(r.out.find("diagnose          ERROR"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("No verdict within 5 s"), std::string::npos) << r.out;
    EXPECT_EQ(queryRecords({"--outcome", "ERROR"}).size(), 1u);
}

TEST_F(TestCommand, aBadPlanIsRefusedWithItsLineBeforeAnyFrameIsLookedFor)
{
    const std::string plan = file("bad.ini", "[Plan]\nPhases=identity\n[identity]\nAllowedModel=VF-43\n");
    // No frame at all: a refused plan is status 64, not "no frame" (2).
    test::CliRun r = runCli({"test", "--plan", plan});
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.err, "oculant-cli test: plan refused: " + plan + " line 4: unknown key 'AllowedModel' in [identity]\n");
    r = runCli({"test", "--db", "mysql://line", "--plan", OCULANT_SOURCE_DIR "/data/plans/example.ini"});
    EXPECT_EQ(r.status, 64) << r.err;
    // A frame that never answers is never connected: no frame, status 2, and no record.
    r = runCli({profile("mute", "[Frame]\nAnswerInfo=0\n"), "--simulated-time", "test"});
    EXPECT_EQ(r.status, 2) << r.err;
    // Nothing was stored (the database was opened before the frame was looked for).
    r = runCli({"results"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "no records\n");
}

// The record made while the server cannot be reached is spooled whole, and stored once, by the
// first sync that reaches a database; a file whose record is stored already is only removed.
TEST_F(TestCommand, aRecordThatCannotReachItsDatabaseIsSpooledAndSentBySync)
{
    const std::string down = "postgresql:///results?host=" + home.path() + "/no-server";
    test::CliRun r = runCli({"--virtual-frame", "--simulated-time", "test", "--sweep", "--db", down});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("cannot be reached"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the record is spooled in " + home.spool() + "/"), std::string::npos) << r.err;
    std::vector<fs::path> spooled;
    for (const auto& e : fs::directory_iterator(home.spool()))
        spooled.push_back(e.path());
    ASSERT_EQ(spooled.size(), 1u);
    const std::string kept = readFile(spooled[0]);

    // Without --db the record goes back to its own server, still down: it stays.
    r = runCli({"results", "sync"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "0 sent, 0 already stored, 1 kept in " + home.spool() + "\n");
    EXPECT_TRUE(fs::exists(spooled[0]));

    const std::string db = "sqlite:" + home.path() + "/line.sqlite";
    r = runCli({"results", "sync", "--db", db});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 sent, 0 already stored, 0 kept in " + home.spool() + "\n");
    EXPECT_FALSE(fs::exists(spooled[0]));
    const nlohmann::json stored = queryRecords({"--db", db, "--serial", "VF-000001"});
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]["outcome"], "PASS");
    EXPECT_EQ(stored[0]["phases"].size(), 3u);
    EXPECT_EQ(stored[0], nlohmann::json::parse(kept)["record"]);  // nothing lost on the way

    std::ofstream(spooled[0]) << kept;
    r = runCli({"results", "sync", "--db", db});
    EXPECT_EQ(r.out, "0 sent, 1 already stored, 0 kept in " + home.spool() + "\n");
    EXPECT_EQ(queryRecords({"--db", db}).size(), 1u);
}

// Unplugged after the identity phase: the phase running when it goes ends as ERROR and no later
// phase runs on whatever frame turns up next.
TEST_F(TestCommand, aFrameUnpluggedMidwayEndsItsPhaseAndTheRestAsError)
{
    cli::GlobalOptions options;
    options.virtualFrame = true;
    options.simulatedTime = true;
    std::string error;
    std::unique_ptr<cli::CliSession> cs = cli::CliSession::create(options, error, home.path());
    ASSERT_TRUE(cs) << error;
    cli::StationView view;
    cs->session().setView(&view);
    ASSERT_TRUE(cs->connect(10000, error)) << error;

    station::TestPlan plan = station::defaultPlan();
    Language language("");
    cli::StationSettings settings;
    settings.attachFolder = home.path() + "/attachments";
    settings.language = &language;
    settings.phaseDone = [&](const station::PhaseRecord& p) {
        if (p.name == "identity")
            cs->testBench()->setPlugged(false);
    };
    station::TestRecord record;
    cli::runPlan(*cs, view, plan, settings, record);
    cs->close();
    cs->session().setView(nullptr);
    ASSERT_EQ(record.phases.size(), 3u);
    EXPECT_EQ(record.phases[0].outcome, station::Outcome::Pass);
    EXPECT_EQ(record.phases[1].outcome, station::Outcome::Error);
    EXPECT_EQ(record.phases[1].reason, "the frame was unplugged during the phase");
    EXPECT_EQ(record.phases[2].reason, "not run: the frame was unplugged earlier");
    EXPECT_EQ(record.outcome, station::Outcome::Error);
}

}  // namespace
}  // namespace oculant
