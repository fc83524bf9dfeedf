#include "cli/CalibrationJson.h"

#include <nlohmann/json.hpp>

namespace oculant::cli {
namespace {

Json pair(double x, double y) { return Json::array({x, y}); }
Json pair(ScreenPixelF p) { return pair(p.x, p.y); }

}  // namespace

Json coefficientsJson(const CalibrationCoefficients& coefficients)
{
    Json k = Json::array();
    for (float v : coefficients.k)
        k.push_back(v);
    return k;
}

Json optionalBool(std::optional<bool> v)
{
    return v ? Json(*v) : Json(nullptr);
}

void addResiduals(Json& object, const FitResiduals& residuals)
{
    Json points = Json::array();
    for (const PointResidual& p : residuals.points)
        points.push_back(Json{{"target", pair(p.targetPx)},
                              {"touch", Json::array({p.touch.x, p.touch.y})},
                              {"residualPx", pair(p.offsetPx)},
                              {"residualMm", pair(p.offsetMm)}});
    object["points"] = points;
    object["maxErrorPixels"] = residuals.maxErrorPixels;
    object["maxErrorMm"] = residuals.maxErrorMm;
}

Json orientationJson(const Orientation& o, DisplayDirection chosen)
{
    return Json{{"mirroredX", o.mirroredX},
                {"mirroredY", o.mirroredY},
                {"swappedXY", o.swappedXY},
                {"rotationDeg", o.rotationDeg},
                {"advice", orientationAdvice(o, chosen, false)}};
}

Json verifyJson(const VerifyResult& r)
{
    Json points = Json::array();
    for (const PointResidual& p : r.residuals.points)
        points.push_back(Json{{"target", pair(p.targetPx)},
                              {"measured", pair(p.measuredPx)},
                              {"errorPx", p.lengthPx},
                              {"errorMm", p.lengthMm}});
    return Json{{"points", points},     {"maxErrorMm", r.residuals.maxErrorMm}, {"meanErrorMm", r.meanErrorMm},
                {"limitMm", r.limitMm}, {"completed", r.completed},   {"passed", r.passed}};
}

}  // namespace oculant::cli
