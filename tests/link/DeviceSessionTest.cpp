// Scan, connection probe, device change and choice, information sequence, on virtual frames.
#include <gtest/gtest.h>

#include "tests/support/SessionHarness.h"

namespace oculant {
namespace {

using test::SessionHarness;

struct SessionFixture : ::testing::Test {
    SessionHarness h;
    test::SessionViewLog view;
    SessionFixture() { h.session.setView(&view); }

    // Runs probe ticks one at a time until connected; returns how many it took.
    int ticksToConnect(int limit = 20)
    {
        for (int t = 0; t < limit; ++t) {
            if (h.session.connected() && !h.session.probeTimerEnabled())
                return h.probeTicks();
            h.advance(50);
        }
        return -1;
    }
};

TEST_F(SessionFixture, FrameAtStartUpConnectsOnTheSixthProbeTick)
{
    const std::string path = h.attach();
    EXPECT_TRUE(h.session.RescanDevices());
    EXPECT_FALSE(h.session.connected());  // every device is new at start-up: probe first
    EXPECT_TRUE(h.session.probeTimerEnabled());
    EXPECT_EQ(ticksToConnect(), 6);
    EXPECT_EQ(view.connected, 1);
    EXPECT_EQ(view.paths, std::vector<std::string>{path});
    EXPECT_EQ(view.currentIndex, 0);
    // The frame answered 0x10 during the probe, and mode 0 went before it.
    auto frame = h.backend.frame(path);
    EXPECT_EQ(frame->commandsReceived(0x21), 1);
    EXPECT_EQ(frame->commandsReceived(0x10), 1);
}

TEST_F(SessionFixture, InformationSequenceSendsSixCommandsOverSevenTicks)
{
    const std::string path = h.attach();
    h.session.RescanDevices();
    ASSERT_EQ(ticksToConnect(), 6);
    EXPECT_TRUE(h.session.infoTimerEnabled());
    h.advance(1000);
    EXPECT_FALSE(h.session.infoTimerEnabled());
    auto frame = h.backend.frame(path);
    for (int code : {0x10, 0x17, 0x16, 0x18, 0x19, 0x22})
        EXPECT_GE(frame->commandsReceived(uint8_t(code)), 1) << std::hex << code;
    // Refresh is disabled on each of the seven ticks and enabled again at the end of the last.
    EXPECT_EQ(view.refreshEnabled, (std::vector<bool>{false, false, false, false, false, false, false, true}));
    // Everything the frame said arrived.
    const DeviceRecords& r = h.session.records();
    EXPECT_EQ(r.modelCode(), 35);
    EXPECT_EQ(r.featureWord(), 0x24u);
    EXPECT_EQ(r.boards.xBoards, 5);
    EXPECT_EQ(r.boards.xElements[4], 32);
    EXPECT_EQ(r.boards.yBoards, 3);
    EXPECT_NE(view.parameterCrc, 0u);
}

TEST_F(SessionFixture, SilentFrameIsRemovedOnTheSecondTickAfterOpeningAndTheEarlierOneReopened)
{
    const std::string good = h.attach();
    h.session.RescanDevices();
    ASSERT_EQ(ticksToConnect(), 6);

    VirtualFrameProfile silent;
    silent.answerInfo = false;
    h.hookChanges = true;
    const std::string bad = h.attach(silent);  // arrival: rescan lists it as new, probe starts
    EXPECT_TRUE(h.session.probeTimerEnabled());
    ASSERT_EQ(h.session.talk().devices().size(), 2u);

    h.advance(50);  // state 0: the good frame is saved and closed
    h.advance(50);  // state 1: the silent frame is opened and asked for 0x10
    EXPECT_EQ(h.session.talk().currentDevice()->path, bad);
    h.advance(50);  // state 2: waiting
    EXPECT_EQ(h.session.talk().devices().size(), 2u);
    h.advance(50);  // state 3, second tick after opening: removed
    EXPECT_EQ(h.session.talk().devices().size(), 1u);
    h.advance(100);  // state 1 finds nothing new, state 4 reopens the earlier device
    ASSERT_NE(h.session.talk().currentDevice(), nullptr);
    EXPECT_EQ(h.session.talk().currentDevice()->path, good);
    EXPECT_TRUE(h.session.connected());
    EXPECT_FALSE(h.session.probeTimerEnabled());

    // Remembered as rejected while plugged in: a later scan does not probe it again.
    h.session.RescanDevices();
    EXPECT_FALSE(h.session.probeTimerEnabled());
    EXPECT_EQ(h.session.talk().devices().size(), 1u);
    // Unplugged and plugged in again, it gets a new chance.
    h.backend.detach(bad);
    h.deliverChanges();
    h.backend.reattach(bad);
    h.deliverChanges();
    EXPECT_TRUE(h.session.probeTimerEnabled());
}

TEST_F(SessionFixture, OnlyFrameSilentEndsTheProbeUnconnected)
{
    VirtualFrameProfile silent;
    silent.answerInfo = false;
    h.attach(silent);
    h.session.RescanDevices();
    h.advance(500);
    EXPECT_FALSE(h.session.probeTimerEnabled());
    EXPECT_FALSE(h.session.connected());
    EXPECT_TRUE(h.session.talk().devices().empty());
    EXPECT_GE(view.unconnected, 1);
}

TEST_F(SessionFixture, TwoFramesUnpluggedAtOnceAreBothRemovedByTheNextScan)
{
    const std::string a = h.attach(), b = h.attach();
    h.session.RescanDevices();
    ASSERT_GT(ticksToConnect(), 0);
    ASSERT_EQ(h.session.talk().devices().size(), 2u);
    h.backend.detach(a);
    h.backend.detach(b);
    h.session.DeviceChangeHook(DeviceChange::Removal);
    EXPECT_TRUE(h.session.talk().devices().empty());
    EXPECT_FALSE(h.session.connected());
    EXPECT_EQ(h.session.talk().currentDevice(), nullptr);
    EXPECT_EQ(view.unconnected, 1);
}

TEST_F(SessionFixture, ChoosingTheOpenDeviceDoesNothingAndAFailedOpenSaysSo)
{
    const std::string a = h.attach(), b = h.attach();
    h.session.RescanDevices();
    ASSERT_GT(ticksToConnect(), 0);
    const int shown = view.connected;
    EXPECT_EQ(h.session.ComboBox1Change(0, a), "");
    EXPECT_EQ(view.connected, shown);
    EXPECT_EQ(h.session.ComboBox1Change(1, b), "");
    EXPECT_EQ(h.session.talk().currentDevice()->path, b);
    EXPECT_EQ(view.connected, shown + 1);

    h.backend.detach(a);  // still listed, but can no longer be opened
    EXPECT_EQ(h.session.ComboBox1Change(0, a), "Can not open this device!");
    EXPECT_FALSE(h.session.connected());
    EXPECT_EQ(h.session.ComboBox1Change(5, "nothing"), "");
}

TEST_F(SessionFixture, ReconnectWhileAWindowIsActiveSendsItsModeInsteadOfTheSequence)
{
    const std::string path = h.attach();
    h.session.setActiveWindow(ActiveWindow::Diagnostic);
    h.session.RescanDevices();
    ASSERT_EQ(ticksToConnect(), 6);
    EXPECT_FALSE(h.session.infoTimerEnabled());
    EXPECT_EQ(view.restarts, 1);
    h.advance(20);
    EXPECT_EQ(h.backend.frame(path)->mode(), 4);

    h.session.setActiveWindow(ActiveWindow::DrawTest);
    h.session.ShowConnected();
    h.advance(20);
    EXPECT_EQ(h.backend.frame(path)->mode(), 3);
}

TEST_F(SessionFixture, ActivationReturnsToModeZeroExceptForModelsWithoutModes)
{
    for (uint8_t model : {uint8_t(35), uint8_t(16)}) {
        SessionHarness local;
        VirtualFrameProfile p;
        p.modelCode = model;
        const std::string path = local.start(p);
        ASSERT_TRUE(local.session.connected());
        const int before = local.backend.frame(path)->commandsReceived(0x21);
        local.session.mainWindowActivated();
        local.advance(20);
        EXPECT_EQ(local.backend.frame(path)->commandsReceived(0x21) - before, model == 16 ? 0 : 1) << int(model);
    }
}

TEST_F(SessionFixture, RunAndRefreshSendsRunTwiceThenReadsEverythingAgain)
{
    const std::string path = h.start();
    h.session.RequestRunAndRefresh();
    h.advance(1000);
    auto frame = h.backend.frame(path);
    EXPECT_EQ(frame->commandsReceived(0x11), 2);
    EXPECT_EQ(frame->commandsReceived(0x22), 2);
    EXPECT_EQ(frame->runFlags() & 3, 1);
}

}  // namespace
}  // namespace oculant
