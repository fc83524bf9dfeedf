#include "signal/ElementLevels.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <tuple>

#include "signal/SignalStore.h"

namespace oculant {
namespace {

constexpr std::string_view kSideKeys[kElementSides] = {"XE", "XR", "YE", "YR"};
constexpr std::string_view kEncodingVersion = "1";

std::string offsetsText(const std::vector<int16_t>& offsets)
{
    std::string text;
    for (int16_t o : offsets)
        text += (text.empty() ? "" : ", ") + std::to_string(o);
    return text;
}

// Two decimals, without trailing zeros: "200", "199.5", "173.33".
void appendLevel(std::string& out, double level)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", level);
    std::string_view v(text);
    while (v.back() == '0')
        v.remove_suffix(1);
    if (v.back() == '.')
        v.remove_suffix(1);
    out += v;
}

std::string levelText(double level)
{
    std::string text;
    appendLevel(text, level);
    return text;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> items;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        items.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return items;
        start = end + 1;
    }
}

template <typename T>
bool parseNumber(std::string_view text, T& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// "X=160:0,4,-4"
bool parseAxis(std::string_view item, char axis, uint16_t& positions, std::vector<int16_t>& offsets)
{
    if (item.size() < 3 || item[0] != axis || item[1] != '=')
        return false;
    const size_t colon = item.find(':');
    if (colon == std::string_view::npos || !parseNumber(item.substr(2, colon - 2), positions))
        return false;
    offsets.clear();
    for (std::string_view o : split(item.substr(colon + 1), ',')) {
        int16_t v = 0;
        if (!parseNumber(o, v))
            return false;
        offsets.push_back(v);
    }
    return offsets.size() <= size_t(kMaxLayersPerAxis);
}

}  // namespace

ScanLayout ScanLayout::of(const SignalStore& store)
{
    ScanLayout l;
    l.nX = store.nX();
    l.nY = store.nY();
    for (int i = 0; i < store.bX(); ++i)
        l.xOffsets.push_back(store.xOffset(i));
    for (int j = 0; j < store.bY(); ++j)
        l.yOffsets.push_back(store.yOffset(j));
    return l;
}

ScanLayout ScanLayout::of(const FrameHeader& header)
{
    ScanLayout l;
    l.nX = header.nX;
    l.nY = header.nY;
    for (int i = 0; i < header.bX; ++i)
        l.xOffsets.push_back(header.xOffset(i));
    for (int j = 0; j < header.bY; ++j)
        l.yOffsets.push_back(header.yOffset(j));
    return l;
}

std::string layoutDifference(const ScanLayout& a, std::string_view aName, const ScanLayout& b,
                             std::string_view bName)
{
    std::string why;
    auto add = [&](const std::string& part) { why += (why.empty() ? "" : "; ") + part; };
    const std::string in = std::string(" in ") + std::string(aName) + ", ";
    const std::string inB = std::string(" in ") + std::string(bName);
    for (const auto& [axis, na, nb, oa, ob] :
         {std::tuple{'X', a.nX, b.nX, &a.xOffsets, &b.xOffsets}, std::tuple{'Y', a.nY, b.nY, &a.yOffsets, &b.yOffsets}}) {
        const std::string name(1, axis);
        if (na != nb)
            add(name + ": " + std::to_string(na) + " positions" + in + std::to_string(nb) + inB);
        if (oa->size() != ob->size())
            add(name + ": " + std::to_string(oa->size()) + " layers" + in + std::to_string(ob->size()) + inB);
        else if (*oa != *ob)
            add(name + ": layer offsets " + offsetsText(*oa) + in + offsetsText(*ob) + inB);
    }
    return why;
}

std::string_view kindText(ElementKind kind) { return kind == ElementKind::Emitter ? "emitter" : "receiver"; }

void LevelAccumulator::addScan(const ScanLayout& layout, const uint8_t* samples)
{
    if (!(layout == layout_) || scans_ == 0) {
        layout_ = layout;
        beams_.clear();
        scans_ = 0;
        size_t sample = 0;
        int row = 0;
        for (const auto& [offsets, n] : {std::pair{&layout.xOffsets, int(layout.nX)}, {&layout.yOffsets, int(layout.nY)}})
            for (int16_t offset : *offsets) {
                for (int p = 0; p < n; ++p, ++sample)
                    if (layerHasBeam(p, offset, n))
                        beams_.push_back({row, p, sample});
                ++row;
            }
    }
    for (Beam& b : beams_) {
        const uint32_t level = samples[b.sample];
        b.low = std::min(b.low, level);
        b.high = std::max(b.high, level);
        b.sum += level;
    }
    ++scans_;
}

ElementLevels LevelAccumulator::elements() const
{
    ElementLevels e;
    e.layout = layout_;
    struct Sum {
        double total = 0;
        int layers = 0;
    };
    std::array<std::vector<Sum>, kElementSides> sums;
    for (int side = 0; side < kElementSides; ++side)
        sums[size_t(side)].resize(sideAxis(side) == 'X' ? layout_.nX : layout_.nY);
    for (const Beam& b : beams_) {
        const bool x = b.row < layout_.bX();
        const int16_t offset = x ? layout_.xOffsets[size_t(b.row)] : layout_.yOffsets[size_t(b.row - layout_.bX())];
        const double level = mean(b);
        // Byte k is the beam from emitter k + offset to receiver k.
        Sum& emitter = sums[x ? kXEmitters : kYEmitters][size_t(b.position + offset)];
        Sum& receiver = sums[x ? kXReceivers : kYReceivers][size_t(b.position)];
        for (Sum* s : {&emitter, &receiver}) {
            s->total += level;
            ++s->layers;
        }
    }
    for (int side = 0; side < kElementSides; ++side)
        for (const Sum& s : sums[size_t(side)])
            e.sides[size_t(side)].push_back(s.layers ? std::optional<double>(s.total / s.layers) : std::nullopt);
    return e;
}

std::vector<LayerLevels> LevelAccumulator::layers() const
{
    std::vector<LayerLevels> out;
    for (int row = 0; row < layout_.layerCount(); ++row) {
        LayerLevels l;
        const bool x = row < layout_.bX();
        l.axis = x ? 'X' : 'Y';
        l.layer = x ? row : row - layout_.bX();
        l.offset = x ? layout_.xOffsets[size_t(l.layer)] : layout_.yOffsets[size_t(l.layer)];
        out.push_back(l);
    }
    std::vector<double> totals(out.size());
    for (const Beam& b : beams_) {
        LayerLevels& l = out[size_t(b.row)];
        const double level = mean(b);
        l.low = l.beams ? std::min(l.low, level) : level;
        l.high = l.beams ? std::max(l.high, level) : level;
        totals[size_t(b.row)] += level;
        ++l.beams;
    }
    for (size_t i = 0; i < out.size(); ++i)
        if (out[i].beams)
            out[i].mean = totals[i] / out[i].beams;
    return out;
}

double keptLevel(double level) { return std::strtod(levelText(level).c_str(), nullptr); }

std::string encodeLevels(const ElementLevels& levels)
{
    std::string out(kEncodingVersion);
    out += ";X=" + std::to_string(levels.layout.nX) + ":";
    for (size_t i = 0; i < levels.layout.xOffsets.size(); ++i)
        out += (i ? "," : "") + std::to_string(levels.layout.xOffsets[i]);
    out += ";Y=" + std::to_string(levels.layout.nY) + ":";
    for (size_t i = 0; i < levels.layout.yOffsets.size(); ++i)
        out += (i ? "," : "") + std::to_string(levels.layout.yOffsets[i]);
    for (int side = 0; side < kElementSides; ++side) {
        out += ';';
        out += kSideKeys[side];
        out += '=';
        const auto& values = levels.sides[size_t(side)];
        for (size_t i = 0; i < values.size(); ++i) {
            if (i)
                out += ',';
            if (values[i])
                appendLevel(out, *values[i]);
        }
    }
    return out;
}

std::optional<ElementLevels> decodeLevels(std::string_view text, std::string* error)
{
    auto fail = [&](const std::string& why) -> std::optional<ElementLevels> {
        if (error)
            *error = "element levels: " + why;
        return std::nullopt;
    };
    const std::vector<std::string_view> items = split(text, ';');
    if (items.size() != 3 + kElementSides || items[0] != kEncodingVersion)
        return fail("not of the form this tool writes");
    ElementLevels e;
    if (!parseAxis(items[1], 'X', e.layout.nX, e.layout.xOffsets) ||
        !parseAxis(items[2], 'Y', e.layout.nY, e.layout.yOffsets))
        return fail("the layout '" + std::string(items[1]) + ";" + std::string(items[2]) + "' cannot be read");
    for (int side = 0; side < kElementSides; ++side) {
        const std::string_view item = items[size_t(3 + side)];
        if (item.substr(0, 3) != std::string(kSideKeys[side]) + "=")
            return fail("no " + std::string(kSideKeys[side]) + "= where it belongs");
        const size_t positions = sideAxis(side) == 'X' ? e.layout.nX : e.layout.nY;
        const std::vector<std::string_view> values = split(item.substr(3), ',');
        if (values.size() != positions)
            return fail(std::string(kSideKeys[side]) + " holds " + std::to_string(values.size()) + " levels for " +
                        std::to_string(positions) + " positions");
        for (std::string_view v : values) {
            double level = 0;
            if (v.empty())
                e.sides[size_t(side)].push_back(std::nullopt);
            else if (parseNumber(v, level) && level >= 0 && level <= 255)
                e.sides[size_t(side)].push_back(level);
            else
                return fail("'" + std::string(v) + "' is no level");
        }
    }
    return e;
}

std::string elementBoard(const BoardLayoutTable& boards, char axis, ElementKind kind, int position)
{
    const bool x = axis == 'X';
    const int count = x ? boards.xBoards : boards.yBoards;
    int first = 0;
    for (int i = 0; i < count && i < int(protocol::kMaxBoards); ++i) {
        const int elements = x ? boards.xElements[size_t(i)] : boards.yElements[size_t(i)];
        if (position >= first && position < first + elements)
            return std::string(1, axis) + (kind == ElementKind::Emitter ? "Emit" : "Recv") + std::to_string(i + 1);
        first += elements;
    }
    return {};
}

LevelComparison compareLevels(const ElementLevels& base, std::string_view baseName, const ElementLevels& now,
                              std::string_view nowName, double maxDropPercent)
{
    LevelComparison c;
    c.layoutDifference = layoutDifference(now.layout, nowName, base.layout, baseName);
    if (!c.layoutDifference.empty())
        return c;
    for (int side = 0; side < kElementSides; ++side) {
        const auto& b = base.sides[size_t(side)];
        const auto& n = now.sides[size_t(side)];
        for (size_t p = 0; p < b.size() && p < n.size(); ++p) {
            if (!b[p] || !n[p])
                continue;
            ++c.compared;
            // A beam dark in the base (a fault it had then) gives no percentage to compare with.
            if (*b[p] <= 0)
                continue;
            const double drop = (*b[p] - *n[p]) / *b[p] * 100;
            c.largestDrop = std::max(c.largestDrop, drop);
            if (drop > maxDropPercent)
                c.drops.push_back({side, int(p), *b[p], *n[p], drop});
        }
    }
    return c;
}

}  // namespace oculant
