#include "calibration/CalibrationReport.h"

#include "calibration/TextFormat.h"

namespace oculant {

std::string singleAreaReport(const std::string& finishedText, const CalibrationCoefficients& k,
                             float errorPixels, float errorMm, bool chinese)
{
    std::string report = finishedText + "\n";
    for (size_t i = 0; i < k.k.size(); ++i)
        report += "K" + formatInt(static_cast<long long>(i)) + ": " + formatFixed(k.k[i], 6) + "\n";
    const std::string e = formatFixed(errorPixels, 1);
    const std::string m = formatFixed(errorMm, 1);
    if (chinese)
        report += "\n平均误差: " + e + "像素 / " + m + "mm\n";
    else
        report += "\nAverage calibration error: " + e + " Pxis / " + m + " mm\n";
    if (errorMm > kLargeErrorMm)
        report += chinese ? "误差较大！建议重新校准！" : "Calibration error is too large! Please calibrate it again! ";
    return report;
}

std::string areaReportLine(int area, float errorPixels, float errorMm, bool chinese)
{
    const std::string e = formatFixed(errorPixels, 1);
    const std::string m = formatFixed(errorMm, 1);
    std::string line = chinese
        ? "\n区域 A" + formatInt(area + 1) + " 平均误差: " + e + "像素 / " + m + "mm\n"
        : "\nA" + formatInt(area + 1) + " Average calibration error: " + e + " Pxis / " + m + " mm\n";
    if (errorMm > kLargeErrorMm)
        // This English wording has full-width exclamation marks.
        line += chinese ? "误差较大！建议重新校准！" : "Calibration error is too large！Please calibrate it again！";
    return line;
}

std::string fitDetailLines(const std::string& reportSoFar, const FitResiduals& r, const Orientation& orientation,
                           DisplayDirection direction, bool chinese)
{
    std::string lines = reportSoFar.empty() || reportSoFar.back() == '\n' ? "" : "\n";
    if (r.worst >= 0) {
        const PointResidual& p = r.points[size_t(r.worst)];
        const std::string e = formatFixed(p.lengthPx, 1);
        const std::string m = formatFixed(p.lengthMm, 1);
        const std::string which = formatInt(r.worst + 1) + "/" + formatInt(long(r.points.size()));
        const std::string at = formatFixed(p.targetPx.x, 0) + ", " + formatFixed(p.targetPx.y, 0);
        lines += chinese ? "最大误差: " + e + "像素 / " + m + "mm (目标 " + which + ", 位置 " + at + ")\n"
                         : "Largest error: " + e + " pixels / " + m + " mm at target " + which + " (" + at + " px)\n";
    }
    return lines + orientationAdvice(orientation, direction, chinese);
}

std::string fitSummary(float errorPixels, float errorMm, const FitResiduals& residuals,
                       const Orientation& orientation, DisplayDirection direction, bool chinese)
{
    const std::string e = formatFixed(errorPixels, 1);
    const std::string m = formatFixed(errorMm, 1);
    const std::string mean = chinese ? "平均误差: " + e + "像素 / " + m + "mm\n"
                                     : "Mean error: " + e + " pixels / " + m + " mm\n";
    return mean + fitDetailLines(mean, residuals, orientation, direction, chinese);
}

namespace {

std::string signedFixed(double v, int precision)
{
    return (v >= 0 ? "+" : "") + formatFixed(v, precision);
}

}  // namespace

std::string residualTable(const FitResiduals& r, bool chinese)
{
    std::string text = chinese ? "各点残差 (目标 px, 触摸, 残差 px / mm):\n"
                               : "Residuals (target px, touch, residual px / mm):\n";
    for (size_t i = 0; i < r.points.size(); ++i) {
        const PointResidual& p = r.points[i];
        text += "  " + formatInt(long(i + 1)) + ": (" + formatFixed(p.targetPx.x, 0) + ", " +
                formatFixed(p.targetPx.y, 0) + ") touch (" + formatInt(p.touch.x) + ", " + formatInt(p.touch.y) +
                ") " + signedFixed(p.offsetPx.x, 1) + ", " + signedFixed(p.offsetPx.y, 1) + " px / " +
                signedFixed(p.offsetMm.x, 2) + ", " + signedFixed(p.offsetMm.y, 2) + " mm";
        if (int(i) == r.worst)
            text += chinese ? "  <- 最大" : "  <- largest";
        text += "\n";
    }
    return text;
}

std::string touchRangeMessage(const MaskRectangle& mask)
{
    return "触摸坐标范围：(" + formatInt(mask.x0) + "," + formatInt(mask.y0) + ") to (" +
           formatInt(mask.x1) + "," + formatInt(mask.y1) + ")";
}

std::string areaRectangleLine(int area, const FrameRect& rect)
{
    return "A" + formatInt(area + 1) + ": x0=" + formatInt(rect.x0) + ", y0=" + formatInt(rect.y0) +
           ", x1=" + formatInt(rect.x1) + ", y1=" + formatInt(rect.y1) + "\n";
}

}  // namespace oculant
