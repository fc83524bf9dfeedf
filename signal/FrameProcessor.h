#pragma once
// The frame processor: checks each assembled signal frame, keeps the store's layout current,
// logs it when recording is on, stores its samples and routes it to the listeners. Runs on the
// user-interface thread, once per frame taken from the frame ring, oldest first.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "signal/AdLogRecorder.h"
#include "protocol/SignalFrameLayout.h"
#include "signal/SignalFrameListener.h"
#include "signal/SignalStore.h"

namespace oculant {

enum class FrameStatus : int {
    Accepted,
    BadChecksum,     // the last byte is not the sum of the others
    UnknownFamily,   // not 0x00, 0x10, 0x30 or 0x40
    Truncated,       // too short for its header and checksum byte (an empty frame too)
    BeyondLimits,    // longer than 16,384 bytes, over 31 layers on an axis, rows no frame can fill
    ShortPayload,    // the payload ends before the samples or records its type calls for
    OutOfRange,      // a partial update or boundary rows outside the rows of the layout
};
inline constexpr int kFrameStatusCount = 7;

struct FrameResult {
    FrameStatus status = FrameStatus::Accepted;
    // For the user (a message box), empty when nothing went wrong: the log could not be created
    // or written. The frame itself is still processed.
    std::string logError;
};

// Frames dropped since start, by reason; a window can show the total.
struct FrameDropCounts {
    std::array<uint64_t, kFrameStatusCount> byStatus{};

    uint64_t of(FrameStatus s) const { return byStatus[size_t(s)]; }
    uint64_t total() const;
};

class FrameProcessor {
public:
    // `store` is filled by this processor alone. Logs go into `logDirectory`, named by `clock`.
    explicit FrameProcessor(SignalStore& store, std::string logDirectory = ".", SecondsClock clock = systemSeconds);

    // Listeners are wired once at start and outlive the processor's use; each gets every hook.
    void addListener(SignalFrameListener* listener);
    void removeListener(SignalFrameListener* listener);

    // One assembled frame of `length` bytes, checksum byte included. A frame that fails a check
    // is dropped before it changes anything (store, log, listeners) and is counted. Accepted:
    //   layout update; log step for types 0, 1, 4; then by type:
    //   0 live scan: plane 0 (0x10 whole block, 0x30 partial update, 0x40 block and boundary
    //     rows, 0x00 nothing), plane 0 to plane 1, reference capture step, OnSignalFrame;
    //   1 threshold: plane 2;  4 reference: planes 3 and 1;
    //   3 touch report: HandleTouches then AddTouchReport on every listener.
    FrameResult ProcessFrame(const uint8_t* data, size_t length);

    const FrameDropCounts& drops() const { return drops_; }
    SignalStore& store() { return store_; }
    // Carries the `LogOn` switch: recorder().setLogOn(checked).
    AdLogRecorder& recorder() { return recorder_; }

private:
    FrameStatus check(const uint8_t* data, size_t length, FrameHeader& header) const;
    void storeSamples(const FrameHeader& header, const uint8_t* payload, int plane);
    void storeBoundaryRows(const FrameHeader& header, const uint8_t* rows, int plane);
    void routeLiveScan(const FrameHeader& header, const uint8_t* payload, size_t payloadLength);
    void captureReference();
    void routeTouchReport(const uint8_t* payload, size_t payloadLength);

    SignalStore& store_;
    AdLogRecorder recorder_;
    std::vector<SignalFrameListener*> listeners_;
    FrameDropCounts drops_;
};

}  // namespace oculant
