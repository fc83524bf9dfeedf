// Whole diagnostic runs: live scans of a frame with or without faults go through the real frame
// processor to the session, as on the drain timer; a finger slides along every edge.

#include <gtest/gtest.h>

#include <numeric>

#include "tests/support/DiagnosticTestSupport.h"
#include "diagnostics/DiagnosticSession.h"
#include "signal/FrameProcessor.h"
#include "signal/SignalStore.h"

namespace oculant {
namespace {

using test::BeamScene;

struct Geometry {
    const char* name;
    std::vector<int> xBoards, yBoards;
    std::vector<int16_t> xOffsets, yOffsets;
};

// One board per axis; five X and three Y boards with offsets of both signs; an X board without
// elements between two others. The last offset of each axis is not negative, so that family
// 0x40 can carry its boundary rows.
const Geometry kGeometries[] = {
    {"OneBoardEach", {40}, {24}, {0, 2}, {0, -2, 1}},
    {"ManyBoards", {32, 32, 32, 32, 32}, {30, 30, 30}, {0, -4, 4}, {0, -4, 4}},
    {"EmptyBoard", {20, 0, 24}, {16}, {0, -1, 1}, {0}},
};
const uint8_t kFamilies[] = {kFamilyFullScan, kFamilyPartialScan, kFamilyBoundary};

FrameLayout frameOf(const Geometry& g, uint8_t family)
{
    FrameLayout l;
    l.family = family;
    l.nX = uint16_t(std::accumulate(g.xBoards.begin(), g.xBoards.end(), 0));
    l.nY = uint16_t(std::accumulate(g.yBoards.begin(), g.yBoards.end(), 0));
    l.xOffsets = g.xOffsets;
    l.yOffsets = g.yOffsets;
    return l;
}

using RunParam = std::tuple<Geometry, uint8_t>;

class DiagnosticRun : public ::testing::TestWithParam<RunParam> {
protected:
    DiagnosticRun()
        : geometry(std::get<0>(GetParam())),
          table(test::boardTable(geometry.xBoards, geometry.yBoards)),
          session(store, table),
          scene(frameOf(geometry, std::get<1>(GetParam())))
    {
        processor.addListener(&session);
        session.setActive(true);
        session.FormShow();
    }

    // One live scan; the 200 ms timer ticks after every tenth (frames at 50 per second).
    void feed()
    {
        const auto bytes = scene.liveScan();
        ASSERT_EQ(processor.ProcessFrame(bytes.data(), bytes.size()).status, FrameStatus::Accepted);
        if (++frames % 10 == 0) {
            EXPECT_EQ(session.TimerTimer(true).outcome, TickOutcome::Receiving);
        }
    }

    // The restart and the ten scans of the reference, with nothing on the frame.
    void startTest()
    {
        for (int i = 0; i < 11; ++i)
            feed();
        ASSERT_EQ(session.testState(), TestState::Testing);
    }

    void sweep()
    {
        scene.sweep([&] { feed(); }, [&] { return session.testState() == TestState::Testing; });
    }

    // The board of `list` that holds position p of the axis.
    const PCB_INFO& boardAt(const std::vector<PCB_INFO>& list, uint8_t axis, int p) const
    {
        for (const PCB_INFO& b : list)
            if (b.axis == axis && b.count > 0 && p >= b.first && p <= b.last)
                return b;
        throw std::logic_error("no board holds the position");
    }

    const PCB_INFO& lastXBoard(const std::vector<PCB_INFO>& list) const
    {
        return list[geometry.xBoards.size() - 1];
    }

    void expectAxisOk(uint8_t axis) const
    {
        for (const auto* list : {&session.model().emitters, &session.model().receivers})
            for (const PCB_INFO& b : *list)
                if (b.axis == axis) {
                    EXPECT_EQ(b.status, kOk) << FaultLine(b, test::keyEcho());
                }
    }

    // Judgement finds the fault at once; the sweep accepts everything else and the verdict stays.
    void expectFailAfterSweep()
    {
        startTest();
        EXPECT_EQ(session.verdict(), OverallVerdict::Fail);
        sweep();
        EXPECT_EQ(session.verdict(), OverallVerdict::Fail);
        EXPECT_EQ(session.testState(), TestState::Testing);
    }

    Geometry geometry;
    SignalStore store;
    FrameProcessor processor{store};
    BoardLayoutTable table;
    DiagnosticSession session;
    BeamScene scene;
    int frames = 0;
};

TEST_P(DiagnosticRun, a_healthy_frame_swept_along_every_edge_passes)
{
    startTest();
    EXPECT_EQ(session.verdict(), OverallVerdict::None);
    sweep();
    EXPECT_EQ(session.testState(), TestState::Finished);
    EXPECT_EQ(session.verdict(), OverallVerdict::Pass);
    for (const std::string& line : session.faultLines(test::keyEcho()))
        EXPECT_EQ(line.substr(line.size() - 4), ": OK") << line;
}

TEST_P(DiagnosticRun, without_a_sweep_there_is_no_verdict)
{
    startTest();
    for (int i = 0; i < 200; ++i)
        feed();
    EXPECT_EQ(session.testState(), TestState::Testing);
    EXPECT_EQ(session.verdict(), OverallVerdict::None);
    const PCB_INFO& b = session.model().emitters[0];
    EXPECT_EQ(b.status, kPending);
    EXPECT_TRUE(b.hasFault(kFaultPending));
}

// A hand flat on the frame blocks every X beam at once: nothing is accepted, then or after the
// hand is lifted, and the window asks to lift it. A sweep afterwards passes.
TEST_P(DiagnosticRun, a_hand_on_the_frame_accepts_nothing_and_asks_to_lift_it)
{
    startTest();
    const auto noneOk = [&] {
        for (const auto* list : {&session.model().emitters, &session.model().receivers})
            for (const PCB_INFO& b : *list)
                for (const LED_STA& e : b.leds)
                    if (e.status == kOk)
                        return false;
        return true;
    };
    scene.placeFinger('X', 'e', 0, scene.layout().nX);
    feed();
    feed();
    EXPECT_EQ(session.noticeText(), "Lift your hand off the frame: most beams are blocked at once.");
    EXPECT_TRUE(noneOk());
    scene.liftFinger();
    feed();
    EXPECT_EQ(session.notice(), DiagnosticNotice::None);
    EXPECT_TRUE(noneOk());
    sweep();
    EXPECT_EQ(session.verdict(), OverallVerdict::Pass);
}

// An emitter that fails after the judgement reads blocked from then on: never accepted.
TEST_P(DiagnosticRun, an_element_that_goes_dark_during_the_test_is_never_accepted)
{
    startTest();
    scene.killEmitter('X', 17);
    feed();
    const PCB_INFO& b = boardAt(session.model().emitters, kAxisX, 17);
    EXPECT_EQ(b.leds[size_t(17 - b.first)].status, kPending);
    sweep();
    EXPECT_NE(b.leds[size_t(17 - b.first)].status, kOk);
    EXPECT_NE(session.verdict(), OverallVerdict::Pass);
}

TEST_P(DiagnosticRun, a_dead_emitter_fails_its_board)
{
    scene.killEmitter('X', 17);
    expectFailAfterSweep();
    const PCB_INFO& b = boardAt(session.model().emitters, kAxisX, 17);
    EXPECT_EQ(b.status, kFault);
    EXPECT_EQ(b.leds[size_t(17 - b.first)].status, kFault);
    EXPECT_EQ(FaultLine(b, test::keyEcho()), "XEmit" + std::to_string(b.index + 1) + ": 2");
    expectAxisOk(kAxisY);
}

TEST_P(DiagnosticRun, a_dead_receiver_fails_its_board)
{
    scene.killReceiver('X', 30);
    expectFailAfterSweep();
    const PCB_INFO& b = boardAt(session.model().receivers, kAxisX, 30);
    EXPECT_EQ(b.status, kFault);
    EXPECT_EQ(b.leds[size_t(30 - b.first)].status, kFault);
    EXPECT_EQ(FaultLine(b, test::keyEcho()), "XRecv" + std::to_string(b.index + 1) + ": 2");
    expectAxisOk(kAxisY);
}

TEST_P(DiagnosticRun, a_weak_emitter_fails_its_board)
{
    scene.weakenEmitter('Y', 5);
    expectFailAfterSweep();
    const PCB_INFO& b = boardAt(session.model().emitters, kAxisY, 5);
    EXPECT_EQ(b.status, kFault);
    EXPECT_EQ(b.leds[size_t(5 - b.first)].status, kFault);
    EXPECT_EQ(FaultLine(b, test::keyEcho()), "YEmit1: 2");
    expectAxisOk(kAxisX);
}

TEST_P(DiagnosticRun, a_dark_board_fails_on_both_sides)
{
    const PCB_INFO& last = lastXBoard(session.model().emitters);
    scene.darkenRange('X', last.first, last.last);
    expectFailAfterSweep();
    for (const auto* list : {&session.model().emitters, &session.model().receivers}) {
        const PCB_INFO& b = lastXBoard(*list);
        EXPECT_EQ(b.status, kFault);
        for (const LED_STA& e : b.leds)
            EXPECT_EQ(e.status, kFault);
        // The whole-board fault 1 is replaced by 2: every beam of the board is below 60.
        EXPECT_EQ(b.faults, faultBit(kFaultDarkElement));
    }
    expectAxisOk(kAxisY);
}

std::string runName(const ::testing::TestParamInfo<RunParam>& info)
{
    return std::string(std::get<0>(info.param).name) + "_family" + std::to_string(std::get<1>(info.param) >> 4);
}

INSTANTIATE_TEST_SUITE_P(Geometries, DiagnosticRun,
                         ::testing::Combine(::testing::ValuesIn(kGeometries), ::testing::ValuesIn(kFamilies)), runName);

}  // namespace
}  // namespace oculant
