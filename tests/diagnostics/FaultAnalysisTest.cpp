#include <gtest/gtest.h>

#include <numeric>

#include "tests/support/DiagnosticTestSupport.h"
#include "diagnostics/FaultAnalysis.h"

namespace oculant {
namespace {

using test::AxisRows;
using test::beamView;
using test::boardTable;

std::vector<int32_t> statuses(const PCB_INFO& b)
{
    std::vector<int32_t> s;
    for (const LED_STA& e : b.leds)
        s.push_back(e.status);
    return s;
}

uint32_t faultSet(std::initializer_list<int> numbers)
{
    uint32_t bits = 0;
    for (int n : numbers)
        bits |= faultBit(n);
    return bits;
}

// Ten levels with the given mean: `special` at element `at`, the rest spread evenly.
std::vector<uint8_t> levelsWithMean(int mean, int at, int special)
{
    std::vector<uint8_t> levels(10);
    int rest = mean * 10 - special;
    for (int j = 0, left = 9; j < 10; ++j) {
        if (j == at) {
            levels[size_t(j)] = uint8_t(special);
            continue;
        }
        const int v = rest / left;
        levels[size_t(j)] = uint8_t(v);
        rest -= v;
        --left;
    }
    return levels;
}

TEST(BlockRatio, places_the_current_level_between_threshold_and_reference)
{
    struct Case {
        uint8_t reference, threshold, current, expected;
    };
    const Case cases[] = {
        {200, 50, 125, 128},  // partly blocked
        {200, 50, 200, 255},  // at the reference
        {100, 60, 40, 0},     // below the threshold: the threshold follows the level down
        {50, 60, 55, 255},    // threshold above the reference
        {200, 50, 50, 0},     // at the threshold
        {200, 0, 199, 254},
        {200, 50, 230, 255},  // above the reference
        {0, 0, 0, 255},       // no beam at all
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlockRatio(c.reference, c.threshold, c.current), c.expected)
            << int(c.reference) << " " << int(c.threshold) << " " << int(c.current);
}

TEST(BlockRatio, the_partly_blocked_test_agrees_with_the_ratio_for_every_level)
{
    int disagreements = 0, blocked = 0;
    for (int r = 0; r < 256; ++r)
        for (int f = 0; f < 256; ++f)
            for (int c = 0; c < 256; ++c) {
                const bool byRatio = BlockRatio(uint8_t(r), uint8_t(f), uint8_t(c)) <= kPartlyBlockedRatio;
                disagreements += byRatio != isPartlyBlocked(uint8_t(r), uint8_t(f), uint8_t(c));
                blocked += byRatio;
            }
    EXPECT_EQ(disagreements, 0);
    EXPECT_GT(blocked, 0);
}

TEST(DarkInAllLayers, needs_every_covering_layer_dark_at_the_byte_or_the_one_before)
{
    AxisRows x(10, {0, 2});
    // Emitter 5: byte 5 of layer 0 and byte 3 of layer 1.
    x.current[0][5] = 20;
    EXPECT_FALSE(DarkInAllLayers(5, 60, x.view(), kEmitterBoard));
    x.current[1][2] = 29;  // the byte before: counts too
    EXPECT_TRUE(DarkInAllLayers(5, 60, x.view(), kEmitterBoard));
    x.current[1][2] = 30;  // not below 60 / 2
    EXPECT_FALSE(DarkInAllLayers(5, 60, x.view(), kEmitterBoard));
}

TEST(DarkInAllLayers, a_position_no_layer_covers_is_dark)
{
    const AxisRows x(10, {3});
    EXPECT_TRUE(DarkInAllLayers(1, 60, x.view(), kEmitterBoard));   // emitters 0-2 have no beam
    EXPECT_FALSE(DarkInAllLayers(1, 60, x.view(), kReceiverBoard));
    EXPECT_TRUE(DarkInAllLayers(-1, 60, x.view(), kReceiverBoard));  // off the axis
}

TEST(DarkInAllLayers, position_zero_looks_only_at_its_own_byte)
{
    AxisRows x(10, {0});
    x.current[0][1] = 0;
    EXPECT_FALSE(DarkInAllLayers(0, 60, x.view(), kReceiverBoard));
    x.current[0][0] = 0;
    EXPECT_TRUE(DarkInAllLayers(0, 60, x.view(), kReceiverBoard));
}

// Whether a board takes the whole-board test (mean below 60 on X, 40 on Y) or is judged element
// by element: element 5 is dark; only the element path marks it.
TEST(JudgeBoards, the_board_mean_decides_between_whole_board_and_element_tests)
{
    struct Case {
        uint8_t axis;
        int mean;
        bool elementJudged;
    };
    for (const Case c : {Case{kAxisX, 59, false}, Case{kAxisX, 60, true}, Case{kAxisY, 39, false},
                         Case{kAxisY, 40, true}}) {
        SCOPED_TRACE(::testing::Message() << int(c.axis) << " mean " << c.mean);
        BoardModel m;
        m.BuildModel(boardTable({10}, {10}));
        AxisRows x(10, {0}), y(10, {0});
        (c.axis == kAxisX ? x : y).current[0] = levelsWithMean(c.mean, 5, 2);
        const BeamView v = beamView(x, y);
        MarkAllPending(m);
        LoadLevels(m, v);
        JudgeBoards(m.emitters, v);
        PCB_INFO& b = m.emitters[c.axis == kAxisX ? 0 : 1];
        EXPECT_EQ(b.mean, c.mean);
        EXPECT_EQ(b.leds[5].status, c.elementJudged ? kFault : kPending);
        EXPECT_EQ(b.faults, c.elementJudged ? faultSet({2, 4}) : faultSet({4}));
    }
}

TEST(JudgeBoards, an_x_board_of_mean_59_is_dark_only_when_its_test_bytes_are_below_30)
{
    for (const uint8_t testByte : {uint8_t(29), uint8_t(30)}) {
        SCOPED_TRACE(int(testByte));
        BoardModel m;
        m.BuildModel(boardTable({10}, {10}));
        AxisRows x(10, {0}), y(10, {0});
        // Positions 1 and 8 (first + 1, last − 1) at the test byte; the rest brings the mean to 59.
        std::vector<uint8_t> levels(10, 66);
        levels[1] = levels[8] = testByte;
        levels[0] = levels[9] = uint8_t(68 + (29 - testByte));
        x.current[0] = levels;
        ASSERT_EQ(std::accumulate(levels.begin(), levels.end(), 0) / 10, 59);
        const BeamView v = beamView(x, y);
        MarkAllPending(m);
        LoadLevels(m, v);
        JudgeBoards(m.emitters, v);
        const bool dark = testByte < 30;
        EXPECT_EQ(m.emitters[0].status, dark ? kFault : kPending);
        EXPECT_EQ(statuses(m.emitters[0]), std::vector<int32_t>(10, dark ? kFault : kPending));
        EXPECT_EQ(m.emitters[0].faults, dark ? faultSet({1}) : faultSet({4}));
    }
}

TEST(JudgeBoards, with_mean_100_an_element_of_level_49_is_tested_and_one_of_50_is_not)
{
    for (const int level : {49, 50}) {
        SCOPED_TRACE(level);
        BoardModel m;
        m.BuildModel(boardTable({10}, {10}));
        AxisRows x(10, {0}), y(10, {0});
        x.current[0] = levelsWithMean(100, 3, level);
        const BeamView v = beamView(x, y);
        MarkAllPending(m);
        LoadLevels(m, v);
        JudgeBoards(m.emitters, v);
        ASSERT_EQ(m.emitters[0].mean, 100);
        EXPECT_EQ(m.emitters[0].leds[3].status, level == 49 ? kFault : kPending);
    }
}

TEST(JudgeBoards, a_dark_emitter_board_has_fault_1_and_a_dark_receiver_board_adds_it_to_fault_4)
{
    BoardModel m;
    m.BuildModel(boardTable({10}, {10}));
    AxisRows x(10, {0}, 5), y(10, {0});
    const BeamView v = beamView(x, y);
    MarkAllPending(m);
    LoadLevels(m, v);
    JudgeBoards(m.emitters, v);
    JudgeBoards(m.receivers, v);
    EXPECT_EQ(m.emitters[0].faults, faultSet({1}));
    EXPECT_EQ(m.receivers[0].faults, faultSet({1, 4}));
    EXPECT_EQ(m.receivers[0].status, kFault);
    EXPECT_EQ(m.emitters[1].faults, faultSet({4}));  // the healthy Y board

    // Its bytes are below 60 as well: the low-sample pass replaces both with fault 2.
    MarkLowSamples(m, v);
    EXPECT_EQ(m.emitters[0].faults, faultSet({2}));
    EXPECT_EQ(m.receivers[0].faults, faultSet({2}));
    EXPECT_EQ(m.emitters[1].faults, faultSet({4}));
}

TEST(MarkLowSamples, one_low_beam_in_any_covering_layer_makes_a_fault_2)
{
    BoardModel m;
    m.BuildModel(boardTable({5, 5}, {10}));
    AxisRows x(10, {0, 1}), y(10, {0});
    x.current[1][6] = 59;  // layer 1: emitter 7, receiver 6
    const BeamView v = beamView(x, y);
    JudgementStage(m, v);
    EXPECT_EQ(m.emitters[1].leds[2].status, kFault);  // emitter 7
    EXPECT_EQ(m.emitters[1].faults, faultSet({2}));
    EXPECT_EQ(m.receivers[1].leds[1].status, kFault);  // receiver 6
    EXPECT_EQ(m.receivers[1].faults, faultSet({2}));
    EXPECT_EQ(m.emitters[0].faults, faultSet({4}));
    EXPECT_EQ(m.emitters[0].status, kPending);
    EXPECT_EQ(overallVerdict(m), OverallVerdict::Fail);
}

// Updated: an element used to be accepted in the scan that blocked it. It is accepted now when
// a later scan shows every beam of it clear again.
TEST(AcceptBlocked, accepts_an_element_blocked_in_every_covering_layer_at_once_and_then_clear)
{
    BoardModel m;
    m.BuildModel(boardTable({10}, {10}));
    AxisRows x(10, {0, 1}), y(10, {0});
    MarkAllPending(m);
    const auto scan = [&](int byte0, int byte1) {  // emitter 4: byte 4 of layer 0, byte 3 of layer 1
        x.current[0][4] = uint8_t(byte0);
        x.current[1][3] = uint8_t(byte1);
        AcceptBlocked(m, beamView(x, y));
        return m.emitters[0].leds[4].status;
    };
    // A quarter of 200 is 50.
    EXPECT_EQ(scan(50, 51), kPending);
    EXPECT_EQ(scan(200, 200), kPending) << "never blocked in both layers at once";
    EXPECT_EQ(scan(50, 50), kPending) << "blocked, not yet clear again";
    EXPECT_EQ(scan(50, 200), kPending) << "half clear";
    EXPECT_EQ(scan(200, 200), kOk);
    // Receiver 4 sees bytes 4 of both layers: they were never blocked together.
    EXPECT_EQ(m.receivers[0].leds[4].status, kPending);
}

// An element that goes dark after it was accepted (it failed during the test, or a finger is on
// it) holds the frame back until it is seen clear again: the frame used to pass with it dark.
TEST(AcceptBlocked, an_accepted_element_dark_again_is_pending_until_clear)
{
    BoardModel m;
    m.BuildModel(boardTable({2}, {1}));
    AxisRows x(2, {0}), y(1, {0});
    MarkAllPending(m);
    const auto scan = [&](uint8_t x0, uint8_t x1, uint8_t y0) {
        x.current[0] = {x0, x1};
        y.current[0] = {y0};
        return TestingStage(m, beamView(x, y));
    };
    EXPECT_FALSE(scan(10, 10, 10));   // every beam blocked once
    EXPECT_TRUE(scan(200, 200, 200));  // and clear again: PASS
    // X element 1 goes dark: pending again, and its boards with it.
    EXPECT_FALSE(scan(200, 1, 200));
    EXPECT_EQ(statuses(m.emitters[0]), (std::vector<int32_t>{kOk, kPending}));
    EXPECT_EQ(m.emitters[0].status, kPending);
    EXPECT_EQ(m.receivers[0].faults, faultSet({4}));
    EXPECT_EQ(overallVerdict(m), OverallVerdict::None);
    EXPECT_FALSE(scan(200, 1, 200)) << "still dark";
    EXPECT_TRUE(scan(200, 200, 200)) << "seen clear: accepted again";
    EXPECT_EQ(overallVerdict(m), OverallVerdict::Pass);
}

TEST(AcceptBlocked, a_pending_element_that_no_layer_covers_is_accepted_at_once_and_faults_stay)
{
    BoardModel m;
    m.BuildModel(boardTable({10}, {10}));
    const AxisRows x(10, {2}), y(10, {0});
    MarkAllPending(m);
    m.emitters[0].leds[1].status = kFault;
    AcceptBlocked(m, beamView(x, y));
    EXPECT_EQ(statuses(m.emitters[0]), (std::vector<int32_t>{kOk, kFault, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(statuses(m.receivers[0]), (std::vector<int32_t>{1, 1, 1, 1, 1, 1, 1, 1, kOk, kOk}));
}

// Partly blocked element numbers of one layer on a board of 10 X emitters.
TEST(CheckContiguity, partly_blocked_elements_must_form_one_run_in_each_layer)
{
    struct Case {
        std::vector<int> blocked;
        bool scattered;
    };
    const Case cases[] = {{{3, 4, 5}, false}, {{3, 5}, true}, {{7}, false}, {{}, false}, {{0, 9}, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.blocked));
        BoardModel m;
        m.BuildModel(boardTable({10}, {10}));
        MarkAllPending(m);
        for (LED_STA& e : m.emitters[0].leds)
            e.status = kOk;
        AxisRows x(10, {0}), y(10, {0});
        for (int j : c.blocked)
            x.current[0][size_t(j)] = 125;  // BlockRatio 128: partly blocked
        CheckContiguity(m, beamView(x, y));
        const PCB_INFO& b = m.emitters[0];
        EXPECT_EQ(b.hasFault(kFaultScattered), c.scattered);
        for (int j = 0; j < 10; ++j) {
            const bool listed = std::find(c.blocked.begin(), c.blocked.end(), j) != c.blocked.end();
            EXPECT_EQ(b.leds[size_t(j)].status, c.scattered && listed ? kFault : kOk) << j;
        }
        EXPECT_EQ(b.status, kPending);  // derived later by UpdateVerdicts
    }
}

TEST(CheckContiguity, each_layer_is_judged_on_its_own_and_only_where_it_covers)
{
    BoardModel m;
    m.BuildModel(boardTable({10}, {10}));
    MarkAllPending(m);
    AxisRows x(10, {0, 2}), y(10, {0});
    // Layer 0: emitters 3, 4. Layer 1: emitters 7, 8 (bytes 5, 6). Each layer is one run.
    for (int k : {3, 4})
        x.current[0][size_t(k)] = 125;
    for (int k : {5, 6})
        x.current[1][size_t(k)] = 125;
    // Byte 9 of layer 1 belongs to no element (emitter 11 is off the axis, and receiver 9 has no
    // beam in that layer); counted, it would break the receivers' run 5, 6.
    x.current[1][9] = 125;
    CheckContiguity(m, beamView(x, y));
    EXPECT_FALSE(m.emitters[0].hasFault(kFaultScattered));
    // Receivers: layer 0 bytes 3, 4; layer 1 bytes 5, 6 (and 9, uncovered): one run each.
    EXPECT_FALSE(m.receivers[0].hasFault(kFaultScattered));
}

TEST(UpdateVerdicts, derives_each_board_from_its_elements)
{
    struct Case {
        std::vector<int32_t> elements;
        int32_t statusBefore;
        uint32_t faultsBefore;
        int32_t status;
        uint32_t faults;
    };
    const Case cases[] = {
        {{3, 3, 2}, kPending, faultSet({4}), kFault, 0},
        {{3, 3, 3}, kFault, faultSet({3, 4}), kOk, 0},
        {{1, 3}, kPending, 0, kPending, faultSet({4})},
        {{1, 3}, kFault, faultSet({2}), kFault, faultSet({2, 4})},
        {{}, kPending, faultSet({4}), kOk, 0},  // no elements: accepted
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.elements));
        BoardModel m;
        m.BuildModel(boardTable({int(c.elements.size())}, {1}));
        PCB_INFO& b = m.emitters[0];
        for (size_t j = 0; j < c.elements.size(); ++j)
            b.leds[j].status = c.elements[j];
        b.status = c.statusBefore;
        b.faults = c.faultsBefore;
        for (PCB_INFO* other : {&m.emitters[1], &m.receivers[0], &m.receivers[1]})
            for (LED_STA& e : other->leds)
                e.status = kOk;
        const bool all = UpdateVerdicts(m);
        EXPECT_EQ(b.status, c.status);
        EXPECT_EQ(b.faults, c.faults);
        EXPECT_EQ(all, c.status == kOk);
    }
}

TEST(Verdict, fail_wins_over_pending_and_pass_needs_every_board_ok)
{
    BoardModel m;
    m.BuildModel(boardTable({4, 4}, {4}));
    EXPECT_EQ(overallVerdict(m), OverallVerdict::None);
    for (auto* list : {&m.emitters, &m.receivers})
        for (PCB_INFO& b : *list)
            b.status = kOk;
    EXPECT_EQ(overallVerdict(m), OverallVerdict::Pass);
    m.receivers[2].status = kPending;
    EXPECT_EQ(overallVerdict(m), OverallVerdict::None);
    m.emitters[0].status = kFault;
    EXPECT_EQ(overallVerdict(m), OverallVerdict::Fail);
}

TEST(Verdict, an_axis_without_elements_never_passes)
{
    BoardModel m;
    m.BuildModel(boardTable({4}, {0}));
    AxisRows x(4, {0}), y(1, {0});
    JudgementStage(m, beamView(x, y));
    std::fill(x.current[0].begin(), x.current[0].end(), uint8_t(0));
    EXPECT_FALSE(TestingStage(m, beamView(x, y)));
    std::fill(x.current[0].begin(), x.current[0].end(), uint8_t(200));
    EXPECT_TRUE(TestingStage(m, beamView(x, y)));  // every board, the empty Y boards too, is OK
    EXPECT_EQ(overallVerdict(m), OverallVerdict::None);
}

TEST(Stages, boards_without_elements_are_skipped_and_accepted)
{
    BoardModel m;
    m.BuildModel(boardTable({0, 6, 0}, {6, 0}));
    AxisRows x(6, {0, 1}), y(6, {0});
    JudgementStage(m, beamView(x, y));
    EXPECT_EQ(m.emitters[0].status, kPending);
    EXPECT_EQ(m.emitters[0].mean, 0);
    // Block every beam, then clear them: every element is accepted, and the empty boards with them.
    bool allOk = false;
    for (const uint8_t level : {0, 200}) {
        for (auto* rows : {&x, &y})
            for (auto& row : rows->current)
                std::fill(row.begin(), row.end(), level);
        allOk = TestingStage(m, beamView(x, y));
    }
    EXPECT_TRUE(allOk);
    EXPECT_EQ(m.emitters[0].status, kOk);
    EXPECT_EQ(m.receivers[4].status, kOk);
    EXPECT_EQ(overallVerdict(m), OverallVerdict::Pass);
}

}  // namespace
}  // namespace oculant
