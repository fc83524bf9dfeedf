#include "backends/virtual/VirtualFrame.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "backends/virtual/VirtualRandom.h"
#include "protocol/Crc32.h"
#include "base/SteadyClock.h"

namespace oculant {

using namespace protocol;

namespace {

bool streamsSignal(uint8_t mode) { return mode == 1 || mode == 4; }
constexpr uint8_t kModeTouchReports = 3;
constexpr uint8_t kTouchContact = 9;
constexpr uint8_t kTouchReleased = 8;

FrameLayout frameLayout(const VirtualFrameProfile& p, uint8_t family)
{
    FrameLayout layout;
    layout.family = family;
    layout.nX = uint16_t(p.xPositions());
    layout.nY = uint16_t(p.yPositions());
    layout.xOffsets.assign(p.xOffsets.begin(), p.xOffsets.end());
    layout.yOffsets.assign(p.yOffsets.begin(), p.yOffsets.end());
    return layout;
}

}  // namespace

VirtualFrame::VirtualFrame(VirtualFrameProfile profile, Clock clock)
    : profile_(std::move(profile)), clock_(clock ? std::move(clock) : Clock(steadyUs)), beams_(profile_),
      signalBuilder_(frameLayout(profile_, profile_.family)), touchBuilder_(frameLayout(profile_, kFamilyFullScan))
{
    parameterBlock_ = buildParameterBlockImage(profile_).bytes;
    runFlags_ = profile_.runFlags;
    flash_.assign(size_t(profile_.flashSizeCode) * 32768u, 0xFF);
    areaWritten_.assign(calibrationArea().size, false);
    powerOnUs_ = clock_();
    const size_t scanBytes = liveFrameLocked(powerOnUs_).size();
    framesStreamed_ = 0;
    garbageBurstReports_ = std::max<size_t>(2, (scanBytes + kSignalChunkMaxData - 1) / kSignalChunkMaxData);
    garbageRandom_ = profile_.garbageSeed ? profile_.garbageSeed : 1;
    if (profile_.garbage) {
        garbageOn_ = true;
        garbageStartUs_ = clock_();
    }
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
        if (payload[0] != mode_) {
            mode_ = payload[0];
            if (mode_ != kModeTouchReports)
                std::erase_if(fingers_, [](const VirtualFinger& f) { return f.lifting; });
            startStreamLocked(clock_());
        }
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

// ---- Streaming ----

void VirtualFrame::startStreamLocked(int64_t nowUs)
{
    streamStartUs_ = nowUs;
    streamFrames_ = 0;
    lastReadUs_ = nowUs;
    if (!streamsSignal(mode_))
        return;
    // On entering a signal mode the frame sends its reference and threshold first.
    const std::vector<uint8_t> reference = beams_.levels({}, scanAtLocked(nowUs, false));
    std::vector<uint8_t> threshold(reference);
    for (uint8_t& b : threshold)
        b = uint8_t(b / 2);
    const std::vector<uint8_t> boundary(signalBuilder_.layout().boundaryBlockLength(), uint8_t(profile_.referenceLevel));
    queueFrameLocked(signalBuilder_.samples(kTypeReference, reference, boundary));
    queueFrameLocked(signalBuilder_.samples(kTypeThreshold, threshold, boundary));
}

int64_t VirtualFrame::nextDueLocked() const
{
    return std::min(nextGarbageDueLocked(), nextScanDueLocked());
}

int64_t VirtualFrame::nextScanDueLocked() const
{
    if (!streamsSignal(mode_) && mode_ != kModeTouchReports)
        return INT64_MAX;
    // Unpaced, a scan is made whenever the host has taken the last one; with nothing to send
    // (touch mode, no finger) look again in a millisecond rather than spin.
    if (profile_.frameRate == 0)
        return clock_() + 1000;
    return streamStartUs_ + int64_t(streamFrames_) * 1000000 / profile_.frameRate;
}

void VirtualFrame::produceDueLocked(int64_t nowUs)
{
    produceGarbageLocked(nowUs);
    if (!streamsSignal(mode_) && mode_ != kModeTouchReports)
        return;
    if (profile_.frameRate == 0) {
        if (input_.empty())
            produceScanLocked(nowUs);
        return;
    }
    const uint64_t owed = uint64_t((nowUs - streamStartUs_) * profile_.frameRate / 1000000) + 1;
    // The frame scans in real time: a host that did not read for a while gets the latest scans,
    // not a backlog. The scans it never sent are counted.
    if (owed > streamFrames_ + 4) {
        scansSkipped_ += owed - 4 - streamFrames_;
        skippedTimes_.push_back({nowUs, nowUs - lastReadUs_, owed - 4 - streamFrames_});
        if (skippedTimes_.size() > 256)
            skippedTimes_.pop_front();
        streamFrames_ = owed - 4;
    }
    lastReadUs_ = nowUs;
    for (; streamFrames_ < owed; ++streamFrames_)
        produceScanLocked(streamStartUs_ + int64_t(streamFrames_) * 1000000 / profile_.frameRate);
}

void VirtualFrame::produceScanLocked(int64_t atUs)
{
    // The scene as it is at this scan's own time.
    advanceSweepLocked(atUs);
    if (mode_ == kModeTouchReports) {
        if (!fingers_.empty())
            queueFrameLocked(touchFrameLocked());
    } else {
        queueFrameLocked(liveFrameLocked(atUs));
    }
}

BeamScan VirtualFrame::scanAtLocked(int64_t atUs, bool live) const
{
    BeamScan scan;
    scan.live = live;
    scan.scan = live ? uint32_t(framesStreamed_ + 1) : 0;
    const int64_t sincePowerOnUs = atUs - powerOnUs_;
    scan.faultsOn = double(sincePowerOnUs) >= profile_.faultsAfterSeconds * 1e6;
    scan.minutesOn = double(sincePowerOnUs) / 60e6;
    return scan;
}

std::vector<uint8_t> VirtualFrame::liveFrameLocked(int64_t atUs)
{
    const std::vector<uint8_t> levels = beams_.levels(fingers_, scanAtLocked(atUs, true));
    const std::vector<uint8_t> boundary(signalBuilder_.layout().boundaryBlockLength(), uint8_t(profile_.referenceLevel));
    return signalBuilder_.liveScan(levels, boundary);
}

TouchRecord VirtualFrame::touchRecordOf(const VirtualFinger& f, uint8_t state) const
{
    // Positions and sizes in logical units: 32768 spans the frame's width or height.
    auto logical = [](double mm, double span) { return int16_t(std::clamp(std::lround(mm / span * 32768.0), 0L, 32767L)); };
    TouchRecord r;
    r.x = logical(f.xMm, beams_.widthMm());
    r.y = logical(f.yMm, beams_.heightMm());
    r.width = logical(2 * f.radiusMm, beams_.widthMm());
    r.height = logical(2 * f.radiusMm, beams_.heightMm());
    r.id = uint8_t(f.id);
    r.state = state;
    return r;
}

std::vector<uint8_t> VirtualFrame::touchFrameLocked()
{
    // A lifted finger keeps its place in the report for its release, so the records of the
    // fingers still down keep theirs.
    std::vector<TouchRecord> records;
    for (const VirtualFinger& f : fingers_)
        records.push_back(touchRecordOf(f, f.lifting ? kTouchReleased : kTouchContact));
    std::erase_if(fingers_, [](const VirtualFinger& f) { return f.lifting; });
    if (records.size() > kMaxTouchRecords)
        records.resize(kMaxTouchRecords);
    return touchBuilder_.touchReport(uint8_t(records.size()), records);
}

void VirtualFrame::queueFrameLocked(const std::vector<uint8_t>& frame)
{
    // Split into 0x30-0x3F reports: first, middle and last phases, 61 data bytes each. A frame
    // that fits one report goes as an empty first piece and a last piece holding it all.
    const size_t chunks = std::max<size_t>(1, (frame.size() + kSignalChunkMaxData - 1) / kSignalChunkMaxData);
    auto push = [&](uint8_t phase, size_t offset, size_t n) {
        Report r = makeReport(uint8_t(0x30 | phase));
        r[2] = uint8_t(n);
        std::memcpy(&r[kSignalChunkDataOffset], frame.data() + offset, n);
        pushReportLocked(r);
    };
    if (chunks == 1) {
        push(kPhaseFirst, 0, 0);
        push(kPhaseLast, 0, frame.size());
    } else {
        for (size_t i = 0; i < chunks; ++i) {
            const size_t offset = i * kSignalChunkMaxData;
            const size_t n = std::min(kSignalChunkMaxData, frame.size() - offset);
            push(i == 0 ? kPhaseFirst : i + 1 == chunks ? kPhaseLast : kPhaseMiddle, offset, n);
        }
    }
    ++framesStreamed_;
}

void VirtualFrame::pushReportLocked(const Report& report)
{
    if (input_.size() >= kMaxQueuedReports) {
        input_.pop_front();
        ++reportsLost_;
    }
    input_.push_back(report);
}

void VirtualFrame::powerCycle()
{
    std::lock_guard lock(mutex_);
    input_.clear();
    mode_ = 0;
    runFlags_ = profile_.runFlags;
    blockBytes_ = 0;
    std::fill(areaWritten_.begin(), areaWritten_.end(), false);
    std::erase_if(fingers_, [](const VirtualFinger& f) { return f.lifting; });
    startStreamLocked(clock_());
    if (garbageOn_) {
        garbageStartUs_ = clock_();
        garbageBursts_ = 0;
    }
}

// ---- Garbage ----

uint32_t VirtualFrame::nextRandomLocked()
{
    uint32_t x = garbageRandom_;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return garbageRandom_ = x;
}

VirtualFrame::Report VirtualFrame::garbageReportLocked()
{
    Report r{};
    for (uint8_t& b : r)
        b = uint8_t(nextRandomLocked());
    // Each kind aims at one guard of the host. Answers with our id and an information code are
    // left out: they cannot be told from real ones, so no host could reject them.
    switch (nextRandomLocked() % 4) {
    case 0:  // a report of another id: never kept
        if (r[0] == kInputReportId)
            r[0] = uint8_t(kInputReportId + 1);
        break;
    case 1: {  // a code the host ignores: 0x00-0x0F or 0x40-0xFF
        r[0] = kInputReportId;
        const uint8_t c = uint8_t(nextRandomLocked() % (16 + 192));
        r[1] = c < 16 ? c : uint8_t(0x40 + c - 16);
        break;
    }
    case 2:  // a signal chunk of any phase and any length byte, up to 255
        r[0] = kInputReportId;
        r[1] = uint8_t(0x30 | (r[1] & 0x0F));
        break;
    default:  // a parameter chunk at any offset, an end marker with any checksum one time in four
        r[0] = kInputReportId;
        r[1] = uint8_t(0x20 | (r[1] & 0x0F));
        if (nextRandomLocked() % 4 == 0)
            r[4] = kParamEndMarker;
        break;
    }
    return r;
}

int VirtualFrame::garbageRateLocked() const
{
    return profile_.frameRate > 0 ? profile_.frameRate : 1000;  // unpaced: a burst a millisecond
}

int64_t VirtualFrame::nextGarbageDueLocked() const
{
    if (!garbageOn_)
        return INT64_MAX;
    return garbageStartUs_ + int64_t(garbageBursts_) * 1000000 / garbageRateLocked();
}

void VirtualFrame::produceGarbageLocked(int64_t nowUs)
{
    if (!garbageOn_ || nowUs < garbageStartUs_)
        return;
    const uint64_t owed = uint64_t((nowUs - garbageStartUs_) * garbageRateLocked() / 1000000) + 1;
    if (owed > garbageBursts_ + 4)
        garbageBursts_ = owed - 4;  // paced like the scans: no backlog after a pause
    for (; garbageBursts_ < owed; ++garbageBursts_)
        for (size_t i = 0; i < garbageBurstReports_; ++i) {
            pushReportLocked(garbageReportLocked());
            ++garbageSent_;
        }
}

void VirtualFrame::setGarbage(bool on)
{
    std::lock_guard lock(mutex_);
    if (on == garbageOn_)
        return;
    garbageOn_ = on;
    garbageStartUs_ = clock_();
    garbageBursts_ = 0;
    inputReady_.notify_all();
}

uint64_t VirtualFrame::garbageReportsSent() const
{
    std::lock_guard lock(mutex_);
    return garbageSent_;
}

// ---- Scene ----

int VirtualFrame::fingerDown(double xMm, double yMm, double radiusMm)
{
    std::lock_guard lock(mutex_);
    return fingerDownLocked(xMm, yMm, radiusMm);
}

int VirtualFrame::fingerDownLocked(double xMm, double yMm, double radiusMm)
{
    int id = 1;
    while (std::any_of(fingers_.begin(), fingers_.end(), [&](const VirtualFinger& f) { return f.id == id; }))
        ++id;
    fingers_.push_back({id, xMm, yMm, radiusMm});
    return id;
}

void VirtualFrame::moveFinger(int id, double xMm, double yMm)
{
    std::lock_guard lock(mutex_);
    for (VirtualFinger& f : fingers_)
        if (f.id == id)
            f.xMm = xMm, f.yMm = yMm;
}

void VirtualFrame::fingerUp(int id)
{
    std::lock_guard lock(mutex_);
    fingerUpLocked(id);
}

void VirtualFrame::fingerUpLocked(int id)
{
    auto it = std::find_if(fingers_.begin(), fingers_.end(), [&](const VirtualFinger& f) { return f.id == id; });
    if (it == fingers_.end())
        return;
    // Touch reports carry the release; in the other modes nothing will, so it goes at once.
    if (mode_ == kModeTouchReports)
        it->lifting = true;
    else
        fingers_.erase(it);
}

void VirtualFrame::startSweep(double speedMmPerS, unsigned edges)
{
    std::lock_guard lock(mutex_);
    sweep_.emplace(beams_.widthMm(), beams_.heightMm(), speedMmPerS, edges);
    sweepStartUs_ = clock_();
}

bool VirtualFrame::sweepRunning() const
{
    std::lock_guard lock(mutex_);
    return sweep_.has_value();
}

void VirtualFrame::advanceSweepLocked(int64_t atUs)
{
    if (!sweep_)
        return;
    const double t = double(atUs - sweepStartUs_) / 1e6;
    const auto at = sweep_->fingerAt(t);
    if (at && sweepFinger_ == 0) {
        sweepFinger_ = fingerDownLocked(at->first, at->second, 4.0);
    } else if (at) {
        for (VirtualFinger& f : fingers_)
            if (f.id == sweepFinger_)
                f.xMm = at->first, f.yMm = at->second;
    } else if (sweepFinger_ != 0) {
        fingerUpLocked(sweepFinger_);
        sweepFinger_ = 0;
    }
    if (t > sweep_->durationSeconds())
        sweep_.reset();
}

std::vector<VirtualFinger> VirtualFrame::fingers() const
{
    std::lock_guard lock(mutex_);
    return fingers_;
}

std::pair<double, double> VirtualFrame::logicalToMm(double x, double y) const
{
    return {x / 32768.0 * beams_.widthMm(), y / 32768.0 * beams_.heightMm()};
}

std::pair<double, double> VirtualFrame::screenToFrameMm(double sx, double sy) const
{
    const double theta = profile_.screenRotationDeg * M_PI / 180.0;
    const double rx = std::cos(theta) * sx - std::sin(theta) * sy;
    const double ry = std::sin(theta) * sx + std::cos(theta) * sy;
    return logicalToMm(profile_.screenScaleX * rx + profile_.screenOffsetX, profile_.screenScaleY * ry + profile_.screenOffsetY);
}

uint64_t VirtualFrame::framesStreamed() const
{
    std::lock_guard lock(mutex_);
    return framesStreamed_;
}

uint64_t VirtualFrame::reportsLost() const
{
    std::lock_guard lock(mutex_);
    return reportsLost_;
}

uint64_t VirtualFrame::reportsLostOnLink() const
{
    std::lock_guard lock(mutex_);
    return reportsLostOnLink_;
}

uint64_t VirtualFrame::scansSkipped() const
{
    std::lock_guard lock(mutex_);
    return scansSkipped_;
}

bool VirtualFrame::lostOnLinkLocked()
{
    if (profile_.reportLoss <= 0)
        return false;
    return virtualrandom::unit(profile_.seed, virtualrandom::kLinkStream, uint32_t(reportsTaken_++)) < profile_.reportLoss;
}

std::vector<VirtualFrame::SkippedScans> VirtualFrame::skippedScanTimes() const
{
    std::lock_guard lock(mutex_);
    return {skippedTimes_.begin(), skippedTimes_.end()};
}

std::optional<VirtualFrame::Report> VirtualFrame::takeInputReport()
{
    std::lock_guard lock(mutex_);
    produceDueLocked(clock_());
    while (!input_.empty()) {
        Report r = input_.front();
        input_.pop_front();
        if (!lostOnLinkLocked())
            return r;
        ++reportsLostOnLink_;
    }
    return std::nullopt;
}

bool VirtualFrame::waitForInput(int timeoutMs, const std::atomic<bool>& abort)
{
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int64_t now = clock_();
        produceDueLocked(now);
        if (!input_.empty() || abort.load())
            return true;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return false;
        // Sleep until the next scan is due, a report is queued, or the time-out. Not streaming,
        // the next scan is never due: compare in microseconds so that never does not overflow.
        const int64_t leftUs = std::chrono::duration_cast<std::chrono::microseconds>(left).count() + 1;
        const int64_t untilDueUs = std::max<int64_t>(0, nextDueLocked() - now);
        inputReady_.wait_for(lock, std::chrono::microseconds(std::min(leftUs, untilDueUs)));
    }
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
