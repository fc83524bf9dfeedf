#pragma once
// The record of one attached frame interface, as the scan lists it.

#include <cstdint>
#include <string>

namespace oculant {

struct QuillonDevice {
    std::string path;  // the record's identity, compared as text
    uint16_t productId = 0;
    uint16_t vendorId = 0;
    uint8_t inputReportId = 0;       // report id of the first input button cap
    uint8_t outputReportId = 0;      // report id of the first output value cap
    uint8_t outputReportLength = 0;  // low byte of the output report byte length (63)
    uint16_t inputReportByteLength = 0;
    uint16_t outputReportByteLength = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    bool present = false;  // seen by the latest scan
    bool isNew = false;    // listed by a scan and not yet tried by the connection probe
};

}  // namespace oculant
