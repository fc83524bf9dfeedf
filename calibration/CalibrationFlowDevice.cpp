#include "calibration/CalibrationFlowDevice.h"

#include "deviceinfo/DeviceInfoText.h"
#include "link/DeviceSession.h"

namespace oculant {
namespace {

// The area as the Status group derives it from the version record (unknown model: none).
CalibrationArea areaOf(DeviceSession& session)
{
    const auto noText = [](std::string_view) { return std::string(); };
    return describeVersionStatus(session.records().versionStatus, noText).calibrationArea;
}

}  // namespace

bool DeviceSessionLink::connected() const { return session_.connected(); }
uint8_t DeviceSessionLink::modelCode() const { return session_.records().modelCode(); }
uint32_t DeviceSessionLink::calibrationAreaAddress() const { return areaOf(session_).address; }
uint32_t DeviceSessionLink::calibrationAreaSize() const { return areaOf(session_).size; }

bool DeviceSessionLink::startBlockWrite(uint32_t length, const uint8_t* header, const uint8_t* data)
{
    return session_.startDownload(length, header, data);
}

bool DeviceSessionLink::workerIdle() const { return session_.talk().idle(); }
uint32_t DeviceSessionLink::blockSent() const { return session_.talk().blockSent(); }
uint32_t DeviceSessionLink::blockTotal() const { return session_.talk().blockTotal(); }
void DeviceSessionLink::requestRunAndRefresh() { session_.RequestRunAndRefresh(); }

bool DeviceSessionLink::isRecording() const { return session_.connectedToRecording(); }

// The identity record as the Status group reads it; "N/A" (no serial) names no frame.
std::string DeviceSessionLink::serial() const
{
    if (!session_.connected())
        return {};
    const auto noTime = [](int64_t) { return std::optional<std::tm>(); };
    return describeIdentity(session_.records().identity, noTime).serial;
}

}  // namespace oculant
