#include "calibration/CalibrationTargets.h"

#include <algorithm>

#include "calibration/CalibrationLimits.h"
#include "calibration/TextFormat.h"

namespace oculant {
namespace {

// Signed 64-bit so that large margins cannot overflow; divisions truncate toward zero.
int32_t toLogical(int64_t pixels, int32_t size)
{
    return static_cast<int32_t>(pixels * kLogicalSpan / size);
}

// Where the first column and row go and how far apart they are, in logical units.
struct TargetGrid {
    uint8_t columns = 2, rows = 2;
    int32_t startX = 0, startY = 0, stepX = 0, stepY = 0;
};

// The screen and the window must have an area.
TargetGrid gridOf(const CalibrationSettings& settings, ScreenSize screen)
{
    const CalibrationWindow& w = settings.window;
    TargetGrid g;
    g.columns = std::clamp<uint8_t>(settings.gridX, kMinGridCount, kMaxGridCount);
    g.rows = std::clamp<uint8_t>(settings.gridY, kMinGridCount, kMaxGridCount);
    g.startX = toLogical(int64_t{settings.marginLeft} + w.x, screen.width);
    g.startY = toLogical(int64_t{settings.marginUp} + w.y, screen.height);
    const int32_t endX = toLogical(int64_t{w.x} + w.width - settings.marginRight, screen.width);
    const int32_t endY = toLogical(int64_t{w.y} + w.height - settings.marginDown, screen.height);
    g.stepX = (endX - g.startX) / (g.columns - 1);
    g.stepY = (endY - g.startY) / (g.rows - 1);
    return g;
}

bool hasArea(const CalibrationSettings& settings, ScreenSize screen)
{
    return screen.width > 0 && screen.height > 0 && settings.window.width > 0 && settings.window.height > 0;
}

// "Left and right margins (96 + 96) leave no room for 2 target columns in a window 192 pixels wide!\n"
std::string noRoomText(const char* margins, int first, int second, int targets, const char* what, const char* size,
                       int pixels)
{
    return std::string(margins) + " margins (" + formatInt(first) + " + " + formatInt(second) +
           ") leave no room for " + formatInt(targets) + " target " + what + " in a window " + formatInt(pixels) +
           " pixels " + size + "!\n";
}

}  // namespace

bool generateTargets(CalibrationData& data, const CalibrationSettings& settings, ScreenSize screen)
{
    if (!hasArea(settings, screen))
        return false;

    const TargetGrid g = gridOf(settings, screen);
    data.gridX = g.columns;
    data.gridY = g.rows;
    size_t n = 0;
    for (int i = 0; i < g.columns; ++i) {
        const int32_t x = g.startX + i * g.stepX;
        for (int j = 0; j < g.rows; ++j)
            data.points[n++].target = {x, g.startY + j * g.stepY};
        if (i < g.columns - 1 && settings.auxPoints) {
            for (int j = 0; j < g.rows - 1; ++j)
                data.points[n++].target = {x + g.stepX / 2, g.startY + j * g.stepY + g.stepY / 2};
        }
    }
    data.count = static_cast<uint8_t>(n);
    return true;
}

CheckResult checkTargetRoom(const CalibrationSettings& settings, ScreenSize screen)
{
    // A window without area is step B's to refuse.
    if (!hasArea(settings, screen))
        return {};
    const TargetGrid g = gridOf(settings, screen);
    std::string message;
    if (g.stepX < 1)
        message += noRoomText("Left and right", settings.marginLeft, settings.marginRight, g.columns, "columns",
                              "wide", settings.window.width);
    if (g.stepY < 1)
        message += noRoomText("Upper and lower", settings.marginUp, settings.marginDown, g.rows, "rows", "high",
                              settings.window.height);
    return {message.empty(), message};
}

}  // namespace oculant
