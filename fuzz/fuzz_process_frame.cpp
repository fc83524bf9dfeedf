// Signal frames are the frame's own bytes, joined from its input reports; their layout header
// says how to read them, so a damaged or hostile header must never make the processor read or
// write outside the frame or the store. Two ways in, by the first byte's low bit:
//  - raw: a run of frames, each a 16-bit little-endian length and that many bytes, fed to one
//    processor (layout changes between frames included); bit 1 set repairs each frame's checksum
//    byte so that the fuzzer gets past it. Every accepted frame is also formatted as the AD log
//    would write it, in memory.
//  - built: a layout and frames drawn from the input through SignalFrameBuilder, which the
//    processor must accept and store exactly (samples, boundary rows, touch records).

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "signal/AdLogFormat.h"
#include "signal/FrameProcessor.h"
#include "protocol/SignalFrameBuilder.h"
#include "signal/SignalStore.h"

namespace {

using namespace oculant;

class TouchChecker : public SignalFrameListener {
public:
    bool wantsLiveScans() const override { return true; }
    void OnSignalFrame() override { ++liveScans; }
    void HandleTouches(uint8_t count, const TouchTable& records) override
    {
        FUZZ_REQUIRE(count <= kMaxTouchRecords);
        lastCount = count;
        lastRecords = records;
        ++touchReports;
    }
    void AddTouchReport(uint8_t count, const TouchTable& records) override
    {
        // The capture screen sees the very report the draw test saw.
        FUZZ_REQUIRE(count == lastCount && records == lastRecords);
    }
    int liveScans = 0;
    int touchReports = 0;
    uint8_t lastCount = 0;
    TouchTable lastRecords{};
};

// The log blocks of an accepted frame of type 0, 1 or 4, written into memory.
void formatLog(const uint8_t* frame, size_t length, const SignalStore& store)
{
    FrameHeader header;
    FUZZ_REQUIRE(parseFrameHeader(frame, length, header) == HeaderStatus::Ok);
    const uint8_t type = header.type();
    if (type != kTypeLiveScan && type != kTypeThreshold && type != kTypeReference)
        return;
    // The store holds this frame's layout now, so its planes fit the header's rows.
    FUZZ_REQUIRE(store.bX() == header.bX && store.bY() == header.bY);
    FUZZ_REQUIRE(store.nX() == header.nX && store.nY() == header.nY);
    LogTextBuffer text;
    appendVersionLine(text, header.family());
    const bool logged = header.family() != kFamilyPartialScan;
    // A layout without positions (nX = nY = 0) leaves the planes empty: no block to write.
    for (int plane = 1; plane < SignalStore::kPlaneCount; ++plane)
        FUZZ_REQUIRE(appendReferenceBlock(text, header, uint8_t(header.kind + plane), store, plane)
                     == (logged && !store.plane(plane).empty()));
    FUZZ_REQUIRE(appendFrameBlock(text, header, frame + header.length) == logged);
    if (logged)
        FUZZ_REQUIRE(text.size() > 0 && text.view().back() == '\n');
}

void runRaw(const uint8_t* data, size_t size, bool repairChecksum)
{
    SignalStore store;
    FrameProcessor processor(store);  // recording stays off: nothing is written
    TouchChecker listener;
    processor.addListener(&listener);
    std::vector<uint8_t> frame;
    uint64_t dropped = 0;
    while (size >= 2) {
        const size_t length = std::min<size_t>(size_t(data[0]) | size_t(data[1]) << 8, size - 2);
        frame.assign(data + 2, data + 2 + length);
        data += 2 + length;
        size -= 2 + length;
        if (repairChecksum && !frame.empty())
            frame.back() = byteSum8(frame.data(), frame.size() - 1);

        const int touchesBefore = listener.touchReports;
        const FrameResult result = processor.ProcessFrame(frame.data(), frame.size());
        FUZZ_REQUIRE(result.logError.empty());
        if (result.status != FrameStatus::Accepted) {
            FUZZ_REQUIRE(processor.drops().total() == ++dropped);
            FUZZ_REQUIRE(listener.touchReports == touchesBefore);
            continue;
        }
        FUZZ_REQUIRE(processor.drops().total() == dropped);
        FUZZ_REQUIRE(store.referenceCaptureCount() <= SignalStore::kReferenceScans);
        formatLog(frame.data(), frame.size(), store);
    }
}

FrameLayout drawLayout(FuzzedDataProvider& in)
{
    static constexpr uint8_t kFamilies[] = {kFamilyShortHeader, kFamilyFullScan, kFamilyPartialScan, kFamilyBoundary};
    FrameLayout layout;
    layout.family = kFamilies[in.ConsumeIntegralInRange<size_t>(0, 3)];
    layout.headerByte1 = in.ConsumeIntegral<uint8_t>();
    layout.headerByte2 = in.ConsumeIntegral<uint8_t>();
    layout.headerWord3 = in.ConsumeIntegral<uint16_t>();
    layout.nX = in.ConsumeIntegralInRange<uint16_t>(0, 600);
    layout.nY = in.ConsumeIntegralInRange<uint16_t>(0, 600);
    layout.xOffsets.resize(in.ConsumeIntegralInRange<size_t>(0, 32));
    layout.yOffsets.resize(in.ConsumeIntegralInRange<size_t>(0, 32));
    for (int16_t& o : layout.xOffsets)
        o = in.ConsumeIntegralInRange<int16_t>(-700, 700);
    for (int16_t& o : layout.yOffsets)
        o = in.ConsumeIntegralInRange<int16_t>(-700, 700);
    if (in.ConsumeBool()) {
        layout.xOffsets2 = layout.xOffsets;
        layout.yOffsets2 = layout.yOffsets;
        for (int16_t& o : layout.xOffsets2)
            o = in.ConsumeIntegral<int16_t>();
    }
    return layout;
}

std::vector<uint8_t> drawBytes(FuzzedDataProvider& in, size_t count)
{
    std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(count);
    bytes.resize(count, 0x5A);
    return bytes;
}

bool equalPrefix(std::span<const uint8_t> row, const uint8_t* expected, size_t count)
{
    return row.size() >= count && std::equal(expected, expected + count, row.begin());
}

// The boundary rows of a 0x40 frame as the given plane holds them.
void requireBoundary(const SignalStore& store, int plane, const FrameLayout& layout, const std::vector<uint8_t>& rows)
{
    const size_t x = layout.xBoundaryLength(), y = layout.yBoundaryLength();
    const uint8_t* at = rows.data();
    for (int k = 0; k < kBoundaryRowsPerAxis; ++k, at += x)
        FUZZ_REQUIRE(equalPrefix(store.row(plane, store.xBoundaryRow(k)), at, x));
    for (int k = 0; k < kBoundaryRowsPerAxis; ++k, at += y)
        FUZZ_REQUIRE(equalPrefix(store.row(plane, store.yBoundaryRow(k)), at, y));
}

void runBuilt(FuzzedDataProvider& in)
{
    FrameLayout layout = drawLayout(in);
    std::optional<SignalFrameBuilder> builder;
    try {
        builder.emplace(layout);
    } catch (const std::invalid_argument&) {
        return;  // a layout no frame can carry
    }
    SignalStore store;
    FrameProcessor processor(store);
    TouchChecker listener;
    processor.addListener(&listener);
    const size_t a = layout.sampleBlockLength();
    const bool boundaryFamily = layout.family == kFamilyBoundary;

    for (int i = 0; i < 8 && in.remaining_bytes() > 0; ++i) {
        const uint8_t type = in.ConsumeIntegralInRange<uint8_t>(0, 5);
        const std::vector<uint8_t> layers = drawBytes(in, a);
        const std::vector<uint8_t> boundary = drawBytes(in, boundaryFamily ? layout.boundaryBlockLength() : 0);
        std::vector<uint8_t> frame;
        std::vector<TouchRecord> touches;
        uint8_t count = 0;
        try {
        if (type == kTypeTouchReport) {
            touches.resize(in.ConsumeIntegralInRange<size_t>(0, 40));
            for (TouchRecord& t : touches)
                t = {in.ConsumeIntegral<int16_t>(), in.ConsumeIntegral<int16_t>(), in.ConsumeIntegral<int16_t>(),
                     in.ConsumeIntegral<int16_t>(), in.ConsumeIntegral<uint8_t>(), in.ConsumeIntegral<uint8_t>()};
            count = in.ConsumeIntegral<uint8_t>();
            frame = builder->touchReport(count, touches);
        } else if (type == kTypeLiveScan) {
            frame = builder->liveScan(layers, boundary);
        } else if (type == kTypeThreshold || type == kTypeReference) {
            frame = builder->samples(type, layers, boundary);
        } else {
            frame = builder->frame(type, drawBytes(in, in.ConsumeIntegralInRange<size_t>(0, 64)));
        }
        } catch (const std::invalid_argument&) {
            continue;  // the builder refuses what no frame can carry, as documented
        }

        const FrameResult result = processor.ProcessFrame(frame.data(), frame.size());
        if (frame.size() > kMaxFrameBytes) {
            FUZZ_REQUIRE(result.status == FrameStatus::BeyondLimits);
            continue;
        }
        // A ranged update needs first <= last, so a 0x30 live scan of an axis that has layers
        // but no positions cannot be said on the wire; the processor rightly refuses it.
        const bool emptyRange = (layout.nX == 0 && layout.bX() > 0) || (layout.nY == 0 && layout.bY() > 0);
        if (layout.family == kFamilyPartialScan && type == kTypeLiveScan && emptyRange) {
            FUZZ_REQUIRE(result.status == FrameStatus::OutOfRange);
            continue;
        }
        if (result.status != FrameStatus::Accepted)
            std::fprintf(stderr, "built frame refused: status %d, family 0x%02X, type %u, bX %zu bY %zu nX %u nY %u, %zu bytes\n",
                         int(result.status), layout.family, type, layout.bX(), layout.bY(), layout.nX, layout.nY,
                         frame.size());
        FUZZ_REQUIRE(result.status == FrameStatus::Accepted);
        FUZZ_REQUIRE(store.bX() == layout.bX() && store.bY() == layout.bY());
        FUZZ_REQUIRE(store.nX() == layout.nX && store.nY() == layout.nY);
        formatLog(frame.data(), frame.size(), store);

        switch (type) {
        case kTypeLiveScan:
            if (layout.family != kFamilyShortHeader) {
                FUZZ_REQUIRE(equalPrefix(store.plane(kPlaneReceive), layers.data(), a));
                if (boundaryFamily)
                    requireBoundary(store, kPlaneReceive, layout, boundary);
            }
            FUZZ_REQUIRE(std::ranges::equal(store.plane(kPlaneReceive), store.plane(kPlaneCurrent)));
            break;
        case kTypeThreshold:
            FUZZ_REQUIRE(equalPrefix(store.plane(kPlaneThreshold), layers.data(), a));
            if (boundaryFamily)
                requireBoundary(store, kPlaneThreshold, layout, boundary);
            break;
        case kTypeReference:
            FUZZ_REQUIRE(equalPrefix(store.plane(kPlaneReference), layers.data(), a));
            FUZZ_REQUIRE(equalPrefix(store.plane(kPlaneCurrent), layers.data(), a));
            if (boundaryFamily) {
                requireBoundary(store, kPlaneReference, layout, boundary);
                requireBoundary(store, kPlaneCurrent, layout, boundary);
            }
            break;
        case kTypeTouchReport: {
            const size_t handed = std::min<size_t>(count, kMaxTouchRecords);
            FUZZ_REQUIRE(listener.lastCount == handed);
            for (size_t r = 0; r < kMaxTouchRecords; ++r) {
                const bool sent = r < handed && r < touches.size();
                FUZZ_REQUIRE(listener.lastRecords[r] == (sent ? touches[r] : TouchRecord{}));
            }
            break;
        }
        default:
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t selector = data[0];
    if ((selector & 1) == 0) {
        runRaw(data + 1, size - 1, (selector & 2) != 0);
    } else {
        FuzzedDataProvider in(data + 1, size - 1);
        runBuilt(in);
    }
    return 0;
}
