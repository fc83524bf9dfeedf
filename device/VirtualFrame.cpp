#include "device/VirtualFrame.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "device/Crc32.h"

namespace oculant {

using namespace protocol;

namespace {

int64_t steadyMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

VirtualFrame::VirtualFrame(VirtualFrameProfile profile, Clock clock)
    : profile_(std::move(profile)), clock_(clock ? std::move(clock) : Clock(steadyMicros))
{
    parameterBlock_ = buildParameterBlockImage(profile_).bytes;
    runFlags_ = profile_.runFlags;
    flash_.assign(size_t(profile_.flashSizeCode) * 32768u, 0xFF);
    areaWritten_.assign(calibrationArea().size, false);
}

std::vector<uint8_t> VirtualFrame::reportDescriptor()
{
    return {
        0x06, 0x00, 0xFF,        // Usage Page (vendor 0xFF00)
        0x09, 0x01,              // Usage (1)
        0xA1, 0x01,              // Collection (Application)
        0x15, 0x00,              //   Logical Minimum (0)
        0x26, 0xFF, 0x00,        //   Logical Maximum (255)
        0x75, 0x08,              //   Report Size (8)
        0x85, kInputReportId,    //   Report ID
        0x95, 0x3F,              //   Report Count (63)
        0x09, 0x02,              //   Usage (2)
        0x81, 0x00,              //   Input (Data, Array, Absolute): one button cap
        0x85, kOutputReportId,   //   Report ID
        0x95, 0x3E,              //   Report Count (62)
        0x09, 0x03,              //   Usage (3)
        0x91, 0x02,              //   Output (Data, Variable, Absolute): one value cap
        0xC0,                    // End Collection
    };
}

CalibrationArea VirtualFrame::calibrationArea() const
{
    CalibrationArea area = BuildFlashMap(profile_.modelCode & 0x7F, profile_.flashSizeCode);
    if (uint64_t(area.address) + area.size > uint64_t(profile_.flashSizeCode) * 32768u)
        return {};  // the model's area lies outside this flash
    return area;
}

VirtualFrame::Report VirtualFrame::makeReport(uint8_t code) const
{
    Report r{};
    r[0] = kInputReportId;
    r[1] = code;
    return r;
}

void VirtualFrame::queueAnswer(uint8_t code, const uint8_t* body, size_t length)
{
    Report r = makeReport(code);
    std::memcpy(&r[3], body, std::min(length, r.size() - 3));
    input_.push_back(r);
}

bool VirtualFrame::receiveOutputReport(const uint8_t* report, size_t length)
{
    if (length < 2 || report[0] != kOutputReportId)
        return false;
    std::lock_guard lock(mutex_);
    ++commandCounts_[report[1]];
    if (report[1] == kCmdBlockWrite) {
        if (length >= 8)
            blockWriteLocked(report);
    } else {
        answerLocked(report[1], report + 2);
    }
    inputReady_.notify_all();
    return true;
}

void VirtualFrame::answerLocked(uint8_t code, const uint8_t* payload)
{
    switch (code) {
    case kCmdVersionStatus: {
        if (!profile_.answerInfo)
            return;
        uint8_t body[16] = {};
        body[0] = profile_.modelCode;
        writeLe16(&body[8], profile_.hardwareVersion);
        writeLe16(&body[10], profile_.softwareVersion);
        body[12] = profile_.firmwareStatus;
        body[13] = profile_.flashSizeCode;
        body[14] = runFlags_;
        queueAnswer(code, body, sizeof body);
        return;
    }
    case kCmdIdentifier:
        queueAnswer(code, profile_.identifier.data(), profile_.identifier.size());
        return;
    case kCmdIdentity: {
        std::vector<uint8_t> body(profile_.identifier.begin(), profile_.identifier.end());
        body.resize(16);
        writeLe32(&body[12], uint32_t(profile_.shipTime));
        if (profile_.serial) {
            body.insert(body.end(), profile_.serial->begin(), profile_.serial->end());
            body.push_back(0);
        } else {
            body.push_back(0xFF);
            body.push_back(0);
        }
        body.insert(body.end(), profile_.modelName.begin(), profile_.modelName.end());
        body.push_back(0);
        body.resize(61, 0);  // what one report holds after the code and the unused byte
        body.back() = 0;
        queueAnswer(code, body.data(), body.size());
        return;
    }
    case kCmdUserParams:
    case kCmdUserParams2: {
        uint8_t body[58] = {};
        body[0] = profile_.frames;
        writeLe32(&body[51], profile_.featureWord);
        queueAnswer(code, body, sizeof body);
        return;
    }
    case kCmdParameterBlock:
        queueParameterBlock();
        return;
    case kCmdRun:
        runFlags_ = uint8_t((runFlags_ & ~0x03) | 0x01);
        return;
    case kCmdMode:
        mode_ = payload[0];
        return;
    default:
        return;  // unknown commands are ignored, as the firmware does
    }
}

void VirtualFrame::queueParameterBlock()
{
    const size_t total = parameterBlock_.size();
    uint8_t sum = 0;
    for (size_t offset = 0; offset < total; offset += kParamChunkMaxData) {
        const size_t n = std::min(kParamChunkMaxData, total - offset);
        Report r = makeReport(kCmdParameterBlock);
        writeLe16(&r[2], uint16_t(offset));
        r[4] = uint8_t(n);
        std::memcpy(&r[kParamChunkDataOffset], &parameterBlock_[offset], n);
        input_.push_back(r);
    }
    for (uint8_t b : parameterBlock_)
        sum = uint8_t(sum + b);
    Report end = makeReport(kCmdParameterBlock);
    writeLe16(&end[2], uint16_t(total));
    end[4] = kParamEndMarker;
    end[5] = sum;
    input_.push_back(end);
}

void VirtualFrame::blockWriteLocked(const uint8_t* report)
{
    // Bytes 1-6 header (0x07, 0x10, address), byte 7 length, data from byte 8.
    if (report[2] != kBlockSubCode)
        return;
    const uint32_t address = readLe32(&report[3]);
    const uint32_t n = report[7];
    if (n > kOutputReportLength - 8 || uint64_t(address) + n > flash_.size())
        return;  // the firmware refuses writes outside its flash
    std::memcpy(&flash_[address], &report[8], n);
    blockBytes_ += n;

    const CalibrationArea area = calibrationArea();
    if (area.size == 0 || address + n <= area.address || address >= area.address + area.size)
        return;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t a = address + i;
        if (a >= area.address && a < area.address + area.size)
            areaWritten_[a - area.address] = true;
    }
    if (!std::all_of(areaWritten_.begin(), areaWritten_.end(), [](bool b) { return b; }))
        return;
    // The whole area arrived: its last word must be the CRC of the words before it.
    std::vector<uint32_t> words(area.size / 4);
    for (size_t w = 0; w < words.size(); ++w)
        words[w] = readLe32(&flash_[area.address + 4 * w]);
    areaCrcOk_ = Crc32Words(words.data(), words.size() - 1) == words.back();
    ++areaWrites_;
    std::fill(areaWritten_.begin(), areaWritten_.end(), false);
}

std::optional<VirtualFrame::Report> VirtualFrame::takeInputReport()
{
    std::lock_guard lock(mutex_);
    if (input_.empty())
        return std::nullopt;
    Report r = input_.front();
    input_.pop_front();
    return r;
}

bool VirtualFrame::waitForInput(int timeoutMs, const std::atomic<bool>& abort)
{
    std::unique_lock lock(mutex_);
    return inputReady_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [&] { return !input_.empty() || abort.load(); });
}

void VirtualFrame::wakeReaders()
{
    // Taking the lock orders the waker's flag store before the waiter's predicate check.
    std::lock_guard lock(mutex_);
    inputReady_.notify_all();
}

bool VirtualFrame::stalled() const
{
    std::lock_guard lock(mutex_);
    return profile_.stallAfterBytes >= 0 && blockBytes_ >= profile_.stallAfterBytes;
}

uint8_t VirtualFrame::mode() const
{
    std::lock_guard lock(mutex_);
    return mode_;
}

uint8_t VirtualFrame::runFlags() const
{
    std::lock_guard lock(mutex_);
    return runFlags_;
}

int VirtualFrame::commandsReceived(uint8_t code) const
{
    std::lock_guard lock(mutex_);
    return commandCounts_[code];
}

std::vector<uint8_t> VirtualFrame::flash(uint32_t address, uint32_t size) const
{
    std::lock_guard lock(mutex_);
    if (uint64_t(address) + size > flash_.size())
        return {};
    return {flash_.begin() + address, flash_.begin() + address + size};
}

std::optional<bool> VirtualFrame::calibrationCrcOk() const
{
    std::lock_guard lock(mutex_);
    return areaCrcOk_;
}

int VirtualFrame::completedCalibrationWrites() const
{
    std::lock_guard lock(mutex_);
    return areaWrites_;
}

}  // namespace oculant
