// A frame that sends random, invalid reports at its streaming rate on top of its real answers
// ([Faults] Garbage=1): the tool rejects them where they enter, keeps its counters consistent,
// still understands the real answers, and is whole again once the noise stops.
#include <gtest/gtest.h>

#include "tests/support/FaultScenario.h"
#include "base/IniFile.h"

namespace oculant {
namespace {

using test::FaultScenario;
using test::recordsMatch;

VirtualFrameProfile garbageProfile(uint8_t family, uint32_t seed)
{
    // Family 0x40 needs a last layer offset of -1 or more (its boundary rows).
    const std::string offsets = family == 0x40 ? "XOffsets=0,-4,4\nYOffsets=0,-4,4\n" : "";
    const std::string text = "[Geometry]\nFamily=" + std::to_string(family) + "\n" + offsets +
                             "\n[Faults]\nGarbage=1\nGarbageSeed=" + std::to_string(seed) + "\n";
    const ProfileResult r = parseVirtualFrameProfile(IniFile::fromText(text), "garbage.ini");
    EXPECT_TRUE(r.ok) << r.error;
    return r.profile;
}

TEST(FaultGarbage, profile_keys_switch_the_noise_on_and_refuse_bad_values)
{
    EXPECT_TRUE(garbageProfile(0x10, 7).garbage);
    EXPECT_EQ(garbageProfile(0x10, 7).garbageSeed, 7u);
    const ProfileResult bad = parseVirtualFrameProfile(IniFile::fromText("[Faults]\nGarbage=2\n"), "bad.ini");
    EXPECT_FALSE(bad.ok);
    EXPECT_NE(bad.error.find("[Faults] Garbage"), std::string::npos) << bad.error;
}

TEST(FaultGarbage, the_noise_follows_the_frame_rate_and_never_looks_like_an_information_answer)
{
    VirtualFrameProfile profile = garbageProfile(0x10, 3);
    int64_t nowUs = 0;
    VirtualFrame frame(profile, [&] { return nowUs; });
    size_t kinds[4] = {};
    uint64_t reports = 0;
    for (nowUs = 0; nowUs <= 1000000; nowUs += 5000)
        while (auto r = frame.takeInputReport()) {
            ++reports;
            const uint8_t code = (*r)[1];
            if ((*r)[0] != VirtualFrame::kInputReportId)
                ++kinds[0];
            else if (code >= 0x30 && code <= 0x3F)
                ++kinds[2];
            else if (code >= 0x20 && code <= 0x2F)
                ++kinds[3];
            else if (code < 0x10 || code >= 0x40)
                ++kinds[1];
            else
                ADD_FAILURE() << "garbage with an information code " << int(code);
        }
    // 51 bursts in one second at 50 frames per second (the first at time 0).
    EXPECT_EQ(frame.garbageReportsSent(), reports);
    EXPECT_EQ(reports % 51, 0u);
    EXPECT_GE(reports / 51, 2u);
    for (size_t k : kinds)
        EXPECT_GT(k, reports / 8) << "each kind of garbage is sent";
    frame.setGarbage(false);
    nowUs += 1000000;
    EXPECT_FALSE(frame.takeInputReport().has_value()) << "mode 0 without garbage sends nothing";
}

class FaultGarbageFamilies : public ::testing::TestWithParam<uint8_t> {};

TEST_P(FaultGarbageFamilies, the_session_connects_streams_and_recovers_when_the_noise_stops)
{
    test::TempDir dir;
    FaultScenario s(dir.path().string());
    const VirtualFrameProfile profile = garbageProfile(GetParam(), 11);
    const std::string path = s.h.start(profile);
    ASSERT_TRUE(s.h.session.connected()) << "the probe's 0x10 answer gets through the noise";
    auto frame = s.frame(path);
    // The real answers are understood. The parameter block may be spoiled by garbage chunks
    // between its own (then its checksum refuses it), so only the single-report answers count.
    const DeviceRecords& records = s.h.session.records();
    EXPECT_EQ(records.modelCode(), profile.modelCode);
    EXPECT_EQ(records.featureWord(), profile.featureWord);

    s.processor.recorder().setLogOn(true);
    s.h.session.sendModeStream(protocol::kModeSignal);
    s.h.advance(2000);
    const ResponseDispatcher& dispatcher = s.h.session.dispatcher();
    EXPECT_GT(frame->garbageReportsSent(), 1000u);
    EXPECT_GT(dispatcher.malformedChunks() + s.processor.drops().total(), 0u) << "the garbage reached the host";
    // Every frame handed over was either accepted or counted as dropped.
    EXPECT_EQ(s.accepted + s.processor.drops().total(), s.frames.size());
    if (GetParam() == kFamilyPartialScan) {
        // Updated: a 0x30 recording used to be an empty file counted as frames; it is refused.
        EXPECT_EQ(s.processor.recorder().framesWritten(), 0u);
        ASSERT_FALSE(s.logErrors.empty());
        for (const std::string& e : s.logErrors)
            EXPECT_EQ(e, kLogPartialScanText);
    } else {
        EXPECT_EQ(s.processor.recorder().framesWritten() > 0, s.accepted > 0);
        EXPECT_TRUE(s.logErrors.empty());
    }

    // Quiet again: every scan is taken, the store has the frame's layout, the information reads.
    frame->setGarbage(false);
    s.h.advance(200);
    const size_t framesBefore = s.frames.size();
    const uint64_t acceptedBefore = s.accepted;
    s.h.advance(1000);
    EXPECT_GE(s.frames.size() - framesBefore, 49u);
    EXPECT_EQ(s.accepted - acceptedBefore, s.frames.size() - framesBefore) << "a clean scan was refused";
    EXPECT_EQ(s.store.nX(), profile.xPositions());
    EXPECT_EQ(s.store.nY(), profile.yPositions());
    EXPECT_EQ(s.store.bX(), profile.xOffsets.size());

    s.h.session.sendModeStop();
    s.h.advance(100);
    s.h.session.refresh();
    s.h.advance(1000);
    EXPECT_TRUE(recordsMatch(records, profile));
}

INSTANTIATE_TEST_SUITE_P(Fault, FaultGarbageFamilies, ::testing::Values(0x00, 0x10, 0x30, 0x40),
                         [](const auto& info) { return "family_" + std::to_string(info.param); });

TEST(FaultGarbage, many_seeds_of_noise_in_every_mode_never_break_the_host)
{
    // Each seed gives other lengths, phases, offsets and end markers; run the modes in turn.
    for (uint32_t seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        FaultScenario s;
        const VirtualFrameProfile profile = garbageProfile(uint8_t(0x10 * (seed % 5 == 4 ? 4 : seed % 2)), seed);
        s.h.start(profile);
        ASSERT_TRUE(s.h.session.connected());
        for (uint8_t mode : {protocol::kModeSignal, uint8_t(3), protocol::kModeDiagnostic, uint8_t(0)}) {
            if (mode == 3)
                s.h.session.sendModeTouch();
            else if (mode == 0)
                s.h.session.sendModeStop();
            else
                s.h.session.sendModeStream(mode);
            s.h.advance(300);
        }
        EXPECT_EQ(s.accepted + s.processor.drops().total(), s.frames.size());
        EXPECT_TRUE(s.h.session.connected());
        EXPECT_EQ(s.h.session.records().modelCode(), profile.modelCode) << "no garbage passed for an answer";
        EXPECT_EQ(s.h.session.talk().droppedCommands(), 0u);
    }
}

}  // namespace
}  // namespace oculant
