// Input reports are the frame's own bytes: whatever a faulty or hostile device sends lands in
// the receive ring and goes through DispatchResponse. The input is a stream of 64-byte reports
// (the last one zero-padded); its first byte says after how many reports the 20 ms tick drains
// the frame ring into the frame processor, as the main window does.
//
// Beside the sanitizers, the target keeps its own account of the signal-frame reassembly (one
// chunk at a time, as the frame sends them) and checks every delivered frame against it, and it
// checks what a parsed parameter block hands to the window.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "protocol/Crc32.h"
#include "protocol/SignalFrameLayout.h"
#include "link/ResponseDispatcher.h"
#include "fuzz/FuzzCheck.h"
#include "signal/FrameProcessor.h"
#include "signal/SignalStore.h"

namespace {

using namespace oculant;
using namespace oculant::protocol;

// What a parsed block may hand on: at most 30 boards per axis, the summary and its CRC.
class BlockChecker : public ResponseListener {
public:
    void onParameterBlock(const DeviceRecords& records, uint32_t parameterCrc) override
    {
        FUZZ_REQUIRE(records.boards.valid);
        FUZZ_REQUIRE(records.boards.xBoards <= kMaxBoards && records.boards.yBoards <= kMaxBoards);
        for (size_t i = 1; i < 16; ++i)
            if (i != 10 && i != 11)
                FUZZ_REQUIRE(records.parameterSummary[i] == 0);
        FUZZ_REQUIRE(parameterCrc == Crc32Words(records.parameterSummary.data(), 16));
        ++blocks;
    }
    void onStatusText(const std::string& text) override
    {
        FUZZ_REQUIRE(text == ResponseDispatcher::kLengthErrorText);
    }
    int blocks = 0;
};

// The signal frames the dispatcher should have completed, from the chunks seen so far: a first
// chunk starts a frame, middle chunks append while the frame stays within 16,384 bytes, a last
// chunk that fits completes it. A frame that overflows, or holds a chunk whose length byte
// passes the report, is dropped with its remaining chunks; chunks with no frame begun are
// dropped up to the next first chunk. A sample frame is complete only at exactly the length its
// header announces: past it the frame is dropped with its remaining chunks, short of it at its
// last chunk it is dropped.
class FrameModel {
public:
    void chunk(const ReceiveRing::Slot& r)
    {
        const uint8_t phase = r[1] & 0x0F;
        const size_t n = r[2];
        if (phase > kPhaseLast)
            return;
        const uint8_t* data = &r[kSignalChunkDataOffset];
        if (n <= kSignalChunkMaxData && phase == kPhaseFirst) {
            frame_.assign(data, data + n);
            building_ = true;
            return;
        }
        if (n > kSignalChunkMaxData || !building_ || frame_.size() + n > kSignalFrameSize) {
            building_ = false;
            return;
        }
        frame_.insert(frame_.end(), data, data + n);
        const std::optional<size_t> announced = announcedLength();
        if (announced && frame_.size() > *announced) {
            building_ = false;
            return;
        }
        if (phase == kPhaseMiddle)
            return;
        if (announced && frame_.size() != *announced) {
            building_ = false;
            return;
        }
        complete_.push_back(frame_);
        // The ring keeps the newest 63 frames; older ones are dropped and counted.
        if (complete_.size() > kSignalRingFrames - 1) {
            complete_.pop_front();
            ++dropped_;
        }
        building_ = false;
    }
    std::deque<std::vector<uint8_t>>& complete() { return complete_; }
    uint64_t dropped() const { return dropped_; }

private:
    // The whole length a sample frame's header announces, once the header is all there.
    std::optional<size_t> announcedLength() const
    {
        FrameHeader header;
        if (frame_.empty() || !isKnownFamily(frameFamily(frame_[0])) ||
            parseFrameHeader(frame_.data(), frame_.size(), header) != HeaderStatus::Ok)
            return std::nullopt;
        return announcedFrameLength(header);
    }

    std::vector<uint8_t> frame_;
    bool building_ = false;
    std::deque<std::vector<uint8_t>> complete_;
    uint64_t dropped_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t drainEvery = size_t(data[0] % 16) + 1;
    ++data;
    --size;

    DeviceRecords records;
    BlockChecker checker;
    ResponseDispatcher dispatcher(records, &checker);
    SignalStore store;
    FrameProcessor processor(store);  // recording stays off: nothing is written
    FrameModel model;

    auto drain = [&] {
        dispatcher.deliverFrames([&](const uint8_t* frame, uint32_t length) {
            FUZZ_REQUIRE(length <= kSignalFrameSize);
            FUZZ_REQUIRE(!model.complete().empty());
            const std::vector<uint8_t>& expected = model.complete().front();
            FUZZ_REQUIRE(expected.size() == length);
            FUZZ_REQUIRE(std::equal(expected.begin(), expected.end(), frame));
            model.complete().pop_front();
            processor.ProcessFrame(frame, length);
        });
        FUZZ_REQUIRE(model.complete().empty());
        FUZZ_REQUIRE(dispatcher.pendingFrames() == 0);
    };

    size_t reports = 0;
    for (size_t at = 0; at < size; at += kInputSlotLength) {
        ReceiveRing::Slot report{};
        std::memcpy(report.data(), data + at, std::min(kInputSlotLength, size - at));
        const int blocksBefore = checker.blocks;
        dispatcher.DispatchResponse(report);
        if ((report[1] >> 4) == 0x3)
            model.chunk(report);

        if (report[1] == kCmdVersionStatus) {
            FUZZ_REQUIRE(records.infoAnswered);
            FUZZ_REQUIRE(std::equal(records.versionStatus.begin(), records.versionStatus.end(), &report[3]));
        }
        // A block is only taken when its assembled length lies within the 16,384-byte buffer
        // (ASan sees any read past it) and holds the 150 bytes the parser reads.
        if (checker.blocks != blocksBefore) {
            FUZZ_REQUIRE(report[4] == kParamEndMarker && report[1] == kCmdParameterBlock);
            FUZZ_REQUIRE(dispatcher.parameterAssembledLength() <= kParamBufferSize);
            FUZZ_REQUIRE(dispatcher.parameterAssembledLength() >= kMinParameterBlock);
        }
        FUZZ_REQUIRE(dispatcher.pendingFrames() >= 0 && dispatcher.pendingFrames() < int(kSignalRingFrames));
        FUZZ_REQUIRE(size_t(dispatcher.pendingFrames()) == model.complete().size());
        FUZZ_REQUIRE(dispatcher.droppedFrames() == model.dropped());
        if (++reports % drainEvery == 0)
            drain();
    }
    drain();
    return 0;
}
