#pragma once
// The text blocks of the AD log. Every value is decimal; samples, offsets and the second
// offset set are each followed by a blank, so those rows end "… \n"; the header row and the
// checksum row have no trailing blank.
//
//   Format A (families 0x00, 0x10): header row; first offset set (then, for kinds of family
//   0x10, a line feed and the second set); one row per X layer, then per Y layer; checksum row.
//   Format B (family 0x40 reference blocks): header row; first set; second set; layer rows;
//   four X boundary rows of (last X offset + 1) samples, four Y boundary rows likewise; checksum.
//   Format C (family 0x40 frames): as B, with the rows taken from the frame's payload.
//
// A reference block's checksum is computed (low 8 bits of the header bytes with its kind and
// of every sample written); a frame's is the payload byte after its last sample row.

#include <cstdint>
#include <string_view>

#include "signal/LogTextBuffer.h"
#include "protocol/SignalFrameLayout.h"
#include "signal/SignalStore.h"

namespace oculant {

// "AD Log Data Version 1.0" (0x00), "… 2.0" (0x10), "… 5.0" (0x40); empty for family 0x30.
std::string_view logVersionLine(uint8_t family);
// The version line and its line feed; nothing for a family without one.
void appendVersionLine(LogTextBuffer& out, uint8_t family);

// A block of one plane of the store under the frame's header with `kind` in place of its kind
// byte: format A for families 0x00 and 0x10, B for 0x40. The store must hold the header's layout.
// Returns false, writing nothing, for family 0x30 or boundary rows that do not fit their rows.
bool appendReferenceBlock(LogTextBuffer& out, const FrameHeader& header, uint8_t kind,
                          const SignalStore& store, int plane);

// The frame itself: format A for families 0x00 and 0x10, C for 0x40. The payload must hold the
// sample block (and the boundary rows) and be followed by at least one byte, which every frame
// has: the payload is followed by the checksum byte. Returns false, writing nothing, for family
// 0x30 or boundary rows that do not fit their rows.
bool appendFrameBlock(LogTextBuffer& out, const FrameHeader& header, const uint8_t* payload);

}  // namespace oculant
