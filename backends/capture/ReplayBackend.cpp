#include "backends/capture/ReplayBackend.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>

#include "hid/HidDescriptor.h"
#include "base/SteadyClock.h"

namespace oculant {

namespace {

// When a report recorded `offsetUs` after the first one is due, played at `speed`. A recording
// of a long time played slowly lands beyond what the clock can count: never due, instead of a
// time that overflowed into the past.
int64_t dueUs(int64_t startUs, int64_t offsetUs, double speed)
{
    const double due = double(startUs) + std::ceil(double(offsetUs) / speed);
    if (!(due < 9.0e18))
        return INT64_MAX;
    return due < -9.0e18 ? INT64_MIN : int64_t(due);
}

class ReplayHandle : public HidHandle {
public:
    ReplayHandle(std::shared_ptr<ReplayBackend::Timeline> timeline, bool blocking)
        : t_(std::move(timeline)), blocking_(blocking)
    {
    }

    IoResult read(uint8_t* buffer, size_t capacity, int timeoutMs) override
    {
        std::unique_lock lock(t_->mutex);
        const int64_t deadline = t_->clock() + int64_t(timeoutMs) * 1000;
        for (;;) {
            if (cancelled_.load())
                return {IoStatus::Cancelled, 0};
            const int64_t now = t_->clock();
            int64_t waitUntil = deadline;
            if (t_->next < t_->inputs.size()) {
                const CaptureEvent& e = t_->inputs[t_->next];
                const int64_t due = dueUs(t_->startUs, e.timeUs - t_->originUs, t_->speed);
                if (now >= due) {
                    const size_t n = std::min(capacity, e.bytes.size());
                    std::memcpy(buffer, e.bytes.data(), n);
                    ++t_->next;
                    return {IoStatus::Ok, n};
                }
                waitUntil = std::min(deadline, due);
            }
            if (!blocking_ || now >= deadline)
                return {IoStatus::Timeout, 0};
            t_->wake.wait_for(lock, std::chrono::microseconds(std::max<int64_t>(1, waitUntil - now)));
        }
    }

    // The device a capture came from answered our commands already; these go nowhere.
    IoResult write(const uint8_t* report, size_t length, int timeoutMs) override
    {
        if (cancelled_.load())
            return {IoStatus::Cancelled, 0};
        return {IoStatus::Ok, length};
    }

    void cancel() override
    {
        {
            std::lock_guard lock(t_->mutex);
            cancelled_.store(true);
        }
        t_->wake.notify_all();
    }

private:
    std::shared_ptr<ReplayBackend::Timeline> t_;
    bool blocking_;
    std::atomic<bool> cancelled_{false};
};

// A device without report ids is recorded as the kernel gives its reports; the tool reads them
// behind the 0 byte hidraw's reads put in front (HidrawHandle), so the replay does the same.
std::vector<CaptureEvent> inputsOf(const CaptureFile& capture)
{
    const bool addId = !reportsCarryIds(capture.descriptor);
    std::vector<CaptureEvent> inputs;
    for (const CaptureEvent& e : capture.events)
        if (e.direction == CaptureEvent::Direction::Input) {
            inputs.push_back(e);
            if (addId)
                inputs.back().bytes.insert(inputs.back().bytes.begin(), 0);
        }
    return inputs;
}

}  // namespace

ReplayBackend::ReplayBackend(CaptureFile capture, const std::string& file, double speed, Reads reads, Clock clock)
    : capture_(std::move(capture)), path_(pathFor(file)), reads_(reads)
{
    const double s = std::isfinite(speed) && speed > 0 ? speed : 1.0;
    const int64_t first = capture_.events.empty() ? 0 : capture_.events.front().timeUs;
    const int64_t origin = first > kLongestLeadInUs ? first : 0;
    timeline_ = std::make_shared<Timeline>(inputsOf(capture_), origin, s, clock ? std::move(clock) : Clock(steadyUs));
}

bool ReplayBackend::handles(const std::string& path) const { return path.rfind(kPathPrefix, 0) == 0; }

bool ReplayBackend::describe(const std::string& path, HidAttributes& attributes, std::vector<uint8_t>& descriptor)
{
    if (path != path_)
        return false;
    attributes.vendorId = capture_.vendorId;
    attributes.productId = capture_.productId;
    descriptor = capture_.descriptor;
    return true;
}

std::unique_ptr<HidHandle> ReplayBackend::open(const std::string& path, OpenFailure* failure, std::string* detail)
{
    if (path != path_) {
        if (failure)
            *failure = OpenFailure::NotFound;
        if (detail)
            *detail = "no replay of " + path;
        return nullptr;
    }
    {
        std::lock_guard lock(timeline_->mutex);
        if (timeline_->startUs < 0)
            timeline_->startUs = timeline_->clock();
    }
    return std::make_unique<ReplayHandle>(timeline_, reads_ == Reads::Blocking);
}

size_t ReplayBackend::delivered() const
{
    std::lock_guard lock(timeline_->mutex);
    return timeline_->next;
}

bool ReplayBackend::finished() const
{
    std::lock_guard lock(timeline_->mutex);
    return timeline_->next >= timeline_->inputs.size();
}

}  // namespace oculant
