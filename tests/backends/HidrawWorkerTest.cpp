// The HIDTalk worker on hidraw handles whose device vanishes: it stops using the handle at once,
// without spinning on it, and keeps running for the next device. Socket pairs stand in for the
// nodes.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "link/HIDTalk.h"
#include "tests/support/SocketNodes.h"

namespace oculant {
namespace {

using test::SocketBackend;

std::vector<uint8_t> inputReport(uint8_t code)
{
    std::vector<uint8_t> r(64, 0);
    r[0] = VirtualFrame::kInputReportId;
    r[1] = code;
    return r;
}

void sendReport(int peer, const std::vector<uint8_t>& r) { ASSERT_EQ(::send(peer, r.data(), r.size(), 0), 64); }

TEST(HidrawWorker, StopsUsingAVanishedDeviceAndDoesNotSpinOnIt)
{
    SocketBackend backend;
    SocketBackend::Device& device = backend.add("sock:0");
    HIDTalk talk(backend, HIDTalk::Threading::Manual);
    talk.EnumerateDevices();
    ASSERT_EQ(talk.devices().size(), 1u);
    ASSERT_TRUE(talk.OpenDevice(talk.devices()[0]));
    talk.setConnected(true);

    // Both ways work: a command goes out, a report comes in.
    ASSERT_TRUE(talk.SendCommand(0x10));
    sendReport(device.peer, inputReport(0x10));
    EXPECT_TRUE(talk.workerPass());
    std::array<uint8_t, 128> out{};
    ASSERT_EQ(::recv(device.peer, out.data(), out.size(), MSG_DONTWAIT), 63);
    EXPECT_EQ(out[0], VirtualFrame::kOutputReportId);
    EXPECT_EQ(out[1], 0x10);
    ReceiveRing::Slot slot{};
    ASSERT_TRUE(talk.popReport(slot));
    EXPECT_EQ(slot[1], 0x10);

    backend.unplug(device);
    talk.workerPass();
    EXPECT_TRUE(talk.currentDeviceGone());
    const int readsWhenGone = device.reads;
    ASSERT_TRUE(talk.SendCommand(0x17));
    for (int i = 0; i < 50; ++i)
        EXPECT_FALSE(talk.workerPass()) << "pass " << i << " did something with a vanished device";
    EXPECT_EQ(device.reads, readsWhenGone);
    EXPECT_EQ(talk.writesAttempted(), 1u);
}

// Waits for a condition the worker thread brings about; fails instead of hanging.
template <typename Condition>
bool eventually(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(HidrawWorker, WorkerThreadKeepsRunningAfterItsDeviceVanished)
{
    SocketBackend backend;
    SocketBackend::Device& first = backend.add("sock:0");
    SocketBackend::Device& second = backend.add("sock:1");
    HIDTalk talk(backend, HIDTalk::Threading::Thread);
    talk.EnumerateDevices();
    ASSERT_EQ(talk.devices().size(), 2u);
    ASSERT_TRUE(talk.OpenDevice(talk.devices()[0]));
    talk.setConnected(true);

    backend.unplug(first);
    ASSERT_TRUE(eventually([&] { return talk.currentDeviceGone(); }));

    // The removal path closes it; the next device is served by the same worker.
    talk.CloseDevice();
    ASSERT_TRUE(talk.OpenDevice(talk.devices()[1]));
    sendReport(second.peer, inputReport(0x16));
    ReceiveRing::Slot slot{};
    ASSERT_TRUE(eventually([&] { return talk.popReport(slot); }));
    EXPECT_EQ(slot[1], 0x16);
    ASSERT_TRUE(talk.SendCommand(0x18));
    std::array<uint8_t, 128> out{};
    ASSERT_TRUE(eventually([&] { return ::recv(second.peer, out.data(), out.size(), MSG_DONTWAIT) == 63; }));
    EXPECT_EQ(out[1], 0x18);
    talk.stop();
}

}  // namespace
}  // namespace oculant
