#include "hid/HidCaps.h"

#include <algorithm>
#include <array>
#include <map>

namespace oculant {
namespace {

// Caps of a Variable item: usages are handed to the fields in declaration order and only as
// many as the fields need are kept; a range covers as many fields as it has usages, and the
// last kept usage also covers any fields left over (a usage value array). Every usage of a
// delimiter set (HID 1.11 section 6.2.2.8) is an alias of the same fields and gets a cap of
// its own, as Windows lists aliases.
size_t variableCapCount(const HidMainField& field)
{
    uint64_t remaining = field.reportCount;
    size_t caps = 0;
    size_t i = 0;
    while (i < field.usages.size() && remaining > 0) {
        size_t last = i;
        while (last + 1 < field.usages.size() && field.usages[last].aliasOfNext)
            ++last;
        caps += last - i + 1;
        const HidUsage& u = field.usages[last];
        const uint64_t span = u.isRange ? uint64_t(u.last) - u.first + 1 : 1;
        remaining = span >= remaining ? 0 : remaining - span;
        i = last + 1;
    }
    return caps;
}

std::vector<uint8_t>& capList(HidCollectionCaps& caps, HidReportType type, bool button)
{
    switch (type) {
    case HidReportType::Input: return button ? caps.inputButtonCapReportIds : caps.inputValueCapReportIds;
    case HidReportType::Output: return button ? caps.outputButtonCapReportIds : caps.outputValueCapReportIds;
    case HidReportType::Feature: break;
    }
    return button ? caps.featureButtonCapReportIds : caps.featureValueCapReportIds;
}

uint16_t& lengthOf(HidCollectionCaps& caps, HidReportType type)
{
    switch (type) {
    case HidReportType::Input: return caps.inputReportByteLength;
    case HidReportType::Output: return caps.outputReportByteLength;
    case HidReportType::Feature: break;
    }
    return caps.featureReportByteLength;
}

const char* typeName(HidReportType type)
{
    switch (type) {
    case HidReportType::Input: return "input";
    case HidReportType::Output: return "output";
    case HidReportType::Feature: break;
    }
    return "feature";
}

// Report byte length: the longest report of the type over its report ids, in whole bytes, plus
// the report-id byte, which Windows counts whether or not the device numbers its reports.
bool fillReportLengths(const HidCollectionLayout& layout, HidCollectionCaps& caps, std::string& error)
{
    std::array<std::map<uint8_t, uint64_t>, 3> bits;  // per report type: report id -> bits
    for (const HidMainField& f : layout.fields)
        bits[size_t(f.type)][f.reportId] += uint64_t(f.reportSize) * f.reportCount;
    for (HidReportType type : {HidReportType::Input, HidReportType::Output, HidReportType::Feature}) {
        for (const auto& [id, n] : bits[size_t(type)]) {
            const uint64_t bytes = (n + 7) / 8;
            if (bytes > kMaxReportDataBytes) {
                error = std::string(typeName(type)) + " report " + std::to_string(id) + " is " +
                        std::to_string(bytes) + " bytes long, more than a HID report can hold";
                return false;
            }
            uint16_t& length = lengthOf(caps, type);
            length = std::max<uint16_t>(length, uint16_t(bytes + 1));
        }
    }
    return true;
}

}  // namespace

// HID 1.11 section 6.2.2.5: an Array item reports indexes of usages, i.e. buttons; a Variable
// item of one bit is an on/off control. Windows lists both as button caps, the rest as values.
bool isButtonField(const HidMainField& field)
{
    return (field.flags & kHidMainVariable) == 0 || field.reportSize == 1;
}

// Padding (HID 1.11 section 6.2.2.9): no usage, or a constant item whose only usage is 0
// (Undefined). A field of zero bits carries nothing either.
bool isPaddingField(const HidMainField& field)
{
    if (field.usages.empty() || field.reportSize == 0 || field.reportCount == 0)
        return true;
    const HidUsage& u = field.usages.front();
    return (field.flags & kHidMainConstant) && field.usages.size() == 1 && !u.isRange && u.first == 0;
}

// An Array item gets one cap per usage or range it may report, whatever its report count.
size_t capCount(const HidMainField& field)
{
    if (isPaddingField(field))
        return 0;
    if ((field.flags & kHidMainVariable) == 0)
        return field.usages.size();
    return variableCapCount(field);
}

bool buildCollectionCaps(const HidCollectionLayout& layout, HidCollectionCaps& caps, std::string& error)
{
    caps = HidCollectionCaps{};
    caps.usagePage = layout.usagePage;
    caps.usage = layout.usage;
    for (const HidMainField& f : layout.fields) {
        std::vector<uint8_t>& list = capList(caps, f.type, isButtonField(f));
        list.insert(list.end(), capCount(f), f.reportId);
        if (f.reportId != 0)
            caps.usesReportIds = true;
    }
    return fillReportLengths(layout, caps, error);
}

}  // namespace oculant
