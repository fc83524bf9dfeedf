// oculant-cli diagnose on the virtual frame, on its simulated clock: the whole test as the
// window runs it, with the scripted sweep standing in for the technician's finger.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/CliRun.h"

namespace oculant {
namespace {

struct DiagnoseCli : test::CliTest {
    int diagnose(const std::string& faults, std::vector<std::string> extra)
    {
        return diagnoseOn(faults.empty() ? "" : "[Faults]\n" + faults + "\n", std::move(extra));
    }
    // On a profile of the given text (the default profile when empty).
    int diagnoseOn(const std::string& profileText, std::vector<std::string> extra)
    {
        extra.insert(extra.begin(), "diagnose");
        return runOnFrame(profileText.empty() ? "" : write("profile.ini", profileText), extra);
    }
    nlohmann::json boardsWithFaults() const
    {
        nlohmann::json failing = nlohmann::json::array();
        const nlohmann::json all = nlohmann::json::parse(out);
        for (const auto& b : all["boards"])
            if (b["status"] == 2)
                failing.push_back(b);
        return failing;
    }
};

TEST_F(DiagnoseCli, HealthyFrameSweptPasses)
{
    ASSERT_EQ(diagnose("", {"--sweep"}), 0) << out << err;
    EXPECT_EQ(out.substr(0, 5), "PASS\n");
    EXPECT_NE(out.find("XEmit1: OK"), std::string::npos) << out;
    EXPECT_NE(out.find("YRecv3: OK"), std::string::npos) << out;
}

TEST_F(DiagnoseCli, WithoutASweepThereIsNoVerdict)
{
    EXPECT_EQ(diagnose("", {"--timeout", "8"}), cli::kExitNoVerdict) << out << err;
    EXPECT_EQ(out.substr(0, 5), "NONE\n");
}

TEST_F(DiagnoseCli, EachInjectedFaultFailsOnItsOwnBoard)
{
    struct Case {
        const char* fault;
        const char* axis;
        const char* side;
        int board;
    } cases[] = {
        {"DeadEmitters=X:17", "X", "emitter", 1},    // positions 0-31 are X board 1
        {"DeadReceivers=Y:40", "Y", "receiver", 2},  // Y board 2 holds positions 30-59
        {"WeakEmitters=X:100", "X", "emitter", 4},
        {"DarkBoards=Y:2", "Y", "emitter", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_EQ(diagnose(c.fault, {"--sweep", "--json"}), cli::kExitFailed) << err;
        const nlohmann::json json = nlohmann::json::parse(out);
        EXPECT_EQ(json["verdict"], "FAIL");
        bool found = false;
        for (const auto& b : boardsWithFaults()) {
            if (b["axis"] == c.axis && b["side"] == c.side && b["number"] == c.board) {
                found = true;
                EXPECT_NE(std::find(b["faults"].begin(), b["faults"].end(), 2), b["faults"].end()) << b.dump();
                EXPECT_LT(b["okPercent"].get<double>(), 100.0);
            }
            // A fault never shows on the other axis.
            EXPECT_EQ(b["axis"], c.axis) << b.dump();
        }
        EXPECT_TRUE(found) << out;
    }
}

// Frames that cannot be tested end with status 3 and the reason, swept or not, instead of a
// FAIL on every board or a silent wait until the time-out.
TEST_F(DiagnoseCli, FramesThatCannotBeTestedGetNoVerdictAndTheReason)
{
    struct Case {
        const char* profile;
        const char* reason;
        const char* text;
    } cases[] = {
        {"[Geometry]\nFamily=0x00\n", "no-levels",
         "No verdict: this frame's live scans (signal family 0x00) carry no signal levels."},
        {"[Faults]\nReportedXBoards=32,32,32,32\n", "layout-mismatch",
         "No verdict: the signal has 160 x 90 positions, the board table 128 x 90."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        ASSERT_EQ(diagnoseOn(c.profile, {"--sweep", "--timeout", "30", "--json"}), cli::kExitNoVerdict) << out << err;
        const nlohmann::json json = nlohmann::json::parse(out);
        EXPECT_EQ(json["verdict"], "NONE");
        EXPECT_EQ(json["reason"], c.reason);
        EXPECT_EQ(json["reasonText"], c.text);
        EXPECT_TRUE(boardsWithFaults().empty()) << out;
        ASSERT_EQ(diagnoseOn(c.profile, {"--timeout", "30"}), cli::kExitNoVerdict) << out << err;
        EXPECT_NE(out.find(std::string(c.text) + "\n"), std::string::npos) << out;
    }
}

TEST_F(DiagnoseCli, SweepNeedsTheVirtualFrameAndTheTimeOutADayAtMost)
{
    EXPECT_EQ(run({"diagnose", "--sweep"}), cli::kExitUsage);
    // Beyond a day the milliseconds overflowed the run's clock: the run ended at once, or never.
    for (const char* t : {"86401", "1e12", "inf", "nan", "0", "-5"}) {
        SCOPED_TRACE(t);
        EXPECT_EQ(run({"--virtual-frame", "--simulated-time", "diagnose", "--timeout", t}), cli::kExitUsage);
        EXPECT_NE(err.find("at most 86400"), std::string::npos) << err;
    }
}

}  // namespace
}  // namespace oculant
