#include <gtest/gtest.h>

#include <vector>

#include "calibration/CaptureSession.h"
#include "tests/support/CalibrationTestSupport.h"

namespace oculant {
namespace {

using test::kFullHd;

CalibrationSettings twoByTwo() { return test::fullScreen(2, 2, false); }

void oneFinger(CaptureSession& s, uint8_t id, int16_t x, int16_t y)
{
    const ReportedContact c{x, y, 10, 10, id, kContactDown};
    s.AddTouchReport(1, {&c, 1});
}

void twoFingers(CaptureSession& s)
{
    const ReportedContact c[2] = {{100, 100, 10, 10, 1, kContactDown}, {900, 900, 10, 10, 2, kContactDown}};
    s.AddTouchReport(2, c);
}

// Drives the session one tick at a time, one report per tick, like a steady frame.
class Capture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.open(twoByTwo(), kFullHd)); }

    CaptureStepResult step() { return session.captureStep(++tick); }

    CaptureStepResult hold(uint8_t id, int16_t x, int16_t y)
    {
        oneFinger(session, id, x, y);
        return step();
    }

    // Takes one point from a fresh contact: 1 pick-up + 5 settling + 9 holding ticks.
    CaptureStepResult takePoint(uint8_t id, int16_t x, int16_t y)
    {
        CaptureStepResult last;
        for (int i = 0; i < 15; ++i)
            last = hold(id, x, y);
        return last;
    }

    CaptureSession session;
    uint64_t tick = 0;
};

TEST_F(Capture, a_point_settles_holds_and_averages_the_last_three_ticks)
{
    CaptureStepResult r = hold(1, 1000, 500);
    EXPECT_EQ(session.phase(), CapturePhase::Settling);
    EXPECT_EQ(session.trackedId(), 1);
    EXPECT_TRUE(r.redraw);
    EXPECT_FALSE(r.command);

    for (int i = 0; i < 4; ++i) {
        hold(1, 1000, 500);
        EXPECT_EQ(session.phase(), CapturePhase::Settling) << "steady report " << i + 1;
    }
    hold(1, 1000, 500);  // fifth steady report stores the position and starts holding
    EXPECT_EQ(session.phase(), CapturePhase::Holding);
    EXPECT_EQ(session.progress(), 10);
    EXPECT_EQ(session.data().points[0].touch, (FrameLogical{1000, 500}));

    for (int progress = 20; progress <= 70; progress += 10) {
        hold(1, 1200, 700);  // below 70 the held position does not move
        EXPECT_EQ(session.progress(), progress);
    }
    EXPECT_EQ(session.data().points[0].touch, (FrameLogical{1000, 500}));

    hold(1, 2000, 1500);
    EXPECT_EQ(session.data().points[0].touch, (FrameLogical{1500, 1000}));
    hold(1, 3000, 2000);
    EXPECT_EQ(session.data().points[0].touch, (FrameLogical{2250, 1500}));
    r = hold(1, 4000, -3);
    EXPECT_EQ(session.data().points[0].touch, (FrameLogical{3125, 748}));
    EXPECT_EQ(session.current(), 1);
    EXPECT_EQ(session.progress(), 0);
    EXPECT_EQ(session.phase(), CapturePhase::Waiting);
    EXPECT_TRUE(session.isOpen());
    EXPECT_EQ(r.end, CaptureEnd::None);
}

TEST_F(Capture, the_same_finger_held_on_does_not_start_the_next_point)
{
    takePoint(7, 100, 100);
    ASSERT_EQ(session.current(), 1);
    for (int i = 0; i < 30; ++i)
        hold(7, 100, 100);
    EXPECT_EQ(session.current(), 1);
    EXPECT_EQ(session.phase(), CapturePhase::Waiting);
    EXPECT_EQ(session.progress(), 0);

    hold(8, 100, 100);
    EXPECT_EQ(session.phase(), CapturePhase::Settling);
    EXPECT_EQ(session.trackedId(), 8);
}

TEST_F(Capture, another_contact_while_settling_or_holding_starts_over)
{
    hold(1, 10, 10);
    hold(1, 10, 10);
    hold(2, 10, 10);
    EXPECT_EQ(session.phase(), CapturePhase::Waiting);

    takePoint(3, 10, 10);  // current 1 now
    for (int i = 0; i < 7; ++i)
        hold(4, 10, 10);
    ASSERT_EQ(session.phase(), CapturePhase::Holding);
    ASSERT_EQ(session.progress(), 20);
    hold(5, 10, 10);
    EXPECT_EQ(session.phase(), CapturePhase::Waiting);
    EXPECT_EQ(session.progress(), 0);
    EXPECT_EQ(session.current(), 1);
}

TEST_F(Capture, every_point_taken_completes_and_stops_the_stream)
{
    const int16_t xs[4] = {1000, 1100, 20000, 20100};
    CaptureStepResult r;
    for (int p = 0; p < 4; ++p)
        r = takePoint(static_cast<uint8_t>(10 + p), xs[p], 5000);
    EXPECT_EQ(r.end, CaptureEnd::Completed);
    EXPECT_EQ(r.command, kStopStreaming);
    EXPECT_FALSE(session.isOpen());
    EXPECT_TRUE(session.data().complete());
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(session.data().points[p].touch, (FrameLogical{xs[p], 5000}));

    oneFinger(session, 20, 1, 1);
    EXPECT_EQ(step().refused, StepRefusal::NotOpen);
    EXPECT_EQ(session.keyPress(CaptureSession::kEscapeKey).refused, StepRefusal::NotOpen);
}

TEST_F(Capture, idle_ticks_reset_progress_and_ask_for_touch_reports_again)
{
    for (int i = 0; i < 7; ++i)
        hold(1, 10, 10);
    ASSERT_EQ(session.progress(), 20);

    for (int i = 1; i <= 3; ++i) {
        const CaptureStepResult r = step();
        EXPECT_FALSE(r.command) << "idle tick " << i;
        EXPECT_FALSE(r.redraw);
        EXPECT_EQ(session.idleTicks(), i);
        EXPECT_EQ(session.progress(), 20);
    }
    for (int i = 4; i <= 6; ++i) {
        const CaptureStepResult r = step();
        EXPECT_EQ(r.command, kStartTouchReports) << "idle tick " << i;
        EXPECT_TRUE(r.redraw);
        EXPECT_EQ(session.progress(), 0);
        EXPECT_EQ(session.trackedId(), 0);
    }
    // With the tracked id forgotten the same finger counts as new: it leaves the holding phase
    // and is picked up again.
    hold(1, 10, 10);
    EXPECT_EQ(session.idleTicks(), 0);
    EXPECT_EQ(session.phase(), CapturePhase::Waiting);
    hold(1, 10, 10);
    EXPECT_EQ(session.phase(), CapturePhase::Settling);
    EXPECT_EQ(session.trackedId(), 1);
}

TEST_F(Capture, two_fingers_for_more_than_a_hundred_reports_abandon_the_run)
{
    for (int i = 0; i < 100; ++i)
        twoFingers(session);
    CaptureStepResult r = step();
    EXPECT_EQ(r.end, CaptureEnd::None);
    EXPECT_EQ(session.twoTouchCount(), 100);

    twoFingers(session);
    oneFinger(session, 1, 5, 5);  // after the abandonment: not looked at
    r = step();
    EXPECT_EQ(r.end, CaptureEnd::TwoFingers);
    EXPECT_EQ(r.command, kStopStreaming);
    EXPECT_EQ(session.twoTouchCount(), 0);
    EXPECT_FALSE(session.data().complete());
    EXPECT_FALSE(session.isOpen());
}

TEST_F(Capture, a_report_without_down_contacts_breaks_a_two_finger_run)
{
    for (int i = 0; i < 100; ++i)
        twoFingers(session);
    const ReportedContact lifted[2] = {{1, 1, 0, 0, 1, 8}, {2, 2, 0, 0, 2, 8}};
    session.AddTouchReport(2, lifted);
    for (int i = 0; i < 100; ++i)
        twoFingers(session);
    const CaptureStepResult r = step();
    EXPECT_EQ(r.end, CaptureEnd::None);
    EXPECT_EQ(session.twoTouchCount(), 100);
    EXPECT_EQ(session.phase(), CapturePhase::Waiting);
}

TEST_F(Capture, escape_and_other_closes_send_mode_zero_without_success)
{
    EXPECT_EQ(session.keyPress('a').end, CaptureEnd::None);
    EXPECT_TRUE(session.isOpen());
    CaptureStepResult r = session.keyPress(CaptureSession::kEscapeKey);
    EXPECT_EQ(r.end, CaptureEnd::Escape);
    EXPECT_EQ(r.command, kStopStreaming);
    EXPECT_FALSE(session.data().complete());
    EXPECT_EQ(session.close().refused, StepRefusal::NotOpen);

    ASSERT_TRUE(session.open(twoByTwo(), kFullHd));
    r = session.close();
    EXPECT_EQ(r.end, CaptureEnd::Closed);
    EXPECT_EQ(r.command, kStopStreaming);
}

TEST_F(Capture, a_tick_is_stepped_once)
{
    const uint64_t t = ++tick;
    EXPECT_EQ(session.captureStep(t).refused, StepRefusal::None);
    EXPECT_EQ(session.idleTicks(), 1);
    EXPECT_EQ(session.captureStep(t).refused, StepRefusal::StaleTick);
    EXPECT_EQ(session.captureStep(t - 1).refused, StepRefusal::StaleTick);
    EXPECT_EQ(session.idleTicks(), 1) << "a refused step changes nothing";
    oneFinger(session, 1, 1, 1);
    EXPECT_EQ(session.captureStep(t).refused, StepRefusal::StaleTick);
    EXPECT_EQ(session.phase(), CapturePhase::Waiting);
}

TEST(CaptureSession, steps_before_opening_are_refused)
{
    CaptureSession session;
    EXPECT_EQ(session.captureStep(1).refused, StepRefusal::NotOpen);
    EXPECT_EQ(session.close().refused, StepRefusal::NotOpen);
    CalibrationSettings settings = twoByTwo();
    settings.window.height = 0;
    EXPECT_FALSE(session.open(settings, kFullHd));
    EXPECT_FALSE(session.isOpen());
}

TEST(CaptureSession, opening_clears_the_run_but_keeps_phase_and_counters)
{
    CaptureSession session;
    ASSERT_TRUE(session.open(twoByTwo(), kFullHd));
    uint64_t tick = 0;
    for (int i = 0; i < 8; ++i) {
        oneFinger(session, 3, 50, 60);
        session.captureStep(++tick);
    }
    ASSERT_EQ(session.phase(), CapturePhase::Holding);
    oneFinger(session, 3, 50, 60);  // left in the ring
    session.keyPress(CaptureSession::kEscapeKey);

    ASSERT_TRUE(session.open(twoByTwo(), kFullHd));
    EXPECT_EQ(session.phase(), CapturePhase::Holding);
    EXPECT_EQ(session.progress(), 0);
    EXPECT_EQ(session.current(), 0);
    EXPECT_EQ(session.trackedId(), 0);
    EXPECT_EQ(session.data().points[0].touch, (FrameLogical{50, 60}));
    // The ring was cleared and tick numbering starts afresh with the new run.
    const CaptureStepResult r = session.captureStep(1);
    EXPECT_EQ(r.refused, StepRefusal::None);
    EXPECT_EQ(session.idleTicks(), 1);
}

TEST(TouchRing, keeps_only_down_contacts_at_most_ten)
{
    TouchRing ring;
    std::vector<ReportedContact> contacts;
    for (int i = 0; i < 32; ++i)
        contacts.push_back({static_cast<int16_t>(-i), static_cast<int16_t>(i), 0, 0, static_cast<uint8_t>(i),
                            static_cast<uint8_t>(i % 2 ? kContactDown : 8)});
    ring.add(40, contacts);
    ASSERT_FALSE(ring.empty());
    const TouchSnapshot& s = ring.take();
    ASSERT_EQ(s.count, 10);
    EXPECT_EQ(s.contacts[0].id, 1);
    EXPECT_EQ(s.contacts[0].position, (FrameLogical{-1, 1}));
    EXPECT_EQ(s.contacts[9].id, 19);
    EXPECT_TRUE(ring.empty());

    ring.add(5, std::span<const ReportedContact>(contacts.data(), 2));  // count beyond the table
    EXPECT_EQ(ring.take().count, 1);
}

TEST(TouchRing, overwrites_after_256_unread_reports)
{
    TouchRing ring;
    const ReportedContact c{1, 1, 0, 0, 1, kContactDown};
    for (int i = 0; i < 255; ++i)
        ring.add(1, {&c, 1});
    EXPECT_FALSE(ring.empty());
    ring.add(1, {&c, 1});
    EXPECT_TRUE(ring.empty()) << "the 256th report makes the ring look empty";
}

// From the fourth target on, a touch is judged by the map of the targets before it: one that
// lands farther off than the limit is taken again from a fresh touch, and counted. A verify pass
// judges its touches itself and never retakes.
TEST_F(Capture, a_misplaced_touch_is_taken_again_from_a_fresh_contact)
{
    ASSERT_TRUE(session.open(test::fullScreen(3, 3, false), kFullHd));
    session.setMisplacedLimit(CaptureSession::kDefaultMisplacedLimitMm, {160, 90});
    uint8_t id = 1;
    const auto target = [&](int k) { return session.data().points[size_t(k)].target; };
    for (int k = 0; k < 4; ++k) {
        EXPECT_FALSE(takePoint(id++, int16_t(target(k).x), int16_t(target(k).y)).retake);
        step();  // lifted
    }
    ASSERT_EQ(session.current(), 4);
    // 2000 units right: 58 mm on a frame of 160 positions.
    const CaptureStepResult r = takePoint(id, int16_t(target(4).x + 2000), int16_t(target(4).y));
    EXPECT_TRUE(r.retake);
    EXPECT_EQ(session.current(), 4) << "the same target again";
    EXPECT_EQ(session.retakes(4), 1);
    EXPECT_NEAR(session.lastMisplacedMm(), 2000 * 955.0 / 32768, 0.5);
    EXPECT_EQ(session.data().points[4].touch, (FrameLogical{0, 0}));
    // The finger that was refused does not start the point again; a fresh one does.
    for (int i = 0; i < 20; ++i)
        hold(id, int16_t(target(4).x), int16_t(target(4).y));
    EXPECT_EQ(session.current(), 4);
    EXPECT_FALSE(takePoint(++id, int16_t(target(4).x), int16_t(target(4).y)).retake);
    EXPECT_EQ(session.current(), 5);
    EXPECT_EQ(session.retakes(4), 1);

    // Within the limit (10 mm: 343 units) a touch is taken as it lands.
    step();
    EXPECT_FALSE(takePoint(++id, int16_t(target(5).x + 300), int16_t(target(5).y)).retake);
    EXPECT_EQ(session.current(), 6);

    // The verify pass over the same targets takes the far touch: it is what verify measures.
    CalibrationData targets = session.data();
    ASSERT_TRUE(session.open(targets));
    for (int k = 0; k < 5; ++k) {
        step();
        takePoint(++id, int16_t(target(k).x + (k == 4 ? 2000 : 0)), int16_t(target(k).y));
    }
    EXPECT_EQ(session.current(), 5);
    EXPECT_EQ(session.retakes(4), 0);
}

TEST_F(Capture, a_target_nobody_touches_ends_the_capture_after_a_minute)
{
    for (int i = 0; i < CaptureSession::kTargetTimeoutTicks; ++i)
        ASSERT_EQ(step().end, CaptureEnd::None) << i;
    const CaptureStepResult r = step();
    EXPECT_EQ(r.end, CaptureEnd::TimedOut);
    EXPECT_EQ(r.command, kStopStreaming);
    EXPECT_FALSE(session.isOpen());
    EXPECT_FALSE(session.data().complete());
}

}  // namespace
}  // namespace oculant
