#include "backends/capture/RecordingBackend.h"

#include <algorithm>
#include <chrono>

#include "hid/HidDescriptor.h"
#include "base/SteadyClock.h"

namespace oculant {

namespace {

class RecordingHandle : public HidHandle {
public:
    RecordingHandle(std::unique_ptr<HidHandle> inner, std::shared_ptr<RecordingBackend::Track> track,
                    RecordingBackend::Clock clock)
        : inner_(std::move(inner)), track_(std::move(track)), clock_(std::move(clock))
    {
    }

    IoResult read(uint8_t* buffer, size_t capacity, int timeoutMs) override
    {
        const IoResult r = inner_->read(buffer, capacity, timeoutMs);
        if (r.status == IoStatus::Ok && r.bytes > 0)
            note(CaptureEvent::Direction::Input, buffer, r.bytes);
        return r;
    }

    IoResult write(const uint8_t* report, size_t length, int timeoutMs) override
    {
        const IoResult r = inner_->write(report, length, timeoutMs);
        // What reached the device: a short write sent only its first bytes.
        if (r.status == IoStatus::Ok && r.bytes > 0)
            note(CaptureEvent::Direction::Output, report, std::min(r.bytes, length));
        return r;
    }

    void cancel() override { inner_->cancel(); }

private:
    void note(CaptureEvent::Direction direction, const uint8_t* bytes, size_t length)
    {
        const int64_t now = clock_();
        std::lock_guard lock(track_->mutex);
        std::vector<CaptureEvent>& events = track_->file.events;
        // Never backwards, whatever the clock does: the reader refuses a time that goes back.
        int64_t t = std::max<int64_t>(0, now - track_->startUs);
        if (!events.empty())
            t = std::max(t, events.back().timeUs);
        // Without report ids the file keeps the report as the kernel gave it, without the 0
        // byte the hidraw handle put in front: what the other recorders write, and what the
        // replay puts back.
        if (direction == CaptureEvent::Direction::Input && track_->withoutIds && length > 1 && bytes[0] == 0)
            ++bytes, --length;
        events.push_back({direction, t, std::vector<uint8_t>(bytes, bytes + std::min(length, kMaxCaptureReportBytes))});
    }

    std::unique_ptr<HidHandle> inner_;
    std::shared_ptr<RecordingBackend::Track> track_;
    RecordingBackend::Clock clock_;
};

}  // namespace

RecordingBackend::RecordingBackend(HidBackend& inner, Clock clock)
    : inner_(inner), clock_(clock ? std::move(clock) : Clock(steadyUs))
{
    inner_.setChangeCallback([this](DeviceChange c, const std::string& p) { notifyChange(c, p); });
}

bool RecordingBackend::describe(const std::string& path, HidAttributes& attributes, std::vector<uint8_t>& descriptor)
{
    return inner_.describe(path, attributes, descriptor);
}

std::unique_ptr<HidHandle> RecordingBackend::open(const std::string& path, OpenFailure* failure, std::string* detail)
{
    std::unique_ptr<HidHandle> handle = inner_.open(path, failure, detail);
    if (!handle)
        return nullptr;
    std::shared_ptr<Track> track;
    {
        std::lock_guard lock(mutex_);
        std::shared_ptr<Track>& slot = tracks_[path];
        if (!slot) {
            slot = std::make_shared<Track>();
            slot->startUs = clock_();
            HidAttributes ids;
            inner_.describe(path, ids, slot->file.descriptor);
            slot->withoutIds = !reportsCarryIds(slot->file.descriptor);
            slot->file.vendorId = ids.vendorId;
            slot->file.productId = ids.productId;
            slot->file.name = "Oculant capture of " + path;
        }
        track = slot;
    }
    return std::make_unique<RecordingHandle>(std::move(handle), std::move(track), clock_);
}

std::optional<CaptureFile> RecordingBackend::capture(const std::string& path) const
{
    std::shared_ptr<Track> track;
    {
        std::lock_guard lock(mutex_);
        auto it = tracks_.find(path);
        if (it == tracks_.end())
            return std::nullopt;
        track = it->second;
    }
    std::lock_guard lock(track->mutex);
    return track->file;
}

std::vector<std::string> RecordingBackend::recordedPaths() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> paths;
    for (const auto& [path, track] : tracks_)
        paths.push_back(path);
    return paths;
}

}  // namespace oculant
