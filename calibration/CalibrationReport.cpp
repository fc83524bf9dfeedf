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
        ? "\n区域" + formatInt(area) + " 平均误差: " + e + "像素 / " + m + "mm\n"
        : "\nArea" + formatInt(area) + " Average calibration error: " + e + " Pxis / " + m + " mm\n";
    if (errorMm > kLargeErrorMm)
        // This English wording has full-width exclamation marks.
        line += chinese ? "误差较大！建议重新校准！" : "Calibration error is too large！Please calibrate it again！";
    return line;
}

std::string touchRangeMessage(const MaskRectangle& mask)
{
    return "触摸坐标范围：(" + formatInt(mask.x0) + "," + formatInt(mask.y0) + ") to (" +
           formatInt(mask.x1) + "," + formatInt(mask.y1) + ")";
}

std::string areaRectangleLine(int area, const FrameRect& rect)
{
    return formatInt(area) + ": x0=" + formatInt(rect.x0) + ", y0=" + formatInt(rect.y0) +
           ", x1=" + formatInt(rect.x1) + ", y1=" + formatInt(rect.y1) + "\n";
}

}  // namespace oculant
