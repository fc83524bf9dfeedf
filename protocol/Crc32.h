#pragma once
#include <cstddef>
#include <cstdint>

namespace oculant {

// CRC-32 over 32-bit words: polynomial 0x04C11DB7, initial value 0xFFFFFFFF, each word taken most
// significant bit first, no reflection and no final XOR (CRC-32/MPEG-2 over each word's bytes,
// most significant byte first). Blocks written to the frame carry this CRC in their last word.
uint32_t Crc32Words(const uint32_t* words, size_t count);

}  // namespace oculant
