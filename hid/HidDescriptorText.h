#pragma once
// Report descriptors kept in files: either the raw bytes or hex text, whitespace-separated
// bytes as "05 01 09 02 A1 01 ...", the form descriptors are usually written down in, or as a C
// array initialiser copied out of a source file ("0x05, 0x01,  // Usage Page").

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace oculant {

struct DescriptorBytes {
    bool ok = false;
    std::string error;  // why no bytes could be taken, when !ok
    std::vector<uint8_t> bytes;
};

// True when the content holds at least one character and every one that is not white space
// is a hex digit. A real binary descriptor never looks like that: it starts with a Usage Page
// item, prefix 0x05 or 0x06.
bool isHexDescriptorText(std::string_view content);

// Whitespace-separated tokens of hex digits, two per byte ("0501" is two bytes), or "0x" and one
// or two digits for one byte; commas separate as blanks do and "//" starts a comment that runs
// to the end of the line. A token with an odd number of digits or any other character is
// refused.
DescriptorBytes parseHexDescriptorText(std::string_view text);

// The bytes of a descriptor file: hex text when it looks like it, else the content as is.
// Refused: no bytes at all (empty, or white space only), and printable text that is not hex
// (a binary descriptor always holds a byte of 0x80 or above, its Collection item).
DescriptorBytes decodeDescriptorFile(std::string_view content);

}  // namespace oculant
