// A frame that stops answering in the middle of a calibration download ([Faults]
// StallAfterBytes): the transfer ends as Aborted within a bounded number of attempts, the user is
// told, the tool stays usable, and the frame works again once it is plugged back in.
#include <gtest/gtest.h>

#include "tests/support/CalibrationTestSupport.h"
#include "tests/support/FaultScenario.h"
#include "calibration/BlockDownload.h"
#include "calibration/CalibrationFlow.h"
#include "calibration/CalibrationFlowDevice.h"

namespace oculant {
namespace {

using test::FaultScenario;

const TextLookup bracketed = test::bracketLookup();

struct StallCase {
    long long stallAfter;  // bytes the frame takes before it goes silent
    uint32_t sentAtEnd;    // whole chunks written before that
};

class FaultStall : public ::testing::TestWithParam<StallCase> {};

TEST_P(FaultStall, the_download_ends_aborted_and_the_tool_keeps_working)
{
    VirtualFrameProfile profile;
    profile.stallAfterBytes = GetParam().stallAfter;
    FaultScenario s;
    const std::string path = s.h.start(profile);
    ASSERT_TRUE(s.h.session.connected());
    auto frame = s.frame(path);
    DeviceSessionLink link(s.h.session);
    CalibrationFlow flow(link, bracketed);
    ASSERT_TRUE(flow.reset().started);

    FlowTick tick;
    int ticks = 0;
    for (; ticks < 100 && !tick.finished; ++ticks) {
        s.h.advance(200);
        tick = flow.downloadTick();
        if (!tick.finished) {
            EXPECT_EQ(tick.statusText.rfind("[DownloadWait]", 0), 0u);
        }
    }
    ASSERT_TRUE(tick.finished) << "the download must not wait for ever on a silent frame";
    // One attempt per 10 ms pass of the stepped worker: the bound, then the next 200 ms tick.
    EXPECT_LE(ticks, HIDTalk::kMaxChunkAttempts * 10 / 200 + 2);
    EXPECT_EQ(s.h.session.talk().blockOutcome(), BlockOutcome::Aborted);
    EXPECT_EQ(s.h.session.talk().blockSent(), GetParam().sentAtEnd);
    const std::string percent = std::to_string(GetParam().sentAtEnd * 100 / 2048) + "%";
    EXPECT_EQ(tick.statusText, kDownloadAbortedText + percent);
    EXPECT_EQ(tick.messageBox, std::optional<std::string>(tick.statusText));
    EXPECT_EQ(frame->completedCalibrationWrites(), 0);
    EXPECT_EQ(frame->flash(link.calibrationAreaAddress(), GetParam().sentAtEnd), std::vector<uint8_t>(flow.lastDownload().begin(), flow.lastDownload().begin() + GetParam().sentAtEnd))
        << "what the frame took is what was sent";

    // The tool is free again: a new transfer is accepted (and ends the same way), commands to
    // the silent frame are dropped after their attempts instead of piling up.
    EXPECT_TRUE(s.h.session.talk().idle());
    const uint64_t droppedBefore = s.h.session.talk().droppedCommands();
    s.h.session.refresh();
    s.h.advance(1500);
    EXPECT_GT(s.h.session.talk().droppedCommands(), droppedBefore);
    EXPECT_EQ(s.h.session.talk().queuedCommands(), 0);

    // Plugged back in: the firmware restarts; the session reconnects and reads it again.
    s.h.backend.detach(path);
    s.h.advance(100);
    s.h.backend.reattach(path);
    ASSERT_TRUE(s.h.settle());
    EXPECT_TRUE(test::recordsMatch(s.h.session.records(), frame->profile()));
}

INSTANTIATE_TEST_SUITE_P(Fault, FaultStall,
                         ::testing::Values(StallCase{52, 52},        // after the first chunk
                                           StallCase{520, 520},      // after ten chunks
                                           StallCase{1000, 1024},    // inside a chunk: it completes
                                           StallCase{2012, 2012}),  // only the chunk with the CRC word is lost
                         [](const auto& info) { return "after_" + std::to_string(info.param.stallAfter) + "_bytes"; });

}  // namespace
}  // namespace oculant
