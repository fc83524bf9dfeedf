// The report-descriptor parser: walks the items (HidItem.cpp) and keeps the global, local and
// collection state of HID 1.11 section 6.2.2, collecting each top-level collection's main
// items for the caps builder (HidCaps.cpp).
#include "hid/HidDescriptor.h"

#include <algorithm>
#include <optional>

#include "hid/HidCaps.h"
#include "hid/HidItem.h"

namespace oculant {
namespace {

// Limits against absurd descriptors. Real devices push once or twice and nest three or four
// collections deep; a report field wider than 256 bits is refused by Linux as well; a report
// count is 16 bits wide in a caps structure.
constexpr size_t kMaxPushDepth = 16;
constexpr size_t kMaxCollectionDepth = 32;
constexpr uint32_t kMaxReportSize = 256;
constexpr uint32_t kMaxReportCount = 0xFFFF;

// Global items (HID 1.11 section 6.2.2.7) that shape the caps; the rest are not kept.
struct GlobalState {
    uint32_t usagePage = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

// A Usage, Usage Minimum or Usage Maximum as written: four data bytes carry their own page in
// the high 16 bits (HID 1.11 section 6.2.2.8); shorter ones take the Usage Page in force at
// the main item.
struct RawUsage {
    uint32_t value = 0;
    bool extended = false;
};

struct LocalUsage {
    RawUsage first;
    RawUsage last;
    bool isRange = false;
    bool aliasOfNext = false;
};

// Local items apply to the next main item only and are then forgotten (HID 1.11 section 6.2.2.8).
struct LocalState {
    std::vector<LocalUsage> usages;
    std::optional<RawUsage> minimum;
    std::optional<RawUsage> maximum;
    bool inDelimiter = false;
    size_t delimiterStart = 0;  // index in usages of the open set's first usage
};

struct ParserState {
    GlobalState global;
    std::vector<GlobalState> pushed;
    LocalState local;
    std::vector<size_t> openCollections;  // offsets of the Collection items still open
    HidCollectionLayout layout;          // of the top-level collection being read
    std::vector<HidCollectionCaps> collections;
};

// 0x-prefixed upper-case hex with at least minDigits digits.
std::string hex(uint32_t value, int minDigits = 2)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0 || int(s.size()) < minDigits);
    return "0x" + s;
}

std::string at(const HidItem& item, const std::string& what)
{
    return "offset " + std::to_string(item.offset) + ": " + what;
}

RawUsage rawUsage(const HidItem& item)
{
    return RawUsage{item.data, item.dataSize == 4};
}

// HID 1.11 section 6.2.2.7. Push and Pop save and restore the whole global state, report id
// included.
std::string applyGlobal(ParserState& s, const HidItem& item)
{
    GlobalState& g = s.global;
    switch (item.tag) {
    case 0x0:
        if (item.data > 0xFFFF)
            return at(item, "Usage Page " + hex(item.data) + " is wider than 16 bits");
        g.usagePage = item.data;
        return {};
    case 0x7:
        if (item.data > kMaxReportSize)
            return at(item, "Report Size " + std::to_string(item.data) + " is above 256 bits");
        g.reportSize = item.data;
        return {};
    case 0x8:
        // Report ID 0 is reserved; a report id is one byte on the wire.
        if (item.data == 0 || item.data > 0xFF)
            return at(item, "Report ID " + std::to_string(item.data) + " is outside 1..255");
        g.reportId = uint8_t(item.data);
        return {};
    case 0x9:
        if (item.data > kMaxReportCount)
            return at(item, "Report Count " + std::to_string(item.data) + " is above 65535");
        g.reportCount = item.data;
        return {};
    case 0xA:
        if (s.pushed.size() >= kMaxPushDepth)
            return at(item, "Push nested deeper than " + std::to_string(kMaxPushDepth));
        s.pushed.push_back(g);
        return {};
    case 0xB:
        if (s.pushed.empty())
            return at(item, "Pop without Push");
        g = s.pushed.back();
        s.pushed.pop_back();
        return {};
    case 0x1: case 0x2: case 0x3: case 0x4: case 0x5: case 0x6:
        return {};  // logical and physical extents, units: no bearing on the caps
    default:
        // Tags 0xC-0xF are reserved; an unknown global could change every field after it.
        return at(item, "unknown Global item tag " + hex(item.tag, 1));
    }
}

// Usage Minimum and Usage Maximum pair up in either order into one range (HID 1.11 section
// 6.2.2.8). Ranges cannot be aliased, so none is accepted inside a delimiter set.
std::string addRangeEnd(ParserState& s, const HidItem& item, bool isMinimum)
{
    LocalState& l = s.local;
    const char* name = isMinimum ? "Usage Minimum" : "Usage Maximum";
    if (l.inDelimiter)
        return at(item, std::string(name) + " inside a delimiter set");
    std::optional<RawUsage>& end = isMinimum ? l.minimum : l.maximum;
    if (end)
        return at(item, std::string(name) + " given twice for one range");
    end = rawUsage(item);
    if (l.minimum && l.maximum) {
        l.usages.push_back({*l.minimum, *l.maximum, true, false});
        l.minimum.reset();
        l.maximum.reset();
    }
    return {};
}

// Delimiter 1 opens a set of alternative usages for the same control, 0 closes it
// (HID 1.11 section 6.2.2.8).
std::string applyDelimiter(ParserState& s, const HidItem& item)
{
    LocalState& l = s.local;
    if (item.data == 1) {
        if (l.inDelimiter)
            return at(item, "delimiter set opened inside another");
        l.inDelimiter = true;
        l.delimiterStart = l.usages.size();
        return {};
    }
    if (item.data == 0) {
        if (!l.inDelimiter)
            return at(item, "delimiter set closed but never opened");
        for (size_t i = l.delimiterStart; i + 1 < l.usages.size(); ++i)
            l.usages[i].aliasOfNext = true;
        l.inDelimiter = false;
        return {};
    }
    return at(item, "Delimiter " + std::to_string(item.data) + " is neither open (1) nor close (0)");
}

std::string applyLocal(ParserState& s, const HidItem& item)
{
    switch (item.tag) {
    case 0x0: s.local.usages.push_back({rawUsage(item), rawUsage(item), false, false}); return {};
    case 0x1: return addRangeEnd(s, item, true);
    case 0x2: return addRangeEnd(s, item, false);
    case 0xA: return applyDelimiter(s, item);
    default: return {};  // designator and string indexes: no bearing on the caps
    }
}

// The page of a usage: its own high 16 bits when written in four bytes, else the Usage Page in
// force at the main item (HID 1.11 section 6.2.2.8). A range takes one page for both ends.
std::string resolveUsage(const LocalUsage& u, uint32_t usagePage, HidUsage& out)
{
    const bool bothExtended = u.first.extended && u.last.extended;
    if (u.isRange && bothExtended && (u.first.value >> 16) != (u.last.value >> 16))
        return "usage range " + hex(u.first.value, 8) + ".." + hex(u.last.value, 8) + " crosses usage pages";
    if (u.first.extended)
        usagePage = u.first.value >> 16;
    else if (u.last.extended)
        usagePage = u.last.value >> 16;
    out.page = uint16_t(usagePage);
    out.first = uint16_t(u.first.value);
    out.last = uint16_t(u.last.value);
    out.isRange = u.isRange;
    out.aliasOfNext = u.aliasOfNext;
    if (u.isRange && out.first > out.last)
        return "Usage Minimum " + hex(out.first) + " is above Usage Maximum " + hex(out.last);
    return {};
}

// The usages a main item consumes, with their pages resolved; the local state must be complete.
std::string takeUsages(const ParserState& s, const HidItem& item, std::vector<HidUsage>& usages)
{
    const LocalState& l = s.local;
    if (l.inDelimiter)
        return at(item, "delimiter set still open at a main item");
    if (l.minimum)
        return at(item, "Usage Minimum without Usage Maximum");
    if (l.maximum)
        return at(item, "Usage Maximum without Usage Minimum");
    for (const LocalUsage& u : l.usages) {
        HidUsage resolved;
        const std::string error = resolveUsage(u, s.global.usagePage, resolved);
        if (!error.empty())
            return at(item, error);
        usages.push_back(resolved);
    }
    return {};
}

std::string addField(ParserState& s, const HidItem& item, HidReportType type, std::vector<HidUsage> usages)
{
    // HID 1.11 section 6.2.2.6: data items belong to an application collection.
    if (s.openCollections.empty())
        return at(item, "Input, Output or Feature item outside any collection");
    const GlobalState& g = s.global;
    s.layout.fields.push_back({type, g.reportId, g.reportSize, g.reportCount, item.data, std::move(usages)});
    return {};
}

std::string beginCollection(ParserState& s, const HidItem& item, const std::vector<HidUsage>& usages)
{
    if (s.openCollections.size() >= kMaxCollectionDepth)
        return at(item, "collections nested deeper than " + std::to_string(kMaxCollectionDepth));
    if (s.openCollections.empty()) {
        // A top-level collection is named by the Usage declared before it (HID 1.11 section
        // 6.2.2.6); one without a usage is reported as 0/0.
        s.layout = HidCollectionLayout{};
        if (!usages.empty()) {
            s.layout.usagePage = usages.front().page;
            s.layout.usage = usages.front().first;
        }
    }
    s.openCollections.push_back(item.offset);
    return {};
}

std::string endCollection(ParserState& s, const HidItem& item)
{
    if (s.openCollections.empty())
        return at(item, "End Collection without a Collection");
    s.openCollections.pop_back();
    if (!s.openCollections.empty())
        return {};
    HidCollectionCaps caps;
    std::string error;
    if (!buildCollectionCaps(s.layout, caps, error))
        return at(item, error);
    s.collections.push_back(std::move(caps));
    return {};
}

// HID 1.11 section 6.2.2.4. Every main item ends the scope of the local items before it.
std::string applyMain(ParserState& s, const HidItem& item)
{
    std::vector<HidUsage> usages;
    std::string error;
    const bool takesUsages = item.tag == 0x8 || item.tag == 0x9 || item.tag == 0xA || item.tag == 0xB;
    if (takesUsages)
        error = takeUsages(s, item, usages);
    s.local = LocalState{};
    if (!error.empty())
        return error;
    switch (item.tag) {
    case 0x8: return addField(s, item, HidReportType::Input, std::move(usages));
    case 0x9: return addField(s, item, HidReportType::Output, std::move(usages));
    case 0xB: return addField(s, item, HidReportType::Feature, std::move(usages));
    case 0xA: return beginCollection(s, item, usages);
    case 0xC: return endCollection(s, item);
    default: return {};  // reserved main tags carry no data fields
    }
}

std::string applyItem(ParserState& s, const HidItem& item)
{
    switch (item.type) {
    case HidItemType::Main: return applyMain(s, item);
    case HidItemType::Global: return applyGlobal(s, item);
    case HidItemType::Local: return applyLocal(s, item);
    case HidItemType::Reserved:
    case HidItemType::Long: break;  // no tags defined: skipped (HID 1.11 section 6.2.2.3)
    }
    return {};
}

HidDescriptorResult refuse(std::string error)
{
    HidDescriptorResult result;
    result.error = std::move(error);
    return result;
}

}  // namespace

HidDescriptorResult parseReportDescriptor(const uint8_t* data, size_t size)
{
    ParserState s;
    for (size_t offset = 0; offset < size;) {
        const HidItemRead read = readHidItem(data, size, offset);
        if (!read.ok)
            return refuse(read.error);
        const std::string error = applyItem(s, read.item);
        if (!error.empty())
            return refuse(error);
        offset += read.item.length;
    }
    if (!s.openCollections.empty())
        return refuse("collection opened at offset " + std::to_string(s.openCollections.front()) +
                      " is not closed by the end of the descriptor");
    if (s.collections.empty())
        return refuse(size == 0 ? "empty report descriptor" : "no top-level collection in the report descriptor");
    HidDescriptorResult result;
    result.ok = true;
    result.collections = std::move(s.collections);
    return result;
}

std::string frameRuleMismatch(const HidCollectionCaps& caps)
{
    if (caps.outputReportByteLength != 63)
        return "output report is " + std::to_string(caps.outputReportByteLength) + " bytes, not 63";
    if (caps.usagePage != 0xFF00)
        return "usage page " + hex(caps.usagePage, 4) + " is not the vendor page 0xFF00";
    if (caps.outputValueCapReportIds.empty())
        return "no output value caps";
    if (caps.inputButtonCapReportIds.empty())
        return "no input button caps";
    return {};
}

bool matchesFrameRule(const HidCollectionCaps& caps)
{
    return frameRuleMismatch(caps).empty();
}

bool reportsCarryIds(const std::vector<uint8_t>& descriptor)
{
    const HidDescriptorResult parsed = parseReportDescriptor(descriptor);
    if (!parsed.ok)
        return true;
    return std::any_of(parsed.collections.begin(), parsed.collections.end(),
                       [](const HidCollectionCaps& c) { return c.usesReportIds; });
}

}  // namespace oculant
