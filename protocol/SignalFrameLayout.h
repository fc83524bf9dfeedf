#pragma once
// The layout of one assembled signal frame: kind byte, layout header with its offset table(s),
// payload, trailing checksum. All multi-byte fields are little-endian.
//
//   0 kind | 1 byte1 | 2 byte2 | 3-4 word3 | 5 bX | 6 bY | 7-8 nX | 9-10 nY | 11 offsets (2 × L)
//   | payload | checksum (low 8 bits of the sum of every preceding byte)
//
// Family 0x00 carries one offset set (L = bX + bY), the other families two (L = 2 × (bX + bY)).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace oculant {

// High nibble of the kind byte.
inline constexpr uint8_t kFamilyShortHeader = 0x00;  // one offset set
inline constexpr uint8_t kFamilyFullScan = 0x10;     // long header, whole sample block
inline constexpr uint8_t kFamilyPartialScan = 0x30;  // long header, live scans as partial updates
inline constexpr uint8_t kFamilyBoundary = 0x40;     // long header, sample block + 8 boundary rows

// Low nibble of the kind byte. Other types are carried but not processed.
inline constexpr uint8_t kTypeLiveScan = 0;
inline constexpr uint8_t kTypeThreshold = 1;
inline constexpr uint8_t kTypeTouchReport = 3;
inline constexpr uint8_t kTypeReference = 4;

// The reassembly buffer holds one frame of at most 16,384 bytes.
inline constexpr size_t kMaxFrameBytes = 16384;
// Offset tables are sized for 31 layers per axis (62 in all).
inline constexpr int kMaxLayersPerAxis = 31;
inline constexpr size_t kFixedHeaderBytes = 11;
inline constexpr int kBoundaryRowsPerAxis = 4;
// Header caches: 11 + 2 × 62 and 11 + 4 × 62 bytes.
inline constexpr size_t kShortHeaderCacheBytes = 135;
inline constexpr size_t kLongHeaderCacheBytes = 259;

inline constexpr uint8_t frameFamily(uint8_t kind) { return kind & 0xF0; }
inline constexpr uint8_t frameType(uint8_t kind) { return kind & 0x0F; }
inline constexpr bool isKnownFamily(uint8_t family)
{
    return family == kFamilyShortHeader || family == kFamilyFullScan || family == kFamilyPartialScan
        || family == kFamilyBoundary;
}
inline constexpr bool hasLongHeader(uint8_t family) { return family != kFamilyShortHeader; }
inline constexpr size_t headerLength(uint8_t family, int layerCount)
{
    return kFixedHeaderBytes + size_t(hasLongHeader(family) ? 4 : 2) * size_t(layerCount);
}

// Low 8 bits of the byte sum: the frame's own checksum and that of logged reference blocks.
uint8_t byteSum8(const uint8_t* data, size_t length);

// The one rule for what a frame layout may be, used wherever a layout comes from outside: the
// virtual frame's profile, the frame builder and the frame processor (from a frame's header).
// A layout is the family, the layers per axis, the positions per axis and, for family 0x40,
// the last offset of each axis's first set (its boundary rows are that offset + 1 long).
struct FrameLayoutShape {
    uint8_t family = kFamilyFullScan;
    size_t bX = 0, bY = 0;
    size_t nX = 0, nY = 0;
    int lastXOffset = 0, lastYOffset = 0;
};

enum class LayoutFault {
    None,
    Family,    // not 0x00, 0x10, 0x30 or 0x40
    Layers,    // more than 31 layers on an axis
    Rows,      // a row, the sample block or a whole scan beyond the 16,384 bytes a frame holds
    Boundary,  // family 0x40: an axis without layers, or boundary rows of negative length or
               // longer than the axis
};

struct LayoutCheck {
    LayoutFault fault = LayoutFault::None;
    char axis = 0;       // 'X' or 'Y' where the fault is one axis's
    std::string reason;  // a sentence fragment, e.g. "41 X layers: a frame carries at most 31"
    explicit operator bool() const { return fault != LayoutFault::None; }
};

LayoutCheck checkFrameLayout(const FrameLayoutShape& shape);

// Samples per boundary row of an axis (family 0x40): its last offset + 1, when that fits.
std::optional<size_t> boundaryRowLength(size_t layers, int lastOffset, size_t positions);

// A position of a layer has a beam when position + offset stays on the axis: offset o >= 0
// leaves the last o positions dark, o < 0 the first -o.
inline constexpr bool layerHasBeam(int position, int offset, int positions)
{
    return offset >= 0 ? position + offset < positions : position + offset >= 0;
}

// The decoded layout header of one frame.
struct FrameHeader {
    uint8_t kind = 0;
    uint8_t byte1 = 0;   // opaque to the tool; only logged
    uint8_t byte2 = 0;   // opaque to the tool; only logged
    uint16_t word3 = 0;  // opaque to the tool; only logged
    uint8_t bX = 0;
    uint8_t bY = 0;
    uint16_t nX = 0;
    uint16_t nY = 0;
    // First set (X layers, then Y layers), then for long headers the second set in that order.
    std::array<int16_t, 4 * kMaxLayersPerAxis> offsets{};
    size_t length = 0;              // H: bytes of the header, kind included
    uint32_t sumAfterKind = 0;      // sum of header bytes 1 … H−1, for the log checksums

    uint8_t family() const { return frameFamily(kind); }
    uint8_t type() const { return frameType(kind); }
    int layerCount() const { return bX + bY; }
    int offsetCount() const { return hasLongHeader(family()) ? 2 * layerCount() : layerCount(); }
    std::span<const int16_t> firstSet() const { return {offsets.data(), size_t(layerCount())}; }
    std::span<const int16_t> secondSet() const
    {
        return hasLongHeader(family()) ? std::span<const int16_t>(offsets.data() + layerCount(), size_t(layerCount()))
                                       : std::span<const int16_t>();
    }
    int16_t xOffset(int layer) const { return offsets[size_t(layer)]; }
    int16_t yOffset(int layer) const { return offsets[size_t(bX + layer)]; }
    // A: samples of all layer rows.
    size_t sampleBlockLength() const { return size_t(bX) * nX + size_t(bY) * nY; }
    // Samples per boundary row (family 0x40): the offset of the axis's last layer + 1 (first set).
    // Empty when the axis has no layer or that length does not fit a row of the axis.
    std::optional<size_t> xBoundaryLength() const;
    std::optional<size_t> yBoundaryLength() const;
    // Four X then four Y boundary rows, or empty as above.
    std::optional<size_t> boundaryBlockLength() const;
};

// The whole length of a frame (header, payload, checksum) as its header announces it: for the
// sample frames (types 0, 1 and 4, except family 0x30's live scans) the header, A, family
// 0x40's boundary rows and the checksum. Other frames do not say their length in the header
// (touch reports and partial updates carry counts of their own; other types are opaque):
// nullopt, as for boundary rows that do not fit.
std::optional<size_t> announcedFrameLength(const FrameHeader& header);

enum class HeaderStatus {
    Ok,
    Truncated,     // the frame ends before its header and checksum byte
    BeyondLimits,  // more than 31 layers on an axis, or rows that no frame could fill
};

// Decodes the header of a frame of `length` bytes (checksum byte included); the family must be
// known. Beyond the limits: a layout checkFrameLayout refuses for its layers or rows (boundary
// rows are the payload check's, as FrameHeader's lengths give them).
HeaderStatus parseFrameHeader(const uint8_t* frame, size_t length, FrameHeader& out);

// Live scans of family 0x30 carry a partial update of plane 0:
//
//   0 flags | 1 X first | 3 X last | 5 Y first | 7 Y last (signed 16-bit) | 9 cX | 10 cY
//   | 11 layer numbers (cX X layers, then cY Y layers) | samples of each listed layer, in list order
//
// Ranged update (flag 0x04): each X layer carries X last − X first + 1 samples for positions
// X first … X last; Y layers likewise, Y layer j going to row bX + j.
// Full-row update (flag 0x08, when 0x04 is clear): each X layer carries X last + 1 samples and
// each Y layer Y last + 1, from position 0; the listed byte is the store row itself.
inline constexpr uint8_t kUpdateRanged = 0x04;
inline constexpr uint8_t kUpdateFullRow = 0x08;
inline constexpr size_t kPartialUpdateHeaderBytes = 11;

}  // namespace oculant
