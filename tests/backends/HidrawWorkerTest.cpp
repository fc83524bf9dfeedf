// The HIDTalk worker on hidraw handles whose device vanishes: it stops using the handle at once,
// without spinning on it, and keeps running for the next device. Socket pairs stand in for the
// nodes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <thread>

#include "link/HIDTalk.h"
#include "backends/hidraw/HidrawHandle.h"
#include "backends/virtual/VirtualFrame.h"

namespace oculant {
namespace {

// Counts the calls that reach a handle.
class CountingHandle : public HidHandle {
public:
    CountingHandle(std::unique_ptr<HidHandle> inner, std::atomic<int>& reads) : inner_(std::move(inner)), reads_(reads) {}
    IoResult read(uint8_t* b, size_t c, int t) override
    {
        ++reads_;
        return inner_->read(b, c, t);
    }
    IoResult write(const uint8_t* r, size_t l, int t) override { return inner_->write(r, l, t); }
    void cancel() override { inner_->cancel(); }

private:
    std::unique_ptr<HidHandle> inner_;
    std::atomic<int>& reads_;
};

// Serves "sock:N" paths, each a socket pair whose node end is opened as a hidraw handle.
class SocketBackend : public HidBackend {
public:
    struct Device {
        int node = -1;
        int peer = -1;
        std::atomic<int> reads{0};
    };

    SocketBackend() { std::signal(SIGPIPE, SIG_IGN); }
    ~SocketBackend() override
    {
        for (auto& [path, d] : devices_) {
            ::close(d.node);
            if (d.peer >= 0)
                ::close(d.peer);
        }
    }

    Device& add(const std::string& path)
    {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        Device& d = devices_[path];
        d.node = fds[0];
        d.peer = fds[1];
        order_.push_back(path);
        return d;
    }
    void unplug(Device& d)
    {
        ::close(d.peer);
        d.peer = -1;
    }

    std::vector<std::string> listInterfaces() override { return order_; }
    bool handles(const std::string& path) const override { return devices_.count(path) != 0; }
    bool describe(const std::string& path, HidAttributes& a, std::vector<uint8_t>& d) override
    {
        a = {0x1209, 0x0C1A};
        d = VirtualFrame::reportDescriptor();
        return handles(path);
    }
    std::unique_ptr<HidHandle> open(const std::string& path, OpenFailure*, std::string*) override
    {
        Device& d = devices_.at(path);
        const int fd = ::fcntl(d.node, F_DUPFD_CLOEXEC, 0);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        auto handle = HidrawHandle::adopt(fd, HidrawHandle::ReportIds::Present);
        return std::make_unique<CountingHandle>(std::move(handle), d.reads);
    }

private:
    std::map<std::string, Device> devices_;
    std::vector<std::string> order_;
};

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
