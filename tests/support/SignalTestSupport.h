#pragma once
// Shared helpers of the signal tests: layouts, sample blocks, a recording listener.

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/SignalFrameBuilder.h"
#include "signal/SignalFrameListener.h"
#include "signal/SignalStore.h"

namespace oculant::test {

// 3 X layers of 10 positions and 2 Y layers of 6; offsets of both signs. Its boundary rows
// (family 0x40) hold 3 X and 2 Y samples.
inline FrameLayout smallLayout(uint8_t family)
{
    FrameLayout layout;
    layout.family = family;
    layout.headerByte1 = 0x5A;
    layout.headerByte2 = 0x01;
    layout.headerWord3 = 0x1234;
    layout.nX = 10;
    layout.nY = 6;
    layout.xOffsets = {0, -2, 2};
    layout.yOffsets = {0, 1};
    if (hasLongHeader(family)) {
        layout.xOffsets2 = {0, 3, -3};
        layout.yOffsets2 = {0, -1};
    }
    return layout;
}

inline constexpr uint8_t kAllFamilies[] = {kFamilyShortHeader, kFamilyFullScan, kFamilyPartialScan, kFamilyBoundary};

// Distinct, non-repeating-looking bytes: seed, seed + 7, … modulo 256.
inline std::vector<uint8_t> pattern(size_t length, uint8_t seed)
{
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = uint8_t(seed + 7 * i + i / 3);
    return bytes;
}

inline std::vector<uint8_t> planeCopy(const SignalStore& store, int plane)
{
    const auto p = store.plane(plane);
    return {p.begin(), p.end()};
}

inline std::vector<uint8_t> rowCopy(const SignalStore& store, int plane, int row)
{
    const auto r = store.row(plane, row);
    return {r.begin(), r.end()};
}

// Records every hook call in order.
class RecordingListener : public SignalFrameListener {
public:
    struct Call {
        std::string hook;
        uint8_t count = 0;
        TouchTable records{};
        uint8_t referenceCount = 0;  // the store's counter when OnSignalFrame ran
    };

    explicit RecordingListener(const SignalStore* store = nullptr, bool live = true) : store_(store), live_(live) {}
    bool wantsLiveScans() const override { return live_; }
    void OnSignalFrame() override
    {
        calls.push_back({"OnSignalFrame", 0, {}, store_ ? store_->referenceCaptureCount() : uint8_t(0)});
    }
    void HandleTouches(uint8_t count, const TouchTable& records) override
    {
        calls.push_back({"HandleTouches", count, records, 0});
    }
    void AddTouchReport(uint8_t count, const TouchTable& records) override
    {
        calls.push_back({"AddTouchReport", count, records, 0});
    }

    std::vector<Call> calls;

private:
    const SignalStore* store_;
    bool live_;
};

}  // namespace oculant::test
