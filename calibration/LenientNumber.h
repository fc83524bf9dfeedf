#pragma once
// Numbers typed by the user are read leniently: the leading number of the text, otherwise 0.

#include <cstdint>
#include <string_view>

namespace oculant {

// Like the C library's wtoi: blanks, an optional sign and decimal digits; anything else ends the
// number. Saturates at the 32-bit limits instead of overflowing.
int32_t readLeadingInt(std::string_view text);

// Like the C library's wtof for decimal text: blanks, sign, digits with an optional fraction and
// exponent. Words such as "inf" or "nan", hexadecimal and values beyond float range read as 0,
// so a typed value can never put a non-finite number into a parameter block.
float readLeadingFloat(std::string_view text);

}  // namespace oculant
