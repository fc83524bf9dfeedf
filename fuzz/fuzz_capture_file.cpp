// Capture files come from the field or from other HID recording tools: text the user hands us.
// Beside the sanitizers: a refused capture leaves nothing behind and names its line; an
// accepted one keeps the kernel's limits and time order, and its own text reads back as the
// same capture. Its report descriptor goes on to the descriptor parser, as a replay does.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "backends/capture/CaptureFile.h"
#include "hid/HidDescriptor.h"
#include "fuzz/CaptureCompare.h"
#include "fuzz/FuzzCheck.h"

using namespace oculant;
using oculant::fuzz::sameCapture;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CaptureFile capture;
    std::string error;
    if (!parseCaptureText(text, capture, error)) {
        FUZZ_REQUIRE(error.rfind("line ", 0) == 0);
        FUZZ_REQUIRE(capture.events.empty() && capture.descriptor.empty() && capture.name.empty());
        return 0;
    }
    FUZZ_REQUIRE(capture.descriptor.size() <= kMaxCaptureDescriptorBytes);
    int64_t previous = 0;
    for (const CaptureEvent& e : capture.events) {
        FUZZ_REQUIRE(e.bytes.size() <= kMaxCaptureReportBytes);
        FUZZ_REQUIRE(e.timeUs >= previous);
        previous = e.timeUs;
    }

    const std::string written = formatCaptureText(capture);
    CaptureFile again;
    std::string againError;
    FUZZ_REQUIRE(parseCaptureText(written, again, againError));
    FUZZ_REQUIRE(sameCapture(capture, again, true));
    FUZZ_REQUIRE(formatCaptureText(again) == written);

    const HidDescriptorResult caps = parseReportDescriptor(capture.descriptor);
    FUZZ_REQUIRE(caps.ok || !caps.error.empty());
    return 0;
}
