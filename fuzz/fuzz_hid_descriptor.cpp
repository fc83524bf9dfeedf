// Report descriptors come from the device (HIDIOCGRDESC, sysfs report_descriptor) and from
// files given to `oculant-cli caps` (binary or hex text). Each input is taken both ways: as the
// descriptor's bytes, and as the content of a descriptor file.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/JsonText.h"
#include "hid/CapsText.h"
#include "hid/HidDescriptor.h"
#include "hid/HidDescriptorText.h"
#include "fuzz/FuzzCheck.h"

namespace {

using namespace oculant;

void checkDescriptor(const uint8_t* data, size_t size)
{
    const HidDescriptorResult result = parseReportDescriptor(data, size);
    if (!result.ok) {
        FUZZ_REQUIRE(!result.error.empty());
        return;
    }
    for (const HidCollectionCaps& caps : result.collections) {
        // The rule and its explanation must agree: a mismatch always names its reason.
        FUZZ_REQUIRE(matchesFrameRule(caps) == frameRuleMismatch(caps).empty());
        // A report that carries caps has bytes; with report ids every length counts the id byte.
        if (!caps.inputButtonCapReportIds.empty() || !caps.inputValueCapReportIds.empty())
            FUZZ_REQUIRE(caps.inputReportByteLength >= 1);
        if (!caps.outputButtonCapReportIds.empty() || !caps.outputValueCapReportIds.empty())
            FUZZ_REQUIRE(caps.outputReportByteLength >= 1);
        if (!caps.featureButtonCapReportIds.empty() || !caps.featureValueCapReportIds.empty())
            FUZZ_REQUIRE(caps.featureReportByteLength >= 1);
    }
    const std::string text = capsToText(result.collections);
    if (!result.collections.empty())
        FUZZ_REQUIRE(!text.empty());
    const auto json = capsToJson(result.collections);
    FUZZ_REQUIRE(json.size() == result.collections.size());
    FUZZ_REQUIRE(!jsonText(json).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    checkDescriptor(data, size);

    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const DescriptorBytes file = decodeDescriptorFile(content);
    if (!file.ok) {
        FUZZ_REQUIRE(!file.error.empty());
        return 0;
    }
    FUZZ_REQUIRE(!file.bytes.empty());
    // Hex text holds at least two digits per byte; binary content is taken as it stands.
    if (isHexDescriptorText(content))
        FUZZ_REQUIRE(file.bytes.size() * 2 <= size);
    else
        FUZZ_REQUIRE(file.bytes.size() == size);
    checkDescriptor(file.bytes.data(), file.bytes.size());
    return 0;
}
