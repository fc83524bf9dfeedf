// The frame is unplugged (and plugged back) while the tool is busy with it: during the
// connection probe, the information sequence, a calibration download and a recording.
#include <gtest/gtest.h>

#include <map>

#include "tests/support/CalibrationTestSupport.h"
#include "tests/support/FaultScenario.h"
#include "calibration/BlockDownload.h"
#include "calibration/CalibrationFlow.h"
#include "calibration/CalibrationFlowDevice.h"

namespace oculant {
namespace {

using test::FaultScenario;
using test::recordsMatch;

constexpr uint8_t kSequence[] = {0x10, 0x17, 0x16, 0x18, 0x19, 0x22};

const TextLookup bracketed = test::bracketLookup();

TEST(FaultUnplug, during_the_probe_the_session_ends_unconnected_and_a_replug_connects)
{
    FaultScenario s;
    const std::string path = s.h.attach();
    s.h.session.RescanDevices();
    s.h.hookChanges = true;
    // Probe tick 2 opens the frame and asks for 0x10; unplug before the answer is judged.
    s.h.advance(100);
    ASSERT_EQ(s.h.session.probeState(), 2);
    s.h.backend.detach(path);
    s.h.advance(500);
    EXPECT_FALSE(s.h.session.connected());
    EXPECT_FALSE(s.h.session.probeTimerEnabled()) << "the probe must not retry a frame that is gone";
    EXPECT_GE(s.view.unconnected, 1);
    EXPECT_EQ(s.h.session.talk().currentDevice(), nullptr);

    s.h.backend.reattach(path);
    ASSERT_TRUE(s.h.settle());
    EXPECT_TRUE(recordsMatch(s.h.session.records(), s.frame(path)->profile()));
}

TEST(FaultUnplug, during_the_information_sequence_a_replug_reads_everything_again)
{
    // Unplugged at each step of the sequence, and plugged back before the old sequence ended.
    for (int stepsBefore = 1; stepsBefore <= 6; ++stepsBefore) {
        SCOPED_TRACE("unplugged after info tick " + std::to_string(stepsBefore));
        FaultScenario s;
        const std::string path = s.h.attach();
        s.h.session.RescanDevices();
        s.h.hookChanges = true;
        while (!s.h.session.infoTimerEnabled())
            s.h.advance(10);
        s.h.advance(100 * stepsBefore - 10);
        ASSERT_TRUE(s.h.session.infoTimerEnabled());
        auto frame = s.frame(path);
        s.h.backend.detach(path);
        s.h.advance(20);
        EXPECT_FALSE(s.h.session.connected());
        const int shownBefore = s.view.connected;
        s.h.backend.reattach(path);
        while (s.view.connected == shownBefore && s.h.nowMs < 10000)
            s.h.advance(10);
        // From the moment the frame is shown connected again, every command of the sequence
        // reaches it again.
        std::map<uint8_t, int> atReconnect;
        for (uint8_t code : kSequence)
            atReconnect[code] = frame->commandsReceived(code);
        ASSERT_TRUE(s.h.settle());
        for (uint8_t code : kSequence)
            EXPECT_GT(frame->commandsReceived(code), atReconnect[code]) << "command " << int(code) << " not sent again";
        EXPECT_TRUE(recordsMatch(s.h.session.records(), frame->profile()));
        EXPECT_GE(s.view.parameterBlocks, 1);
    }
}

TEST(FaultUnplug, during_a_download_the_transfer_is_aborted_and_not_reported_as_written)
{
    VirtualFrameProfile profile;
    profile.stallAfterBytes = 520;  // an unplug starts as writes that no longer complete
    FaultScenario s;
    const std::string path = s.h.start(profile);
    ASSERT_TRUE(s.h.session.connected());
    auto frame = s.frame(path);

    DeviceSessionLink link(s.h.session);
    CalibrationFlow flow(link, bracketed);
    ASSERT_TRUE(flow.reset().started);
    s.h.advance(200);
    FlowTick tick = flow.downloadTick();
    ASSERT_FALSE(tick.finished);
    EXPECT_EQ(s.h.session.talk().blockSent(), 520u);

    s.h.backend.detach(path);
    for (int i = 0; i < 10 && !tick.finished; ++i) {
        s.h.advance(200);
        tick = flow.downloadTick();
    }
    ASSERT_TRUE(tick.finished);
    EXPECT_EQ(s.h.session.talk().blockOutcome(), BlockOutcome::Aborted);
    EXPECT_EQ(tick.statusText.rfind(kDownloadAbortedText, 0), 0u) << tick.statusText;
    ASSERT_TRUE(tick.messageBox.has_value()) << "the user must learn that the frame was not written";
    EXPECT_EQ(tick.messageBox->find("[DownloadFinish]"), std::string::npos);
    EXPECT_FALSE(flow.downloading());
    EXPECT_EQ(frame->completedCalibrationWrites(), 0);
    EXPECT_FALSE(s.h.session.connected());

    // Plugged back: the frame starts afresh, the session reconnects and reads it again.
    s.h.backend.reattach(path);
    ASSERT_TRUE(s.h.settle());
    EXPECT_TRUE(recordsMatch(s.h.session.records(), frame->profile()));
    EXPECT_TRUE(s.h.session.talk().idle());
}

TEST(FaultUnplug, during_a_recording_every_frame_received_is_in_the_log_and_recording_resumes)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "live");
    std::filesystem::create_directory(dir.path() / "replay");
    FaultScenario s((dir.path() / "live").string());
    const std::string path = s.h.start();
    s.processor.recorder().setLogOn(true);
    s.h.session.setActiveWindow(ActiveWindow::Signal);
    s.h.session.sendModeStream(protocol::kModeSignal);
    s.h.advance(1000);
    const size_t beforeUnplug = s.frames.size();
    ASSERT_GT(beforeUnplug, 40u);

    s.h.backend.detach(path);
    s.h.advance(500);
    EXPECT_FALSE(s.h.session.connected());
    EXPECT_TRUE(s.processor.recorder().recording()) << "no frame came to close the log";
    EXPECT_EQ(s.processor.recorder().framesWritten(), s.accepted);

    s.h.backend.reattach(path);
    ASSERT_TRUE(s.h.settle());
    s.h.advance(10);  // the worker writes what the reconnection queued
    EXPECT_EQ(s.frame(path)->mode(), protocol::kModeDiagnostic) << "the signal window asks for its stream again";
    s.h.advance(1000);
    EXPECT_GT(s.frames.size(), beforeUnplug + 40);
    EXPECT_TRUE(s.logErrors.empty());
    EXPECT_EQ(s.accepted, s.frames.size());
    const std::vector<std::vector<uint8_t>> logged = s.frames;
    s.processor.recorder().setLogOn(false);
    s.h.advance(100);  // the next frame closes the log
    EXPECT_FALSE(s.processor.recorder().recording());

    const std::string live = test::readFile(s.processor.recorder().path());
    const std::string expected = test::replayedLog(logged, dir.path() / "replay");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(live.size(), expected.size());
    EXPECT_TRUE(live == expected) << "the log differs from the frames that arrived";
}

}  // namespace
}  // namespace oculant
