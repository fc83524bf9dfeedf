#pragma once
// Socket pairs standing in for hidraw nodes: the node end is opened as a hidraw handle, as the
// kernel's node would be, and the test, or a virtual frame, answers at the peer end.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backends/hidraw/HidrawHandle.h"
#include "backends/virtual/VirtualFrame.h"
#include "link/HidBackend.h"

namespace oculant::test {

// Counts the reads that reach a handle.
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

// Serves each added path as a socket pair whose node end is opened as a hidraw handle; every
// device has the virtual frame's ids and descriptor.
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

// A virtual frame at the peer end of a socket pair: what the node end carries, the frame
// receives, and what the frame answers goes back as one message per report.
class SocketPeerFrame {
public:
    SocketPeerFrame(VirtualFrame& frame, int peer) : frame_(frame), peer_(peer)
    {
        ::fcntl(peer_, F_SETFL, ::fcntl(peer_, F_GETFL) | O_NONBLOCK);
    }

    // The device side's turn: take every report written, queue the answers, send what fits.
    void step()
    {
        std::array<uint8_t, 128> report{};
        for (ssize_t n; (n = ::recv(peer_, report.data(), report.size(), 0)) > 0;)
            frame_.receiveOutputReport(report.data(), size_t(n));
        while (std::optional<VirtualFrame::Report> r = frame_.takeInputReport())
            toSend_.push_back(*r);
        while (!toSend_.empty() && ::send(peer_, toSend_.front().data(), toSend_.front().size(), 0) > 0)
            toSend_.pop_front();
    }

private:
    VirtualFrame& frame_;
    int peer_;
    std::deque<VirtualFrame::Report> toSend_;
};

}  // namespace oculant::test
