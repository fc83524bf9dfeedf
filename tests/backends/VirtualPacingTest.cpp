// The virtual frame's pace: unpaced streaming (FrameRate 0) sends the next scan only when the
// host has read the last one, and paced streaming counts the scans a slow host never got.
#include <gtest/gtest.h>

#include "backends/virtual/VirtualFrame.h"
#include "base/IniFile.h"

namespace oculant {
namespace {

struct PacedFrame {
    int64_t nowUs = 0;
    VirtualFrame frame;

    explicit PacedFrame(int frameRate) : frame(profile(frameRate), [this] { return nowUs; }) {}

    static VirtualFrameProfile profile(int frameRate)
    {
        VirtualFrameProfile p;
        p.frameRate = frameRate;
        return p;
    }
    void startSignalStream()
    {
        const uint8_t report[63] = {VirtualFrame::kOutputReportId, protocol::kCmdMode, protocol::kModeSignal, 0x31};
        ASSERT_TRUE(frame.receiveOutputReport(report, sizeof report));
    }
    // Reads until nothing is queued (never ends on an unpaced frame that streams).
    int readAll()
    {
        int n = 0;
        while (frame.takeInputReport())
            ++n;
        return n;
    }
};

TEST(VirtualPacing, UnpacedFrameSendsTheNextScanOnlyOnceTheLastWasRead)
{
    PacedFrame f(0);
    f.startSignalStream();
    // Reference and threshold come first, then one live scan as the queue runs dry: the clock
    // never moves, so nothing here is paced by time.
    uint64_t before = f.frame.framesStreamed();
    EXPECT_EQ(before, 2u);
    int reports = 0;
    while (f.frame.framesStreamed() == before) {
        ASSERT_TRUE(f.frame.takeInputReport());
        ++reports;
    }
    // The reports of the reference and threshold, then the first report of the live scan.
    EXPECT_GT(reports, 2);
    // Each following read that empties the queue makes exactly one more scan, never a backlog.
    for (int scan = 0; scan < 5; ++scan) {
        before = f.frame.framesStreamed();
        std::optional<VirtualFrame::Report> r;
        do {
            r = f.frame.takeInputReport();
            ASSERT_TRUE(r);
        } while (f.frame.framesStreamed() == before);
        EXPECT_EQ(f.frame.framesStreamed(), before + 1);
        EXPECT_EQ((*r)[1], 0x30) << "a new scan starts with its first piece";
    }
    EXPECT_EQ(f.frame.scansSkipped(), 0u);
    EXPECT_EQ(f.frame.reportsLost(), 0u);
}

TEST(VirtualPacing, UnpacedFrameStopsWithModeZero)
{
    PacedFrame f(0);
    f.startSignalStream();
    // Unpaced, a streaming frame never runs dry: read a while, then stop it.
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(f.frame.takeInputReport());
    const uint8_t stop[63] = {VirtualFrame::kOutputReportId, protocol::kCmdMode, 0x00, 0x00};
    ASSERT_TRUE(f.frame.receiveOutputReport(stop, sizeof stop));
    f.readAll();
    const uint64_t stopped = f.frame.framesStreamed();
    EXPECT_FALSE(f.frame.takeInputReport());
    EXPECT_EQ(f.frame.framesStreamed(), stopped);
}

TEST(VirtualPacing, ScansOwedWhileTheHostDidNotReadAreCountedAsSkipped)
{
    struct Case {
        int64_t pauseUs;
        uint64_t skipped;  // owed scans beyond the four the frame still holds
    } cases[] = {
        {40'000, 0},      // 100 scans/s, scan 0 already sent: scans 1-4 owed, all sent
        {50'000, 1},      // scans 1-5 owed, the last four sent
        {1'000'000, 96},  // scans 1-100 owed after a second
    };
    for (const Case& c : cases) {
        PacedFrame f(100);
        f.startSignalStream();
        f.readAll();  // reference and threshold; scan 0 is owed at once
        const uint64_t startFrames = f.frame.framesStreamed();
        f.nowUs = c.pauseUs;
        f.readAll();
        EXPECT_EQ(f.frame.scansSkipped(), c.skipped) << c.pauseUs;
        const uint64_t owed = uint64_t(c.pauseUs / 10'000);
        EXPECT_EQ(f.frame.framesStreamed() - startFrames + c.skipped, owed) << "every owed scan is sent or counted";
        // When and after how long a pause the scans were skipped, for laying beside a trace.
        const std::vector<VirtualFrame::SkippedScans> times = f.frame.skippedScanTimes();
        ASSERT_EQ(times.size(), c.skipped ? 1u : 0u) << c.pauseUs;
        if (c.skipped) {
            EXPECT_EQ(times[0].readAgainUs, c.pauseUs);
            EXPECT_EQ(times[0].notReadForUs, c.pauseUs) << "the host last read at the stream's start";
            EXPECT_EQ(times[0].scans, c.skipped);
        }
    }
}

TEST(VirtualPacing, AHostThatReadsInTimeSkipsNothing)
{
    PacedFrame f(1000);
    f.startSignalStream();
    for (int i = 0; i < 500; ++i) {
        f.nowUs += 1000;
        f.readAll();
    }
    EXPECT_EQ(f.frame.scansSkipped(), 0u);
    EXPECT_EQ(f.frame.framesStreamed(), 2u + 501u);
}

TEST(VirtualPacing, ProfileAcceptsFrameRateZeroAndRefusesNegative)
{
    ProfileResult unpaced = parseVirtualFrameProfile(IniFile::fromText("[Geometry]\nFrameRate=0\n"), "p.ini");
    ASSERT_TRUE(unpaced.ok) << unpaced.error;
    EXPECT_EQ(unpaced.profile.frameRate, 0);
    ProfileResult negative = parseVirtualFrameProfile(IniFile::fromText("[Geometry]\nFrameRate=-1\n"), "p.ini");
    EXPECT_FALSE(negative.ok);
    EXPECT_NE(negative.error.find("FrameRate"), std::string::npos) << negative.error;
}

}  // namespace
}  // namespace oculant
