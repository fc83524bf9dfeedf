#pragma once
// The calibration flow's view of a connected frame: the device session's worker and records.

#include "calibration/CalibrationFlow.h"

namespace oculant {

class DeviceSession;

class DeviceSessionLink : public CalibrationDeviceLink {
public:
    // The session outlives the link (both are owned by the main window or the CLI command).
    explicit DeviceSessionLink(DeviceSession& session) : session_(session) {}

    bool connected() const override;
    uint8_t modelCode() const override;
    uint32_t calibrationAreaAddress() const override;
    uint32_t calibrationAreaSize() const override;
    bool startBlockWrite(uint32_t length, const uint8_t* header, const uint8_t* data) override;
    bool workerIdle() const override;
    uint32_t blockSent() const override;
    uint32_t blockTotal() const override;
    void requestRunAndRefresh() override;
    std::string serial() const override;
    bool isRecording() const override;

private:
    DeviceSession& session_;
};

}  // namespace oculant
