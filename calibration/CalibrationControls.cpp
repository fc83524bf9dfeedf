#include "calibration/CalibrationControls.h"

namespace oculant {

CalibrationGroupEnables calibrationGroupEnables(const CalibrationGroupState& state)
{
    CalibrationGroupEnables enables;
    enables.windowEdits = state.windowCalib;
    enables.maskCheckBox = state.windowCalib;
    enables.extensionEdits = state.extension;
    const bool deviceButtons = state.connected && !state.downloading && !state.restrictedModel;
    enables.startButton = deviceButtons;
    enables.resetButton = deviceButtons;
    enables.exportButton = deviceButtons;
    enables.resultButton = true;
    return enables;
}

bool maskCheckedAfterWindowCalibClick(bool windowCalibChecked, bool maskChecked)
{
    return windowCalibChecked ? false : maskChecked;
}

std::optional<std::string_view> extensionClickWarningKey(bool extensionChecked)
{
    if (extensionChecked)
        return std::string_view("ExtersionWanning");
    return std::nullopt;
}

}  // namespace oculant
