#pragma once
// Builds signal frames byte for byte as the touch frame sends them (the whole frame, before it
// is split into input reports): kind byte, layout header, payload, checksum. The virtual frame
// streams with it; tests feed ProcessFrame with it.
//
//   FrameLayout layout;                       // family 0x10, 2 X layers of 300, 2 Y layers of 170
//   layout.family = kFamilyFullScan;
//   layout.nX = 300; layout.nY = 170;
//   layout.xOffsets = {0, 3}; layout.yOffsets = {0, -3};
//   SignalFrameBuilder builder(layout);
//   std::vector<uint8_t> scan = builder.liveScan(levels);          // levels: A bytes
//   std::vector<uint8_t> touch = builder.touchReport(2, {a, b});
//
// Sample data is always given as in a store plane: all X layer rows (nX bytes each), then all Y
// layer rows (nY bytes each), A = bX × nX + bY × nY bytes; for family 0x40 the boundary rows as
// in the payload: four X rows of (last X offset + 1) bytes, then four Y rows of (last Y
// offset + 1) bytes. Layouts and sample blocks that do not fit throw std::invalid_argument; the
// raw builders (frame, partialUpdate, touchReport's count byte) serialise whatever they are
// given, so that malformed frames can be built on purpose.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/SignalFrameLayout.h"
#include "protocol/TouchRecord.h"

namespace oculant {

struct FrameLayout {
    uint8_t family = kFamilyFullScan;
    uint8_t headerByte1 = 0;   // opaque header fields, carried into the log
    uint8_t headerByte2 = 0;
    uint16_t headerWord3 = 0;
    uint16_t nX = 1;
    uint16_t nY = 1;
    std::vector<int16_t> xOffsets{0};  // first offset set; bX = xOffsets.size()
    std::vector<int16_t> yOffsets{0};  // bY = yOffsets.size()
    // Second offset set of the long header (families 0x10, 0x30, 0x40); left empty it repeats the
    // first set. Ignored by family 0x00.
    std::vector<int16_t> xOffsets2;
    std::vector<int16_t> yOffsets2;

    size_t bX() const { return xOffsets.size(); }
    size_t bY() const { return yOffsets.size(); }
    // A: bytes of all layer rows.
    size_t sampleBlockLength() const { return bX() * nX + bY() * nY; }
    // Samples per boundary row of each axis (family 0x40): last offset of the axis + 1.
    size_t xBoundaryLength() const;
    size_t yBoundaryLength() const;
    // Bytes of the eight boundary rows for family 0x40, 0 for the other families.
    size_t boundaryBlockLength() const;
};

// A live-scan partial update of family 0x30. Positions and layer numbers are serialised as given.
struct PartialScan {
    int16_t xFirst = 0;
    int16_t xLast = -1;
    int16_t yFirst = 0;
    int16_t yLast = -1;
    std::vector<uint8_t> xLayers;  // ranged: X layer numbers; full-row: store rows
    std::vector<uint8_t> yLayers;  // ranged: Y layer numbers; full-row: store rows (bX + layer)
    // The samples of every listed layer in list order: (last − first + 1) per ranged layer,
    // (last + 1) per full-row layer.
    std::vector<uint8_t> samples;
};

class SignalFrameBuilder {
public:
    // Throws std::invalid_argument with checkFrameLayout's reason for a layout that rule
    // refuses, and for a second set whose sizes differ from the first.
    explicit SignalFrameBuilder(FrameLayout layout);

    const FrameLayout& layout() const { return layout_; }
    // H: bytes of the header, kind byte included.
    size_t headerLength() const;

    // Any frame: header with kind = family | type, the payload as given, checksum.
    std::vector<uint8_t> frame(uint8_t type, std::span<const uint8_t> payload) const;
    // Appends the same frame to `out` (no allocation once `out` has grown).
    void appendFrame(std::vector<uint8_t>& out, uint8_t type, std::span<const uint8_t> payload) const;

    // A sample frame (types 0, 1, 4; families 0x00, 0x10, 0x40, and types 1 and 4 of 0x30).
    // `layers` must hold A bytes, `boundary` the boundary block for family 0x40 and be empty
    // otherwise.
    std::vector<uint8_t> samples(uint8_t type, std::span<const uint8_t> layers,
                                 std::span<const uint8_t> boundary = {}) const;
    // A live scan of the whole plane in the family's own form: a sample frame, or for family
    // 0x30 a ranged update listing every layer over every position.
    std::vector<uint8_t> liveScan(std::span<const uint8_t> layers, std::span<const uint8_t> boundary = {}) const;

    // Family 0x30 live scans (type 0) with update flag 0x04 (ranged) or 0x08 (full-row).
    std::vector<uint8_t> rangedUpdate(const PartialScan& scan) const;
    std::vector<uint8_t> fullRowUpdate(const PartialScan& scan) const;
    // The partial-update payload alone, with any flag byte.
    static std::vector<uint8_t> partialUpdatePayload(uint8_t flags, const PartialScan& scan);

    // A touch report (type 3): `count` is the count byte as sent (it may differ from the number
    // of records), followed by the records, 10 bytes each.
    std::vector<uint8_t> touchReport(uint8_t count, std::span<const TouchRecord> records) const;
    static std::vector<uint8_t> touchPayload(uint8_t count, std::span<const TouchRecord> records);

private:
    FrameLayout layout_;
};

}  // namespace oculant
