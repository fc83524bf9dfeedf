#include "backends/virtual/VirtualFrameProfile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numeric>
#include <sstream>

#include "protocol/Protocol.h"
#include "protocol/SignalFrameLayout.h"
#include "base/IniFile.h"

namespace oculant {

int VirtualFrameProfile::xPositions() const { return std::accumulate(xBoards.begin(), xBoards.end(), 0); }
int VirtualFrameProfile::yPositions() const { return std::accumulate(yBoards.begin(), yBoards.end(), 0); }

namespace {

// Reads one profile, collecting the first error with its line, section and key. Every key it
// reads is a key of the profile; whatever else the file holds is refused (checkStructure), so a
// misspelt key never leaves a frame healthy that was meant to be faulty. Names compare as the
// INI reader compares them.
class ProfileReader {
public:
    ProfileReader(const IniFile& ini, std::string name) : ini_(ini), name_(std::move(name)), entries_(ini.entries()) {}

    std::optional<std::string> value(const char* section, const char* key)
    {
        known_.emplace_back(section, key);
        return ini_.value(section, key);
    }

    // After every key was read: the first line that is not a key of the profile, or a key given
    // twice (in one section or in two of the same name: only the first would count).
    void checkStructure()
    {
        using Name = std::pair<std::string, std::string>;
        const auto same = [](const Name& a, const IniEntry& e, bool keyToo) {
            return sameIniName(a.first, e.section) && (!keyToo || sameIniName(a.second, e.key));
        };
        std::vector<Name> seen;
        for (const IniEntry& e : entries_) {
            const bool key = e.kind == IniEntry::Kind::Key;
            const auto in = [&](const std::vector<Name>& names) {
                return std::any_of(names.begin(), names.end(), [&](const Name& n) { return same(n, e, key); });
            };
            std::string problem;
            if (e.kind == IniEntry::Kind::Other)
                problem = "neither a [section] nor a key=value line";
            else if (!key && !in(known_))
                problem = "unknown section [" + e.section + "]";
            else if (key && e.section.empty())
                problem = "key '" + e.key + "' before the first section";
            else if (key && !in(known_))
                problem = "unknown key '" + e.key + "' in [" + e.section + "]";
            else if (key && in(seen))
                problem = "a second '" + e.key + "' in [" + e.section + "]";
            if (!problem.empty()) {
                error_ = name_ + " line " + std::to_string(e.line) + ": " + problem;
                return;
            }
            if (key)
                seen.emplace_back(e.section, e.key);
        }
    }

    template <typename T>
    void number(const char* section, const char* key, T& out, long long lo, long long hi)
    {
        std::optional<std::string> text = value(section, key);
        if (!text || text->empty())
            return;
        std::optional<long long> v = parseNumber(*text);
        if (!v || *v < lo || *v > hi)
            return fail(section, key, "'" + *text + "' is not a number from " + std::to_string(lo) + " to " + std::to_string(hi));
        out = T(*v);
    }

    void list(const char* section, const char* key, std::vector<int>& out, long long lo, long long hi)
    {
        std::optional<std::string> text = value(section, key);
        if (!text || text->empty())
            return;
        std::vector<int> values;
        for (const std::string& item : iniListItems(*text)) {
            std::optional<long long> v = parseNumber(item);
            if (!v || *v < lo || *v > hi)
                return fail(section, key, "'" + *text + "' must be a comma-separated list of numbers from " +
                                              std::to_string(lo) + " to " + std::to_string(hi));
            values.push_back(int(*v));
        }
        out = values;
    }

    void elements(const char* section, const char* key, std::vector<VirtualFrameProfile::Element>& out)
    {
        std::optional<std::string> text = value(section, key);
        if (!text || text->empty())
            return;
        std::vector<VirtualFrameProfile::Element> items;
        for (const std::string& item : iniListItems(*text)) {
            const size_t colon = item.find(':');
            std::optional<long long> index = colon == std::string::npos ? std::nullopt : parseNumber(item.substr(colon + 1));
            const char axis = item.empty() ? '?' : char(std::toupper(static_cast<unsigned char>(item[0])));
            if (colon != 1 || (axis != 'X' && axis != 'Y') || !index || *index < 0 || *index > 0xFFFF)
                return fail(section, key, "'" + item + "' must be an axis and a number, like X:17 or Y:3");
            items.push_back({axis, int(*index)});
        }
        out = items;
    }

    void real(const char* section, const char* key, double& out, double lo = -HUGE_VAL, double hi = HUGE_VAL)
    {
        std::optional<std::string> text = value(section, key);
        if (!text || text->empty())
            return;
        char* end = nullptr;
        const double v = std::strtod(text->c_str(), &end);
        if (end == text->c_str() || *end != '\0' || !std::isfinite(v))
            return fail(section, key, "'" + *text + "' is not a number");
        if (v < lo || v > hi)
            return fail(section, key, "'" + *text + "' is not a number from " + shortNumber(lo) + " to " + shortNumber(hi));
        out = v;
    }

    static std::string shortNumber(double v)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g", v);
        return text;
    }

    void text(const char* section, const char* key, std::string& out)
    {
        if (std::optional<std::string> v = value(section, key))
            out = *v;
    }

    std::optional<std::string> raw(const char* section, const char* key) { return value(section, key); }

    // `key` may name two keys ("XOffsets/YOffsets"): the line is the first one's the file has.
    void fail(const std::string& section, const std::string& key, const std::string& what)
    {
        if (!error_.empty())
            return;
        std::string line;
        for (size_t from = 0; line.empty() && from <= key.size();) {
            const size_t slash = std::min(key.find('/', from), key.size());
            const std::string one = key.substr(from, slash - from);
            const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const IniEntry& e) {
                return e.kind == IniEntry::Kind::Key && sameIniName(e.section, section) && sameIniName(e.key, one);
            });
            if (it != entries_.end())
                line = " line " + std::to_string(it->line);
            from = slash + 1;
        }
        error_ = name_ + line + ": [" + section + "] " + key + ": " + what;
    }
    const std::string& error() const { return error_; }

    static std::optional<long long> parseNumber(std::string s)
    {
        s.erase(0, s.find_first_not_of(" \t"));
        s.erase(s.find_last_not_of(" \t") + 1);
        if (s.empty())
            return std::nullopt;
        const bool negative = s[0] == '-';
        const std::string digits = negative ? s.substr(1) : s;
        const bool hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(digits.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
        if (errno != 0 || end == digits.c_str() + (hex ? 2 : 0) || *end != '\0')
            return std::nullopt;
        return negative ? -v : v;
    }

private:
    const IniFile& ini_;
    std::string name_;
    std::string error_;
    std::vector<IniEntry> entries_;                           // the file's lines
    std::vector<std::pair<std::string, std::string>> known_;  // every section and key the reader asked for
};

// "3:40,7:-25": target numbers from 1 (each once), pixels off along the screen's X.
void parseMisplacedTouches(ProfileReader& r, const std::string& text, std::vector<std::pair<int, int>>& out)
{
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const size_t colon = item.find(':');
        const auto target = colon == std::string::npos ? std::nullopt : ProfileReader::parseNumber(item.substr(0, colon));
        const auto pixels = colon == std::string::npos ? std::nullopt : ProfileReader::parseNumber(item.substr(colon + 1));
        if (!target || !pixels || *target < 1 || *target > 61 || *pixels < -10000 || *pixels > 10000) {
            r.fail("Fingers", "MisplacedTouches", "'" + item + "' must be TARGET:PIXELS, a target 1 to 61 and -10000 to 10000 pixels");
            return;
        }
        if (std::any_of(out.begin(), out.end(), [&](const auto& m) { return m.first == int(*target); })) {
            r.fail("Fingers", "MisplacedTouches", "target " + std::to_string(*target) + " is given twice");
            return;
        }
        out.emplace_back(int(*target), int(*pixels));
    }
}

bool parseIdentifier(const std::string& hex, std::array<uint8_t, 12>& out)
{
    if (hex.size() != 24)
        return false;
    for (size_t i = 0; i < 12; ++i) {
        char* end = nullptr;
        const std::string byte = hex.substr(2 * i, 2);
        const long v = std::strtol(byte.c_str(), &end, 16);
        if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(byte[0])))
            return false;
        out[i] = uint8_t(v);
    }
    return true;
}

}  // namespace

ProfileResult parseVirtualFrameProfile(const IniFile& ini, const std::string& name)
{
    ProfileResult result;
    VirtualFrameProfile& p = result.profile;
    ProfileReader r(ini, name);
    r.number("Frame", "ModelCode", p.modelCode, 0, 255);
    r.number("Frame", "HardwareVersion", p.hardwareVersion, 0, 0xFFFF);
    r.number("Frame", "SoftwareVersion", p.softwareVersion, 0, 0xFFFF);
    r.number("Frame", "FirmwareStatus", p.firmwareStatus, 0, 255);
    r.number("Frame", "FlashSizeCode", p.flashSizeCode, 0, 255);
    r.number("Frame", "RunFlags", p.runFlags, 0, 255);
    r.number("Frame", "ShipTime", p.shipTime, -1, 0x7FFFFFFF);
    if (std::optional<std::string> serial = r.raw("Frame", "Serial"))
        p.serial = (*serial == "none") ? std::nullopt : std::optional<std::string>(*serial);
    r.text("Frame", "ModelName", p.modelName);
    if (std::optional<std::string> id = r.raw("Frame", "Identifier"); id && !parseIdentifier(*id, p.identifier))
        r.fail("Frame", "Identifier", "'" + *id + "' must be 24 hex digits");
    r.number("Frame", "Frames", p.frames, 0, 255);
    r.number("Frame", "FeatureWord", p.featureWord, 0, 0xFFFFFFFFll);
    r.number("Frame", "VendorId", p.vendorId, 0, 0xFFFF);
    r.number("Frame", "ProductId", p.productId, 0, 0xFFFF);
    r.number("Frame", "ParamByte1", p.paramByte1, 0, 255);
    r.number("Frame", "ParamByte2", p.paramByte2, 0, 255);
    r.number("Frame", "AnswerInfo", p.answerInfo, 0, 1);

    r.list("Geometry", "XBoards", p.xBoards, 0, 255);
    r.list("Geometry", "YBoards", p.yBoards, 0, 255);
    r.list("Geometry", "XOffsets", p.xOffsets, -127, 127);
    r.list("Geometry", "YOffsets", p.yOffsets, -127, 127);
    r.number("Geometry", "Family", p.family, 0, 255);
    r.number("Geometry", "FrameRate", p.frameRate, 0, 1000);  // 0: unpaced
    r.number("Geometry", "ReferenceLevel", p.referenceLevel, 0, 255);
    r.number("Geometry", "Noise", p.noise, 0, 255);
    r.elements("Faults", "DeadEmitters", p.deadEmitters);
    r.elements("Faults", "DeadReceivers", p.deadReceivers);
    r.elements("Faults", "WeakEmitters", p.weakEmitters);
    r.elements("Faults", "WeakReceivers", p.weakReceivers);
    r.elements("Faults", "DarkBoards", p.darkBoards);
    r.number("Beams", "LevelSpread", p.levelSpreadPercent, 0, 100);
    r.number("Beams", "Ambient", p.ambient, 0, 255);
    r.real("Beams", "Drift", p.driftPerMinute, 0, 255);
    r.number("Beams", "Seed", p.seed, 0, 0xFFFFFFFFll);
    r.number("Faults", "WeakLevel", p.weakLevel, 0, 255);
    r.elements("Faults", "IntermittentEmitters", p.intermittentEmitters);
    r.elements("Faults", "IntermittentReceivers", p.intermittentReceivers);
    r.real("Faults", "IntermittentDuty", p.intermittentDuty, 0, 1);
    r.real("Faults", "FaultsAfterSeconds", p.faultsAfterSeconds, 0, 1e6);
    r.real("Faults", "ReportLoss", p.reportLoss, 0, 1);
    r.number("Faults", "StallAfterBytes", p.stallAfterBytes, -1, 0x7FFFFFFF);
    r.list("Faults", "ReportedXBoards", p.reportedXBoards, 0, 255);
    r.list("Faults", "ReportedYBoards", p.reportedYBoards, 0, 255);
    r.number("Faults", "Garbage", p.garbage, 0, 1);
    r.number("Faults", "GarbageSeed", p.garbageSeed, 0, 0xFFFFFFFFll);
    r.real("Screen", "ScaleX", p.screenScaleX);
    r.real("Screen", "ScaleY", p.screenScaleY);
    r.real("Screen", "RotationDeg", p.screenRotationDeg);
    r.real("Screen", "OffsetX", p.screenOffsetX);
    r.real("Screen", "OffsetY", p.screenOffsetY);
    if (std::optional<std::string> misplaced = r.raw("Fingers", "MisplacedTouches"))
        parseMisplacedTouches(r, *misplaced, p.misplacedTouches);
    if (r.error().empty() && (p.screenScaleX == 0 || p.screenScaleY == 0))
        r.fail("Screen", p.screenScaleX == 0 ? "ScaleX" : "ScaleY", "must not be 0");
    for (const auto& [list, key] : {std::pair{&p.deadEmitters, "DeadEmitters"}, {&p.deadReceivers, "DeadReceivers"},
                                    {&p.weakEmitters, "WeakEmitters"}, {&p.weakReceivers, "WeakReceivers"},
                                    {&p.intermittentEmitters, "IntermittentEmitters"},
                                    {&p.intermittentReceivers, "IntermittentReceivers"}})
        for (const auto& e : *list)
            if (r.error().empty() && e.index >= (e.axis == 'X' ? p.xPositions() : p.yPositions()))
                r.fail("Faults", key, "position " + std::to_string(e.index) + " is not on the " + e.axis + " axis");
    for (const auto& b : p.darkBoards)
        if (r.error().empty() && (b.index < 1 || size_t(b.index) > (b.axis == 'X' ? p.xBoards.size() : p.yBoards.size())))
            r.fail("Faults", "DarkBoards", std::string("board ") + b.axis + ":" + std::to_string(b.index) + " does not exist (boards count from 1)");
    // The beams run from layer 0 of each axis.
    if (r.error().empty() && (p.xOffsets.empty() || p.yOffsets.empty()))
        r.fail("Geometry", p.xOffsets.empty() ? "XOffsets" : "YOffsets", "needs at least one layer");
    if (r.error().empty()) {
        const FrameLayoutShape shape{p.family, p.xOffsets.size(), p.yOffsets.size(), size_t(p.xPositions()),
                                     size_t(p.yPositions()), p.xOffsets.back(), p.yOffsets.back()};
        if (const LayoutCheck check = checkFrameLayout(shape)) {
            const bool offsets = check.fault == LayoutFault::Layers || check.fault == LayoutFault::Boundary;
            const std::string axes = offsets ? "XOffsets/YOffsets" : "XBoards/YBoards";
            const std::string key = check.axis ? std::string(1, check.axis) + (offsets ? "Offsets" : "Boards") : axes;
            r.fail("Geometry", check.fault == LayoutFault::Family ? "Family" : key, check.reason);
        }
    }

    if (r.error().empty()) {
        const ParameterBlockImage image = buildParameterBlockImage(p);
        if (!image.ok)
            r.fail("Geometry", "XBoards/YBoards", image.error);
    }
    r.checkStructure();
    result.error = r.error();
    result.ok = result.error.empty();
    return result;
}

ProfileResult loadVirtualFrameProfile(const std::string& path)
{
    std::string error;
    std::optional<IniFile> ini = IniFile::load(path, &error);
    if (!ini) {
        ProfileResult result;
        result.error = error.empty() ? "cannot read profile " + path : error;
        return result;
    }
    return parseVirtualFrameProfile(*ini, path);
}

namespace {

// Encodes one axis: the most common count is the default, every other board an override.
bool encodeAxis(const std::vector<int>& boards, const char* axis, uint8_t* block, size_t countAt,
                size_t defaultAt, size_t overridesAt, std::string& error)
{
    if (boards.size() > protocol::kMaxBoards) {
        error = std::string(axis) + " has " + std::to_string(boards.size()) + " boards; at most 30 fit";
        return false;
    }
    std::map<int, int> frequency;
    for (int n : boards)
        ++frequency[n];
    int defaultCount = 0, best = 0;
    for (auto [count, times] : frequency)
        if (times > best || (times == best && count > defaultCount))
            defaultCount = count, best = times;
    block[countAt] = uint8_t(boards.size());
    block[defaultAt] = uint8_t(defaultCount);
    size_t pair = 0;
    for (size_t i = 0; i < boards.size(); ++i) {
        if (boards[i] == defaultCount)
            continue;
        // A count of 0 in an override pair means "unused", so a 0-element board cannot be
        // expressed unless 0 is the default.
        if (pair == protocol::kPbOverridePairs || boards[i] == 0) {
            error = std::string(axis) + " boards cannot be encoded: the parameter block holds one default "
                    "element count and at most six non-zero exceptions";
            return false;
        }
        block[overridesAt + 2 * pair] = uint8_t(i);
        block[overridesAt + 2 * pair + 1] = uint8_t(boards[i]);
        ++pair;
    }
    return true;
}

}  // namespace

ParameterBlockImage buildParameterBlockImage(const VirtualFrameProfile& p)
{
    ParameterBlockImage image;
    image.bytes.assign(256, 0);
    uint8_t* b = image.bytes.data();
    b[0] = p.frames;
    b[1] = p.paramByte1;
    b[2] = p.paramByte2;
    // Layer counts, for a reader that wants them (not used by the host today).
    b[3] = uint8_t(p.xOffsets.size());
    b[4] = uint8_t(p.yOffsets.size());
    const auto& xBoards = p.reportedXBoards.empty() ? p.xBoards : p.reportedXBoards;
    const auto& yBoards = p.reportedYBoards.empty() ? p.yBoards : p.reportedYBoards;
    if (!encodeAxis(xBoards, "X", b, protocol::kPbXBoardCount, protocol::kPbXDefaultElements,
                    protocol::kPbXOverrides, image.error) ||
        !encodeAxis(yBoards, "Y", b, protocol::kPbYBoardCount, protocol::kPbYDefaultElements,
                    protocol::kPbYOverrides, image.error))
        return image;
    image.ok = true;
    return image;
}

}  // namespace oculant
