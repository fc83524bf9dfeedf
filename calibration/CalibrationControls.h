#pragma once
// Which controls of the calibration group are enabled, as a function of the settings and the
// connection, and what the two check boxes do when clicked.

#include <optional>
#include <string_view>

namespace oculant {

struct CalibrationGroupState {
    bool connected = false;
    bool downloading = false;      // a block write is running
    bool restrictedModel = false;  // model code 16 or 18: no calibration on the device
    bool windowCalib = false;      // CheckBoxWindowCalib
    bool extension = false;        // CheckBoxEx
};

struct CalibrationGroupEnables {
    bool windowEdits = false;     // EditOffsetX, EditOffsetY, EditWidth, EditHeight
    bool maskCheckBox = false;    // CheckBoxArea
    bool extensionEdits = false;  // EditLeftEx, EditRightEx, EditUpEx, EditDownEx
    bool startButton = false;     // Button11
    bool resetButton = false;     // Button10
    bool exportButton = false;    // Button13
    bool resultButton = true;     // Button12 (multi-area window) is always available
    bool operator==(const CalibrationGroupEnables&) const = default;
};

CalibrationGroupEnables calibrationGroupEnables(const CalibrationGroupState& state);

// CheckBoxWindowCalibClick: checking window calibration always unchecks the mask box; unchecking
// leaves it as it was (it is only disabled). Returns the new check state of CheckBoxArea.
bool maskCheckedAfterWindowCalibClick(bool windowCalibChecked, bool maskChecked);

// CheckBoxExClick: the language key of the warning to show before the edits are enabled.
std::optional<std::string_view> extensionClickWarningKey(bool extensionChecked);

}  // namespace oculant
