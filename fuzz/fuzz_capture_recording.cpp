// A whole recording as the other Linux HID tools write it: free text, unknown tags, several
// devices, CR LF, times that start late. Beside the sanitizers: a refused recording names its
// line and leaves no device behind; an accepted one holds at most the devices a recording may,
// each numbered once and within the kernel's limits, its first device is what a plain replay
// takes, and each device written out as a capture of its own reads back the same.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "backends/capture/CaptureFile.h"
#include "fuzz/CaptureCompare.h"
#include "fuzz/FuzzCheck.h"

using namespace oculant;
using oculant::fuzz::sameCapture;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)looksLikeCaptureText(text);
    std::vector<CaptureFile> devices;
    std::string error;
    CaptureFile first;
    std::string firstError;
    const bool firstOk = parseCaptureText(text, first, firstError);
    if (!parseCaptureDevices(text, devices, error)) {
        FUZZ_REQUIRE(error.rfind("line ", 0) == 0);
        FUZZ_REQUIRE(devices.empty());
        FUZZ_REQUIRE(!firstOk && firstError == error);
        return 0;
    }
    FUZZ_REQUIRE(!devices.empty() && devices.size() <= kMaxCaptureDevices);
    FUZZ_REQUIRE(firstOk && sameCapture(first, devices.front(), true));

    std::set<unsigned> numbers;
    for (const CaptureFile& d : devices) {
        FUZZ_REQUIRE(numbers.insert(d.device).second);
        FUZZ_REQUIRE(d.descriptor.size() <= kMaxCaptureDescriptorBytes);
        int64_t previous = d.events.empty() ? 0 : d.events.front().timeUs;
        for (const CaptureEvent& e : d.events) {
            FUZZ_REQUIRE(e.bytes.size() <= kMaxCaptureReportBytes);
            FUZZ_REQUIRE(e.timeUs >= previous);
            previous = e.timeUs;
        }
        const std::string written = formatCaptureText(d);
        std::vector<CaptureFile> again;
        std::string againError;
        FUZZ_REQUIRE(parseCaptureDevices(written, again, againError));
        FUZZ_REQUIRE(again.size() == 1 && sameCapture(d, again.front(), false));
        FUZZ_REQUIRE(formatCaptureText(again.front()) == written);
    }
    return 0;
}
