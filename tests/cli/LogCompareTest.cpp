// Recorded AD logs read back and compared, and the field check against a frame's production
// record: the virtual frame on its simulated clock, an emitter weakened to 60 % of its level
// (still above half its board's mean, so the emitter/receiver test passes it).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "signal/ElementLevels.h"
#include "tests/cli/StationTestSupport.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;
using test::runCli;

// The default geometry's boards: 5 X boards of 32, 3 Y boards of 30.
const std::vector<std::string> kBoards = {"--x-boards", "32,32,32,32,32", "--y-boards", "30,30,30"};
// X emitter 40 (board 2) at 120 where the others read 200: (31 x 200 + 120) / 32 = 197.5, half
// of it 98.75, so the diagnostic judges it clear.
constexpr const char* kWeakEmitter = "[Faults]\nWeakEmitters=X:40\nWeakLevel=120\n";

struct LogCompare : ::testing::Test {
    test::ScratchDataHome home;

    std::string file(const std::string& name, const std::string& text)
    {
        const std::string path = home.path() + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    // `record` on a profile into a folder of its own; the one log it wrote.
    std::string record(const std::string& profileText, const std::string& folder)
    {
        const std::string profile = file(folder + ".ini", profileText);
        const std::string dir = home.path() + "/" + folder;
        fs::create_directories(dir);
        const test::CliRun r = runCli({"--virtual-frame=" + profile, "--simulated-time", "record", "--seconds", "1",
                                       "--dir", dir});
        EXPECT_EQ(r.status, 0) << r.err;
        for (const auto& e : fs::directory_iterator(dir))
            return e.path().string();
        ADD_FAILURE() << "no log in " << dir;
        return {};
    }
    test::CliRun log(std::vector<std::string> args)
    {
        args.insert(args.begin(), "log");
        args.insert(args.end(), kBoards.begin(), kBoards.end());
        return runCli(args);
    }
};

const nlohmann::json& phaseOf(const nlohmann::json& record, const std::string& name)
{
    for (const auto& p : record["phases"])
        if (p["name"] == name)
            return p;
    throw std::runtime_error("no phase " + name);
}

std::vector<std::string> dropMeasurements(const nlohmann::json& phase)
{
    std::vector<std::string> names;
    for (const auto& m : phase["measurements"])
        if (m["name"].get<std::string>().find(".dropPercent") != std::string::npos)
            names.push_back(m["name"]);
    return names;
}

// The station's signal phase keeps the levels of the live scans it sampled from the store; the
// log it attached, read back by `log`, gives the same levels element by element.
TEST_F(LogCompare, theLogOfATestGivesEveryElementTheLevelTheRecordKept)
{
    const std::string plan = file("signal.ini", "[Plan]\nPhases=signal\n[signal]\nSeconds=1\n");
    // Family 0x40's boundary rows want a last offset of 0 or more.
    for (const std::string family : {"0x10", "0x40"}) {
        SCOPED_TRACE(family);
        // Levels that differ element by element, so that a level put on the wrong element shows.
        const std::string profile = file("spread.ini", "[Geometry]\nFamily=" + family +
                                                           "\nXOffsets=0,-4,4\nYOffsets=0,-4,4\n[Beams]\nLevelSpread=15\n");
        const test::CliRun t = runCli({"--virtual-frame=" + profile, "--simulated-time", "test", "--plan", plan, "--json"});
        ASSERT_EQ(t.status, 0) << t.err;
        const nlohmann::json record = nlohmann::json::parse(t.out);
        const nlohmann::json& signal = phaseOf(record, "signal");
        std::string error;
        const auto kept = decodeLevels(signal["levels"].get<std::string>(), &error);
        ASSERT_TRUE(kept) << error;
        ASSERT_EQ(record["attachments"].size(), 1u);

        const test::CliRun l = log({record["attachments"][0]["path"], "--json"});
        ASSERT_EQ(l.status, 0) << l.err;
        const nlohmann::json summary = nlohmann::json::parse(l.out);
        EXPECT_EQ(summary["family"], family);
        EXPECT_EQ(summary["positions"], nlohmann::json({{"X", 160}, {"Y", 90}}));
        EXPECT_EQ(summary["startBlocks"], 3);
        double scans = 0;
        for (const auto& m : signal["measurements"])
            if (m["name"] == "scans")
                scans = m["value"];
        EXPECT_EQ(summary["liveScans"], scans);
        EXPECT_GT(scans, 30);
        EXPECT_EQ(summary["frames"], summary["liveScans"].get<int>() + summary["thresholds"].get<int>() +
                                         summary["references"].get<int>());
        ASSERT_EQ(summary["elements"].size(), 2u * (160 + 90));
        int differing = 0;
        for (const auto& e : summary["elements"]) {
            const int side = (e["axis"] == "X" ? kXEmitters : kYEmitters) + (e["kind"] == "receiver");
            const auto& level = kept->sides[size_t(side)][e["position"].get<size_t>()];
            ASSERT_TRUE(level);
            differing += e["level"].get<double>() != keptLevel(*level);
        }
        EXPECT_EQ(differing, 0);
        EXPECT_EQ(summary["elements"][40]["board"], "XEmit2");
        EXPECT_EQ(summary["elements"][160]["kind"], "receiver");
    }
}

// A frame recorded twice gives no finding; the same frame with one emitter weakened to 60 % is
// named with its board and both levels; a log of another layout is not compared.
TEST_F(LogCompare, logCompareNamesTheWeakenedEmitterAndNothingOfTheSameFrameTwice)
{
    const std::string first = record("", "healthy-1");
    const std::string again = record("", "healthy-2");
    const std::string weak = record(kWeakEmitter, "weak");
    const std::string twoLayers = record("[Geometry]\nXOffsets=0,4\n", "two-layers");

    test::CliRun r = log({again, "--compare", first, "--json"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    nlohmann::json c = nlohmann::json::parse(r.out);
    EXPECT_EQ(c["findings"].size(), 0u);
    EXPECT_EQ(c["compared"], 2 * (160 + 90));
    EXPECT_LT(c["largestDropPercent"].get<double>(), 5);

    r = log({weak, "--compare", first, "--json"});
    ASSERT_EQ(r.status, 1) << r.out << r.err;
    c = nlohmann::json::parse(r.out);
    ASSERT_EQ(c["findings"].size(), 1u) << r.out;
    const nlohmann::json& f = c["findings"][0];
    EXPECT_EQ(f["axis"], "X");
    EXPECT_EQ(f["kind"], "emitter");
    EXPECT_EQ(f["position"], 40);
    EXPECT_EQ(f["board"], "XEmit2");
    EXPECT_NEAR(f["baseLevel"].get<double>(), 200, 2);
    EXPECT_NEAR(f["level"].get<double>(), 120, 2);
    EXPECT_NEAR(f["dropPercent"].get<double>(), 40, 1.5);
    // The receivers that see emitter 40 in one of their three layers lose a third of that: kept.
    r = log({weak, "--compare", first, "--max-drop", "10"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("4 fell by more than 10.0 %"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("XEmit2 X emitter 40: 200"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("XRecv2 X receiver 36"), std::string::npos) << r.out;

    r = log({twoLayers, "--compare", first});
    EXPECT_EQ(r.status, 64);
    EXPECT_NE(r.err.find("the layouts differ: X: 2 layers in " + twoLayers + ", 3 in " + first),
              std::string::npos)
        << r.err;
    EXPECT_EQ(log({weak, "--max-drop", "10"}).status, 64);
    EXPECT_EQ(log({weak, "--compare", home.path() + "/none.txt"}).status, 3);
}

// A damaged row is refused with its line; a copy cut inside its last block keeps the blocks
// before it; a log copied through Windows (CR LF) reads as the original.
TEST_F(LogCompare, aDamagedLogIsRefusedWithItsLineAndACutOneKeepsItsWholeBlocks)
{
    const std::string path = record("", "healthy");
    const std::string text = test::readFile(path);
    const test::CliRun whole = log({path, "--json"});
    ASSERT_EQ(whole.status, 0) << whole.err;
    const nlohmann::json original = nlohmann::json::parse(whole.out);

    std::string crlf;
    for (char ch : text)
        crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    test::CliRun r = log({file("1767225600.txt", crlf), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["elements"], original["elements"]);

    // Line 15: the first sample row of the second block (the version line; a block is its
    // header, two offset rows, six layer rows and its checksum).
    size_t at = 0;
    for (int line = 1; line < 15; ++line)
        at = text.find('\n', at) + 1;
    std::string damaged = text;
    damaged.replace(at, damaged.find(' ', at) - at, "256");
    r = log({file("damaged.txt", damaged)});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("damaged.txt line 15: sample 256 in an X layer row is not a level of 0 to 255"),
              std::string::npos)
        << r.err;

    const size_t lastBlock = text.rfind("\n16 ") + 1;
    const size_t cutLine = size_t(std::count(text.begin(), text.begin() + long(lastBlock), '\n')) + 1;
    r = log({file("cut.txt", text.substr(0, lastBlock + 200)), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["frames"], original["frames"].get<int>() - 1);
    EXPECT_NE(r.err.find("ends inside the block that begins at line " + std::to_string(cutLine)), std::string::npos)
        << r.err;
    r = log({file("not-a-log.txt", "AD Log Data Version 3.0\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not-a-log.txt line 1: 'AD Log Data Version 3.0' is not the first line of an AD log"),
              std::string::npos)
        << r.err;
}

// Production keeps the frame's levels in the database; the field check compares the frame with
// its own first passing record: the weakened emitter fails it by name while the diagnostic
// still passes, the healthy frame passes, a frame the database has never passed is an ERROR.
TEST_F(LogCompare, theFieldCheckFailsTheElementThatFellAgainstTheFramesProductionRecord)
{
    const std::string fieldCheck = OCULANT_SOURCE_DIR "/data/plans/field-check.ini";
    const std::string production = file("production.ini", "[Plan]\nPhases=identity,signal\n");
    const std::string healthy = "--virtual-frame=" + file("healthy.ini", "");
    const std::string weak = "--virtual-frame=" + file("weak.ini", kWeakEmitter);
    auto test = [&](const std::string& frame, const std::string& plan) {
        return runCli({frame, "--simulated-time", "test", "--plan", plan, "--json"});
    };

    test::CliRun r = test(healthy, fieldCheck);
    ASSERT_EQ(r.status, 3) << r.out << r.err;
    EXPECT_EQ(phaseOf(nlohmann::json::parse(r.out), "signal")["reason"],
              "no passing record of VF-000001 with element levels in sqlite:" + home.path() +
                  "/oculant/results.sqlite to compare with");

    r = test(healthy, production);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string productionUid = nlohmann::json::parse(r.out)["uid"];

    r = test(weak, fieldCheck);
    ASSERT_EQ(r.status, 1) << r.out << r.err;
    nlohmann::json signal = phaseOf(nlohmann::json::parse(r.out), "signal");
    EXPECT_EQ(signal["outcome"], "FAIL");
    EXPECT_EQ(dropMeasurements(signal), std::vector<std::string>{"XEmit2.e40.dropPercent"});
    for (const auto& m : signal["measurements"]) {
        if (m["name"] == "XEmit2.e40.dropPercent") {
            EXPECT_EQ(m["outcome"], "FAIL");
            EXPECT_NEAR(m["value"].get<double>(), 40, 1.5);
            EXPECT_EQ(m["high"], 25);
        }
        if (m["name"] == "firstPassRecord")
            EXPECT_EQ(m["value"].get<std::string>().substr(0, 32), productionUid);
    }
    EXPECT_NE(signal["reason"].get<std::string>().find("1 element fell by more than 25 % against the first passing "
                                                       "record (XEmit2.e40 "),
              std::string::npos)
        << signal["reason"];

    r = test(healthy, fieldCheck);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    signal = phaseOf(nlohmann::json::parse(r.out), "signal");
    EXPECT_TRUE(dropMeasurements(signal).empty());
    for (const auto& m : signal["measurements"])
        if (m["name"] == "firstPassRecord")
            EXPECT_EQ(m["value"].get<std::string>().substr(0, 32), productionUid);

    // The emitter/receiver test does not see what the field check found.
    r = runCli({weak, "--simulated-time", "diagnose", "--sweep"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    const std::string unpaired = file("unpaired.ini", "[Plan]\nPhases=signal\n[signal]\nMaxLevelDropPercent=10\n");
    r = test(healthy, unpaired);
    EXPECT_EQ(r.status, 64);
    EXPECT_NE(r.err.find("MaxLevelDropPercent in [signal] compares with nothing without CompareWith=first-pass"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace oculant
