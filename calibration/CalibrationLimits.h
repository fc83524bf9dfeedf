#pragma once
// What a calibration can work with, checked before anything is captured or written: the grid
// counts the capture screen honours, how close two targets may come on the frame, the receiver
// positions per side the millimetres come from, and what a fitted (or restored) map may look
// like to be a frame's at all. Every caller (the main window, the multi-area window, the CLI,
// the restore) uses these rules and no copy of them.

#include <optional>
#include <string>

#include "calibration/CalibrationCoefficients.h"
#include "calibration/CalibrationData.h"
#include "calibration/Coordinates.h"
#include "calibration/DisplayDirection.h"

#include "base/TextLookup.h"

namespace oculant {

class SignalStore;
struct BoardLayoutTable;

// The capture screen shows 2 to 6 columns and rows (the record holds a 6 × 6 grid and its aux points).
inline constexpr int kMinGridCount = 2;
inline constexpr int kMaxGridCount = 6;

// Two targets closer than two receiver positions (5.96 mm apart) are read by the same beams:
// their touches cannot tell the map anything the other does not.
inline constexpr double kMinTargetSpacingMm = 12.0;

// A fitted map takes frame units to screen units. A display under a frame spans most of it, so
// each touch axis is stretched by about 1; beyond 1/4 or 4 the touches did not come from the
// targets shown. Its axes must also stay apart: |det| / (scale x · scale y) is the sine of the
// angle between them, below 0.5 (30°) the map is as good as singular.
inline constexpr double kMinMapScale = 0.25;
inline constexpr double kMaxMapScale = 4.0;
inline constexpr double kMinMapAxisSine = 0.5;

// The frame's receiver positions per side: the signal store's once a signal frame came in, else
// the board layout the frame reported (a calibration streams only touch reports).
PositionCounts receiverPositionCounts(const SignalStore& store, const BoardLayoutTable& boards);

// Millimetres of the frame per screen logical unit, per screen axis (under a portrait direction
// the frame's Y runs along the screen's X); 0 when the positions are not known.
struct MmPerUnit {
    double x = 0, y = 0;
};
MmPerUnit frameMmPerUnit(PositionCounts positions, DisplayDirection direction);

// The closest two targets of a capture about to open, refused when nearer on the frame than
// kMinTargetSpacingMm. Passes when the positions are not known yet.
std::optional<std::string> targetSpacingRefusal(const CalibrationData& targets, PositionCounts positions,
                                                DisplayDirection direction, const TextLookupOr& words);

// Why a map cannot be a frame's (not finite, near singular, scaled beyond 1/4..4, the frame's
// centre mapped off the screen by more than a screen), or nullopt when it can.
std::optional<std::string> implausibleMapReason(const CalibrationCoefficients& k, const TextLookupOr& words);

}  // namespace oculant
