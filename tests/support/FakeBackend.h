#pragma once
// A scripted backend for worker tests: devices whose writes are recorded and can be made to
// fail, and whose reads hand out queued reports.

#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "link/HidBackend.h"
#include "backends/virtual/VirtualFrame.h"

namespace oculant::test {

struct FakeDevice {
    std::vector<uint8_t> descriptor = VirtualFrame::reportDescriptor();
    HidAttributes attributes{0x1209, 0x0001};
    bool openable = true;
    OpenFailure openFailure = OpenFailure::PermissionDenied;
    std::function<IoResult(const uint8_t*, size_t)> onWrite;  // default: accept all bytes
    std::vector<std::vector<uint8_t>> written;
    std::deque<std::vector<uint8_t>> toRead;
    // A stream that never runs dry: when set, reads come from it (outside the backend's lock).
    std::function<IoResult(uint8_t*, size_t)> onRead;
    int reads = 0;
};

class FakeBackend : public HidBackend {
public:
    std::map<std::string, FakeDevice> devices;
    std::vector<std::string> order;
    int describeCalls = 0;
    std::mutex mutex;  // guards the devices' queues and logs

    FakeDevice& add(const std::string& path)
    {
        order.push_back(path);
        return devices[path];
    }

    std::vector<std::string> listInterfaces() override { return order; }
    bool handles(const std::string&) const override { return true; }
    bool describe(const std::string& path, HidAttributes& a, std::vector<uint8_t>& d) override
    {
        ++describeCalls;
        auto it = devices.find(path);
        if (it == devices.end())
            return false;
        a = it->second.attributes;
        d = it->second.descriptor;
        return true;
    }
    std::unique_ptr<HidHandle> open(const std::string& path, OpenFailure* f, std::string*) override;
};

class FakeHandle : public HidHandle {
public:
    FakeHandle(FakeBackend& b, FakeDevice& d) : backend_(b), device_(d) {}
    IoResult read(uint8_t* buffer, size_t capacity, int) override
    {
        {
            std::lock_guard lock(backend_.mutex);
            ++device_.reads;
            if (cancelled_)
                return {IoStatus::Cancelled, 0};
            if (!device_.onRead) {
                if (device_.toRead.empty())
                    return {IoStatus::Timeout, 0};
                std::vector<uint8_t> r = device_.toRead.front();
                device_.toRead.pop_front();
                const size_t n = std::min(capacity, r.size());
                std::copy_n(r.begin(), n, buffer);
                return {IoStatus::Ok, n};
            }
        }
        return device_.onRead(buffer, capacity);
    }
    IoResult write(const uint8_t* report, size_t length, int) override
    {
        std::lock_guard lock(backend_.mutex);
        if (cancelled_)
            return {IoStatus::Cancelled, 0};
        device_.written.emplace_back(report, report + length);
        return device_.onWrite ? device_.onWrite(report, length) : IoResult{IoStatus::Ok, length};
    }
    void cancel() override
    {
        std::lock_guard lock(backend_.mutex);
        cancelled_ = true;
    }

private:
    FakeBackend& backend_;
    FakeDevice& device_;
    bool cancelled_ = false;
};

inline std::unique_ptr<HidHandle> FakeBackend::open(const std::string& path, OpenFailure* f, std::string*)
{
    auto it = devices.find(path);
    if (it == devices.end() || !it->second.openable) {
        if (f)
            *f = it == devices.end() ? OpenFailure::NotFound : it->second.openFailure;
        return nullptr;
    }
    return std::make_unique<FakeHandle>(*this, it->second);
}

}  // namespace oculant::test
