#include "backends/virtual/VirtualBackend.h"

#include <chrono>
#include <cstdio>

namespace oculant {

namespace {

class VirtualHandle : public HidHandle {
public:
    VirtualHandle(std::shared_ptr<VirtualBackend::Plug> plug, bool blocking)
        : plug_(std::move(plug)), blocking_(blocking)
    {
    }

    IoResult read(uint8_t* buffer, size_t capacity, int timeoutMs) override
    {
        // The clock is read only once the frame has nothing to give: a stream's reads find a
        // report waiting.
        std::chrono::steady_clock::time_point deadline{};
        for (;;) {
            if (IoStatus s = state(); s != IoStatus::Ok)
                return {s, 0};
            if (auto report = plug_->frame->takeInputReport()) {
                const size_t n = std::min(capacity, report->size());
                std::copy_n(report->begin(), n, buffer);
                return {IoStatus::Ok, n};
            }
            if (!blocking_)
                return {IoStatus::Timeout, 0};
            const auto now = std::chrono::steady_clock::now();
            if (deadline == std::chrono::steady_clock::time_point{})
                deadline = now + std::chrono::milliseconds(timeoutMs);
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
            if (left.count() <= 0)
                return {IoStatus::Timeout, 0};
            plug_->frame->waitForInput(int(left.count()), cancelled_);
        }
    }

    IoResult write(const uint8_t* report, size_t length, int timeoutMs) override
    {
        if (IoStatus s = state(); s != IoStatus::Ok)
            return {s, 0};
        if (plug_->frame->stalled()) {
            // A frame that stopped taking reports: the write times out, as on the bus.
            if (blocking_)
                plug_->frame->waitForInput(timeoutMs, cancelled_);
            return {state() == IoStatus::Ok ? IoStatus::Timeout : state(), 0};
        }
        if (!plug_->frame->receiveOutputReport(report, length))
            return {IoStatus::Error, 0};
        return {IoStatus::Ok, length};
    }

    void cancel() override
    {
        cancelled_.store(true);
        plug_->frame->wakeReaders();
    }

private:
    IoStatus state() const
    {
        if (cancelled_.load())
            return IoStatus::Cancelled;
        if (!plug_->present.load())
            return IoStatus::Gone;
        return IoStatus::Ok;
    }

    std::shared_ptr<VirtualBackend::Plug> plug_;
    bool blocking_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace

VirtualBackend::Slot* VirtualBackend::find(const std::string& path)
{
    for (Slot& s : slots_)
        if (s.path == path)
            return &s;
    return nullptr;
}

const VirtualBackend::Slot* VirtualBackend::find(const std::string& path) const
{
    return const_cast<VirtualBackend*>(this)->find(path);
}

void VirtualBackend::report(DeviceChange change, const std::string& path)
{
    if (changeReports_.load())
        notifyChange(change, path);
}

std::string VirtualBackend::attach(std::shared_ptr<VirtualFrame> frame)
{
    std::string path;
    {
        std::lock_guard lock(mutex_);
        path = "virtual:" + std::to_string(slots_.size());
        auto plug = std::make_shared<Plug>();
        plug->frame = frame;
        auto bench = std::make_unique<VirtualTestBench>(*this, path, frame);
        slots_.push_back({path, std::move(frame), std::move(plug), OpenFailure::None, std::move(bench)});
    }
    report(DeviceChange::Arrival, path);
    return path;
}

void VirtualBackend::detach(const std::string& path)
{
    std::shared_ptr<Plug> plug;
    {
        std::lock_guard lock(mutex_);
        Slot* s = find(path);
        if (!s || !s->plug)
            return;
        plug = std::move(s->plug);
    }
    plug->present.store(false);
    plug->frame->wakeReaders();
    report(DeviceChange::Removal, path);
}

void VirtualBackend::reattach(const std::string& path)
{
    {
        std::lock_guard lock(mutex_);
        Slot* s = find(path);
        if (!s || s->plug)
            return;
        s->frame->powerCycle();  // the firmware restarts before the host can see it
        s->plug = std::make_shared<Plug>();
        s->plug->frame = s->frame;
    }
    report(DeviceChange::Arrival, path);
}

bool VirtualBackend::attached(const std::string& path) const
{
    std::lock_guard lock(mutex_);
    const Slot* s = find(path);
    return s && s->plug;
}

FrameTestBench* VirtualBackend::testBench(const std::string& path)
{
    std::lock_guard lock(mutex_);
    Slot* s = find(path);
    return s ? s->bench.get() : nullptr;
}

std::shared_ptr<VirtualFrame> VirtualBackend::frame(const std::string& path) const
{
    std::lock_guard lock(mutex_);
    const Slot* s = find(path);
    return s ? s->frame : nullptr;
}

void VirtualBackend::setOpenRefusal(const std::string& path, OpenFailure failure)
{
    std::lock_guard lock(mutex_);
    if (Slot* s = find(path))
        s->refusal = failure;
}

std::vector<std::string> VirtualBackend::listInterfaces()
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> paths;
    for (const Slot& s : slots_)
        if (s.plug)
            paths.push_back(s.path);
    return paths;
}

bool VirtualBackend::handles(const std::string& path) const { return path.rfind("virtual:", 0) == 0; }

bool VirtualBackend::describe(const std::string& path, HidAttributes& attributes, std::vector<uint8_t>& descriptor)
{
    std::lock_guard lock(mutex_);
    const Slot* s = find(path);
    if (!s || !s->plug)
        return false;
    attributes.vendorId = s->frame->profile().vendorId;
    attributes.productId = s->frame->profile().productId;
    descriptor = VirtualFrame::reportDescriptor();
    return true;
}

std::unique_ptr<HidHandle> VirtualBackend::open(const std::string& path, OpenFailure* failure, std::string* detail)
{
    std::lock_guard lock(mutex_);
    const Slot* s = find(path);
    if (!s || !s->plug) {
        if (failure)
            *failure = OpenFailure::NotFound;
        if (detail)
            *detail = path + " is not attached";
        return nullptr;
    }
    if (s->refusal != OpenFailure::None) {
        if (failure)
            *failure = s->refusal;
        if (detail) {
            char ids[48];
            std::snprintf(ids, sizeof ids, "; vendor %04x, product %04x", s->frame->profile().vendorId,
                          s->frame->profile().productId);
            *detail = "open " + path + ": " + (s->refusal == OpenFailure::PermissionDenied ? "Permission denied" : "refused") + ids;
        }
        return nullptr;
    }
    return std::make_unique<VirtualHandle>(s->plug, reads_ == Reads::Blocking);
}

}  // namespace oculant
