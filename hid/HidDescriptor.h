#pragma once
// HID report-descriptor parsing: computes, for each top-level collection, the capabilities that
// the Windows HID parser reports (HidP_GetCaps and HidP_GetSpecific{Button,Value}Caps), which is
// what the frame match rule is stated in.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace oculant {

// Capabilities of one top-level collection. Report byte lengths include the report-id byte and
// are 0 where the collection has no report of that type. Each cap list holds one entry per
// capability, in the parser's order, giving that capability's report id (0 without report ids).
struct HidCollectionCaps {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t inputReportByteLength = 0;
    uint16_t outputReportByteLength = 0;
    uint16_t featureReportByteLength = 0;
    std::vector<uint8_t> inputButtonCapReportIds;
    std::vector<uint8_t> inputValueCapReportIds;
    std::vector<uint8_t> outputButtonCapReportIds;
    std::vector<uint8_t> outputValueCapReportIds;
    std::vector<uint8_t> featureButtonCapReportIds;
    std::vector<uint8_t> featureValueCapReportIds;
    // A main item of this collection carries a Report ID: its reports start with the id byte
    // on the wire (HID 1.11 section 6.2.2.7), as hidraw reads and writes them.
    bool usesReportIds = false;
};

struct HidDescriptorResult {
    bool ok = false;
    std::string error;  // why the descriptor was refused, when !ok
    std::vector<HidCollectionCaps> collections;
};

// Parses a whole report descriptor (one interface; it may hold several top-level collections).
// Truncated or absurd descriptors are refused with an error, never read out of bounds.
HidDescriptorResult parseReportDescriptor(const uint8_t* data, size_t size);
inline HidDescriptorResult parseReportDescriptor(const std::vector<uint8_t>& bytes)
{
    return parseReportDescriptor(bytes.data(), bytes.size());
}

// Whether the reports of an interface with this descriptor carry the report-id byte on the wire
// (HID 1.11 section 6.2.2.7: a Report ID anywhere puts it in front of every report). Where the
// descriptor cannot be parsed the answer is yes: reports are then passed on as they come.
// Without ids the tool stores a report behind a 0 byte, as Windows gives it: hidraw's reads get
// it added, a capture file keeps the report as the kernel gave it, and its replay adds it back.
bool reportsCarryIds(const std::vector<uint8_t>& descriptor);

// The frame match rule: output report byte length 63, vendor usage page 0xFF00, at least one
// output value cap and one input button cap. No vendor or product id is looked at.
bool matchesFrameRule(const HidCollectionCaps& caps);
// Why the rule does not match (the first condition that fails), or empty when it matches.
std::string frameRuleMismatch(const HidCollectionCaps& caps);

}  // namespace oculant
