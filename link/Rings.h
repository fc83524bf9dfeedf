#pragma once
// The two single-producer single-consumer rings shared by the UI thread and the worker without
// locks: the producer fills a slot, then publishes its index with release; the consumer reads the
// other side's index with acquire before touching a slot.

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>

#include "protocol/Protocol.h"

namespace oculant {

// Command slot: the report (only the device's output report length is written), its length and
// the number of failed attempts so far.
struct CommandSlot {
    std::array<uint8_t, 64> report{};
    uint8_t length = 0;
    uint8_t attempts = 0;
};

// 256 queued command reports. Producer: UI thread (SendCommand). Consumer: worker.
class CommandRing {
public:
    static constexpr int kSlots = 256;

    // Claims the next free slot, or null when all 255 usable slots are queued (a full ring
    // refuses rather than overwriting queued commands).
    CommandSlot* beginPush()
    {
        const int w = write_.load(std::memory_order_relaxed);
        if ((w + 1) % kSlots == read_.load(std::memory_order_acquire))
            return nullptr;
        return &slots_[w];
    }
    void commitPush() { write_.store((write_.load(std::memory_order_relaxed) + 1) % kSlots, std::memory_order_release); }

    CommandSlot* front()
    {
        const int r = read_.load(std::memory_order_relaxed);
        return r == write_.load(std::memory_order_acquire) ? nullptr : &slots_[r];
    }
    void pop() { read_.store((read_.load(std::memory_order_relaxed) + 1) % kSlots, std::memory_order_release); }

    // Drops every queued command. Only while the consumer cannot be taking a slot: the worker
    // takes them under the device lock, which the caller holds.
    void discardQueued() { read_.store(write_.load(std::memory_order_acquire), std::memory_order_release); }

    bool empty() const { return read_.load(std::memory_order_acquire) == write_.load(std::memory_order_acquire); }
    int queued() const
    {
        return (write_.load(std::memory_order_acquire) - read_.load(std::memory_order_acquire) + kSlots) % kSlots;
    }

private:
    std::array<CommandSlot, kSlots> slots_{};
    std::atomic<int> write_{0};  // owned by the producer
    std::atomic<int> read_{0};   // owned by the consumer
};

// The input reports of the open device waiting for the drain. Producer: worker (ReadReport).
// Consumer: UI thread. The worker keeps reading into the slot at the write index and only
// publishes reports that carry the device's input report id, so a foreign report is overwritten
// by the next read.
//
// A host buffer, not a size the frame knows: at 8,000 reports/s its 2,047 usable slots hold
// 256 ms, so a drain that comes late by a chart refresh, a modal dialog or a busy machine loses
// nothing. A power of two, so that the indices wrap with a mask.
class ReceiveRing {
public:
    static constexpr int kSlots = 2048;
    static_assert((kSlots & (kSlots - 1)) == 0, "the indices wrap with a mask");
    using Slot = std::array<uint8_t, protocol::kInputSlotLength>;

    Slot& writeSlot() { return slots_[size_t(write_.load(std::memory_order_relaxed))]; }
    // Publishes the write slot. When the consumer is a whole ring behind, the report is refused
    // (the write index would catch up with the read index and the ring look empty); it is
    // counted instead so the loss is visible.
    void publish()
    {
        const int next = (write_.load(std::memory_order_relaxed) + 1) & kMask;
        if (next == read_.load(std::memory_order_acquire)) {
            overruns_.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        write_.store(next, std::memory_order_release);
    }
    bool pop(Slot& out)
    {
        const int r = read_.load(std::memory_order_relaxed);
        if (r == write_.load(std::memory_order_acquire))
            return false;
        out = slots_[size_t(r)];
        read_.store((r + 1) & kMask, std::memory_order_release);
        return true;
    }
    // Only while neither side is using the ring (under the device lock, at open).
    void reset()
    {
        write_.store(0, std::memory_order_relaxed);
        read_.store(0, std::memory_order_relaxed);
    }
    uint64_t overruns() const { return overruns_.load(std::memory_order_relaxed); }
    int writeIndex() const { return write_.load(std::memory_order_acquire); }
    int readIndex() const { return read_.load(std::memory_order_acquire); }

private:
    static constexpr int kMask = kSlots - 1;
    // 128 KiB: on the heap, not inside whoever holds the worker.
    std::unique_ptr<Slot[]> slots_{new Slot[kSlots]()};
    std::atomic<int> write_{0};
    std::atomic<int> read_{0};
    std::atomic<uint64_t> overruns_{0};
};

}  // namespace oculant
