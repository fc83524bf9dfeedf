// A real kernel hidraw device made through /dev/uhid, carrying the virtual frame's descriptor
// and answered by a virtual frame: the session connects to it through the hidraw backend, reads
// the information records and downloads a calibration block, over the kernel's HID core exactly
// as with a frame on USB. Its own executable: it exits with 77 (skipped) where /dev/uhid is
// missing or may not be opened, so ordinary hosts stay green. It waits on the kernel in real
// time, bounded by deadlines.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <thread>

#include "tests/support/HidrawScenario.h"
#include "tests/support/TempDir.h"
#include "session/SessionCore.h"
#include "backends/hidraw/HidrawBackend.h"
#include "backends/hidraw/HidrawSysfs.h"
#include "backends/virtual/VirtualFrame.h"

namespace oculant {
namespace {

using Clock = std::chrono::steady_clock;

// The kernel side of a virtual frame: a uhid device whose output reports go to the frame and
// whose input reports come from it.
class UhidFrame {
public:
    explicit UhidFrame(std::shared_ptr<VirtualFrame> frame) : frame_(std::move(frame)) {}
    ~UhidFrame()
    {
        if (thread_.joinable()) {
            const uint64_t one = 1;
            [[maybe_unused]] ssize_t n = ::write(stopFd_, &one, sizeof one);
            thread_.join();
        }
        if (fd_ >= 0) {
            uhid_event ev{};
            ev.type = UHID_DESTROY;
            [[maybe_unused]] ssize_t n = ::write(fd_, &ev, sizeof ev);
            ::close(fd_);
        }
        if (stopFd_ >= 0)
            ::close(stopFd_);
    }

    // Creates the device; its HID_UNIQ is `uniq`, by which its hidraw node is found.
    bool create(const std::string& uniq, std::string& error)
    {
        fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
        stopFd_ = ::eventfd(0, EFD_CLOEXEC);
        if (fd_ < 0 || stopFd_ < 0) {
            error = std::string("/dev/uhid: ") + std::strerror(errno);
            return false;
        }
        const std::vector<uint8_t> descriptor = VirtualFrame::reportDescriptor();
        uhid_event ev{};
        ev.type = UHID_CREATE2;
        std::snprintf(reinterpret_cast<char*>(ev.u.create2.name), sizeof ev.u.create2.name, "Oculant uhid frame");
        std::snprintf(reinterpret_cast<char*>(ev.u.create2.phys), sizeof ev.u.create2.phys, "oculant-test");
        std::snprintf(reinterpret_cast<char*>(ev.u.create2.uniq), sizeof ev.u.create2.uniq, "%s", uniq.c_str());
        ev.u.create2.rd_size = uint16_t(descriptor.size());
        std::memcpy(ev.u.create2.rd_data, descriptor.data(), descriptor.size());
        ev.u.create2.bus = BUS_USB;
        ev.u.create2.vendor = frame_->profile().vendorId;
        ev.u.create2.product = frame_->profile().productId;
        ev.u.create2.version = 1;
        if (::write(fd_, &ev, sizeof ev) != ssize_t(sizeof ev)) {
            error = std::string("UHID_CREATE2: ") + std::strerror(errno);
            return false;
        }
        thread_ = std::thread([this] { loop(); });
        return true;
    }

private:
    void loop()
    {
        for (;;) {
            pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
            ::poll(fds, 2, 2);  // also the pace at which the frame's queued reports go up
            if (fds[1].revents)
                return;
            uhid_event ev{};
            if ((fds[0].revents & POLLIN) && ::read(fd_, &ev, sizeof ev) > 0)
                answer(ev);
            while (std::optional<VirtualFrame::Report> r = frame_->takeInputReport()) {
                uhid_event in{};
                in.type = UHID_INPUT2;
                in.u.input2.size = uint16_t(r->size());
                std::memcpy(in.u.input2.data, r->data(), r->size());
                [[maybe_unused]] ssize_t n = ::write(fd_, &in, sizeof in);
            }
        }
    }

    void answer(const uhid_event& ev)
    {
        uhid_event reply{};
        switch (ev.type) {
        case UHID_OUTPUT:  // what the host wrote to the hidraw node, report id first
            frame_->receiveOutputReport(ev.u.output.data, ev.u.output.size);
            return;
        case UHID_GET_REPORT:  // the frame has no feature reports
            reply.type = UHID_GET_REPORT_REPLY;
            reply.u.get_report_reply.id = ev.u.get_report.id;
            reply.u.get_report_reply.err = EIO;
            break;
        case UHID_SET_REPORT:
            reply.type = UHID_SET_REPORT_REPLY;
            reply.u.set_report_reply.id = ev.u.set_report.id;
            reply.u.set_report_reply.err = EIO;
            break;
        default:  // start, stop, open, close
            return;
        }
        [[maybe_unused]] ssize_t n = ::write(fd_, &reply, sizeof reply);
    }

    std::shared_ptr<VirtualFrame> frame_;
    int fd_ = -1;
    int stopFd_ = -1;
    std::thread thread_;
};

// Set when the host cannot show the device as a hidraw node at all: the run counts as skipped.
std::string hostCannotRun;

// The hidraw node of the uhid device: the one whose HID device has our HID_UNIQ. Empty when
// it does not appear, with hostCannotRun set when that is the host's doing.
std::string findNode(const std::string& uniq)
{
    if (!std::filesystem::is_directory("/sys/class/hidraw")) {
        hostCannotRun = "this kernel has no hidraw";
        return {};
    }
    std::string seen;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        for (const std::string& name : listHidrawNodes("/sys")) {
            if (test::readFile("/sys/class/hidraw/" + name + "/device/uevent").find("HID_UNIQ=" + uniq + "\n") == std::string::npos)
                continue;
            seen = name;
            if (std::filesystem::exists("/dev/" + name))
                return "/dev/" + name;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!seen.empty())
        hostCannotRun = seen + " is in sysfs but not in /dev (no devtmpfs here)";
    return {};
}

// The host's hidraw backend, narrowed to one node so that other devices are left alone.
class OneNodeBackend : public HidBackend {
public:
    OneNodeBackend(HidBackend& inner, std::string path) : inner_(inner), path_(std::move(path)) {}
    std::vector<std::string> listInterfaces() override
    {
        for (const std::string& p : inner_.listInterfaces())
            if (p == path_)
                return {p};
        return {};
    }
    bool handles(const std::string& path) const override { return path == path_; }
    bool describe(const std::string& path, HidAttributes& a, std::vector<uint8_t>& d) override
    {
        return handles(path) && inner_.describe(path, a, d);
    }
    std::unique_ptr<HidHandle> open(const std::string& path, OpenFailure* f, std::string* detail) override
    {
        return inner_.open(path, f, detail);
    }

private:
    HidBackend& inner_;
    std::string path_;
};

TEST(UhidFrame, ConnectsReadsTheRecordsAndDownloadsABlockThroughHidraw)
{
    auto frame = std::make_shared<VirtualFrame>(VirtualFrameProfile{});
    UhidFrame device(frame);
    const std::string uniq = "oculant-" + std::to_string(::getpid());
    std::string error;
    ASSERT_TRUE(device.create(uniq, error)) << error;
    const std::string node = findNode(uniq);
    if (!hostCannotRun.empty())
        GTEST_SKIP() << hostCannotRun;
    ASSERT_FALSE(node.empty()) << "no hidraw node appeared for the uhid device";

    HidrawBackend hidraw;
    OneNodeBackend backend(hidraw, node);
    SessionCore core(backend);
    test::connectReadAndDownload(core, *frame, node,
                                 [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); });
    core.stop();
}

}  // namespace
}  // namespace oculant

int main(int argc, char** argv)
{
    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::cout << "skipped: /dev/uhid: " << std::strerror(errno) << "\n";
        return 77;
    }
    ::close(fd);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    if (status == 0 && !oculant::hostCannotRun.empty()) {
        std::cout << "skipped: " << oculant::hostCannotRun << "\n";
        return 77;
    }
    return status;
}
