#pragma once
// printf-style pieces of the system's texts, independent of the process locale (the GUI sets
// the user's locale, whose decimal comma must not reach files or reports).

#include <string>

namespace oculant {

// "%.<precision>f", except that what rounds to zero has no minus sign ("0.000000", not "-0.000000").
std::string formatFixed(double value, int precision);

// "%d"
std::string formatInt(long long value);

}  // namespace oculant
