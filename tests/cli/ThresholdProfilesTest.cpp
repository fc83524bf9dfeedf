// The shipped profiles that sit at the edges of the diagnostic's thresholds, each through
// `oculant-cli --virtual-frame=PROFILE --simulated-time diagnose --sweep --json`. The expected
// verdicts are worked out from the judgement and testing rules, not taken from a run:
//
// - Element test: an element below half its board's mean is tested for darkness with the mean
//   as limit (bytes below mean / 2). 31 x 200 + 97 = 6297, / 32 = 196, half 98: 97 is tested and
//   its beam reads 97 in each of its three layers, dark; 98 is not tested at all.
// - Board test (X): a board mean below 60 takes the whole-board test, whose bytes at positions
//   first + 1 and last - 1 must be below 30 in every layer. Board X2 = 30 weak elements and dead
//   33 and 62: (30 x 63 + 2) / 32 = 59 -> the whole board is a fault; (30 x 64 + 2) / 32 = 60 ->
//   judged element by element, only 33 and 62 are. Either way every beam below 60 is a fault:
//   the receivers that see 33 or 62 (29, 33, 37 and 58, 62, 66 through layers 0, +4 and -4).
// - Untidy healthy frame: clear beams 200 +- 20 % + 30 = 190..255, blocked at most
//   240 x 0.05 + 30 = 42, below a quarter of the weakest clear beam (47): every element is seen
//   blocked and clear again.
// - The sweep starts about 1-1.5 s after power-on and runs X emitters, X receivers, Y emitters,
//   Y receivers (8.1 s, 8.1 s, 4.7 s, 4.7 s, 0.3 s lifted between). X emitter 130 dying at 5 s is
//   dark when the finger crosses its board (from about 7.5 s): partly blocked elements that are
//   not one run, fault 3, on its board and on the receiver boards holding 126, 130 and 134. Y
//   receiver 2 dying at 26 s is past its board (left at about 24.5 s) and before the end (about
//   28 s): it goes back to pending and the test ends without a verdict.
// - An element dark in half the scans at random is dark in many of the ~80 scans in which the
//   finger partly blocks other elements of its board: fault 3 on X emitter board 3 and on X
//   receiver board 3 (receivers 66, 70, 74).
// - Losing one report in 2000 loses about one scan in 150; every element is fully blocked in 2
//   or 3 scans of the sweep, so the chance that all of them are lost is about 4e-5: PASS.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/CliRun.h"

namespace oculant {
namespace {

struct Board {
    const char* line;      // the board's fault line
    const char* elements;  // element statuses, first to last; empty: not checked
};

struct Profile {
    const char* name;
    int status;
    const char* verdict;
    std::vector<Board> notOk;  // every board whose status is not 3, in the command's order
};

std::string elementText(const nlohmann::json& board)
{
    std::string s;
    for (const auto& e : board["elements"])
        s += std::to_string(e.get<int>());
    return s;
}

TEST(ThresholdProfiles, each_profile_gets_the_verdict_its_thresholds_give)
{
    const std::string all2(32, '2');
    const Profile profiles[] = {
        {"weak-element-below-half", cli::kExitFailed, "FAIL", {{"XEmit2: 2", "33333333233333333333333333333333"}}},
        {"weak-element-at-half", cli::kExitOk, "PASS", {}},
        {"weak-board-below-mean", cli::kExitFailed, "FAIL",
         {{"XEmit2: 2", all2.c_str()},
          {"XRecv1: 2", "33333333333333333333333333333233"},
          {"XRecv2: 2", "32333233333333333333333333233323"},
          {"XRecv3: 2", "33233333333333333333333333333333"}}},
        {"weak-board-at-mean", cli::kExitFailed, "FAIL",
         {{"XEmit2: 2", "32333333333333333333333333333323"},
          {"XRecv1: 2", "33333333333333333333333333333233"},
          {"XRecv2: 2", "32333233333333333333333333233323"},
          {"XRecv3: 2", "33233333333333333333333333333333"}}},
        {"untidy-healthy", cli::kExitOk, "PASS", {}},
        {"fault-mid-test", cli::kExitFailed, "FAIL", {{"XEmit5: 3", ""}, {"XRecv4: 3", ""}, {"XRecv5: 3", ""}}},
        {"fault-after-accepted", cli::kExitNoVerdict, "NONE", {{"YRecv1: 4", "331333333333333333333333333333"}}},
        {"intermittent-emitter", cli::kExitFailed, "FAIL", {{"XEmit3: 3", ""}, {"XRecv3: 3", ""}}},
        {"report-loss", cli::kExitOk, "PASS", {}},
    };
    for (const Profile& p : profiles) {
        SCOPED_TRACE(p.name);
        const std::string path = std::string(OCULANT_SOURCE_DIR) + "/data/profiles/" + p.name + ".ini";
        const test::CliRun r =
            test::runCli({"--virtual-frame=" + path, "--simulated-time", "diagnose", "--sweep", "--json"});
        ASSERT_EQ(r.status, p.status) << r.err << r.out;
        const nlohmann::json out = nlohmann::json::parse(r.out);
        EXPECT_EQ(out["verdict"], p.verdict);
        std::vector<nlohmann::json> notOk;
        for (const auto& b : out["boards"])
            if (b["status"] != 3)
                notOk.push_back(b);
        ASSERT_EQ(notOk.size(), p.notOk.size()) << r.out;
        for (size_t i = 0; i < notOk.size(); ++i) {
            EXPECT_EQ(notOk[i]["line"], p.notOk[i].line);
            if (*p.notOk[i].elements)
                EXPECT_EQ(elementText(notOk[i]), p.notOk[i].elements) << p.notOk[i].line;
        }
        // The element that died after it was accepted stays dark to the end, and is named.
        if (p.status == cli::kExitNoVerdict) {
            EXPECT_EQ(out["reason"], "pending");
            EXPECT_NE(out["reasonText"].get<std::string>().find("Y receiver 2 (YRecv1)"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace oculant
