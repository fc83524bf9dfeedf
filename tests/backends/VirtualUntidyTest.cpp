// The virtual frame as untidy as a real one: spread fixed per element, ambient light, drift on
// the frame's clock, a chosen weak level, intermittent elements, faults that begin during a
// test, and a USB link that loses reports (frames then dropped and counted, never misread).
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "tests/support/SessionHarness.h"
#include "base/IniFile.h"
#include "signal/FrameProcessor.h"

namespace oculant {
namespace {

VirtualFrameProfile profile(const std::string& text)
{
    const ProfileResult r = parseVirtualFrameProfile(IniFile::fromText(text), "untidy.ini");
    EXPECT_TRUE(r.ok) << r.error;
    return r.profile;
}

// A small frame: X 20 positions in layers 0, +2 and -2, Y 8 positions in one layer; no noise.
const std::string kSmall = "[Geometry]\nXBoards=10,10\nYBoards=8\nXOffsets=0,2,-2\nYOffsets=0\nNoise=0\n";

// Byte of X layer `layer`, receiver r, in a plane of the small frame.
int xAt(const std::vector<uint8_t>& levels, int layer, int r) { return levels[size_t(layer * 20 + r)]; }

TEST(VirtualUntidy, the_keys_are_read_and_bad_values_refused_naming_the_key)
{
    const VirtualFrameProfile p = profile("[Beams]\nLevelSpread=15\nAmbient=0x20\nDrift=1.5\nSeed=99\n"
                                          "[Faults]\nWeakLevel=70\nIntermittentEmitters=X:3,Y:4\nIntermittentDuty=0.2\n"
                                          "FaultsAfterSeconds=12.5\nReportLoss=0.001\n");
    EXPECT_EQ(p.levelSpreadPercent, 15);
    EXPECT_EQ(p.ambient, 32);
    EXPECT_EQ(p.driftPerMinute, 1.5);
    EXPECT_EQ(p.seed, 99u);
    EXPECT_EQ(p.weakLevel, 70);
    EXPECT_EQ(p.intermittentEmitters, (std::vector<VirtualFrameProfile::Element>{{'X', 3}, {'Y', 4}}));
    EXPECT_EQ(p.intermittentDuty, 0.2);
    EXPECT_EQ(p.faultsAfterSeconds, 12.5);
    EXPECT_EQ(p.reportLoss, 0.001);
    for (const char* bad : {"[Beams]\nLevelSpread=101\n", "[Beams]\nAmbient=256\n", "[Beams]\nDrift=-1\n",
                            "[Faults]\nWeakLevel=300\n", "[Faults]\nIntermittentReceivers=X:160\n",
                            "[Faults]\nIntermittentDuty=1.5\n", "[Faults]\nFaultsAfterSeconds=-2\n",
                            "[Faults]\nReportLoss=half\n"}) {
        const ProfileResult r = parseVirtualFrameProfile(IniFile::fromText(bad), "untidy.ini");
        EXPECT_FALSE(r.ok) << bad;
        const std::string text = bad;
        const size_t from = text.find('\n') + 1;
        EXPECT_NE(r.error.find("] " + text.substr(from, text.find('=') - from) + ": "), std::string::npos) << r.error;
    }
}

TEST(VirtualUntidy, spread_is_fixed_per_element_and_a_beam_is_emitter_strength_times_receiver_gain)
{
    const VirtualBeams beams(profile(kSmall + "[Beams]\nLevelSpread=20\nSeed=3\n"));
    const std::vector<uint8_t> a = beams.levels({}, false, 0);
    EXPECT_EQ(beams.levels({}, true, 41), a) << "the same in every scan";
    std::set<int> seen;
    for (int r = 2; r < 18; ++r)
        for (int layer = 0; layer < 3; ++layer) {
            EXPECT_GE(xAt(a, layer, r), 160);
            EXPECT_LE(xAt(a, layer, r), 240);
            seen.insert(xAt(a, layer, r));
        }
    EXPECT_GT(seen.size(), 10u) << "the elements differ";
    // Emitters 4 and 6 and receivers 4 and 6: the straight beams (layer 0) and the crossed ones
    // (6 -> 4 in layer +2, 4 -> 6 in layer -2) meet the same two strengths and two gains.
    const double straight = xAt(a, 0, 4) * xAt(a, 0, 6), crossed = xAt(a, 1, 4) * xAt(a, 2, 6);
    EXPECT_NEAR(straight / crossed, 1.0, 0.01) << xAt(a, 0, 4) << " " << xAt(a, 0, 6) << " " << xAt(a, 1, 4) << " "
                                               << xAt(a, 2, 6);
    EXPECT_NE(xAt(a, 0, 4), xAt(a, 1, 4)) << "receiver 4 sees emitters of different strengths";
    // Another seed, other elements.
    EXPECT_NE(VirtualBeams(profile(kSmall + "[Beams]\nLevelSpread=20\nSeed=4\n")).levels({}, false, 0), a);
}

TEST(VirtualUntidy, ambient_light_adds_to_every_sample_up_to_255_and_drift_follows_the_clock)
{
    const VirtualBeams bright(profile(kSmall + "[Geometry]\nReferenceLevel=220\n[Beams]\nAmbient=60\n"
                                                 "[Faults]\nDeadEmitters=X:5\nWeakReceivers=X:7\nWeakLevel=80\n"));
    const std::vector<uint8_t> b = bright.levels({}, false, 0);
    EXPECT_EQ(xAt(b, 0, 0), 255) << "220 + 60 saturates";
    EXPECT_EQ(xAt(b, 0, 5), 61) << "dead: 1 + 60";
    EXPECT_EQ(xAt(b, 0, 7), 140) << "weak at 80, + 60";
    EXPECT_EQ(xAt(b, 1, 18), 0) << "no beam there: nothing is scanned";
    // A finger blocks down to the ambient light, not to 0.
    const VirtualFinger onBeam{1, 0.5 * VirtualBeams::kPitchMm, 20, 8};
    EXPECT_EQ(bright.levels({onBeam}, false, 0)[0], 60 + std::lround(220 * 0.05));

    const VirtualBeams drifting(profile(kSmall + "[Beams]\nDrift=6\n"));
    BeamScan later;
    later.minutesOn = 10;
    const std::vector<uint8_t> start = drifting.levels({}, BeamScan{}), after = drifting.levels({}, later);
    int moved = 0;
    for (size_t i = 0; i < start.size(); ++i) {
        EXPECT_LE(std::abs(after[i] - start[i]), 60) << i;
        moved += std::abs(after[i] - start[i]) > 5;
    }
    EXPECT_EQ(start, VirtualBeams(profile(kSmall)).levels({}, false, 0)) << "nothing drifted at power-on";
    EXPECT_GT(moved, int(start.size()) / 2);
}

TEST(VirtualUntidy, an_intermittent_element_reads_dark_in_its_share_of_live_scans_only)
{
    const VirtualBeams beams(profile(kSmall + "[Faults]\nIntermittentReceivers=X:3\nIntermittentDuty=0.25\n"));
    int dark = 0, othersDark = 0;
    for (uint32_t scan = 1; scan <= 400; ++scan) {
        const std::vector<uint8_t> l = beams.levels({}, true, scan);
        dark += xAt(l, 0, 3) < 10;
        EXPECT_EQ(xAt(l, 0, 3) < 10, xAt(l, 1, 3) < 10) << "dark in every beam of it at once";
        for (int r = 0; r < 18; ++r)
            othersDark += r != 3 && xAt(l, 0, r) < 10;
    }
    EXPECT_NEAR(dark / 400.0, 0.25, 0.06);
    EXPECT_EQ(othersDark, 0);
    EXPECT_EQ(xAt(beams.levels({}, false, 0), 0, 3), 200) << "the expectation is the clear element";
}

// A session on a frame whose faults begin 3 s after power-on, and one whose link loses reports.
struct Streamed : ::testing::Test {
    test::SessionHarness h;
    SignalStore store;
    FrameProcessor processor{store, "/nonexistent"};
    std::shared_ptr<VirtualFrame> frame;
    VirtualFrameProfile expected;  // the frame with nothing lost and no noise
    uint64_t accepted = 0, misread = 0;

    void start(const std::string& text)
    {
        expected = profile(text);
        h.session.setFrameSink([&](const uint8_t* d, uint32_t n) {
            if (processor.ProcessFrame(d, n).status != FrameStatus::Accepted)
                return;
            ++accepted;
            const auto plane = store.plane(kPlaneCurrent);
            misread += !std::equal(plane.begin(), plane.begin() + long(store.sampleBlockLength()),
                                   VirtualBeams(expected).levels({}, false, 0).begin());
        });
        frame = h.backend.frame(h.attach(expected));
        h.session.RescanDevices();
        h.advance(1500);
        ASSERT_TRUE(h.session.connected());
        h.session.sendModeStream(protocol::kModeSignal);
    }
    int deadBeam() const { return store.row(kPlaneCurrent, 0)[5]; }
};

TEST_F(Streamed, faults_begin_after_their_seconds_from_power_on)
{
    start("[Geometry]\nNoise=0\n[Faults]\nDeadEmitters=X:5\nFaultsAfterSeconds=3\n");
    h.advance(1000);  // 2.5 s since power-on
    EXPECT_EQ(deadBeam(), 200);
    h.advance(600);
    EXPECT_LE(deadBeam(), 2);
}

TEST_F(Streamed, frames_that_lose_a_report_on_the_link_are_dropped_and_counted_never_misread)
{
    start("[Geometry]\nNoise=0\n[Faults]\nReportLoss=0.01\n");
    h.advance(10'000);
    h.session.sendModeStop();
    h.advance(100);
    const ResponseDispatcher& d = h.session.dispatcher();
    const uint64_t sent = frame->framesStreamed(), lost = frame->reportsLostOnLink();
    // 50 scans a second of 13 reports each (and the answers to connect): about 1 % lost.
    EXPECT_GT(lost, 40u);
    EXPECT_LT(lost, 110u);
    const uint64_t dropped = d.incompleteFrames() + processor.drops().total();
    EXPECT_GT(d.incompleteFrames(), 0u);
    // Reassembly keeps a frame only at the length its header announces: none reaches the
    // processor damaged.
    EXPECT_EQ(processor.drops().of(FrameStatus::BadChecksum) + processor.drops().of(FrameStatus::ShortPayload), 0u);
    EXPECT_EQ(misread, 0u);
    // Every frame sent is either read whole or counted as dropped, once (the last one may still
    // be on its way).
    EXPECT_LE(accepted + dropped, sent);
    EXPECT_GE(accepted + dropped + 1, sent);
    EXPECT_LT(accepted, sent);
}

}  // namespace
}  // namespace oculant
