// Arrival and removal of hidraw nodes: udev actions as device changes, the backend's notifier
// descriptor and its events, and a frame plugged in while the session runs, on a fake tree. A
// pipe stands in for the udev monitor.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <deque>

#include "tests/support/HidBytes.h"
#include "tests/support/HidrawFakeTree.h"
#include "link/DeviceSession.h"
#include "backends/hidraw/HidrawBackend.h"
#include "backends/virtual/VirtualFrame.h"

namespace oculant {
namespace {

class PipeChangeSource : public HidrawChangeSource {
public:
    PipeChangeSource()
    {
        EXPECT_EQ(::pipe2(fds_, O_CLOEXEC | O_NONBLOCK), 0);
    }
    ~PipeChangeSource() override
    {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    void push(std::string action, std::string sysname)
    {
        pending_.push_back({std::move(action), std::move(sysname)});
        const char byte = 1;
        EXPECT_EQ(::write(fds_[1], &byte, 1), 1);
    }
    int fd() const override { return fds_[0]; }
    std::vector<HidrawEvent> takeEvents() override
    {
        char buffer[64];
        while (::read(fds_[0], buffer, sizeof buffer) > 0) {
        }
        std::vector<HidrawEvent> events(pending_.begin(), pending_.end());
        pending_.clear();
        return events;
    }

private:
    int fds_[2] = {-1, -1};
    std::deque<HidrawEvent> pending_;
};

using Change = std::pair<DeviceChange, std::string>;

// What the window's socket notifier and the CLI's loop do: wait on the backend's notifier, and
// when it fires have the backend report what is pending. Returns whether it fired.
bool waitForDeviceChanges(HidBackend& backend, int timeoutMs)
{
    pollfd notifier{backend.changeNotifierFd(), POLLIN, 0};
    if (::poll(&notifier, 1, timeoutMs) <= 0 || !(notifier.revents & POLLIN))
        return false;
    backend.processChangeEvents();
    return true;
}

TEST(HidrawHotplug, AddAndRemoveOfHidrawNodesAreTheOnlyChanges)
{
    struct Case {
        const char* action;
        const char* sysname;
        std::optional<Change> expected;
    };
    const Case cases[] = {
        {"add", "hidraw3", Change{DeviceChange::Arrival, "/dev/hidraw3"}},
        {"remove", "hidraw12", Change{DeviceChange::Removal, "/dev/hidraw12"}},
        {"change", "hidraw3", std::nullopt},
        {"bind", "hidraw3", std::nullopt},
        {"add", "hidraw", std::nullopt},
        {"add", "hiddev0", std::nullopt},
        {"", "hidraw3", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hidrawChangeFromEvent({c.action, c.sysname}, "/dev"), c.expected) << c.action << " " << c.sysname;
}

TEST(HidrawHotplug, PendingEventsAreReportedThroughTheCallbackWhenTheNotifierFires)
{
    auto source = std::make_unique<PipeChangeSource>();
    PipeChangeSource& events = *source;
    HidrawBackend backend("/nonexistent-sys", "/devdir", std::move(source));
    EXPECT_EQ(backend.changeNotifierFd(), events.fd());
    std::vector<Change> seen;
    backend.setChangeCallback([&](DeviceChange c, const std::string& p) { seen.emplace_back(c, p); });

    EXPECT_FALSE(waitForDeviceChanges(backend, 0));
    EXPECT_TRUE(seen.empty());

    events.push("add", "hidraw3");
    events.push("change", "hidraw3");
    events.push("remove", "hidraw1");
    EXPECT_TRUE(waitForDeviceChanges(backend, 10000));
    EXPECT_EQ(seen, (std::vector<Change>{{DeviceChange::Arrival, "/devdir/hidraw3"},
                                         {DeviceChange::Removal, "/devdir/hidraw1"}}));
    // All of them were taken: the notifier is quiet again.
    EXPECT_FALSE(waitForDeviceChanges(backend, 0));
    EXPECT_EQ(seen.size(), 2u);
}

// The whole road: a frame plugged in and pulled out while the session runs, through the
// composite backend the tool uses, into the device-change hook.
TEST(HidrawHotplug, FramePluggedInAndPulledOutReachesTheDeviceChangeHook)
{
    test::HidrawFakeTree tree;
    tree.addNode(0, 0x046D, 0xC077, test::corpusDescriptor("046D_C077_0002_0001.hex"));
    auto source = std::make_unique<PipeChangeSource>();
    PipeChangeSource& events = *source;
    HidrawBackend hidraw(tree.sysfs(), tree.dev(), std::move(source));
    CompositeBackend composite;
    composite.add(&hidraw);
    DeviceSession session(composite, HIDTalk::Threading::Manual);
    int hooked = 0;
    composite.setChangeCallback([&](DeviceChange c, const std::string&) {
        session.DeviceChangeHook(c);
        ++hooked;
    });
    EXPECT_FALSE(session.RescanDevices());

    tree.addNode(1, 0x1209, 0x0C1A, VirtualFrame::reportDescriptor());
    events.push("add", "hidraw1");
    ASSERT_TRUE(waitForDeviceChanges(hidraw, 10000));
    EXPECT_EQ(hooked, 1);
    ASSERT_EQ(session.talk().devices().size(), 1u);
    EXPECT_EQ(session.talk().devices()[0].path, tree.nodePath(1));
    EXPECT_TRUE(session.probeTimerEnabled()) << "a new frame is probed";

    std::filesystem::remove(std::filesystem::path(tree.sysfs()) / "class/hidraw/hidraw1");
    events.push("remove", "hidraw1");
    ASSERT_TRUE(waitForDeviceChanges(hidraw, 10000));
    EXPECT_EQ(hooked, 2);
    EXPECT_TRUE(session.talk().devices().empty());
}

}  // namespace
}  // namespace oculant
