#include "protocol/TouchRecord.h"

#include <algorithm>
#include <cstring>

namespace oculant {
namespace {

int16_t readS16(const uint8_t* p) { return int16_t(uint16_t(p[0] | (p[1] << 8))); }

TouchRecord decodeRecord(const uint8_t* bytes)
{
    TouchRecord r;
    r.x = readS16(bytes);
    r.y = readS16(bytes + 2);
    r.width = readS16(bytes + 4);
    r.height = readS16(bytes + 6);
    r.id = bytes[8];
    r.state = bytes[9];
    return r;
}

}  // namespace

TouchReport parseTouchReport(const uint8_t* payload, size_t length)
{
    TouchReport report;
    if (length == 0)
        return report;
    report.announced = payload[0];
    report.count = uint8_t(std::min<size_t>(report.announced, kMaxTouchRecords));
    for (size_t i = 0; i < report.count && kTouchRecordBytes * i + 1 < length; ++i) {
        const size_t start = kTouchRecordBytes * i + 1;
        uint8_t bytes[kTouchRecordBytes] = {};
        std::memcpy(bytes, payload + start, std::min(kTouchRecordBytes, length - start));
        report.records[i] = decodeRecord(bytes);
        report.parsed = i + 1;
    }
    return report;
}

}  // namespace oculant
