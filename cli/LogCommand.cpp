// oculant-cli log: what a recorded AD log holds, and each element's level against another log of
// the same frame (a log from the field against one made when the frame was new).
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <tuple>

#include "base/IniFile.h"
#include "base/JsonText.h"
#include "cli/Cli.h"
#include "signal/AdLogSummary.h"

namespace oculant::cli {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kUsage =
    "usage: oculant-cli log FILE [--compare BASE [--max-drop PERCENT]] [--x-boards N,N,...] [--y-boards N,N,...] "
    "[--json]\n";

std::string fixed(double v, int decimals = 1)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string familyText(uint8_t family)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", family);
    return text;
}

// "32,32,32,32,32": element counts of the boards along an axis, as a profile's XBoards.
bool parseBoards(const std::string& text, uint8_t& count, std::array<uint8_t, protocol::kMaxBoards>& elements)
{
    const std::vector<std::string> items = iniListItems(text);
    if (items.empty() || items.size() > protocol::kMaxBoards)
        return false;
    count = 0;
    for (const std::string& item : items) {
        char* end = nullptr;
        const long n = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || n < 1 || n > 255)
            return false;
        elements[count++] = uint8_t(n);
    }
    return true;
}

struct LogOptions {
    std::string file;
    std::optional<std::string> base;
    double maxDrop = kDefaultMaxDropPercent;
    BoardLayoutTable boards;
    bool json = false;
};

// What the board option gives, checked against the log's positions: a table that does not
// cover an axis names no board there rather than a wrong one.
void checkBoards(const LogOptions& o, const ScanLayout& layout, std::ostream& err)
{
    for (const auto& [axis, count, elements, positions] :
         {std::tuple{'X', o.boards.xBoards, &o.boards.xElements, layout.nX},
          std::tuple{'Y', o.boards.yBoards, &o.boards.yElements, layout.nY}}) {
        if (count == 0)
            continue;
        int sum = 0;
        for (int i = 0; i < count; ++i)
            sum += (*elements)[size_t(i)];
        if (sum != positions)
            err << "oculant-cli log: the " << axis << " boards hold " << sum << " elements, the log " << positions
                << " positions on " << axis << "\n";
    }
}

Json boardJson(const BoardLayoutTable& boards, int side, int position)
{
    const std::string board = elementBoard(boards, sideAxis(side), sideKind(side), position);
    return board.empty() ? Json(nullptr) : Json(board);
}

// "XEmit2 X emitter 40" or, without a board table, "X emitter 40".
std::string elementText(const BoardLayoutTable& boards, int side, int position)
{
    const std::string board = elementBoard(boards, sideAxis(side), sideKind(side), position);
    return (board.empty() ? "" : board + " ") + std::string(1, sideAxis(side)) + " " +
           std::string(kindText(sideKind(side))) + " " + std::to_string(position);
}

bool readLog(const std::string& path, AdLogSummary& summary, std::ostream& err)
{
    std::string error;
    if (!summarizeAdLog(path, summary, error)) {
        err << "oculant-cli log: " << error << "\n";
        return false;
    }
    if (summary.cutBlockLine)
        err << "oculant-cli log: " << path << " ends inside the block that begins at line " << summary.cutBlockLine
            << " (a copy cut short?): that block is left out\n";
    if (summary.levels.scans() == 0) {
        err << "oculant-cli log: " << path << " holds no live scan: no levels to show\n";
        return false;
    }
    return true;
}

Json summaryJson(const AdLogSummary& s, const LogOptions& o)
{
    Json j;
    j["file"] = s.path;
    j["family"] = familyText(s.family);
    j["version"] = s.versionLine;
    j["frames"] = s.frames;
    j["startBlocks"] = s.startBlocks;
    j["liveScans"] = s.liveScans;
    j["thresholds"] = s.thresholds;
    j["references"] = s.references;
    j["seconds"] = s.seconds ? Json(*s.seconds) : Json(nullptr);
    j["rate"] = s.seconds && *s.seconds > 0 ? Json(double(s.frames) / *s.seconds) : Json(nullptr);
    j["gaps"] = s.gapLines;
    j["layoutChanges"] = s.layoutChangeLines;
    j["checksumMismatches"] = s.checksumMismatches;
    j["cutBlockLine"] = s.cutBlockLine ? Json(s.cutBlockLine) : Json(nullptr);
    const ScanLayout& layout = s.levels.layout();
    j["positions"] = {{"X", layout.nX}, {"Y", layout.nY}};
    Json layers = Json::array();
    for (const LayerLevels& l : s.levels.layers())
        layers.push_back({{"axis", std::string(1, l.axis)}, {"layer", l.layer}, {"offset", l.offset},
                          {"beams", l.beams}, {"low", keptLevel(l.low)}, {"mean", keptLevel(l.mean)},
                          {"high", keptLevel(l.high)}});
    j["layers"] = std::move(layers);
    Json elements = Json::array();
    const ElementLevels e = s.levels.elements();
    for (int side = 0; side < kElementSides; ++side)
        for (size_t p = 0; p < e.sides[size_t(side)].size(); ++p) {
            const auto& level = e.sides[size_t(side)][p];
            elements.push_back({{"axis", std::string(1, sideAxis(side))},
                                {"kind", std::string(kindText(sideKind(side)))},
                                {"position", p},
                                {"board", boardJson(o.boards, side, int(p))},
                                {"level", level ? Json(keptLevel(*level)) : Json(nullptr)}});
        }
    j["elements"] = std::move(elements);
    return j;
}

void printSummary(const AdLogSummary& s, std::ostream& out)
{
    const ScanLayout& layout = s.levels.layout();
    out << s.path << ": AD log of signal family " << familyText(s.family) << " (" << s.versionLine << ")\n";
    out << "Layout: X " << layout.nX << " positions in " << layout.bX() << " layers, Y " << layout.nY
        << " positions in " << layout.bY() << " layers\n";
    out << "Frames: " << s.frames << " (" << s.liveScans << " live scans, " << s.thresholds << " thresholds, "
        << s.references << " references) after " << s.startBlocks << " start blocks\n";
    if (s.seconds)
        out << "Duration: " << fixed(*s.seconds) << " s"
            << (*s.seconds > 0 ? ", " + fixed(double(s.frames) / *s.seconds) + " frames/s" : std::string())
            << " (from the start in its name to its last change)\n";
    else
        out << "Duration: unknown (the log keeps no clock, and its name is not its start time)\n";
    out << "Gaps: ";
    if (s.gapLines.empty())
        out << "none";
    for (size_t i = 0; i < s.gapLines.size(); ++i)
        out << (i ? ", " : "") << "line " << s.gapLines[i];
    out << (s.gapLines.empty() ? "\n" : " (the stream started again there)\n");
    if (!s.layoutChangeLines.empty())
        out << "Layout changes: " << s.layoutChangeLines.size() << ", the last at line " << s.layoutChangeLines.back()
            << "; the levels are those of the last layout\n";
    if (s.checksumMismatches)
        out << "Checksum rows that are not the sum of their block: " << s.checksumMismatches << "\n";
    out << "Clear level per layer over " << s.levels.scans() << " live scans (lowest / mean / highest):\n";
    for (const LayerLevels& l : s.levels.layers())
        out << "  " << l.axis << l.layer << " (offset " << l.offset << ", " << l.beams
            << " beams): " << fixed(l.low) << " / " << fixed(l.mean) << " / " << fixed(l.high) << "\n";
}

int compare(const LogOptions& o, CommandContext& ctx)
{
    AdLogSummary now, base;
    // A file that cannot be read gives no verdict: 1 means findings here.
    if (!readLog(o.file, now, ctx.err) || !readLog(*o.base, base, ctx.err))
        return kExitNoVerdict;
    const LevelComparison c =
        compareLevels(base.levels.elements(), o.base->c_str(), now.levels.elements(), o.file, o.maxDrop);
    if (!c.layoutDifference.empty()) {
        ctx.err << "oculant-cli log: the layouts differ: " << c.layoutDifference << "\n";
        if (o.json)
            ctx.out << jsonText(Json{{"file", o.file}, {"base", *o.base}, {"layoutDifference", c.layoutDifference}})
                    << "\n";
        return kExitUsage;
    }
    checkBoards(o, now.levels.layout(), ctx.err);
    if (o.json) {
        Json findings = Json::array();
        for (const LevelDrop& d : c.drops)
            findings.push_back({{"axis", std::string(1, sideAxis(d.side))},
                                {"kind", std::string(kindText(sideKind(d.side)))},
                                {"position", d.position},
                                {"board", boardJson(o.boards, d.side, d.position)},
                                {"baseLevel", keptLevel(d.baseLevel)},
                                {"level", keptLevel(d.level)},
                                {"dropPercent", keptLevel(d.dropPercent)}});
        ctx.out << jsonText(Json{{"file", o.file},
                                 {"base", *o.base},
                                 {"maxDropPercent", o.maxDrop},
                                 {"compared", c.compared},
                                 {"largestDropPercent", keptLevel(c.largestDrop)},
                                 {"findings", std::move(findings)}})
                << "\n";
    } else {
        ctx.out << o.file << " against " << *o.base << ": " << c.compared << " elements, ";
        if (c.drops.empty())
            ctx.out << "none fell by more than " << fixed(o.maxDrop) << " % (the most " << fixed(c.largestDrop)
                    << " %)\n";
        else
            ctx.out << c.drops.size() << " fell by more than " << fixed(o.maxDrop) << " %:\n";
        for (const LevelDrop& d : c.drops)
            ctx.out << "  " << elementText(o.boards, d.side, d.position) << ": " << fixed(d.baseLevel) << " -> "
                    << fixed(d.level) << " (-" << fixed(d.dropPercent) << " %)\n";
    }
    return c.drops.empty() ? kExitOk : kExitFailed;
}

}  // namespace

int runLog(CommandContext& ctx)
{
    LogOptions o;
    o.base = ctx.options.value("compare");
    const std::optional<std::string> maxDrop = ctx.options.value("max-drop");
    const std::optional<std::string> xBoards = ctx.options.value("x-boards");
    const std::optional<std::string> yBoards = ctx.options.value("y-boards");
    o.json = ctx.options.has("json");
    if (ctx.args.size() != 1) {
        ctx.err << "oculant-cli log: "
                << (ctx.args.empty() ? std::string("which log? give its file")
                                     : "unexpected argument '" + ctx.args[ctx.args.size() > 1 ? 1 : 0] + "'")
                << "\n" << kUsage;
        return kExitUsage;
    }
    o.file = ctx.args[0];
    if (maxDrop) {
        if (!o.base) {
            ctx.err << "oculant-cli log: --max-drop goes with --compare BASE\n" << kUsage;
            return kExitUsage;
        }
        char* end = nullptr;
        o.maxDrop = std::strtod(maxDrop->c_str(), &end);
        if (maxDrop->empty() || *end != '\0' || !(o.maxDrop >= 0 && o.maxDrop <= 100)) {
            ctx.err << "oculant-cli log: --max-drop wants a percentage of 0 to 100, not '" << *maxDrop << "'\n";
            return kExitUsage;
        }
    }
    for (const auto& [name, value, count, elements] :
         {std::tuple{"--x-boards", &xBoards, &o.boards.xBoards, &o.boards.xElements},
          std::tuple{"--y-boards", &yBoards, &o.boards.yBoards, &o.boards.yElements}})
        if (*value && !parseBoards(**value, *count, *elements)) {
            ctx.err << "oculant-cli log: " << name << " wants the element count of each board, such as "
                    << "32,32,32,32,32 (1 to 255 each, at most " << protocol::kMaxBoards << " boards), not '"
                    << **value << "'\n";
            return kExitUsage;
        }
    o.boards.valid = xBoards || yBoards;
    if (o.base)
        return compare(o, ctx);
    AdLogSummary summary;
    if (!readLog(o.file, summary, ctx.err))
        return kExitFailed;
    checkBoards(o, summary.levels.layout(), ctx.err);
    if (o.json)
        ctx.out << jsonText(summaryJson(summary, o)) << "\n";
    else
        printSummary(summary, ctx.out);
    return kExitOk;
}

}  // namespace oculant::cli
