#pragma once
// Touch reports reach the capture as the frame processor hands them over, whether or not the
// capture screen is open.

#include <array>

#include "calibration/CaptureSession.h"
#include "signal/SignalFrameListener.h"

namespace oculant {

class CaptureListener : public SignalFrameListener {
public:
    explicit CaptureListener(CaptureSession& capture) : capture_(capture) {}
    void AddTouchReport(uint8_t count, const TouchTable& records) override
    {
        std::array<ReportedContact, kMaxTouchRecords> contacts{};
        for (size_t i = 0; i < records.size(); ++i)
            contacts[i] = {records[i].x, records[i].y, uint16_t(records[i].width), uint16_t(records[i].height),
                           records[i].id, records[i].state};
        capture_.AddTouchReport(count, contacts);
    }

private:
    CaptureSession& capture_;
};

}  // namespace oculant
