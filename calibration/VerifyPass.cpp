#include "calibration/VerifyPass.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "calibration/TextFormat.h"

namespace oculant {
namespace {

// The rectangle the calibration's targets span, and how far a verify target inside it keeps
// from a calibration target: a quarter of the step between two columns (rows),
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

// The band between the outer targets and the edge of the capture window, in logical units:
// half way out on each side, never further in than the targets themselves.
struct MarginBand {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

MarginBand marginBand(const TargetArea& a, const CalibrationWindow& w, ScreenSize screen)
{
    const auto logical = [](double pixels, int32_t size) { return size > 0 ? pixels * kLogicalSpan / size : 0.0; };
    const double wx0 = logical(w.x, screen.width), wx1 = logical(double(w.x) + w.width, screen.width);
    const double wy0 = logical(w.y, screen.height), wy1 = logical(double(w.y) + w.height, screen.height);
    return {std::min(a.x0, (wx0 + a.x0) / 2), std::min(a.y0, (wy0 + a.y0) / 2), std::max(a.x1, (a.x1 + wx1) / 2),
            std::max(a.y1, (a.y1 + wy1) / 2)};
}

struct Candidate {
    double x = 0, y = 0;
    bool band = false;  // out in the margin band: never on a calibration target
};

// Where the candidates go: the centre, then in the margin band near each corner and at the
// middle of each edge (where buttons and scroll bars are), then the cell centres of 3×3, 4×4, …
// lattices over the target area.
std::vector<Candidate> candidates(const TargetArea& a, const MarginBand& b, int count)
{
    const double mx = (a.x0 + a.x1) / 2, my = (a.y0 + a.y1) / 2;
    std::vector<Candidate> c{{mx, my, false},   {b.x0, b.y0, true}, {b.x1, b.y0, true}, {b.x0, b.y1, true},
                             {b.x1, b.y1, true}, {mx, b.y0, true},   {mx, b.y1, true},   {b.x0, my, true},
                             {b.x1, my, true}};
    for (int m = 3; int(c.size()) < 4 * count && m <= 16; ++m)
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < m; ++j)
                c.push_back({a.x0 + (i + 0.5) / m * (a.x1 - a.x0), a.y0 + (j + 0.5) / m * (a.y1 - a.y0), false});
    return c;
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
    const MarginBand band = marginBand(a, setup.settings.window, setup.screen);
    size_t n = 0;
    for (const Candidate& c : candidates(a, band, count)) {
        if (int(n) == count)
            break;
        ScreenLogical p{int32_t(std::lround(c.x)), int32_t(std::lround(c.y))};
        // Inside the target area on a calibration target (the centre of an odd grid, or its cell
        // centre): moved off it, inwards.
        if (!c.band && nearAny(p, calibrationPoints, a)) {
            const double fx = (c.x - a.x0) / std::max(1.0, a.x1 - a.x0), fy = (c.y - a.y0) / std::max(1.0, a.y1 - a.y0);
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
