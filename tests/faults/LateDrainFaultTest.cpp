// The UI thread comes late: a modal dialog, a slow chart refresh or a busy machine holds the
// drain for a quarter of a second while the frame streams at 8,000 reports/s and the worker
// keeps reading. Nothing received may be lost, and the recording holds every frame.
#include <gtest/gtest.h>

#include "tests/support/FaultScenario.h"

namespace oculant {
namespace {

using test::FaultScenario;

TEST(FaultLateDrain, a_drain_held_for_250_ms_at_full_rate_loses_no_report_and_no_frame)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "live");
    std::filesystem::create_directory(dir.path() / "replay");
    FaultScenario s((dir.path() / "live").string());
    VirtualFrameProfile profile;
    profile.frameRate = 616;  // 13 reports a scan: 8,008 reports/s
    const std::string path = s.h.start(profile);
    ASSERT_TRUE(s.h.session.connected());
    // The worker reads every millisecond, as its thread does (the frame keeps only a few scans
    // it could not send); the UI's timers tick every 10 ms while `ticking`.
    HIDTalk& talk = s.h.session.talk();
    auto run = [&](int ms, bool ticking) {
        for (int end = s.h.nowMs + ms; s.h.nowMs < end;) {
            ++s.h.nowMs;
            for (int pass = 0; pass < 1000 && talk.workerPass(); ++pass) {
            }
            if (ticking && s.h.nowMs % SessionCore::kTickMs == 0)
                s.h.core.tick(s.h.nowMs);
        }
    };
    s.processor.recorder().setLogOn(true);
    s.h.session.sendModeStream(protocol::kModeSignal);
    run(200, true);
    // Right after a drain, the next one comes 250 ms later instead of 20.
    for (const uint64_t drains = s.h.core.tickCounts().drains; s.h.core.tickCounts().drains == drains;)
        run(1, true);
    const size_t before = s.frames.size();
    ASSERT_GT(before, 100u);

    run(240, false);
    EXPECT_EQ(s.frames.size(), before) << "nothing was drained meanwhile";
    run(SessionCore::kTickMs, true);  // the late drain, 250 ms after the last, takes it all at once
    EXPECT_GE(s.frames.size(), before + 150) << "a quarter of a second of scans arrived together";
    run(200, true);

    EXPECT_EQ(talk.receiveOverruns(), 0u) << "the receive ring held the quarter second";
    EXPECT_EQ(s.h.session.dispatcher().droppedFrames(), 0u) << "the frame ring did not overflow";
    EXPECT_EQ(s.frame(path)->scansSkipped(), 0u);
    EXPECT_EQ(s.accepted, s.frames.size());

    // The log holds every frame that arrived, byte for byte.
    const std::vector<std::vector<uint8_t>> logged = s.frames;
    s.processor.recorder().setLogOn(false);
    run(20, true);
    EXPECT_FALSE(s.processor.recorder().recording());
    EXPECT_EQ(s.processor.recorder().framesNotWritten(), 0u);
    EXPECT_EQ(s.processor.recorder().framesWritten(), logged.size());
    EXPECT_EQ(test::readFile(s.processor.recorder().path()), test::replayedLog(logged, dir.path() / "replay"));

    s.h.session.sendModeStop();
    run(100, true);
    EXPECT_EQ(s.frame(path)->framesStreamed(), s.frames.size()) << "every frame sent was processed";
}

}  // namespace
}  // namespace oculant
