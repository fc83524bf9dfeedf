#include "calibration/CalibrationSettings.h"

#include <algorithm>
#include <string_view>

#include "calibration/LenientNumber.h"
#include "calibration/TextFormat.h"

namespace oculant {
namespace {

struct MarginRule {
    std::string_view key;
    const std::string CalibrationGroupTexts::*text;
    uint16_t CalibrationSettings::*target;
    bool horizontal;
};

// There is no language key of its own for the lower margin: it reports as "up".
constexpr MarginRule kMarginRules[] = {
    {"InvalidParamLeft", &CalibrationGroupTexts::marginLeft, &CalibrationSettings::marginLeft, true},
    {"InvalidParamRight", &CalibrationGroupTexts::marginRight, &CalibrationSettings::marginRight, true},
    {"InvalidParamUp", &CalibrationGroupTexts::marginUp, &CalibrationSettings::marginUp, false},
    {"InvalidParamUp", &CalibrationGroupTexts::marginDown, &CalibrationSettings::marginDown, false},
};

}  // namespace

CalibrationGroupTexts calibrationGroupOnShow(ScreenSize screen)
{
    CalibrationGroupTexts texts;
    const auto w = static_cast<uint32_t>(screen.width);
    const auto h = static_cast<uint32_t>(screen.height);
    texts.marginLeft = texts.marginRight = formatInt(w / 20);
    texts.marginUp = texts.marginDown = formatInt(h / 20);
    texts.offsetX = "0";
    texts.offsetY = "0";
    texts.width = formatInt(screen.width);
    texts.height = formatInt(screen.height);
    return texts;
}

CheckResult readGridAndMargins(const CalibrationGroupTexts& texts, ScreenSize screen,
                               const TextLookup& lookup, CalibrationSettings& settings)
{
    settings.gridX = static_cast<uint8_t>(readLeadingInt(texts.gridX));
    settings.gridY = static_cast<uint8_t>(readLeadingInt(texts.gridY));
    settings.auxPoints = texts.auxPoints;

    CheckResult result;
    for (const MarginRule& rule : kMarginRules) {
        const int32_t size = rule.horizontal ? screen.width : screen.height;
        const int32_t lower = size / 30;
        const int32_t upper = size;
        const int32_t fallback = size / 20;
        int32_t margin = readLeadingInt(texts.*rule.text);
        if (margin < lower || margin > upper) {
            margin = fallback;
            result.message += lookup(rule.key) + "(" + formatInt(lower) + "," + formatInt(upper) +
                              "), " + lookup("UseDefault") + " " + formatInt(fallback) + "!\n";
        }
        settings.*rule.target = static_cast<uint16_t>(margin);
    }
    result.valid = result.message.empty();
    return result;
}

CheckResult readCalibrationWindow(const CalibrationGroupTexts& texts, ScreenSize screen,
                                  CalibrationSettings& settings, MaskRectangle& mask)
{
    const int64_t W = screen.width;
    const int64_t H = screen.height;
    CalibrationWindow& window = settings.window;
    window = {0, 0, screen.width, screen.height};
    std::string message;

    if (texts.windowCalib) {
        const int32_t x = readLeadingInt(texts.offsetX);
        if (x >= 0 && x < W)
            window.x = x;
        else
            message += kWindowOffsetXOutOfRange;
        const int32_t y = readLeadingInt(texts.offsetY);
        if (y >= 0 && y < H)
            window.y = y;
        else
            message += kWindowOffsetYOutOfRange;
        // The 320 and 240 are minimum screen sizes, not window sizes.
        const int32_t w = readLeadingInt(texts.width);
        if (w > 0 && window.x + int64_t{w} <= W && W >= 320)
            window.width = w;
        else
            message += kWindowWidthOutOfRange;
        const int32_t h = readLeadingInt(texts.height);
        if (h > 0 && window.y + int64_t{h} <= H && H >= 240)
            window.height = h;
        else
            message += kWindowHeightOutOfRange;
    } else {
        if (W <= 0)
            message += kWindowWidthOutOfRange;
        if (H <= 0)
            message += kWindowHeightOutOfRange;
    }

    if (!message.empty())
        return {false, message};
    mask = computeMaskRectangle(window, texts.maskOutside, screen);
    return {true, {}};
}

MaskRectangle computeMaskRectangle(const CalibrationWindow& window, bool maskOutside, ScreenSize screen)
{
    MaskRectangle mask;
    if (!maskOutside || screen.width <= 0 || screen.height <= 0)
        return mask;
    const auto W = static_cast<uint64_t>(screen.width);
    const auto H = static_cast<uint64_t>(screen.height);
    auto scaled = [](int64_t pixels, uint64_t size) {
        if (pixels < 0)
            return 0;
        const uint64_t logical = static_cast<uint64_t>(pixels) * kLogicalSpan / size;
        return static_cast<int32_t>(std::min<uint64_t>(logical, kLogicalMax));
    };
    mask.x0 = scaled(window.x, W);
    mask.y0 = scaled(window.y, H);
    mask.x1 = scaled(int64_t{window.x} + window.width, W);
    mask.y1 = scaled(int64_t{window.y} + window.height, H);
    return mask;
}

}  // namespace oculant
