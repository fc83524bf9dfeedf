#include "calibration/OrientationCheck.h"

#include <cmath>

#include "calibration/TextFormat.h"

namespace oculant {
namespace {

// The nearest of four quarter turns to an angle in degrees, as 0..3. A frame is mounted in one
// of four ways, so everything within 45° of one is that one: a display a few degrees off its
// frame (0.5° in misaligned.ini) is a misalignment the fit corrects, not a mounting to change.
// Scale never enters: the angle of a map scaled 0.97 by 1.02 is its rotation's.
int nearestQuarter(double degrees)
{
    const long q = std::lround(degrees / 90.0);
    return int(((q % 4) + 4) % 4);
}

constexpr double kDegreesPerRadian = 180.0 / M_PI;

const char* const kDirectionNames[4] = {"横向", "纵向", "横向翻转", "纵向翻转"};

std::string directionText(int index)
{
    return formatInt(index) + " (" + kDirectionNames[index & 3] + ")";
}

}  // namespace

// The 2×2 part of the map is either a rotation-like map (determinant > 0) or a mirror-like one
// (< 0). The nearest rotation of [[a, b], [c, d]] has the angle atan2(c − b, a + d); the
// nearest mirror has its axis at half of atan2(b + c, a − d). Both hold for any scale.
Orientation checkOrientation(const CalibrationCoefficients& coefficients)
{
    const double a = coefficients.k[0], b = coefficients.k[1], c = coefficients.k[3], d = coefficients.k[4];
    Orientation o;
    if (a * d - b * c >= 0) {
        // K maps the frame onto the display, the inverse of the frame's turn.
        const double frameToScreen = std::atan2(c - b, a + d) * kDegreesPerRadian;
        o.rotationDeg = 90 * nearestQuarter(-frameToScreen);
        return o;
    }
    switch (nearestQuarter(std::atan2(b + c, a - d) * kDegreesPerRadian)) {
    case 0:  // [[1, 0], [0, −1]]
        o.mirroredY = true;
        break;
    case 1:  // [[0, 1], [1, 0]]
        o.swappedXY = true;
        break;
    case 2:  // [[−1, 0], [0, 1]]
        o.mirroredX = true;
        break;
    default:  // [[0, −1], [−1, 0]]: swapped, then turned half round
        o.swappedXY = true;
        o.rotationDeg = 180;
        break;
    }
    return o;
}

std::string orientationAdvice(const Orientation& o, DisplayDirection chosen, bool chinese)
{
    if (!o.flagged())
        return {};
    const int direction = int(chosen);
    const std::string against = directionText(direction);
    std::string text;
    if (o.mirroredX || o.mirroredY) {
        const char* axis = o.mirroredX ? "X" : "Y";
        // The features as the Screen rotation group names them.
        const char* feature = o.mirroredX ? (chinese ? "X 反向" : "Reverse X") : (chinese ? "Y 反向" : "Reverse Y");
        const char* cable = o.mirroredX ? "the other side (left and right exchanged)" : "the other edge (top and bottom exchanged)";
        if (chinese)
            text = std::string("方向检查: 触摸 ") + axis + " 与显示方向相反 (镜像)。请修改触摸框的 \"" + feature +
                   "\" 设置, 或将触摸框翻面安装, 使线缆在另一侧; 显示方向无法纠正镜像。\n";
        else
            text = std::string("Orientation: touch ") + axis + " runs against the display (mirrored). Change the frame's \"" +
                   feature + "\" feature, or mount the frame turned over with its cable on " + cable +
                   "; no display direction undoes a mirror.\n";
        return text;
    }
    if (o.swappedXY) {
        const int rest = o.rotationDeg / 90;
        if (chinese) {
            text = "方向检查: 触摸 X 与 Y 互换。请修改触摸框的 \"X / Y 互换\" 设置";
            if (rest != 0)
                text += ", 并选择显示方向 " + directionText((direction + rest) % 4);
            return text + "; 显示方向无法单独纠正互换。\n";
        }
        text = "Orientation: touch X and Y are swapped";
        if (rest != 0)
            text += " and both run backwards";
        text += ". Change the frame's \"Swap X / Y\" feature";
        if (rest != 0)
            text += " and choose display direction " + directionText((direction + rest) % 4);
        return text + "; no display direction alone undoes a swap.\n";
    }
    // The fit takes a turn up as it is: with this calibration the touches land under the finger.
    // The display direction is for a desktop that turns its picture; the frame's rotation and its
    // mounting are for touches that should come upright without a calibration.
    const std::string turn = formatInt(o.rotationDeg);
    const std::string fix = directionText((direction + o.rotationDeg / 90) % 4);
    if (chinese)
        return "方向检查: 触摸框相对显示方向 " + against + " 旋转了 " + turn + "°。本次校准已纠正此旋转, 触摸位置正确。" +
               "仅当桌面将画面旋转 " + turn + "° 显示时, 才选择显示方向 " + fix + "; 若希望触摸框不经校准即输出正向坐标, " +
               "请修改触摸框的旋转设置, 或将触摸框转回 " + turn + "° 安装 (线缆换到对应一侧)。\n";
    return "Orientation: the frame is turned by " + turn + "° against display direction " + against +
           ". This calibration already corrects the turn: touches land where they are shown. Choose display direction " +
           fix + " only for a desktop that turns its picture by " + turn + "°; for touches that come upright without a "
           "calibration, set the frame's rotation (Screen rotation) to turn them back by " + turn +
           "°, or mount the frame turned back by " + turn + "° (its cable on the side it moves to).\n";
}

}  // namespace oculant
