#pragma once
// From the main items of one top-level collection to the capabilities the Windows HID parser
// reports for it. The descriptor parser (HidDescriptor.cpp) fills the layout; this part only
// counts.

#include <cstdint>
#include <string>
#include <vector>

#include "hid/HidDescriptor.h"

namespace oculant {

enum class HidReportType : uint8_t { Input, Output, Feature };

// One usage or usage range of a main item, its page already resolved.
struct HidUsage {
    uint16_t page = 0;
    uint16_t first = 0;  // the usage, or Usage Minimum
    uint16_t last = 0;   // Usage Maximum; equal to first for a single usage
    bool isRange = false;
    bool aliasOfNext = false;  // in a delimiter set: every usage but the set's last
};

// Main item data bits (HID 1.11 section 6.2.2.5).
constexpr uint32_t kHidMainConstant = 0x01;
constexpr uint32_t kHidMainVariable = 0x02;

// One Input, Output or Feature item with the global and local state it was declared in.
struct HidMainField {
    HidReportType type = HidReportType::Input;
    uint8_t reportId = 0;
    uint32_t reportSize = 0;   // bits per field
    uint32_t reportCount = 0;  // fields
    uint32_t flags = 0;
    std::vector<HidUsage> usages;
};

struct HidCollectionLayout {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    std::vector<HidMainField> fields;  // in descriptor order
};

// The largest report a caps structure can state: its byte length, report-id byte included,
// is 16 bits wide.
constexpr uint64_t kMaxReportDataBytes = 0xFFFF - 1;

// Caps of one main item, as Windows counts them.
bool isButtonField(const HidMainField& field);
bool isPaddingField(const HidMainField& field);
size_t capCount(const HidMainField& field);

// Fills caps from the layout; refuses (false, error) a report too long for a caps structure.
bool buildCollectionCaps(const HidCollectionLayout& layout, HidCollectionCaps& caps, std::string& error);

}  // namespace oculant
