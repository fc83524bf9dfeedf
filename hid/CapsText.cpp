#include "hid/CapsText.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <sstream>

namespace oculant {
namespace {

std::string hex(unsigned value, int digits)
{
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex;
    s.width(digits);
    s.fill('0');
    s << value;
    return s.str();
}

// Report ids of a cap list, runs folded: "[0x14 x5, 0x1F]".
std::string idsText(const std::vector<uint8_t>& ids)
{
    std::string text;
    for (size_t i = 0; i < ids.size();) {
        size_t run = 1;
        while (i + run < ids.size() && ids[i + run] == ids[i])
            ++run;
        text += (text.empty() ? "" : ", ") + hex(ids[i], 2) + (run > 1 ? " x" + std::to_string(run) : "");
        i += run;
    }
    return " [" + text + "]";
}

std::string capsText(size_t count, const char* kind, const std::vector<uint8_t>& ids)
{
    return std::to_string(count) + " " + kind + (count == 1 ? " cap" : " caps") + (ids.empty() ? "" : idsText(ids));
}

void printReportLine(std::ostream& out, const char* type, unsigned length, const std::vector<uint8_t>& buttons,
                     const std::vector<uint8_t>& values)
{
    out << "  " << type << " report " << length << " bytes: " << capsText(buttons.size(), "button", buttons) << ", "
        << capsText(values.size(), "value", values) << "\n";
}

}  // namespace

nlohmann::ordered_json capsToJson(const std::vector<HidCollectionCaps>& collections)
{
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const HidCollectionCaps& c : collections) {
        nlohmann::ordered_json j;
        j["usage"] = c.usage;
        j["usagePage"] = c.usagePage;
        j["inputReportByteLength"] = c.inputReportByteLength;
        j["numberInputButtonCaps"] = c.inputButtonCapReportIds.size();
        j["numberInputValueCaps"] = c.inputValueCapReportIds.size();
        j["inputButtonCapReportIds"] = c.inputButtonCapReportIds;
        j["inputValueCapReportIds"] = c.inputValueCapReportIds;
        j["outputReportByteLength"] = c.outputReportByteLength;
        j["numberOutputButtonCaps"] = c.outputButtonCapReportIds.size();
        j["numberOutputValueCaps"] = c.outputValueCapReportIds.size();
        j["outputButtonCapReportIds"] = c.outputButtonCapReportIds;
        j["outputValueCapReportIds"] = c.outputValueCapReportIds;
        j["featureReportByteLength"] = c.featureReportByteLength;
        j["numberFeatureButtonCaps"] = c.featureButtonCapReportIds.size();
        j["numberFeatureValueCaps"] = c.featureValueCapReportIds.size();
        j["featureButtonCapReportIds"] = c.featureButtonCapReportIds;
        j["featureValueCapReportIds"] = c.featureValueCapReportIds;
        all.push_back(std::move(j));
    }
    return all;
}

std::string capsToText(const std::vector<HidCollectionCaps>& collections)
{
    std::ostringstream out;
    for (size_t i = 0; i < collections.size(); ++i) {
        const HidCollectionCaps& c = collections[i];
        out << "collection " << i + 1 << ": usage page " << hex(c.usagePage, 4) << ", usage " << hex(c.usage, 4)
            << (c.usesReportIds ? ", numbered reports" : "") << "\n";
        printReportLine(out, "input", c.inputReportByteLength, c.inputButtonCapReportIds, c.inputValueCapReportIds);
        printReportLine(out, "output", c.outputReportByteLength, c.outputButtonCapReportIds, c.outputValueCapReportIds);
        printReportLine(out, "feature", c.featureReportByteLength, c.featureButtonCapReportIds,
                        c.featureValueCapReportIds);
        const std::string mismatch = frameRuleMismatch(c);
        out << "  frame rule: " << (mismatch.empty() ? "match" : "no match (" + mismatch + ")") << "\n";
    }
    return out.str();
}

}  // namespace oculant
