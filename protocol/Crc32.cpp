#include "protocol/Crc32.h"

#include <array>

namespace oculant {
namespace {

// Byte-wise table for the MSB-first polynomial: feeding a word's four bytes from the most
// significant one gives the same result as the bit loop over the word.
constexpr std::array<uint32_t, 256> makeTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = makeTable();

}  // namespace

uint32_t Crc32Words(const uint32_t* words, size_t count)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t w = words[i];
        for (int shift = 24; shift >= 0; shift -= 8)
            crc = (crc << 8) ^ kTable[((crc >> 24) ^ (w >> shift)) & 0xFFu];
    }
    return crc;
}

}  // namespace oculant
