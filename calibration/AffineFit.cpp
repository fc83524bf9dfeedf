#include "calibration/AffineFit.h"

#include <cmath>

namespace oculant {
namespace {

// Below this the three normal equations are taken as dependent (e.g. every touch on one line).
constexpr double kMinDeterminant = 0.0001;

// The three reduced normal equations of u = a·x + b·y + c: the x-, y- and constant equation
// divided by Σx, Σy and n, for the two outputs u (targets' x) and v (targets' y).
struct NormalEquations {
    double A, B, C, D, mx, my;  // independent side
    double Eu, Fu, mu;          // u side
    double Ev, Fv, mv;          // v side
};

bool reduceSums(const CalibrationData& data, NormalEquations& q)
{
    const auto points = data.used();
    const double n = static_cast<double>(points.size());
    if (points.size() == 3) {
        // Three points: the equations are the points themselves.
        auto d = [](int32_t v) { return static_cast<double>(v); };
        q = {d(points[0].touch.x), d(points[0].touch.y), d(points[1].touch.x), d(points[1].touch.y),
             d(points[2].touch.x), d(points[2].touch.y),
             d(points[0].target.x), d(points[1].target.x), d(points[2].target.x),
             d(points[0].target.y), d(points[1].target.y), d(points[2].target.y)};
        return true;
    }
    double Sxx = 0, Sxy = 0, Sx = 0, Syy = 0, Sy = 0;
    double Sux = 0, Suy = 0, Su = 0, Svx = 0, Svy = 0, Sv = 0;
    for (const CalibrationPoint& p : points) {
        const double x = p.touch.x, y = p.touch.y, u = p.target.x, v = p.target.y;
        Sxx += x * x;
        Sxy += x * y;
        Sx += x;
        Syy += y * y;
        Sy += y;
        Sux += u * x;
        Suy += u * y;
        Su += u;
        Svx += v * x;
        Svy += v * y;
        Sv += v;
    }
    if (Sx == 0.0 || Sy == 0.0)
        return false;
    q = {Sxx / Sx, Sxy / Sx, Sxy / Sy, Syy / Sy, Sx / n, Sy / n,
         Sux / Sx, Suy / Sy, Su / n, Svx / Sx, Svy / Sy, Sv / n};
    return true;
}

}  // namespace

bool FitAffine(const CalibrationData& data, CalibrationCoefficients& out)
{
    if (data.usedCount() < 3)
        return false;
    NormalEquations q{};
    if (!reduceSums(data, q))
        return false;
    const double det = (q.D - q.my) * (q.A - q.mx) - (q.B - q.my) * (q.C - q.mx);
    if (!(det >= kMinDeterminant))  // also refuses NaN
        return false;

    auto solve = [&](double E, double F, double m, float& a, float& b, float& c) {
        a = static_cast<float>(((q.D - q.my) * (E - m) - (q.B - q.my) * (F - m)) / det);
        b = static_cast<float>(((q.A - q.mx) * (F - m) - (q.C - q.mx) * (E - m)) / det);
        c = static_cast<float>(((q.C * E - q.A * F) * q.my + (q.A * m - q.mx * E) * q.D +
                                (q.mx * F - q.C * m) * q.B) / det);
    };
    CalibrationCoefficients k;
    solve(q.Eu, q.Fu, q.mu, k.k[0], k.k[1], k.k[2]);
    solve(q.Ev, q.Fv, q.mv, k.k[3], k.k[4], k.k[5]);
    if (!k.allFinite())
        return false;
    out = k;
    return true;
}

// The intermediate roundings to float are part of the figure the user sees.
float PixelError(const CalibrationData& data, const CalibrationCoefficients& k, ScreenSize screen)
{
    const auto points = data.used();
    if (points.empty())
        return 0.0f;
    const int32_t W = screen.width;
    const int32_t H = screen.height;
    float sum = 0.0f;
    for (const CalibrationPoint& p : points) {
        const float tx = static_cast<float>(static_cast<double>(int64_t{p.target.x} * W) / 32768.0);
        const float ty = static_cast<float>(static_cast<double>(int64_t{p.target.y} * H) / 32768.0);
        const float x = static_cast<float>(p.touch.x);
        const float y = static_cast<float>(p.touch.y);
        const float fx = static_cast<float>(k.k[0] * x + k.k[1] * y + k.k[2] + 0.5);
        const float fy = static_cast<float>(k.k[3] * x + k.k[4] * y + k.k[5] + 0.5);
        const float fxp = static_cast<float>(W) * fx / 32768;
        const float fyp = static_cast<float>(H) * fy / 32768;
        const float d = (tx - fxp) * (tx - fxp) + (ty - fyp) * (ty - fyp);
        sum += std::sqrt(d);
    }
    return sum / static_cast<float>(points.size());
}

float PixelsToMillimetres(float error, int positionsX, int screenWidth)
{
    if (screenWidth <= 0)
        return 0.0f;
    return static_cast<float>(frameSpanMm(positionsX)) * error / static_cast<float>(screenWidth);
}

int32_t frameSpanMm(int positions)
{
    return static_cast<int32_t>(positions * 5.969);
}

}  // namespace oculant
