// The whole scenario of a real frame over hidraw handles, with a socket pair standing in for the
// node and a virtual frame on the other end: the same scenario the uhid test runs through the
// kernel, here stepped by hand (worker and device side in turn, no thread, no sleeping).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <deque>

#include "tests/support/HidrawScenario.h"
#include "backends/hidraw/HidrawHandle.h"

namespace oculant {
namespace {

// A frame at the far end of a socket pair: what the node end carries, the frame receives, and
// what the frame answers goes back as one message per report.
class SocketFrame : public HidBackend {
public:
    static constexpr const char* kPath = "/dev/hidraw7";

    explicit SocketFrame(VirtualFrame& frame) : frame_(frame)
    {
        std::signal(SIGPIPE, SIG_IGN);
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        node_ = fds[0];
        peer_ = fds[1];
        ::fcntl(peer_, F_SETFL, ::fcntl(peer_, F_GETFL) | O_NONBLOCK);
    }
    ~SocketFrame() override
    {
        ::close(node_);
        ::close(peer_);
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

    std::vector<std::string> listInterfaces() override { return {kPath}; }
    bool handles(const std::string& path) const override { return path == kPath; }
    bool describe(const std::string& path, HidAttributes& a, std::vector<uint8_t>& d) override
    {
        a = {frame_.profile().vendorId, frame_.profile().productId};
        d = VirtualFrame::reportDescriptor();
        return handles(path);
    }
    std::unique_ptr<HidHandle> open(const std::string&, OpenFailure*, std::string*) override
    {
        const int fd = ::fcntl(node_, F_DUPFD_CLOEXEC, 0);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        return HidrawHandle::adopt(fd, HidrawHandle::ReportIds::Present);
    }

private:
    VirtualFrame& frame_;
    int node_ = -1;
    int peer_ = -1;
    std::deque<VirtualFrame::Report> toSend_;
};

TEST(HidrawSession, ConnectsReadsTheRecordsAndDownloadsABlockOverHidrawHandles)
{
    VirtualFrame frame(VirtualFrameProfile{});
    SocketFrame backend(frame);
    SessionCore::Options options;
    options.threading = HIDTalk::Threading::Manual;
    SessionCore core(backend, options);
    test::connectReadAndDownload(core, frame, SocketFrame::kPath, [&] {
        backend.step();
        for (int i = 0; i < 1000 && core.talk().workerPass(); ++i)
            backend.step();
        backend.step();
    });
    core.stop();
}

}  // namespace
}  // namespace oculant
