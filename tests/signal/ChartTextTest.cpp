// The signal window's texts and its frame rate: caption, layer captions, the status line.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "signal/ChartFrameRate.h"
#include "signal/ChartText.h"

namespace oculant {
namespace {

TEST(ChartText, caption_adds_the_recording_text_while_logon_is_checked)
{
    const std::map<std::string, std::string, std::less<>> texts{{"FormSignal", "信号查看"}, {"Recording", "正在记录"}};
    const SignalTextLookup lookup = [&](std::string_view key) {
        const auto it = texts.find(key);
        return it == texts.end() ? std::string("N/A") : it->second;
    };
    EXPECT_EQ(signalCaption(false, lookup), "信号查看");
    EXPECT_EQ(signalCaption(true, lookup), "信号查看 - 正在记录");
    // A language without the keys shows what the lookup gives for missing keys.
    const SignalTextLookup missing = [](std::string_view) { return std::string("N/A"); };
    EXPECT_EQ(signalCaption(true, missing), "N/A - N/A");
    EXPECT_EQ(signalCaption(false, nullptr), "Signal");
    EXPECT_EQ(signalCaption(true, nullptr), "Signal - Recording");
}

TEST(ChartText, layer_text_names_the_axis_layer_and_signed_offset)
{
    EXPECT_EQ(chartLayerText(true, 0, 0), "X layer 0, offset 0");
    EXPECT_EQ(chartLayerText(true, 5, 3), "X layer 5, offset +3");
    EXPECT_EQ(chartLayerText(false, 2, -7), "Y layer 2, offset -7");
}

TEST(ChartText, status_line_names_only_the_drop_reasons_that_occurred)
{
    SignalStatus s;
    s.framesPerSecond = 24.96;
    s.bX = 3;
    s.nX = 40;
    s.bY = 3;
    s.nY = 24;
    EXPECT_EQ(signalStatusText(s), "25.0 frames/s  |  X 3 × 40, Y 3 × 24  |  dropped 0  |  not recording");

    s.ringDrops = 2;
    s.drops.byStatus[size_t(FrameStatus::BadChecksum)] = 1;
    s.drops.byStatus[size_t(FrameStatus::ShortPayload)] = 4;
    s.lostReports = 17;
    s.recording = true;
    s.logPath = "./1700000000.txt";
    s.framesWritten = 1;
    EXPECT_EQ(signalStatusText(s),
              "25.0 frames/s  |  X 3 × 40, Y 3 × 24  |  dropped 7 (frame ring full 2, bad checksum 1, short "
              "payload 4), 17 reports lost  |  recording 1700000000.txt, 1 frame");

    s = {};
    s.logPath = "/data/logs/1700000000-1.txt";
    s.framesWritten = 250;
    EXPECT_EQ(signalStatusText(s), "0.0 frames/s  |  X 0 × 0, Y 0 × 0  |  dropped 0  |  last log "
                                   "/data/logs/1700000000-1.txt, 250 frames");
    // Frames the disk could not take in time are missing from the log: said beside the count.
    s.framesNotWritten = 12;
    EXPECT_EQ(signalStatusText(s), "0.0 frames/s  |  X 0 × 0, Y 0 × 0  |  dropped 0  |  last log "
                                   "/data/logs/1700000000-1.txt, 250 frames, 12 not written (disk too slow)");
}

TEST(ChartText, every_drop_reason_has_its_own_name)
{
    std::map<std::string, int> names;
    for (int i = 1; i < kFrameStatusCount; ++i)
        ++names[std::string(frameDropReason(FrameStatus(i)))];
    EXPECT_EQ(names.size(), size_t(kFrameStatusCount - 1));
}

TEST(ChartFrameRate, counts_frames_over_the_last_second)
{
    ChartFrameRate rate;
    EXPECT_EQ(rate.perSecond(), 0);
    rate.sample(0, 0);
    EXPECT_EQ(rate.perSecond(), 0) << "one sample is no interval";
    // 50 frames per second, sampled every 100 ms like the redraw tick.
    for (int t = 100; t <= 3000; t += 100)
        rate.sample(t, uint64_t(t / 20));
    EXPECT_DOUBLE_EQ(rate.perSecond(), 50);
    // The stream stops: the rate falls to 0 within a second.
    for (int t = 3100; t <= 3500; t += 100)
        rate.sample(t, 150);
    EXPECT_DOUBLE_EQ(rate.perSecond(), 25);
    for (int t = 3600; t <= 4000; t += 100)
        rate.sample(t, 150);
    EXPECT_DOUBLE_EQ(rate.perSecond(), 0);
}

TEST(ChartFrameRate, a_restarted_counter_or_clock_starts_over)
{
    ChartFrameRate rate;
    rate.sample(0, 1000);
    rate.sample(100, 1010);
    EXPECT_DOUBLE_EQ(rate.perSecond(), 100);
    rate.sample(200, 5);  // a new processor
    EXPECT_EQ(rate.perSecond(), 0);
    rate.sample(300, 15);
    EXPECT_DOUBLE_EQ(rate.perSecond(), 100);
    rate.sample(250, 20);  // time went backwards
    EXPECT_EQ(rate.perSecond(), 0);
    rate.sample(250, 30);  // two samples at the same moment are no interval
    EXPECT_EQ(rate.perSecond(), 0);
}

}  // namespace
}  // namespace oculant
