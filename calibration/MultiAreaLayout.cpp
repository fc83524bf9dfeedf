#include "calibration/MultiAreaLayout.h"

#include <cmath>
#include <limits>

#include "calibration/LenientNumber.h"
#include "calibration/TextFormat.h"

namespace oculant {
namespace {

float parseAndRewrite(std::string& text)
{
    const float value = readLeadingFloat(text);
    text = formatFixed(value, 1);
    return value;
}

// Truncation toward zero that saturates instead of overflowing.
int32_t truncToInt(float value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0f)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0f)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// A size of zero would make every scale infinite; its axis then maps to 0.
float scaleOver(float span, float size)
{
    const float scale = span / size;
    return std::isfinite(scale) ? scale : 0.0f;
}

}  // namespace

LayoutTexts builtInLayoutTexts()
{
    LayoutTexts texts;
    texts.edits = {"9200", "2819", "8621.6", "2819", "216.9", "0"};
    texts.rows = {
        {"0", "0", "3450", "2819", "0", "0", "3233.1", "2819"},
        {"3450", "0", "9200", "2819", "3233.1", "0", "8621.6", "2819"},
    };
    return texts;
}

LayoutRefresh refreshLayout(LayoutTexts& texts, int32_t windowWidth, int32_t windowHeight)
{
    LayoutRefresh result;
    if (texts.rows.size() > static_cast<size_t>(kMaxRefreshAreas)) {
        result.message = kTooManyAreas;
        return result;
    }
    MultiAreaLayout& layout = result.layout;
    layout.frameWidth = parseAndRewrite(texts.edits[LayoutTexts::kFrameX]);
    layout.frameHeight = parseAndRewrite(texts.edits[LayoutTexts::kFrameY]);
    layout.displayWidth = parseAndRewrite(texts.edits[LayoutTexts::kDisplayX]);
    layout.displayHeight = parseAndRewrite(texts.edits[LayoutTexts::kDisplayY]);
    layout.displayOffsetX = parseAndRewrite(texts.edits[LayoutTexts::kDisplayOffX]);
    layout.displayOffsetY = parseAndRewrite(texts.edits[LayoutTexts::kDisplayOffY]);
    layout.areaCount = static_cast<int32_t>(texts.rows.size());

    const float a = scaleOver(32768.0f, layout.frameWidth);
    const float b = scaleOver(32768.0f, layout.frameHeight);
    const float g = scaleOver(static_cast<float>(windowWidth), layout.displayWidth);
    const float h = scaleOver(static_cast<float>(windowHeight), layout.displayHeight);
    for (size_t i = 0; i < texts.rows.size(); ++i) {
        AreaRecord& area = layout.areas[i];
        for (size_t c = 0; c < 4; ++c) {
            area.frameMm[c] = parseAndRewrite(texts.rows[i][c]);
            area.displayMm[c] = parseAndRewrite(texts.rows[i][c + 4]);
        }
        // The display offsets do not enter the conversion.
        area.frameLogical = {truncToInt(a * area.frameMm[0]), truncToInt(b * area.frameMm[1]),
                             truncToInt(a * area.frameMm[2]), truncToInt(b * area.frameMm[3])};
        area.displayPixels = {truncToInt(g * area.displayMm[0]), truncToInt(h * area.displayMm[1]),
                              truncToInt(g * area.displayMm[2]), truncToInt(h * area.displayMm[3])};
    }
    result.accepted = true;
    return result;
}

bool addLayoutRow(LayoutTexts& texts, int selectedRow)
{
    if (texts.rows.size() >= static_cast<size_t>(kMaxGridAreas))
        return false;
    LayoutTexts::Row zeros;
    zeros.fill("0");
    const int areas = static_cast<int>(texts.rows.size());
    if (selectedRow >= 1 && selectedRow <= areas)
        texts.rows.insert(texts.rows.begin() + selectedRow, zeros);
    else
        texts.rows.push_back(zeros);
    return true;
}

std::optional<std::string> removeLayoutRow(LayoutTexts& texts, int selectedRow)
{
    const int areas = static_cast<int>(texts.rows.size());
    if (areas < 2)
        return std::nullopt;
    if (selectedRow < 1 || selectedRow > areas)
        return std::string(kSelectRowToRemove);
    texts.rows.erase(texts.rows.begin() + (selectedRow - 1));
    return std::nullopt;
}

}  // namespace oculant
