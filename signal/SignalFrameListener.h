#pragma once
// Where the frame processor hands frames on. The diagnostic window, the draw test and the
// calibration capture screen each implement the hooks they consume; the others keep their empty
// defaults. Hooks run on the user-interface thread, inside ProcessFrame.

#include <cstdint>

#include "protocol/TouchRecord.h"

namespace oculant {

class SignalFrameListener {
public:
    virtual ~SignalFrameListener() = default;

    // Live scans go only to the active diagnostic window: true while this listener is it.
    virtual bool wantsLiveScans() const { return false; }
    // A live scan (type 0) was stored: planes 0 to 3 and the reference capture counter are current.
    virtual void OnSignalFrame() {}
    // A touch report (type 3), for the draw test. `count` is the report's count byte, at most 32;
    // `records` holds the parsed records and zero records after them.
    virtual void HandleTouches(uint8_t count, const TouchTable& records) {}
    // The same report for the calibration capture screen; called after every HandleTouches.
    virtual void AddTouchReport(uint8_t count, const TouchTable& records) {}
};

}  // namespace oculant
