#include "calibration/CalibrationLimits.h"

#include <algorithm>
#include <cmath>

#include "calibration/AffineFit.h"
#include "calibration/TextFormat.h"
#include "i18n/TextKeys.h"
#include "protocol/DeviceRecords.h"
#include "signal/SignalStore.h"

namespace oculant {

PositionCounts receiverPositionCounts(const SignalStore& store, const BoardLayoutTable& boards)
{
    if (store.nX() > 1)
        return {store.nX(), store.nY()};
    PositionCounts p;
    for (int i = 0; i < boards.xBoards && i < int(boards.xElements.size()); ++i)
        p.x += boards.xElements[size_t(i)];
    for (int i = 0; i < boards.yBoards && i < int(boards.yElements.size()); ++i)
        p.y += boards.yElements[size_t(i)];
    return p;
}

MmPerUnit frameMmPerUnit(PositionCounts positions, DisplayDirection direction)
{
    const bool swapped = direction == DisplayDirection::Portrait || direction == DisplayDirection::PortraitFlipped;
    return {double(frameSpanMm(swapped ? positions.y : positions.x)) / kLogicalSpan,
            double(frameSpanMm(swapped ? positions.x : positions.y)) / kLogicalSpan};
}

std::optional<std::string> targetSpacingRefusal(const CalibrationData& targets, PositionCounts positions,
                                                DisplayDirection direction, const TextLookupOr& words)
{
    const MmPerUnit mm = frameMmPerUnit(positions, direction);
    if (!(mm.x > 0 && mm.y > 0))
        return std::nullopt;
    const auto points = targets.used();
    double closest = INFINITY;
    size_t first = 0, second = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        for (size_t j = i + 1; j < points.size(); ++j) {
            const double d = std::hypot((points[i].target.x - points[j].target.x) * mm.x,
                                        (points[i].target.y - points[j].target.y) * mm.y);
            if (d < closest)
                closest = d, first = i, second = j;
        }
    }
    if (closest >= kMinTargetSpacingMm)
        return std::nullopt;
    return fillIn(textOf(words, textkeys::calwords::kTargetsTooClose),
                  {formatInt(long(first + 1)), formatInt(long(second + 1)), formatFixed(closest, 1),
                   formatFixed(kMinTargetSpacingMm, 0)}) +
           "\n";
}

std::optional<std::string> implausibleMapReason(const CalibrationCoefficients& c, const TextLookupOr& words)
{
    if (!c.allFinite())
        return textOf(words, textkeys::calwords::kMapNotFinite);
    const double k0 = c.k[0], k1 = c.k[1], k2 = c.k[2], k3 = c.k[3], k4 = c.k[4], k5 = c.k[5];
    // How far the screen moves per unit of touch X and of touch Y.
    const double scaleX = std::hypot(k0, k3), scaleY = std::hypot(k1, k4);
    if (!(scaleX >= kMinMapScale && scaleX <= kMaxMapScale && scaleY >= kMinMapScale && scaleY <= kMaxMapScale))
        return fillIn(textOf(words, textkeys::calwords::kMapScale), {formatFixed(scaleX, 3), formatFixed(scaleY, 3),
                                                           formatFixed(kMinMapScale, 2), formatFixed(kMaxMapScale, 0)});
    const double sine = std::abs(k0 * k4 - k1 * k3) / (scaleX * scaleY);
    if (sine < kMinMapAxisSine)
        return fillIn(textOf(words, textkeys::calwords::kMapSingular), {formatFixed(std::asin(std::min(1.0, sine)) * 180 / M_PI, 1)});
    // The middle of the frame belongs on the screen, give or take a screen.
    const double mid = kLogicalSpan / 2.0;
    const double x = k0 * mid + k1 * mid + k2, y = k3 * mid + k4 * mid + k5;
    if (x < -kLogicalSpan || x > 2.0 * kLogicalSpan || y < -kLogicalSpan || y > 2.0 * kLogicalSpan)
        return fillIn(textOf(words, textkeys::calwords::kMapOffScreen), {formatFixed(x, 0), formatFixed(y, 0)});
    return std::nullopt;
}

}  // namespace oculant
