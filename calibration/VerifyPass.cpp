#include "calibration/VerifyPass.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "calibration/TextFormat.h"

namespace oculant {
namespace {

// The rectangle the calibration's targets span, and how far a verify target keeps from the
// edges of it and from a calibration target: a quarter of the step between two columns (rows),
// which is never on a target line since targets lie on multiples of half a step, but no more
// than a tenth of the span, so that "near a corner" stays near it on a 2 × 2 grid.
struct TargetArea {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double apartX = 0, apartY = 0;
};

TargetArea targetArea(const CalibrationData& calibration)
{
    const auto points = calibration.used();
    TargetArea a{double(points[0].target.x), double(points[0].target.y), double(points[0].target.x),
                 double(points[0].target.y)};
    for (const CalibrationPoint& p : points) {
        a.x0 = std::min(a.x0, double(p.target.x));
        a.x1 = std::max(a.x1, double(p.target.x));
        a.y0 = std::min(a.y0, double(p.target.y));
        a.y1 = std::max(a.y1, double(p.target.y));
    }
    const double stepX = (a.x1 - a.x0) / std::max(1, calibration.gridX - 1);
    const double stepY = (a.y1 - a.y0) / std::max(1, calibration.gridY - 1);
    a.apartX = std::max(1.0, std::min(stepX / 4, (a.x1 - a.x0) / 10));
    a.apartY = std::max(1.0, std::min(stepY / 4, (a.y1 - a.y0) / 10));
    return a;
}

// Closer than half the distance kept in both axes counts as the same place.
bool near(ScreenLogical a, ScreenLogical b, const TargetArea& area)
{
    return std::abs(a.x - b.x) < area.apartX / 2 && std::abs(a.y - b.y) < area.apartY / 2;
}

bool nearAny(ScreenLogical p, std::span<const CalibrationPoint> points, const TargetArea& area)
{
    return std::any_of(points.begin(), points.end(), [&](const CalibrationPoint& q) { return near(p, q.target, area); });
}

// Where the candidates go, as fractions of the target area: the centre, near each corner, the
// middle of each edge, then the cell centres of 3×3, 4×4, … lattices.
std::vector<std::pair<double, double>> candidateFractions(const TargetArea& a, int count)
{
    const double ex = a.apartX / std::max(1.0, a.x1 - a.x0), ey = a.apartY / std::max(1.0, a.y1 - a.y0);
    std::vector<std::pair<double, double>> f{{0.5, 0.5},    {ex, ey},        {1 - ex, ey},  {ex, 1 - ey},
                                             {1 - ex, 1 - ey}, {0.5, ey},    {0.5, 1 - ey}, {ex, 0.5},
                                             {1 - ex, 0.5}};
    for (int m = 3; int(f.size()) < 4 * count && m <= 16; ++m)
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < m; ++j)
                f.emplace_back((i + 0.5) / m, (j + 0.5) / m);
    return f;
}

}  // namespace

std::optional<CalibrationData> verifyTargets(const VerifySetup& setup, int count)
{
    if (count < kMinVerifyPoints || count > kMaxVerifyPoints || setup.calibration.usedCount() == 0)
        return std::nullopt;
    const TargetArea a = targetArea(setup.calibration);
    const auto calibrationPoints = setup.calibration.used();
    CalibrationData out;
    out.gridX = setup.calibration.gridX;
    out.gridY = setup.calibration.gridY;
    size_t n = 0;
    for (const auto& [fx, fy] : candidateFractions(a, count)) {
        if (int(n) == count)
            break;
        ScreenLogical p{int32_t(std::lround(a.x0 + fx * (a.x1 - a.x0))), int32_t(std::lround(a.y0 + fy * (a.y1 - a.y0)))};
        // On a calibration target (the centre of an odd grid, or its cell centre): moved off it,
        // inwards.
        if (nearAny(p, calibrationPoints, a)) {
            p.x += int32_t(std::lround(fx < 0.75 ? a.apartX : -a.apartX));
            p.y += int32_t(std::lround(fy < 0.75 ? a.apartY : -a.apartY));
        }
        if (nearAny(p, std::span<const CalibrationPoint>(out.points.data(), n), a))
            continue;  // a finer lattice repeating an earlier point
        out.points[n++].target = p;
    }
    if (int(n) < count)
        return std::nullopt;  // a target area too small to hold that many apart
    out.count = uint8_t(n);
    return out;
}

VerifyResult evaluateVerify(const VerifySetup& setup, const CalibrationData& capture, double limitMm)
{
    VerifyResult r;
    r.area = setup.area;
    r.limitMm = limitMm;
    r.completed = capture.complete() && capture.usedCount() > 0;
    if (!r.completed)
        return r;
    r.residuals = computeResiduals(capture, setup.coefficients, setup.direction, setup.screen, setup.positions);
    double sum = 0;
    for (const PointResidual& p : r.residuals.points)
        sum += p.lengthMm;
    r.meanErrorMm = sum / double(r.residuals.points.size());
    r.passed = r.residuals.maxErrorMm <= limitMm;
    return r;
}

VerifyResult runVerifyPass(const VerifySetup& setup, const VerifyOptions& options, TargetCapture& capture)
{
    const std::optional<CalibrationData> targets = verifyTargets(setup, options.count);
    if (!targets) {
        VerifyResult r;
        r.area = setup.area;
        r.limitMm = options.limitMm;
        return r;
    }
    return evaluateVerify(setup, capture.capture(setup.settings, *targets), options.limitMm);
}

std::string verifyReport(const VerifyResult& r, const std::string& areaLabel, bool chinese)
{
    const std::string area = areaLabel.empty() ? std::string() : areaLabel + " ";
    if (!r.completed)
        return chinese ? "验证 " + area + "未完成: 没有取得全部验证点。\n"
                       : "Verify " + area + "not completed: not every verify target was touched.\n";
    const std::string count = formatInt(long(r.residuals.points.size()));
    std::string text = chinese ? "验证 " + area + count + " 点: 最大误差 " + formatFixed(r.residuals.maxErrorMm, 1) + "mm, 平均 " +
                                     formatFixed(r.meanErrorMm, 1) + "mm (限值 " + formatFixed(r.limitMm, 1) + "mm): " +
                                     (r.passed ? "通过" : "未通过") + "\n"
                               : "Verify " + area + count + " points: largest error " + formatFixed(r.residuals.maxErrorMm, 1) +
                                     " mm, mean " + formatFixed(r.meanErrorMm, 1) + " mm (limit " +
                                     formatFixed(r.limitMm, 1) + " mm): " + (r.passed ? "passed" : "FAILED") + "\n";
    for (size_t i = 0; i < r.residuals.points.size(); ++i) {
        const PointResidual& p = r.residuals.points[i];
        text += "  " + formatInt(long(i + 1)) + ": (" + formatFixed(p.targetPx.x, 0) + ", " + formatFixed(p.targetPx.y, 0) +
                ") -> (" + formatFixed(p.measuredPx.x, 1) + ", " + formatFixed(p.measuredPx.y, 1) + ") px, " +
                formatFixed(p.lengthPx, 1) + " px / " + formatFixed(p.lengthMm, 2) + " mm\n";
    }
    return text;
}

}  // namespace oculant
