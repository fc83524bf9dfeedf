// Discovery and connection of frames: the device list, the scan and opening and closing the
// current device. All of it runs on the UI thread.
#include <algorithm>

#include "link/HIDTalk.h"
#include "hid/HidDescriptor.h"

namespace oculant {

std::optional<QuillonDevice> HIDTalk::recogniseInterface(const std::string& path)
{
    HidAttributes attributes;
    std::vector<uint8_t> descriptor;
    if (!backend_.describe(path, attributes, descriptor))
        return std::nullopt;
    const HidDescriptorResult parsed = parseReportDescriptor(descriptor);
    if (!parsed.ok)
        return std::nullopt;
    // A frame is recognised by its capabilities, never by its ids. Linux gives one node per
    // interface, so the rule is applied to each top-level collection of it.
    for (const HidCollectionCaps& caps : parsed.collections) {
        if (!matchesFrameRule(caps))
            continue;
        QuillonDevice record;
        record.path = path;
        record.vendorId = attributes.vendorId;
        record.productId = attributes.productId;
        record.inputReportId = caps.inputButtonCapReportIds.front();
        record.outputReportId = caps.outputValueCapReportIds.front();
        record.outputReportLength = uint8_t(caps.outputReportByteLength);
        record.inputReportByteLength = caps.inputReportByteLength;
        record.outputReportByteLength = caps.outputReportByteLength;
        record.usagePage = caps.usagePage;
        record.usage = caps.usage;
        record.present = true;
        record.isNew = true;
        return record;
    }
    return std::nullopt;
}

void HIDTalk::EnumerateDevices()
{
    problems_.clear();
    std::vector<std::string> paths = backend_.listInterfaces();
    if (paths.size() > size_t(kMaxInterfaces))
        paths.resize(kMaxInterfaces);
    std::set<std::string> stillRejected;
    for (const std::string& path : paths) {
        auto listed = std::find_if(devices_.begin(), devices_.end(),
                                   [&](const QuillonDevice& d) { return d.path == path; });
        if (listed != devices_.end()) {
            listed->present = true;
            listed->isNew = false;
            continue;
        }
        if (rejectedPaths_.count(path)) {
            stillRejected.insert(path);
            continue;
        }
        std::optional<QuillonDevice> record = recogniseInterface(path);
        if (!record)
            continue;
        // Only a frame we can open for reading and writing is listed; one we may not open is
        // reported, so the user learns why it does not connect.
        OpenFailure failure = OpenFailure::None;
        std::string detail;
        std::unique_ptr<HidHandle> probe = backend_.open(path, &failure, &detail);
        if (!probe) {
            problems_.push_back({path, failure, detail,
                                 failure == OpenFailure::PermissionDenied ? backend_.accessFix(path) : std::string()});
            continue;
        }
        probe.reset();
        devices_.push_back(*record);
    }
    // A rejected device is forgotten once it is unplugged; plugged in again, it is probed again.
    rejectedPaths_ = std::move(stillRejected);
}

HIDTalk::ScanOutcome HIDTalk::ScanDevices()
{
    for (QuillonDevice& d : devices_)
        d.present = false;
    EnumerateDevices();
    for (auto it = devices_.begin(); it != devices_.end();) {
        if (it->present) {
            ++it;
            continue;
        }
        if (current_ && current_->path == it->path)
            CloseDevice();
        it = devices_.erase(it);
    }
    ScanOutcome outcome;
    if (std::any_of(devices_.begin(), devices_.end(), [](const QuillonDevice& d) { return d.isNew; })) {
        setConnected(false);
        outcome.probeNeeded = true;
        return outcome;
    }
    if (!current_) {
        for (const QuillonDevice& d : devices_)
            if (OpenDevice(d))
                break;
    }
    if (!devices_.empty() && current_) {
        setConnected(true);
    } else {
        setConnected(false);
        devices_.clear();
    }
    outcome.connected = connected();
    return outcome;
}

bool HIDTalk::OpenDevice(const QuillonDevice& record)
{
    if (record.path.empty())
        return false;
    std::unique_ptr<HidHandle> handle = backend_.open(record.path, nullptr, nullptr);
    if (!handle)
        return false;
    // A device still current here would leak its handle; close it properly first.
    if (handle_)
        handle_->cancel();
    std::lock_guard lock(deviceMutex_);
    handle_ = std::move(handle);
    current_ = record;
    ring_.reset();
    // Commands queued for the device open before are not this one's, even at the same path (a
    // frame plugged back restarted); every opening is followed by the commands it needs.
    commands_.discardQueued();
    gone_.store(false, std::memory_order_release);
    return true;
}

void HIDTalk::CloseDevice()
{
    if (!current_)
        return;
    // Cancel first so that a read or write in progress returns at once, then wait for the
    // worker to let go of the device.
    if (handle_)
        handle_->cancel();
    std::lock_guard lock(deviceMutex_);
    handle_.reset();
    current_.reset();
}

void HIDTalk::ForgetDevice(const std::string& path)
{
    std::erase_if(devices_, [&](const QuillonDevice& d) { return d.path == path; });
}

bool HIDTalk::currentDeviceListed()
{
    if (!current_)
        return false;
    const std::vector<std::string> paths = backend_.listInterfaces();
    return std::find(paths.begin(), paths.end(), current_->path) != paths.end();
}

void HIDTalk::RejectDevice(const std::string& path)
{
    auto it = std::find_if(devices_.begin(), devices_.end(), [&](const QuillonDevice& d) { return d.path == path; });
    if (it != devices_.end())
        devices_.erase(it);
    rejectedPaths_.insert(path);
}

}  // namespace oculant
