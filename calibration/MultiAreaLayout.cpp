#include "calibration/MultiAreaLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "calibration/LenientNumber.h"
#include "calibration/TextFormat.h"
#include "i18n/TextKeys.h"

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

namespace {

using MmRect = std::array<float, 4>;  // x0, y0, x1, y1

bool hasArea(const MmRect& r) { return r[0] < r[2] && r[1] < r[3]; }

bool inside(const MmRect& r, float width, float height)
{
    return r[0] >= 0 && r[1] >= 0 && r[2] <= width && r[3] <= height;
}

bool overlap(const MmRect& a, const MmRect& b)
{
    return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3];
}

std::string rectLine(const textkeys::KeyFallback& k, const TextLookupOr& words, int area, const MmRect& r,
                     float width = 0, float height = 0)
{
    return fillIn(textOf(words, k), {formatInt(area + 1), formatFixed(r[0], 1), formatFixed(r[1], 1),
                                     formatFixed(r[2], 1), formatFixed(r[3], 1), formatFixed(width, 1),
                                     formatFixed(height, 1)}) +
           "\n";
}

}  // namespace

std::string layoutAreaRefusals(const MultiAreaLayout& layout, const TextLookupOr& words)
{
    using namespace textkeys::calwords;
    const int count = std::clamp(layout.areaCount, 0, MultiAreaLayout::kMaxAreas);
    std::string text;
    for (int i = 0; i < count; ++i) {
        const AreaRecord& a = layout.areas[size_t(i)];
        if (!hasArea(a.frameMm))
            text += rectLine(kAreaFrameEmpty, words, i, a.frameMm);
        else if (!inside(a.frameMm, layout.frameWidth, layout.frameHeight))
            text += rectLine(kAreaFrameOutside, words, i, a.frameMm, layout.frameWidth, layout.frameHeight);
        if (!hasArea(a.displayMm))
            text += rectLine(kAreaDisplayEmpty, words, i, a.displayMm);
        else if (!inside(a.displayMm, layout.displayWidth, layout.displayHeight))
            text += rectLine(kAreaDisplayOutside, words, i, a.displayMm, layout.displayWidth, layout.displayHeight);
    }
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            const AreaRecord& a = layout.areas[size_t(i)];
            const AreaRecord& b = layout.areas[size_t(j)];
            const auto pair = [&](const textkeys::KeyFallback& k) {
                return fillIn(textOf(words, k), {formatInt(i + 1), formatInt(j + 1)}) + "\n";
            };
            if (hasArea(a.frameMm) && hasArea(b.frameMm) && overlap(a.frameMm, b.frameMm))
                text += pair(kAreasOverlapFrame);
            if (hasArea(a.displayMm) && hasArea(b.displayMm) && overlap(a.displayMm, b.displayMm))
                text += pair(kAreasOverlapDisplay);
        }
    }
    return text;
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
