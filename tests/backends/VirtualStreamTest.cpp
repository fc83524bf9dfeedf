// The virtual frame streaming through the real worker, reassembly and frame processor: what
// lands in the signal store is what its beams say, for every signal family.
#include <gtest/gtest.h>

#include "tests/support/SessionHarness.h"
#include "signal/FrameProcessor.h"
#include "base/IniFile.h"

namespace oculant {
namespace {

struct TouchLog : SignalFrameListener {
    std::vector<std::vector<TouchRecord>> reports;
    void HandleTouches(uint8_t count, const TouchTable& records) override
    {
        reports.emplace_back(records.begin(), records.begin() + count);
    }
};

struct Streaming : ::testing::TestWithParam<uint8_t> {
    test::SessionHarness h;
    SignalStore& store = h.core.store();
    FrameProcessor& processor = h.core.processor();
    TouchLog touches;
    std::shared_ptr<VirtualFrame> frame;

    void start(VirtualFrameProfile p)
    {
        processor.addListener(&touches);
        frame = h.backend.frame(h.start(std::move(p)));
        ASSERT_TRUE(h.session.connected());
    }
    static VirtualFrameProfile quiet(uint8_t family)
    {
        VirtualFrameProfile p;
        p.family = family;
        p.noise = 0;
        p.xBoards = {20, 20};
        p.yBoards = {24};
        p.xOffsets = {0, -2, 3};  // a last offset of at least -1 keeps family 0x40's boundary rows
        p.yOffsets = {0, -3, 2};
        return p;
    }
    std::vector<uint8_t> currentPlane() const
    {
        auto plane = store.plane(kPlaneCurrent);
        return {plane.begin(), plane.begin() + long(store.sampleBlockLength())};
    }
};

TEST_P(Streaming, StoreHoldsTheBeamLevelsAfterASecond)
{
    start(quiet(GetParam()));
    h.session.sendModeStream(protocol::kModeSignal);
    h.advance(1000);
    EXPECT_GE(frame->framesStreamed(), 50u);
    EXPECT_EQ(processor.drops().total(), 0u);
    ASSERT_EQ(store.nX(), 40);
    ASSERT_EQ(store.nY(), 24);
    ASSERT_EQ(store.bX(), 3);
    if (GetParam() == kFamilyShortHeader) {
        // Family 0x00 live scans are logged, not stored: plane 0 stays empty and is copied on.
        EXPECT_EQ(currentPlane(), std::vector<uint8_t>(store.sampleBlockLength(), 0));
        return;
    }
    EXPECT_EQ(currentPlane(), frame->beams().levels({}, false, 0));
    // The reference frame sent on entering the mode landed in plane 3.
    auto reference = store.plane(kPlaneReference);
    EXPECT_EQ(std::vector<uint8_t>(reference.begin(), reference.begin() + long(store.sampleBlockLength())),
              frame->beams().levels({}, false, 0));
}

TEST_P(Streaming, FingerLowersExactlyTheBeamsItCrosses)
{
    if (GetParam() == kFamilyShortHeader)
        GTEST_SKIP() << "family 0x00 live scans do not reach the store";
    start(quiet(GetParam()));
    h.session.sendModeStream(protocol::kModeSignal);
    // Finger of 4 mm radius at x = 100 mm, y = 60 mm. Beams are 4 mm wide, so straight beams
    // (layer 0) whose centre line passes within 6 mm of it are touched: X positions at
    // (p + 0.5) * 5.96 mm within 94-106 mm are 16 (98.3) and 17 (104.3); Y positions within
    // 54-66 mm are 9 (56.6) and 10 (62.6).
    frame->fingerDown(100, 60, 4);
    h.advance(200);
    const int n = store.nX();
    auto lowered = [&](int row, int count) {
        std::vector<int> at;
        auto r = store.row(kPlaneCurrent, row);
        for (int p = 0; p < count; ++p)
            if (r[size_t(p)] < 200)
                at.push_back(p);
        return at;
    };
    EXPECT_EQ(lowered(0, n), (std::vector<int>{16, 17}));
    EXPECT_EQ(lowered(store.bX(), store.nY()), (std::vector<int>{9, 10}));
    // Slanted beams are lowered too, and the rest keep the reference level.
    EXPECT_FALSE(lowered(1, n).empty());
    int untouched = 0;
    for (uint8_t v : currentPlane())
        untouched += v == 200;
    EXPECT_GT(untouched, int(store.sampleBlockLength()) * 3 / 4);
}

INSTANTIATE_TEST_SUITE_P(Families, Streaming, ::testing::Values(0x00, 0x10, 0x30, 0x40),
                         [](const auto& info) { return "family" + std::to_string(int(info.param)); });

TEST(StreamingTouches, FingerReportsIdsStateAndLiftOff)
{
    test::SessionHarness h;
    TouchLog touches;
    h.core.processor().addListener(&touches);
    auto frame = h.backend.frame(h.start());
    h.session.sendModeTouch();
    h.advance(100);
    EXPECT_TRUE(touches.reports.empty()) << "no touch, no reports";

    const double w = frame->beams().widthMm(), ht = frame->beams().heightMm();
    const int a = frame->fingerDown(w / 2, ht / 4);
    const int b = frame->fingerDown(w / 4, ht / 2);
    h.advance(100);
    ASSERT_FALSE(touches.reports.empty());
    const std::vector<TouchRecord>& last = touches.reports.back();
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(last[0].id, a);
    EXPECT_EQ(last[1].id, b);
    EXPECT_EQ(last[0].x, 16384);
    EXPECT_EQ(last[0].y, 8192);
    EXPECT_EQ(last[0].state, 9);
    EXPECT_NEAR(last[0].width, 8 / w * 32768, 1);

    frame->fingerUp(a);
    touches.reports.clear();
    h.advance(100);
    ASSERT_GE(touches.reports.size(), 2u);
    // a is reported once more in its own place with state 8, then only b is left.
    ASSERT_EQ(touches.reports[0].size(), 2u);
    EXPECT_EQ(touches.reports[0][0].id, a);
    EXPECT_EQ(touches.reports[0][0].state, 8);
    EXPECT_EQ(touches.reports[0][1].id, b);
    EXPECT_EQ(touches.reports[0][1].state, 9);
    ASSERT_EQ(touches.reports[1].size(), 1u);
    EXPECT_EQ(touches.reports[1][0].id, b);
    EXPECT_EQ(frame->fingerDown(1, 1), a) << "the freed id is used again";
}

TEST(StreamingPace, FramesFollowTheClockNotThePolling)
{
    test::SessionHarness h;
    VirtualFrameProfile p;
    p.frameRate = 120;
    auto frame = h.backend.frame(h.start(p));
    h.session.sendModeStream(protocol::kModeSignal);
    h.advance(20);
    const uint64_t start = frame->framesStreamed();
    h.advance(2000);
    // 240 live scans in two seconds, give or take the one in progress.
    EXPECT_NEAR(double(frame->framesStreamed() - start), 240.0, 2.0);
    h.session.sendModeStop();
    h.advance(20);
    const uint64_t stopped = frame->framesStreamed();
    h.advance(500);
    EXPECT_EQ(frame->framesStreamed(), stopped);
}

}  // namespace
}  // namespace oculant

namespace oculant {
namespace {

// Every input report of three seconds of signal streaming, with the scripted sweep's finger
// crossing the beams, folded into one FNV-1a hash.
uint64_t streamHash(const std::string& profileText)
{
    const ProfileResult r = parseVirtualFrameProfile(IniFile::fromText(profileText), "stream.ini");
    EXPECT_TRUE(r.ok) << r.error;
    int64_t nowUs = 0;
    VirtualFrame frame(r.profile, [&] { return nowUs; });
    const uint8_t mode[63] = {VirtualFrame::kOutputReportId, protocol::kCmdMode, protocol::kModeSignal};
    frame.receiveOutputReport(mode, sizeof mode);
    frame.startSweep();
    uint64_t hash = 0xcbf29ce484222325ull;
    for (; nowUs <= 3'000'000; nowUs += 5000)
        while (const std::optional<VirtualFrame::Report> report = frame.takeInputReport())
            for (uint8_t b : *report)
                hash = (hash ^ b) * 0x100000001b3ull;
    return hash;
}

// Profiles written before the beams learnt spread, ambient light, drift and late faults must
// stream exactly what they streamed then: the hashes were taken from that version.
TEST(StreamingBytes, ProfilesWithoutTheNewKeysStreamWhatTheyAlwaysDid)
{
    EXPECT_EQ(streamHash(""), 0xdbe3640363e7886dull);
    EXPECT_EQ(streamHash("[Faults]\nDeadEmitters=X:17\nWeakReceivers=Y:3\nDarkBoards=X:3\n"), 0x4fccdd8b730a025bull);
    EXPECT_EQ(streamHash("[Geometry]\nFamily=0x40\nXOffsets=0,-2,3\nYOffsets=0,-3,2\nNoise=5\nReferenceLevel=180\n"), 0xeca881fac5907e1bull);
}

}  // namespace
}  // namespace oculant
