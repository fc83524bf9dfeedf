#include "link/HIDTalk.h"

#include "base/SteadyClock.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <pthread.h>

namespace oculant {

namespace {
// On stop, queued commands get this long to reach the frame: enough for the mode-0 command of
// closing (one write of at most 100 ms) and a few more, never a hang.
constexpr auto kStopDrainBudget = std::chrono::milliseconds(400);
}  // namespace

HIDTalk::HIDTalk(HidBackend& backend, Threading threading) : backend_(backend), threading_(threading)
{
    if (threading == Threading::Manual)
        scheduling_.kind = SchedulingKind::NotAsked;
    else
        thread_ = std::thread([this] { workerLoop(); });
}

WorkerScheduling HIDTalk::scheduling() const
{
    std::lock_guard lock(schedulingMutex_);
    return scheduling_;
}

HIDTalk::~HIDTalk() { stop(); }

bool HIDTalk::SendCommand(uint8_t code, const uint8_t* payload, size_t length)
{
    if (!connected() || !current_)
        return false;
    CommandSlot* slot = commands_.beginPush();
    if (!slot) {
        refusedCommands_.fetch_add(1);
        return false;
    }
    const size_t reportLength = current_->outputReportLength;
    const size_t maxPayload = reportLength >= 2 ? reportLength - 2 : 0;
    const uint8_t n = uint8_t(std::min(length, maxPayload));
    slot->report[0] = current_->outputReportId;
    slot->report[1] = code;
    if (payload && n)
        std::memcpy(&slot->report[2], payload, n);
    slot->length = uint8_t(reportLength);
    slot->attempts = 0;
    commands_.commitPush();
    return true;
}

bool HIDTalk::StartBlockWrite(uint8_t kind, uint32_t length, const uint8_t* header, const uint8_t* data)
{
    // A remainder of 1-3 bytes could never be sent (chunks are whole words) and would keep the
    // transfer running for ever.
    if (!idle() || blockPending_.load(std::memory_order_acquire) || length % 4 != 0)
        return false;
    blockData_.assign(data, data + length);
    std::copy(header, header + 6, blockHeader_.begin());
    blockKind_ = kind;
    blockAbort_.store(false, std::memory_order_relaxed);
    blockSent_.store(0, std::memory_order_relaxed);
    blockTotal_.store(length, std::memory_order_relaxed);
    blockAddress_.store(protocol::readLe32(&blockHeader_[2]), std::memory_order_relaxed);
    idle_.store(length == 0, std::memory_order_relaxed);
    blockOutcome_.store(length == 0 ? BlockOutcome::Completed : BlockOutcome::Running, std::memory_order_relaxed);
    blockPending_.store(length != 0, std::memory_order_release);
    wake_.notify_all();
    return true;
}

bool HIDTalk::deviceUsable() const
{
    return connected() && handle_ && current_ && !gone_.load(std::memory_order_acquire);
}

void HIDTalk::noteIoStatus(IoStatus status)
{
    // A vanished device is not retried: the worker stops using it and the removal path (the
    // device-change hook, on the UI thread) closes it.
    if (status == IoStatus::Gone)
        gone_.store(true, std::memory_order_release);
}

bool HIDTalk::drainCommandSlot()
{
    std::lock_guard lock(deviceMutex_);
    if (!deviceUsable())
        return false;
    CommandSlot* slot = commands_.front();
    if (!slot)
        return false;
    writesAttempted_.fetch_add(1);
    const IoResult r = handle_->write(slot->report.data(), slot->length, kWriteTimeoutMs);
    noteIoStatus(r.status);
    if (r.status == IoStatus::Cancelled)
        return false;  // closing; opening the next device discards the slot
    if (r.status == IoStatus::Ok && r.bytes == slot->length) {
        commands_.pop();
        return true;
    }
    if (++slot->attempts >= kMaxAttempts) {
        droppedCommands_.fetch_add(1);
        commands_.pop();
    }
    return true;
}

void HIDTalk::finishBlock(BlockOutcome outcome)
{
    chunkFailures_ = 0;
    blockOutcome_.store(outcome, std::memory_order_release);
    blockPending_.store(false, std::memory_order_release);
    idle_.store(true, std::memory_order_release);
}

bool HIDTalk::runBlockLoop()
{
    if (!blockPending_.load(std::memory_order_acquire))
        return false;
    bool sentAny = false;
    while (blockSent_.load(std::memory_order_relaxed) != blockTotal_.load(std::memory_order_relaxed)) {
        // The transfer ends when it is aborted, when its device is closed or gone, or when the
        // worker is asked to stop; a chunk that can never be written must not hold the worker.
        if (blockAbort_.load(std::memory_order_acquire) || terminate_.load(std::memory_order_acquire)) {
            finishBlock(BlockOutcome::Aborted);
            return sentAny;
        }
        {
            std::lock_guard lock(deviceMutex_);
            if (!deviceUsable()) {
                finishBlock(BlockOutcome::Aborted);
                return sentAny;
            }
        }
        if (blockKind_ >= 16)
            return sentAny;
        if (!sendBlockChunk()) {
            if (++chunkFailures_ >= kMaxChunkAttempts)
                finishBlock(BlockOutcome::Aborted);
            return sentAny;  // otherwise retried by the next pass, after a short pause
        }
        chunkFailures_ = 0;
        sentAny = true;
    }
    finishBlock(BlockOutcome::Completed);
    return true;
}

bool HIDTalk::sendBlockChunk()
{
    std::lock_guard lock(deviceMutex_);
    if (!deviceUsable())
        return false;
    const uint32_t sent = blockSent_.load(std::memory_order_relaxed);
    const uint32_t total = blockTotal_.load(std::memory_order_relaxed);
    const uint32_t address = protocol::readLe32(&blockHeader_[2]);
    const uint32_t reportLength = current_->outputReportLength;
    // 52 bytes with 63-byte reports: the report minus id, 6 header bytes and the length byte,
    // rounded down to whole words; never across a 1024-byte flash boundary.
    uint32_t n = std::min({reportLength >= 8 ? reportLength - 8 : 0u, total - sent,
                           protocol::kBlockBoundary - address % protocol::kBlockBoundary});
    n &= ~3u;
    if (n == 0)
        return false;
    std::array<uint8_t, 64> report{};
    report[0] = current_->outputReportId;
    std::copy(blockHeader_.begin(), blockHeader_.end(), report.begin() + 1);
    report[7] = uint8_t(n);
    std::memcpy(&report[8], blockData_.data() + sent, n);
    writesAttempted_.fetch_add(1);
    const IoResult r = handle_->write(report.data(), reportLength, kWriteTimeoutMs);
    noteIoStatus(r.status);
    if (r.status != IoStatus::Ok || r.bytes != reportLength)
        return false;  // retried on the next turn of the block loop
    protocol::writeLe32(&blockHeader_[2], address + n);
    blockAddress_.store(address + n, std::memory_order_release);
    blockSent_.store(sent + n, std::memory_order_release);
    return true;
}

bool HIDTalk::readReport()
{
    std::lock_guard lock(deviceMutex_);
    if (!deviceUsable())
        return false;
    std::array<uint8_t, protocol::kMaxInputReportLength> buffer{};
    const size_t want = std::min<size_t>(current_->inputReportByteLength ? current_->inputReportByteLength
                                                                         : protocol::kInputSlotLength,
                                         buffer.size());
    const IoResult r = handle_->read(buffer.data(), want, kReadTimeoutMs);
    noteIoStatus(r.status);
    if (r.status != IoStatus::Ok || r.bytes == 0)
        return false;
    ReceiveRing::Slot& slot = ring_.writeSlot();
    slot.fill(0);
    std::memcpy(slot.data(), buffer.data(), std::min(r.bytes, slot.size()));
    if (slot[0] == current_->inputReportId)
        ring_.publish();
    return true;
}

bool HIDTalk::workerPass()
{
    // While a transfer runs it has the frame to itself: a command written between two chunks
    // would land in the middle of a flash write, and a report read would have to wait anyway.
    if (blockPending_.load(std::memory_order_acquire)) {
        const bool chunked = runBlockLoop();
        if (blockPending_.load(std::memory_order_acquire))
            return false;  // a chunk failed: pause, then retry it
        const bool read = readReport();
        return chunked || read;
    }
    const bool wrote = drainCommandSlot();
    const bool read = readReport();
    return wrote || read;
}

void HIDTalk::workerLoop()
{
    pthread_setname_np(pthread_self(), "oculant-worker");
    const bool realtime = threading_ == Threading::RealtimeThread;
    {
        WorkerScheduling got;
        if (realtime)
            got = requestRealtimeScheduling();
        else
            got.kind = SchedulingKind::NotAsked;
        std::lock_guard lock(schedulingMutex_);
        scheduling_ = got;
    }
    // restedAt: when the worker last slept between passes. After kRealtimeBusyMs of passes that
    // all found work, its CPU time since the last such check tells a worker holding the core
    // from one that slept inside its reads.
    int64_t restedAt = steadyUs();
    int64_t cpuAt = threadCpuUs(), cpuWallAt = restedAt;
    while (!terminate_.load(std::memory_order_acquire)) {
        if (!workerPass()) {
            const int pauseMs = blockPending_.load(std::memory_order_acquire) ? kChunkRetryPauseMs : 1;
            std::unique_lock lock(wakeMutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(pauseMs));
            if (realtime)
                restedAt = steadyUs();
        } else if (realtime) {
            const int64_t now = steadyUs();
            if (now - restedAt > kRealtimeBusyMs * 1000) {
                const int64_t cpu = threadCpuUs();
                const bool heldTheCore = 2 * (cpu - cpuAt) > now - cpuWallAt;
                if (heldTheCore)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                restedAt = heldTheCore ? steadyUs() : now;
                cpuAt = cpu;  // a 1 ms sleep costs next to no CPU: no second read of that clock
                cpuWallAt = restedAt;
            }
        }
    }
    // Commands queued before stop (mode 0 of closing) still reach the frame, within a bound.
    const auto deadline = std::chrono::steady_clock::now() + kStopDrainBudget;
    while (!commands_.empty() && std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(deviceMutex_);
            if (!deviceUsable())
                break;
        }
        drainCommandSlot();
    }
}

void HIDTalk::stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    terminate_.store(true, std::memory_order_release);
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    } else {
        // Manual stepping: the same ending, run here.
        if (blockPending_.load())
            finishBlock(BlockOutcome::Aborted);
        for (int i = 0; i < CommandRing::kSlots * kMaxAttempts && !commands_.empty(); ++i) {
            {
                std::lock_guard lock(deviceMutex_);
                if (!deviceUsable())
                    break;
            }
            drainCommandSlot();
        }
    }
    CloseDevice();
}

}  // namespace oculant
