#include "signal/FrameProcessor.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "signal/PartialUpdate.h"

namespace oculant {
namespace {

// What the payload must hold for the type's copies, checked against the frame's own layout.
FrameStatus checkPayload(const FrameHeader& h, const uint8_t* payload, size_t length)
{
    const uint8_t family = h.family();
    switch (h.type()) {
    case kTypeLiveScan:
        if (family == kFamilyPartialScan) {
            switch (checkPartialUpdate({payload, length}, LayerShape::of(h))) {
            case PartialUpdateStatus::Ok:
                return FrameStatus::Accepted;
            case PartialUpdateStatus::ShortPayload:
                return FrameStatus::ShortPayload;
            case PartialUpdateStatus::OutOfRange:
                return FrameStatus::OutOfRange;
            }
        }
        [[fallthrough]];  // the other families carry the sample block, which the log also reads
    case kTypeThreshold:
    case kTypeReference: {
        size_t needed = h.sampleBlockLength();
        if (family == kFamilyBoundary) {
            const auto boundary = h.boundaryBlockLength();
            if (!boundary)
                return FrameStatus::OutOfRange;
            needed += *boundary;
        }
        return length >= needed ? FrameStatus::Accepted : FrameStatus::ShortPayload;
    }
    case kTypeTouchReport:
        return length >= 1 ? FrameStatus::Accepted : FrameStatus::ShortPayload;
    default:
        return FrameStatus::Accepted;
    }
}

}  // namespace

uint64_t FrameDropCounts::total() const
{
    uint64_t sum = 0;
    for (size_t i = 1; i < byStatus.size(); ++i)
        sum += byStatus[i];
    return sum;
}

FrameProcessor::FrameProcessor(SignalStore& store, std::string logDirectory, SecondsClock clock)
    : store_(store), recorder_(std::move(logDirectory), std::move(clock))
{
}

void FrameProcessor::addListener(SignalFrameListener* listener)
{
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void FrameProcessor::removeListener(SignalFrameListener* listener)
{
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

FrameStatus FrameProcessor::check(const uint8_t* data, size_t length, FrameHeader& header) const
{
    if (data == nullptr || length == 0)
        return FrameStatus::Truncated;
    if (length > kMaxFrameBytes)
        return FrameStatus::BeyondLimits;
    if (byteSum8(data, length - 1) != data[length - 1])
        return FrameStatus::BadChecksum;
    if (!isKnownFamily(frameFamily(data[0])))
        return FrameStatus::UnknownFamily;
    switch (parseFrameHeader(data, length, header)) {
    case HeaderStatus::Ok:
        break;
    case HeaderStatus::Truncated:
        return FrameStatus::Truncated;
    case HeaderStatus::BeyondLimits:
        return FrameStatus::BeyondLimits;
    }
    return checkPayload(header, data + header.length, length - header.length - 1);
}

FrameResult FrameProcessor::ProcessFrame(const uint8_t* data, size_t length)
{
    FrameHeader header;
    const FrameStatus status = check(data, length, header);
    if (status != FrameStatus::Accepted) {
        ++drops_.byStatus[size_t(status)];
        return {status, {}};
    }
    store_.updateLayout(header, data);
    const uint8_t* payload = data + header.length;
    const size_t payloadLength = length - header.length - 1;

    FrameResult result;
    const uint8_t type = header.type();
    if (type == kTypeLiveScan || type == kTypeThreshold || type == kTypeReference)
        result.logError = recorder_.logStep(header, payload, store_);

    switch (type) {
    case kTypeLiveScan:
        routeLiveScan(header, payload, payloadLength);
        break;
    case kTypeThreshold:
        storeSamples(header, payload, kPlaneThreshold);
        break;
    case kTypeReference:
        storeSamples(header, payload, kPlaneReference);
        storeSamples(header, payload, kPlaneCurrent);
        break;
    case kTypeTouchReport:
        routeTouchReport(payload, payloadLength);
        break;
    default:
        break;
    }
    return result;
}

void FrameProcessor::storeSamples(const FrameHeader& header, const uint8_t* payload, int plane)
{
    const size_t a = header.sampleBlockLength();
    std::memcpy(store_.plane(plane).data(), payload, a);
    if (header.family() == kFamilyBoundary)
        storeBoundaryRows(header, payload + a, plane);
}

void FrameProcessor::storeBoundaryRows(const FrameHeader& header, const uint8_t* rows, int plane)
{
    const size_t x = header.xBoundaryLength().value_or(0);
    const size_t y = header.yBoundaryLength().value_or(0);
    for (int k = 0; k < kBoundaryRowsPerAxis; ++k, rows += x)
        std::memcpy(store_.row(plane, store_.xBoundaryRow(k)).data(), rows, x);
    for (int k = 0; k < kBoundaryRowsPerAxis; ++k, rows += y)
        std::memcpy(store_.row(plane, store_.yBoundaryRow(k)).data(), rows, y);
}

void FrameProcessor::routeLiveScan(const FrameHeader& header, const uint8_t* payload, size_t payloadLength)
{
    switch (header.family()) {
    case kFamilyFullScan:
    case kFamilyBoundary:
        storeSamples(header, payload, kPlaneReceive);
        break;
    case kFamilyPartialScan:
        applyPartialUpdate({payload, payloadLength}, store_, kPlaneReceive);
        break;
    default:  // family 0x00 live scans are logged, not stored
        break;
    }
    const auto receive = store_.plane(kPlaneReceive);
    std::copy(receive.begin(), receive.end(), store_.plane(kPlaneCurrent).begin());
    captureReference();
    for (size_t i = 0; i < listeners_.size(); ++i)
        if (listeners_[i]->wantsLiveScans())
            listeners_[i]->OnSignalFrame();
}

void FrameProcessor::captureReference()
{
    if (store_.referenceCaptureCount() >= SignalStore::kReferenceScans)
        return;
    const auto receive = store_.plane(kPlaneReceive);
    const auto reference = store_.plane(kPlaneReference);
    const auto threshold = store_.plane(kPlaneThreshold);
    std::copy(receive.begin(), receive.end(), reference.begin());
    // The capture's threshold: a quarter of the reference level.
    for (size_t i = 0; i < reference.size(); ++i)
        threshold[i] = uint8_t(reference[i] >> 2);
    store_.countReferenceScan();
}

void FrameProcessor::routeTouchReport(const uint8_t* payload, size_t payloadLength)
{
    const TouchReport report = parseTouchReport(payload, payloadLength);
    for (size_t i = 0; i < listeners_.size(); ++i)
        listeners_[i]->HandleTouches(report.count, report.records);
    for (size_t i = 0; i < listeners_.size(); ++i)
        listeners_[i]->AddTouchReport(report.count, report.records);
}

}  // namespace oculant
