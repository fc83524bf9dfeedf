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
    return std::string(buffer.data(), end);
}

std::string formatInt(long long value)
{
    return std::to_string(value);
}

}  // namespace oculant
