#pragma once
// Touch reports (content type 3): a count byte, then records of 10 bytes each.

#include <array>
#include <cstddef>
#include <cstdint>

namespace oculant {

// One touch as the frame reports it, in logical units (0 … 32767 across the axis).
struct TouchRecord {
    int16_t x = 0;
    int16_t y = 0;
    int16_t width = 0;
    int16_t height = 0;
    uint8_t id = 0;
    uint8_t state = 0;  // 9 contact, 8 release

    bool operator==(const TouchRecord&) const = default;
};

inline constexpr size_t kTouchRecordBytes = 10;
// The handlers' tables hold 32 records.
inline constexpr size_t kMaxTouchRecords = 32;
using TouchTable = std::array<TouchRecord, kMaxTouchRecords>;

struct TouchReport {
    uint8_t announced = 0;  // the count byte as received
    uint8_t count = 0;      // the count byte clamped to 32: what the handlers are given
    size_t parsed = 0;      // records taken from the payload
    TouchTable records{};   // zero beyond the parsed ones
};

// Parses a touch payload (count byte first). Record i is taken while i < count byte, i < 32 and
// it starts inside the payload (10 i + 1 < length). A last record cut short by the payload's end
// keeps the bytes present and has zero in the missing ones. An empty payload gives no record.
TouchReport parseTouchReport(const uint8_t* payload, size_t length);

}  // namespace oculant
