#include "calibration/TextFormat.h"

#include <array>
#include <charconv>
#include <cmath>

namespace oculant {

std::string formatFixed(double value, int precision)
{
    if (std::isnan(value))
        return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    // Wide enough for the largest double in fixed notation.
    std::array<char, 400> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed, precision);
    if (ec != std::errc())
        return "0";
    std::string text(buffer.data(), end);
    // A value that rounds to zero is shown as zero: "-0.000000" reads as a sign the technician
    // has to puzzle over.
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

std::string formatInt(long long value)
{
    return std::to_string(value);
}

}  // namespace oculant
