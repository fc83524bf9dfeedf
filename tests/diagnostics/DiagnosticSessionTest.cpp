#include <gtest/gtest.h>

#include <set>

#include "tests/support/DiagnosticTestSupport.h"
#include "diagnostics/DiagnosticSession.h"
#include "i18n/Language.h"
#include "tests/support/ShownTexts.h"
#include "signal/FrameProcessor.h"
#include "signal/SignalStore.h"

namespace oculant {
namespace {

using test::BeamScene;
using test::boardTable;

FrameLayout frameOf(uint16_t nX, uint16_t nY)
{
    FrameLayout l;
    l.family = kFamilyFullScan;
    l.nX = nX;
    l.nY = nY;
    l.xOffsets = {0, 1};
    l.yOffsets = {0};
    return l;
}

// X boards of 6 and 6 elements, one Y board of 8; frames of that layout or of another one.
class Session : public ::testing::Test {
protected:
    Session() : table(boardTable({6, 6}, {8})), session(store, table), scene(frameOf(12, 8)), other(frameOf(13, 8)) {}

    // A live scan through the processor, then the diagnostic's step as the active window gets it.
    FrameStep frame(BeamScene& s)
    {
        const auto bytes = s.liveScan();
        EXPECT_EQ(processor.ProcessFrame(bytes.data(), bytes.size()).status, FrameStatus::Accepted);
        return session.handleSignalFrame();
    }
    FrameStep frame() { return frame(scene); }
    FrameStep unmatchedFrame() { return frame(other); }

    // Show, then frames up to the judgement: the test is in its testing state.
    void runToTesting()
    {
        session.FormShow();
        ASSERT_EQ(frame().outcome, FrameOutcome::ReferenceRestarted);
        for (int i = 0; i < 9; ++i)
            ASSERT_EQ(frame().outcome, FrameOutcome::AwaitingReference);
        ASSERT_EQ(frame().outcome, FrameOutcome::Judged);
    }

    // A sweep along every edge: the step of the last scan.
    FrameStep sweep(BeamScene& s)
    {
        FrameStep step;
        s.sweep([&] { step = frame(s); }, [&] { return session.testState() == TestState::Testing; });
        return step;
    }

    bool anyVerdictSet() const
    {
        for (const auto* list : {&session.model().emitters, &session.model().receivers})
            for (const PCB_INFO& b : *list) {
                if (b.status != kNotTested)
                    return true;
                for (const LED_STA& e : b.leds)
                    if (e.status != kNotTested)
                        return true;
            }
        return false;
    }

    SignalStore store;
    FrameProcessor processor{store};
    BoardLayoutTable table;
    DiagnosticSession session;
    BeamScene scene;
    BeamScene other;
};

TEST_F(Session, the_first_show_builds_the_model_and_a_later_one_keeps_it)
{
    EXPECT_EQ(session.testState(), TestState::Finished);
    EXPECT_TRUE(session.model().empty());
    EXPECT_TRUE(session.FormShow());
    EXPECT_EQ(session.testState(), TestState::ModelBuilt);
    EXPECT_EQ(session.model().xTotal, 12);
    EXPECT_EQ(session.model().yTotal, 8);
    EXPECT_FALSE(session.FormShow());
    // Updated: another board table (another frame, or a later parameter block answer) used to
    // keep the model too; it is rebuilt now, so no verdict of the earlier boards is shown.
    table.xElements[0] = 7;
    EXPECT_TRUE(session.FormShow());
    EXPECT_EQ(session.model().xTotal, 13);
}

TEST_F(Session, mode_commands_for_activation_reset_and_close)
{
    DiagnosticCommand mode1{0x21, std::vector<uint8_t>(60, 0)};
    mode1.payload[0] = 0x01;
    mode1.payload[1] = 0x31;
    DiagnosticCommand mode4 = mode1;
    mode4.payload[0] = 0x04;
    EXPECT_EQ(session.FormActivate(), mode1);
    EXPECT_EQ(session.Button1Click(), mode1);
    EXPECT_EQ(session.FormClose(), (DiagnosticCommand{0x21, {0x00, 0x00}}));
    EXPECT_EQ(diagnosticModeCommand(), mode4);
}

TEST_F(Session, a_test_walks_through_reference_judgement_and_testing_to_pass)
{
    session.FormShow();
    FrameStep s = frame();
    EXPECT_EQ(s.outcome, FrameOutcome::ReferenceRestarted);
    EXPECT_TRUE(s.redraw);
    EXPECT_EQ(store.referenceCaptureCount(), 0);
    EXPECT_EQ(session.testState(), TestState::AwaitingReference);
    EXPECT_TRUE(session.timerEnabled());

    // The reference completes with the tenth scan after the restart.
    for (int i = 1; i <= 9; ++i) {
        s = frame();
        EXPECT_EQ(s.outcome, FrameOutcome::AwaitingReference) << i;
        EXPECT_FALSE(s.redraw);
        EXPECT_EQ(store.referenceCaptureCount(), i);
    }
    s = frame();
    EXPECT_EQ(s.outcome, FrameOutcome::Judged);
    EXPECT_EQ(session.testState(), TestState::Testing);
    EXPECT_EQ(session.model().emitters[0].status, kPending);

    s = frame();
    EXPECT_EQ(s.outcome, FrameOutcome::Tested);
    EXPECT_TRUE(s.redraw);
    EXPECT_EQ(session.verdict(), OverallVerdict::None);

    s = sweep(scene);
    EXPECT_EQ(s.outcome, FrameOutcome::Passed);
    EXPECT_EQ(session.testState(), TestState::Finished);
    EXPECT_EQ(session.verdict(), OverallVerdict::Pass);

    // Finished: further frames change nothing.
    s = frame();
    EXPECT_EQ(s.outcome, FrameOutcome::Finished);
    EXPECT_FALSE(s.redraw);
    EXPECT_EQ(session.verdict(), OverallVerdict::Pass);
}

// The line under the picture, stepped as the window steps it: a scan every 20 ms and the timer
// every 200 ms. It counts accepted elements up to all of them, and the time left down from the
// time-out; a test with elements never touched says it has passed the time-out.
TEST_F(Session, the_progress_line_counts_accepted_elements_and_the_time_left)
{
    const int64_t timeout = DiagnosticSession::kWindowTimeoutMs;
    session.FormShow();
    EXPECT_EQ(progressText(session.progress(), timeout), "") << "nothing judged yet";
    runToTesting();
    DiagnosticProgress p = session.progress();
    EXPECT_EQ(p.total, 2 * (6 + 6 + 8));
    EXPECT_EQ(p.accepted, 0);
    EXPECT_EQ(progressText(p, timeout), "0 of 40 elements accepted (0.0 %), 60 s left before the time-out");

    int scans = 0;
    std::set<int> partly;  // the counts seen on the way, short of every element
    const auto scanAndTick = [&](BeamScene& s) {
        frame(s);
        if (++scans % 10 == 0)
            session.TimerTimer(true);
        if (const int n = session.progress().accepted; n > 0 && n < 40)
            partly.insert(n);
    };
    scene.sweep([&] { scanAndTick(scene); }, [&] { return session.testState() == TestState::Testing; });
    ASSERT_EQ(session.verdict(), OverallVerdict::Pass);
    EXPECT_GE(partly.size(), 10u) << "the count grows as the finger goes round";
    p = session.progress();
    EXPECT_TRUE(p.finished);
    EXPECT_EQ(p.accepted, 40);
    EXPECT_EQ(p.elapsedMs, int64_t(scans / 10) * DiagnosticSession::kTimerIntervalMs);
    EXPECT_EQ(progressText(p, timeout), "All 40 elements accepted in " + std::to_string((p.elapsedMs + 999) / 1000) + " s");

    // Again, with nobody at the frame: the time runs out, the test goes on and says so.
    session.Button1Click();
    runToTesting();
    for (int i = 0; i < 10 * 299; ++i)
        scanAndTick(scene);
    EXPECT_EQ(progressText(session.progress(), timeout), "0 of 40 elements accepted (0.0 %), 1 s left before the time-out");
    for (int i = 0; i < 10; ++i)
        scanAndTick(scene);
    EXPECT_EQ(progressText(session.progress(), timeout),
              "0 of 40 elements accepted (0.0 %): no verdict within 60 s; the boards still wanted are in the fault list");
    EXPECT_EQ(session.testState(), TestState::Testing);

    // In Chinese, from the shipped language file.
    Language language(test::kShippedLanguageFile.string());
    language.select("中文简体");
    const std::string chinese = progressText(session.progress(), timeout, [&](std::string_view k, std::string_view f) {
        return language.LookupTextOr(k, f);
    });
    EXPECT_EQ(chinese, "已通过 0 / 40 个灯管（0.0 %）：60 秒内没有结论；仍待测的灯板见故障列表");
}

// Frame A passes; then the diagnostic is opened again on frame B with other boards, then on frame
// C, whose signal does not match its table (B's). Neither ever shows the earlier PASS.
TEST_F(Session, another_frame_starts_from_not_tested_and_never_shows_the_earlier_pass)
{
    runToTesting();
    ASSERT_EQ(sweep(scene).outcome, FrameOutcome::Passed);
    table.xElements[1] = 7;  // B: 6 + 7 X elements, as `other` streams them
    session.restartTest();   // the Diagnostic button, then the window's show
    EXPECT_TRUE(session.FormShow());
    EXPECT_FALSE(anyVerdictSet());
    for (int i = 0; i < 11; ++i)
        frame(other);
    ASSERT_EQ(sweep(other).outcome, FrameOutcome::Passed);

    session.restartTest();  // C streams 12 X positions
    EXPECT_FALSE(session.FormShow());
    const FrameStep s = frame(scene);
    EXPECT_EQ(s.outcome, FrameOutcome::Unmatched);
    EXPECT_TRUE(s.redraw);
    EXPECT_FALSE(anyVerdictSet());
    EXPECT_EQ(session.noticeText(), "No verdict: the signal has 12 x 8 positions, the board table 13 x 8.");
}

TEST_F(Session, frames_of_another_layout_are_only_counted)
{
    session.FormShow();
    for (int i = 0; i < 3; ++i) {
        const FrameStep s = unmatchedFrame();
        EXPECT_EQ(s.outcome, FrameOutcome::Unmatched);
        EXPECT_FALSE(s.redraw);
    }
    EXPECT_EQ(session.frameCount(), 3u);
    EXPECT_EQ(session.testState(), TestState::ModelBuilt);
    EXPECT_FALSE(session.timerEnabled());
    // The timer never starts without a matching frame.
    EXPECT_EQ(session.TimerTimer(true).outcome, TickOutcome::TimerStopped);
}

TEST_F(Session, without_a_show_the_empty_model_matches_no_frame)
{
    EXPECT_EQ(frame().outcome, FrameOutcome::Unmatched);
    EXPECT_EQ(session.testState(), TestState::Finished);
}

TEST_F(Session, the_timer_watches_the_frames_and_restarts_the_test_when_they_stop)
{
    runToTesting();
    TickStep t = session.TimerTimer(true);
    EXPECT_EQ(t.outcome, TickOutcome::Receiving);
    EXPECT_EQ(t.captionKey, "DiagnosticTitle1");
    EXPECT_EQ(session.lastFrameCount(), session.frameCount());

    // Refused while another window is active: nothing counts.
    t = session.TimerTimer(false);
    EXPECT_EQ(t.outcome, TickOutcome::NotActive);
    EXPECT_EQ(session.staleTicks(), 0);

    for (uint8_t i = 1; i <= 3; ++i) {
        t = session.TimerTimer(true);
        EXPECT_EQ(t.outcome, TickOutcome::Waiting);
        EXPECT_TRUE(t.captionKey.empty());
        EXPECT_EQ(session.staleTicks(), i);
        EXPECT_EQ(session.testState(), TestState::Testing);
    }
    t = session.TimerTimer(true);
    EXPECT_EQ(t.outcome, TickOutcome::FramesStopped);
    EXPECT_EQ(t.captionKey, "DiagnosticTitle2");
    EXPECT_TRUE(t.redraw);
    EXPECT_FALSE(session.timerEnabled());
    EXPECT_EQ(session.testState(), TestState::ModelBuilt);
    EXPECT_FALSE(anyVerdictSet());
    EXPECT_EQ(session.TimerTimer(true).outcome, TickOutcome::TimerStopped);

    // Frames come back: the test starts from the beginning.
    EXPECT_EQ(frame().outcome, FrameOutcome::ReferenceRestarted);
    EXPECT_TRUE(session.timerEnabled());
    EXPECT_EQ(session.TimerTimer(true).outcome, TickOutcome::Receiving);
    EXPECT_EQ(session.staleTicks(), 0);
}

TEST_F(Session, frames_of_another_layout_keep_a_running_timer_alive)
{
    runToTesting();
    for (int tick = 0; tick < 10; ++tick) {
        unmatchedFrame();
        EXPECT_EQ(session.TimerTimer(true).outcome, TickOutcome::Receiving) << tick;
    }
    EXPECT_EQ(session.testState(), TestState::Testing);
}

// Frames every 100 ms until 2 s, the timer every 200 ms in either phase, on a 100 ms clock.
TEST_F(Session, the_timeout_comes_800_to_1000_ms_after_the_last_frame)
{
    for (const int phase : {0, 100}) {
        SCOPED_TRACE(phase);
        session.BuildModel();
        int timeoutMs = -1;
        for (int ms = 100; ms <= 4000 && timeoutMs < 0; ms += 100) {
            if (ms <= 2000)
                frame();
            if (ms % 200 != phase)
                continue;
            const TickStep t = session.TimerTimer(true);
            if (ms <= 2000) {
                EXPECT_EQ(t.captionKey, "DiagnosticTitle1") << ms;
            }
            if (t.outcome == TickOutcome::FramesStopped)
                timeoutMs = ms;
        }
        ASSERT_GT(timeoutMs, 0);
        EXPECT_GE(timeoutMs - 2000, 800);
        EXPECT_LE(timeoutMs - 2000, 1000);
    }
}

TEST_F(Session, reset_during_testing_clears_the_verdicts_and_the_next_frame_restarts_the_reference)
{
    runToTesting();
    frame();
    ASSERT_TRUE(anyVerdictSet());
    const DiagnosticCommand c = session.Button1Click();
    EXPECT_EQ(c.payload[0], 0x01);
    EXPECT_EQ(session.testState(), TestState::ModelBuilt);
    EXPECT_FALSE(anyVerdictSet());
    EXPECT_EQ(store.referenceCaptureCount(), 10);
    EXPECT_EQ(frame().outcome, FrameOutcome::ReferenceRestarted);
    EXPECT_EQ(store.referenceCaptureCount(), 0);
}

TEST_F(Session, the_main_window_restarts_the_test_without_rebuilding_the_model)
{
    runToTesting();
    session.restartTest();
    EXPECT_EQ(session.testState(), TestState::ModelBuilt);
    EXPECT_TRUE(anyVerdictSet());  // the previous picture stays until a frame arrives
    EXPECT_EQ(frame().outcome, FrameOutcome::ReferenceRestarted);
    EXPECT_FALSE(anyVerdictSet());
}

TEST_F(Session, a_fault_stays_until_the_model_is_rebuilt)
{
    scene.killEmitter('X', 3);
    runToTesting();
    EXPECT_EQ(session.verdict(), OverallVerdict::Fail);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(frame().outcome, FrameOutcome::Tested);
    EXPECT_EQ(session.verdict(), OverallVerdict::Fail);
    EXPECT_EQ(session.testState(), TestState::Testing);
}

TEST_F(Session, the_picture_is_laid_out_again_after_every_rebuild)
{
    test::RecordingCanvas canvas;
    const TextLookup lookup = test::keyEcho();
    session.FormShow();
    EXPECT_EQ(session.Redraw(canvas, 1000, 600, lookup), RedrawOutcome::LaidOut);
    EXPECT_EQ(session.Redraw(canvas, 1000, 600, lookup), RedrawOutcome::Painted);
    frame();  // state 1: rebuild
    EXPECT_EQ(session.Redraw(canvas, 1000, 600, lookup), RedrawOutcome::LaidOut);
    frame();
    EXPECT_EQ(session.Redraw(canvas, 1000, 600, lookup), RedrawOutcome::Painted);
}

TEST_F(Session, as_a_listener_it_takes_live_scans_only_while_active_and_asks_for_redraws)
{
    processor.addListener(&session);
    session.FormShow();
    int redraws = 0;
    session.setRedrawHook([&] { ++redraws; });
    const auto bytes = scene.liveScan();
    processor.ProcessFrame(bytes.data(), bytes.size());
    EXPECT_EQ(session.frameCount(), 0u);

    bool active = true;
    session.setActiveQuery([&] { return active; });
    for (int i = 0; i < 11; ++i)
        processor.ProcessFrame(bytes.data(), bytes.size());
    EXPECT_EQ(session.frameCount(), 11u);
    EXPECT_EQ(session.testState(), TestState::Testing);
    EXPECT_EQ(redraws, 2);  // the restart and the judgement

    active = false;
    processor.ProcessFrame(bytes.data(), bytes.size());
    EXPECT_EQ(session.frameCount(), 11u);
    session.setActive(true);
    processor.ProcessFrame(bytes.data(), bytes.size());
    EXPECT_EQ(redraws, 3);

    // Touch reports and other frame types never reach it.
    const SignalFrameBuilder builder(scene.layout());
    const auto touch = builder.touchReport(0, {});
    processor.ProcessFrame(touch.data(), touch.size());
    EXPECT_EQ(session.frameCount(), 12u);
    processor.removeListener(&session);
}

TEST_F(Session, fault_lines_list_emitters_then_receivers)
{
    scene.killReceiver('Y', 2);
    runToTesting();
    const std::vector<std::string> lines = session.faultLines(test::keyEcho());
    EXPECT_EQ(lines, (std::vector<std::string>{"XEmit1: 4", "XEmit2: 4", "YEmit1: 2", "XRecv1: 4", "XRecv2: 4",
                                               "YRecv1: 2"}));
}

}  // namespace
}  // namespace oculant
