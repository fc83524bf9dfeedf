#pragma once
// The settings of the calibration group of the main window and the checks that run before every
// capture: step A (grid and margins), step B (calibration window) and step C (mask rectangle).

#include <cstdint>
#include <string>

#include "calibration/Coordinates.h"
#include "calibration/TextLookup.h"

namespace oculant {

// What a capture uses; filled by steps A and B, read by the capture screen.
struct CalibrationSettings {
    uint8_t gridX = 2;
    uint8_t gridY = 2;
    bool auxPoints = true;
    uint16_t marginLeft = 80;
    uint16_t marginRight = 80;
    uint16_t marginUp = 80;
    uint16_t marginDown = 80;
    CalibrationWindow window;
};

// The group's controls as the user left them: edit and list texts, check states.
struct CalibrationGroupTexts {
    std::string gridX = "2";  // ComboBoxClibXPoints
    std::string gridY = "2";  // ComboBoxClibYPoints
    bool auxPoints = true;    // CheckBoxCalibAuxPoint
    std::string marginLeft = "80", marginRight = "80", marginUp = "80", marginDown = "80";
    bool windowCalib = false;  // CheckBoxWindowCalib
    std::string offsetX = "192", offsetY = "144", width = "896", height = "512";
    bool maskOutside = false;  // CheckBoxArea
    bool extension = false;    // CheckBoxEx
    std::string leftEx = "3", rightEx = "3", upEx = "0", downEx = "0";
    int direction = 0;  // ComboBoxDisplayDir index
};

// The group as the main window shows it first: margins W/20 and H/20, window = whole screen.
CalibrationGroupTexts calibrationGroupOnShow(ScreenSize screen);

struct CheckResult {
    bool valid = true;
    std::string message;  // to show in one message box when not empty
};

// Step A: grid sizes and margins. An invalid margin takes its fallback and adds a line to the
// message; the run goes on whatever the result.
CheckResult readGridAndMargins(const CalibrationGroupTexts& texts, ScreenSize screen,
                               const TextLookup& lookup, CalibrationSettings& settings);

// Step B: the calibration window, whole screen unless window calibration is on. On success
// step C updates the mask; on failure the mask keeps its value and the message lists every
// rejected value (x, y, width, height). A window of zero width or height is refused: a capture
// over nothing could never end.
CheckResult readCalibrationWindow(const CalibrationGroupTexts& texts, ScreenSize screen,
                                  CalibrationSettings& settings, MaskRectangle& mask);

// Step C: the frame's touch range, the window in logical units when masking is on.
MaskRectangle computeMaskRectangle(const CalibrationWindow& window, bool maskOutside, ScreenSize screen);

inline constexpr const char* kWindowOffsetXOutOfRange = "Window Offset x out of range!\n";
inline constexpr const char* kWindowOffsetYOutOfRange = "Window Offset y out of range!\n";
inline constexpr const char* kWindowWidthOutOfRange = "Window Width out of range!\n";
inline constexpr const char* kWindowHeightOutOfRange = "Window Height out of range!\n";

}  // namespace oculant
